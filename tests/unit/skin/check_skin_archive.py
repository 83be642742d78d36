#!/usr/bin/env python3
"""check_skin_archive.py <KRXTSKIN.zip> [<skin source folder>]

Checks the built skin archive against what the program relies on: every page file, the
named controls with their classes, texts, groups, initial states and sizes, the images
the pages name and the images the program sets at run time. It also keeps the skin
honest as a whole: only elements and attributes the framework understands, opaque colours
from the palette, images that decode and fit their controls, nothing outside its window,
no control covering a clickable one, fixed texts that fit their room.
Prints every problem found and exits 1 when there is any.
"""
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zipfile
import zlib

problems = []


def problem(message):
    problems.append(message)


# ---------------------------------------------------------------- what the program needs

PAGE_SIZES = {
    "UIQV_MainFrame.xml": (818, 579),
    "UIQV_ZadodiReload.xml": (799, 559),
    **{f"UIQV_ZadodiReloadPage{i}.xml": (799, 559) for i in range(6)},
    "UIQV_ZadodiBackUpAndRestore.xml": (800, 580),
    "UIQV_ZadodiSoftwareManager.xml": (800, 580),
    "UIQV_ZadodiBackUpDoc.xml": (798, 580),
    "UIQV_ZadodiBackUpProgress.xml": (420, 290),
    "UIQV_Set.xml": (450, 200),
    "FileMenu.xml": None,
}

COMPOSITES = ["UIQV_ZadodiReload"] + [f"UIQV_ZadodiReloadPage{i}" for i in range(6)] + [
    "UIQV_ZadodiBackUpAndRestore", "UIQV_ZadodiSoftwareManager", "UIQV_ZadodiBackUpDoc"]

VOCABULARY = {
    "elements": {"Window", "Font", "Default", "VerticalLayout", "HorizontalLayout", "TabLayout",
                 "Button", "Option", "Label", "Text", "Edit", "Progress", "Gif", "Menu",
                 "MenuElement", *COMPOSITES},
    "attributes": {"name", "pos", "float", "width", "height", "text", "textcolor",
                   "disabledtextcolor", "align", "textpadding", "font", "bkimage", "normalimage",
                   "hotimage", "pushedimage", "disabledimage", "bkcolor", "bordersize",
                   "bordercolor", "visible", "endellipsis", "padding", "inset", "childpadding",
                   "group", "selected", "selectedimage", "nativebkcolor", "min", "max", "hor",
                   "foreimage", "value", "userdata"},
    "window": {"size", "caption", "bktrans"},
    "font": {"name", "size", "bold", "italic", "default"},
}
IMAGE_ATTRIBUTES = ("bkimage", "normalimage", "hotimage", "pushedimage", "disabledimage",
                    "selectedimage", "foreimage")
COLOUR_ATTRIBUTES = ("textcolor", "disabledtextcolor", "bkcolor", "bordercolor", "nativebkcolor")
INTERACTIVE = {"Button", "Option", "Edit"}
SHOWN_LATER = r"tips\d+_label"  # hidden in the skin, shown by the program
LEAVES = {"Button", "Option", "Label", "Text", "Edit", "Progress", "Gif"}

EDITION_TEXTS = ["32位纯净版", "32位装机版", "64位纯净版", "64位装机版"]
HIDDEN_TITLE_COPIES = ["set2_btn", "url2_btn", "min2_btn", "close2_btn"]

# name -> (page, class, expectations); page None = wherever it is.
EXPECTED = {
    "MainTab": ("UIQV_MainFrame.xml", "TabLayout", {"size": (800, 580)}),
    "close11_btn": (None, "Button", {"normalimage": "close_1.png"}),
    "min1_btn": (None, "Button", {"normalimage": "min_1.png"}),
    "set1_btn": (None, "Button", {"normalimage": "set_1.png"}),
    "url1_btn": (None, "Button", {"normalimage": "url_1.png"}),
    "ZadOdiReloadOp": ("UIQV_MainFrame.xml", "Option", {"selected": True}),
    "BackUpAndRestoreOp": ("UIQV_MainFrame.xml", "Option", {}),
    "SoftwareManagementOp": ("UIQV_MainFrame.xml", "Option", {}),
    "DataBackupOp": ("UIQV_MainFrame.xml", "Option", {}),
    "ZadodiReloadTab": ("UIQV_ZadodiReload.xml", "TabLayout", {}),
    "XuanZhuanLogo_Label": ("UIQV_ZadodiReloadPage0.xml", "Label",
                            {"size": (300, 300), "no": ["bkimage", "normalimage"]}),
    "StartRestoreSystem1_Btn": ("UIQV_ZadodiReloadPage0.xml", "Button", {
        "normalimage": "selectxt_1.png", "hotimage": "selectxt_2.png",
        "pushedimage": "selectxt_3.png", "disabledimage": "selectxt_4.png"}),
    "StartziliaoBF0_Btn": ("UIQV_ZadodiReloadPage0.xml", "Button", {
        "normalimage": "ziliaobf_1.png", "hotimage": "ziliaobf_2.png",
        "pushedimage": "ziliaobf_3.png", "disabledimage": "ziliaobf_4.png"}),
    "tuijian1_text": ("UIQV_ZadodiReloadPage1.xml", "Text", {"text": ""}),
    "xp_btn": ("UIQV_ZadodiReloadPage1.xml", "Button", {"normalimage": "XP.png"}),
    "win7_btn": ("UIQV_ZadodiReloadPage1.xml", "Button", {"normalimage": "7.png"}),
    "win10_btn": ("UIQV_ZadodiReloadPage1.xml", "Button", {"normalimage": "10.png"}),
    **{f"tips1{i}_label": ("UIQV_ZadodiReloadPage1.xml", "Label", {"visible": False})
       for i in (1, 2, 3)},
    "LOCAL_Op": ("UIQV_ZadodiReloadPage1.xml", "Button", {"text": "硬盘还原"}),
    "StartRestoreSystem_Btn": ("UIQV_ZadodiReloadPage1.xml", "Button", {"visible": True}),
    "StartziliaoBF1_Btn": ("UIQV_ZadodiReloadPage1.xml", "Button", {}),
    "OS_Op1": ("UIQV_ZadodiReloadPage2.xml", "Option", {"group": "1", "text": "纯净版"}),
    "OS_Op2": ("UIQV_ZadodiReloadPage2.xml", "Option", {"group": "1", "text": "装机版"}),
    **{f"OS_Op{n}": (f"UIQV_ZadodiReloadPage{3 + (n - 3) // 4}.xml", "Option",
                     {"group": "1", "text": EDITION_TEXTS[(n - 3) % 4], "visible": True})
       for n in range(3, 11)},
    **{f"tips{n}_label": (None, "Label", {"visible": False}) for n in range(1, 11)},
    **{f"tuijian{n}_text": (f"UIQV_ZadodiReloadPage{n}.xml", "Text", {"text": ""})
       for n in (2, 3, 4)},
    **{f"DownloadSystem{n}_Btn": (f"UIQV_ZadodiReloadPage{n + 1}.xml", "Button", {
        "normalimage": "1_2_But1_1.png", "hotimage": "1_2_But1_2.png",
        "pushedimage": "1_2_But1_3.png"}) for n in (1, 2, 3)},
    **{f"back{n}_btn": (f"UIQV_ZadodiReloadPage{n + 1}.xml", "Button", {"text": "返回"})
       for n in (1, 2, 3)},
    **{f"StartziliaoBF{n}_Btn": (f"UIQV_ZadodiReloadPage{n}.xml", "Button", {})
       for n in (2, 3, 4)},
    "ChooseOs_Text": ("UIQV_ZadodiReloadPage4.xml", "Text",
                      {"visible": False, "text": "提示：请选择要重装的系统"}),
    "BackToStep1_Btn": ("UIQV_ZadodiReloadPage4.xml", "Button", {"visible": False}),
    **{name: ("UIQV_ZadodiReloadPage4.xml", "Button", {"visible": False})
       for name in HIDDEN_TITLE_COPIES},
    "tuijiand_text": ("UIQV_ZadodiReloadPage5.xml", "Text", {"text": ""}),
    "Download_Progress": ("UIQV_ZadodiReloadPage5.xml", "Progress",
                          {"min": "0", "max": "100", "value": "0"}),
    **{name: ("UIQV_ZadodiReloadPage5.xml", "Text", {"text": "", "visible": True})
       for name in ("DownloadSpeed_Text", "DownloadAlready_Text", "DownloadTotal_Text")},
    "DownloadPath_Text": ("UIQV_ZadodiReloadPage5.xml", "Text",
                          {"text": "", "endellipsis": "true"}),
    **{name: ("UIQV_ZadodiReloadPage5.xml", "Text", {"visible": False})
       for name in ("Downloading_Text", "DownloadInstallPath_Text", "DownloadState_Text")},
    "StopDown_Btn": ("UIQV_ZadodiReloadPage5.xml", "Button", {"normalimage": "zt.png"}),
    "ReChoose_Btn": ("UIQV_ZadodiReloadPage5.xml", "Button", {"visible": True}),
    **{name: ("UIQV_ZadodiReloadPage5.xml", "Button", {"visible": False})
       for name in ("set3_btn", "url3_btn", "min3_btn", "close3_btn")},
    **{name: ("UIQV_ZadodiBackUpAndRestore.xml", "Edit", {})
       for name in ("BackUpPath_Edit", "RestorePath_Edit")},
    **{name: ("UIQV_ZadodiBackUpAndRestore.xml", "Button", {})
       for name in ("SelectBackUpGho_Btn", "SelectRestoreGho_Btn", "StartBackUp_Btn",
                    "StartRestore_Btn")},
    **{f"Soft{n}_Btn": ("UIQV_ZadodiSoftwareManager.xml", "Button", {"size": (68, 89)})
       for n in range(1, 17)},
    **{f"BackUpDoc_Op{n}": ("UIQV_ZadodiBackUpDoc.xml", "Option",
                            {"selected": True, "no": ["group"]}) for n in range(1, 7)},
    **{name: ("UIQV_ZadodiBackUpDoc.xml", "Edit", {})
       for name in ("BackUpDocPath_Edit", "RestoreDocPath_Edit")},
    **{name: ("UIQV_ZadodiBackUpDoc.xml", "Button", {})
       for name in ("SelectBackUpDoc_Btn", "SelectRestoreDoc_Btn", "StartBackUpDoc_Btn",
                    "StartRestoreDoc_Btn", "close1_btn", "selectsys_btn", "StartziliaoBF00_Btn")},
}

# The names the main window looks up at start, in its order.
LOOKUPS = (["MainTab", "ZadodiReloadTab", "StartRestoreSystem_Btn", "BackToStep1_Btn"]
           + [f"DownloadSystem{n}_Btn" for n in (1, 2, 3)]
           + ["DownloadSpeed_Text", "DownloadAlready_Text", "DownloadTotal_Text",
              "DownloadPath_Text", "Downloading_Text", "DownloadInstallPath_Text",
              "Download_Progress", "DownloadState_Text", "ZadOdiReloadOp", "BackUpAndRestoreOp",
              "SoftwareManagementOp", "DataBackupOp"]
           + [f"tuijian{n}_text" for n in (1, 2, 3, 4)]
           + ["tuijiand_text", "XuanZhuanLogo_Label", "BackUpPath_Edit", "RestorePath_Edit",
              "StartBackUp_Btn", "StartRestore_Btn", "SelectBackUpGho_Btn",
              "SelectRestoreGho_Btn"]
           + [f"BackUpDoc_Op{n}" for n in range(1, 7)]
           + ["BackUpDocPath_Edit", "RestoreDocPath_Edit", "SelectBackUpDoc_Btn",
              "SelectRestoreDoc_Btn", "StartBackUpDoc_Btn", "StartRestoreDoc_Btn",
              "ChooseOs_Text"]
           + [f"OS_Op{n}" for n in range(1, 11)] + ["StopDown_Btn", "ReChoose_Btn"]
           + [f"Soft{n}_Btn" for n in range(1, 17)] + [f"tips{n}_label" for n in range(1, 14)])

# Names that may occur on several pages: the wizard's repeated controls, and the title
# buttons, which every main tab carries.
SHARED_NAMES = {"ChooseOs_Text", "BackToStep1_Btn", "OS_Op4", "OS_Op5", *HIDDEN_TITLE_COPIES,
                "close11_btn", "min1_btn", "set1_btn", "url1_btn"}

LOGO_FRAMES = [{7: "77.png", 10: "100.png"}.get(i, f"{i}.png") for i in range(1, 31)]
RUNTIME_IMAGES = (LOGO_FRAMES + ["XP.png", "7.png", "10.png", "qd.png", "zt.png",
                                 "4_Loading.gif"]
                  + [f"1_22_But1_{i}.png" for i in (1, 2, 3)])

SETTINGS_CONTROLS = {  # name: (class, x, y, w, h, images)
    "speed_edit": ("Edit", 212, 41, 64, 24, ["setedit.png"]),
    "pathset_edit": ("Edit", 212, 85, 167, 24, ["setedit.png"]),
    "pathset_btn": ("Button", 380, 85, 60, 24, []),
    "cq_btn": ("Button", 122, 159, 78, 29, ["cq_nor.png", "cq_hot.png", "cq_push.png"]),
    "on_btn": ("Button", 232, 159, 78, 29, ["ok_nor.png", "ok_hot.png", "ok_push.png"]),
    "cannel_btn": ("Button", 342, 159, 78, 29,
                   ["cannel_nor.png", "cannel_hot.png", "cannel_push.png"]),
    "close_btn": ("Button", 413, 0, 31, 27,
                  ["close_nor.png", "close_hot.png", "close_push.png"]),
}
PROGRESS_CONTROLS = {
    "BackUpAndRestoreGif": ("Gif", 180, 80, 66, 66, []),
    "Text1": ("Text", 76, 167, 280, 22, []),
    "Text2": ("Text", 111, 206, 200, 22, []),
}
MENU_ITEMS = [("visithomepage", "官方主页", "visithomepage"), ("getupdata", "使用说明", "getupdata"),
              ("about", "关注我们", "about"), ("about1", "关于程序", "about")]

# ---------------------------------------------------------------- image decoding


def png_size(data, name):
    """Decodes a PNG far enough to trust it: chunk CRCs, and the inflated size of the pixel
    data against the header. Returns (width, height) or None."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        problem(f"{name}: not a PNG")
        return None
    pos, ihdr, idat = 8, None, b""
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        if len(body) != length or len(crc) != 4 or \
                struct.unpack(">I", crc)[0] != zlib.crc32(kind + body):
            problem(f"{name}: damaged PNG chunk {kind!r}")
            return None
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
        pos += 12 + length
    if ihdr is None or not idat:
        problem(f"{name}: PNG without header or pixel data")
        return None
    width, height, depth, colour, _, _, interlace = ihdr
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour)
    if channels is None or width == 0 or height == 0:
        problem(f"{name}: PNG header not usable")
        return None
    try:
        pixels = zlib.decompress(idat)
    except zlib.error as e:
        problem(f"{name}: PNG pixel data does not inflate: {e}")
        return None
    if interlace == 0:
        expected = height * (1 + (width * channels * depth + 7) // 8)
        if len(pixels) != expected:
            problem(f"{name}: PNG pixel data is {len(pixels)} bytes, expected {expected}")
            return None
    return width, height


def gif_info(data, name):
    """Walks the GIF's blocks. Returns (width, height, frames, loops) or None."""
    if data[:6] not in (b"GIF87a", b"GIF89a") or len(data) < 13:
        problem(f"{name}: not a GIF")
        return None
    width, height, flags = struct.unpack("<HHB", data[6:11])
    pos = 13 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0)
    frames, loops = 0, False

    def skip_sub_blocks(p):
        while p < len(data) and data[p] != 0:
            p += data[p] + 1
        return p + 1

    while pos < len(data):
        block = data[pos]
        if block == 0x3B:
            return width, height, frames, loops
        if block == 0x21:
            if data[pos + 1] == 0xFF and data[pos + 3:pos + 14] == b"NETSCAPE2.0":
                loops = True
            pos = skip_sub_blocks(pos + 2)
        elif block == 0x2C:
            x, y, w, h, f = struct.unpack("<HHHHB", data[pos + 1:pos + 10])
            if x + w > width or y + h > height:
                problem(f"{name}: frame {frames + 1} lies outside the image")
            pos += 10 + (3 * (2 << (f & 7)) if f & 0x80 else 0)
            pos = skip_sub_blocks(pos + 1)  # after the LZW code size
            frames += 1
        else:
            break
    problem(f"{name}: GIF ends without its trailer")
    return None


# ---------------------------------------------------------------- pages


class Node:
    def __init__(self, el, page, rect, parent):
        self.el, self.page, self.rect, self.parent = el, page, rect, parent
        self.tag, self.attrib = el.tag, el.attrib
        self.children = []
        self.name = el.get("name")

    def visible(self):
        node = self
        while node:
            if node.attrib.get("visible") == "false":
                return False
            node = node.parent
        return True


def parse_rect(text, what):
    try:
        values = [int(v) for v in text.split(",")]
        if len(values) == 4:
            return values
    except ValueError:
        pass
    problem(f"{what}: '{text}' is not a rectangle l,t,r,b")
    return [0, 0, 0, 0]


def image_files(text):
    """The file named by an image attribute, and its dest rectangle if any."""
    if "=" not in text:
        return text, None
    parts = dict(re.findall(r"(\w+)='([^']*)'", text))
    return parts.get("file"), parts.get("dest")


class Skin:
    def __init__(self, path, palette):
        self.zip = zipfile.ZipFile(path)
        self.names = set(self.zip.namelist())
        self.palette = palette
        self.roots = {}
        self.image_sizes = {}
        for page in PAGE_SIZES:
            if page not in self.names:
                problem(f"{page}: missing from the archive")
                continue
            try:
                root = ET.fromstring(self.zip.read(page).decode("utf-8"))
            except (ET.ParseError, UnicodeDecodeError) as e:
                problem(f"{page}: does not parse: {e}")
                continue
            self.roots[page] = root
            self.check_vocabulary(page, root)

    # -- whole-page rules

    def check_vocabulary(self, page, root):
        if root.tag != "Window":
            problem(f"{page}: the root element is {root.tag}, not Window")
        for key in root.attrib:
            if key not in VOCABULARY["window"]:
                problem(f"{page}: Window attribute '{key}' is not understood by the framework")
        controls = [c for c in root if c.tag not in ("Font", "Default")]
        if len(controls) != 1:
            problem(f"{page}: expected one root control, found {len(controls)}")
        for el in root.iter():
            if el is root:
                continue
            if el.tag not in VOCABULARY["elements"]:
                problem(f"{page}: element <{el.tag}> is not understood by the framework")
            allowed = VOCABULARY["font"] if el.tag == "Font" else VOCABULARY["attributes"]
            if el.tag == "Default":
                allowed = {"name", "value"}
            for key, value in el.attrib.items():
                if key not in allowed:
                    problem(f"{page}: <{el.tag} name={el.get('name')}>: attribute '{key}' "
                            "is not understood by the framework")
                if key in COLOUR_ATTRIBUTES:
                    self.check_colour(f"{page}: {el.tag} {el.get('name') or ''} {key}", value)
                if key in IMAGE_ATTRIBUTES:
                    file, _ = image_files(value)
                    self.check_image(f"{page}: {el.tag} {el.get('name') or ''} {key}", file)

    def check_colour(self, what, value):
        m = re.fullmatch(r"#([0-9A-Fa-f]{2})([0-9A-Fa-f]{6})", value)
        if not m:
            problem(f"{what}: '{value}' is not #AARRGGBB")
        elif m.group(1).upper() != "FF":
            problem(f"{what}: '{value}' is not opaque")
        elif self.palette and "#" + m.group(2).upper() not in self.palette:
            problem(f"{what}: '{value}' is not a palette colour")

    def check_image(self, what, file):
        if file in self.image_sizes:
            return self.image_sizes[file]
        if not file or file not in self.names:
            problem(f"{what}: image '{file}' is not in the archive")
            return None
        data = self.zip.read(file)
        size = None
        if file.lower().endswith(".png"):
            size = png_size(data, file)
        elif file.lower().endswith(".gif"):
            info = gif_info(data, file)
            size = info[:2] if info else None
        else:
            problem(f"{what}: '{file}' is neither PNG nor GIF")
        self.image_sizes[file] = size
        return size

    def fonts(self, page):
        return [(f.get("name"), int(f.get("size", "0")), f.get("bold") == "true")
                for f in self.roots[page].findall("Font")]

    # -- the control tree, with composite elements replaced by their pages

    def build(self, page, rect=None, parent=None, seen=()):
        root = self.roots.get(page)
        if root is None:
            return []
        if rect is None:
            w, h = PAGE_SIZES[page] or [int(v) for v in root.get("size", "0,0").split(",")]
            rect = [0, 0, w, h]
        nodes = []
        for el in root:
            if el.tag not in ("Font", "Default"):
                nodes.append(self.build_node(el, page, rect, parent, seen + (page,)))
        return nodes

    def build_node(self, el, page, parent_rect, parent, seen):
        if el.get("float") == "true":
            if "pos" not in el.attrib:
                problem(f"{page}: floating {el.tag} {el.get('name')} has no pos")
            p = parse_rect(el.get("pos", "0,0,0,0"), f"{page}: {el.tag} {el.get('name')}")
            rect = [parent_rect[0] + p[0], parent_rect[1] + p[1],
                    parent_rect[0] + p[2], parent_rect[1] + p[3]]
        else:
            rect = list(parent_rect)
            if el.get("width"):
                rect[2] = rect[0] + int(el.get("width"))
            if el.get("height"):
                rect[3] = rect[1] + int(el.get("height"))
        node = Node(el, page, rect, parent)
        if el.tag in COMPOSITES:
            child_page = el.tag + ".xml"
            if child_page in seen:
                problem(f"{page}: {el.tag} includes itself")
            else:
                node.children = self.build(child_page, rect, node, seen)
        else:
            node.children = [self.build_node(c, page, rect, node, seen) for c in el]
        return node


def walk(nodes):
    for node in nodes:
        yield node
        yield from walk(node.children)


def size_of(node):
    r = node.rect
    return r[2] - r[0], r[3] - r[1]


def overlaps(a, b):
    return a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]


def text_width(text, size):
    # CJK glyphs are one em wide, others about 0.6 em; the text renderer also keeps about
    # a sixth of an em free on each side.
    return sum(size if ord(ch) > 0x2E7F else 0.6 * size for ch in text) + size / 3


def common_glyph(ch):
    """Characters every Chinese UI font has: others may show as boxes."""
    c = ord(ch)
    return (0x20 <= c < 0x7F or c == 0xB7 or 0x2018 <= c <= 0x201D or 0x3000 <= c <= 0x303F
            or 0x4E00 <= c <= 0x9FFF or 0xFF01 <= c <= 0xFF5E)


def check_texts_fit(nodes, fonts, where):
    """Fixed texts must fit their controls on one line (unless they may wrap or elide)."""
    default = next((i for i, f in enumerate(fonts) if f), 0)
    for node in walk(nodes):
        text = node.attrib.get("text")
        if not text or node.tag not in LEAVES | {"MenuElement"}:
            continue
        odd = [ch for ch in text if not common_glyph(ch)]
        if odd:
            problem(f"{where}: '{text}' has characters a Chinese UI font may lack: {odd}")
        index = int(node.attrib.get("font", default))
        if index >= len(fonts):
            problem(f"{where}: {node.tag} '{text}' uses font {index}, the window has "
                    f"{len(fonts)}")
            continue
        size = fonts[index][1]
        pad = parse_rect(node.attrib.get("textpadding", "0,0,0,0"), where)
        w, h = size_of(node)
        if node.attrib.get("endellipsis") != "true" and "wrap" not in node.attrib.get("align", ""):
            if text_width(text, size) > w - pad[0] - pad[2]:
                problem(f"{where}: '{text}' does not fit its {w} px wide {node.tag}")
        if node.tag != "MenuElement" and size * 1.25 > h - pad[1] - pad[3]:
            problem(f"{where}: '{text}' ({size} px) does not fit its {h} px high {node.tag}")


def check_images_fit(skin, nodes, where):
    """Status images are drawn at the control's size: they must be made for that size, so
    that nothing is stretched. Images with a dest rectangle must lie inside the control."""
    for node in walk(nodes):
        for key in IMAGE_ATTRIBUTES:
            if key not in node.attrib:
                continue
            file, dest = image_files(node.attrib[key])
            size = skin.check_image(where, file)
            w, h = size_of(node)
            if dest:
                d = parse_rect(dest, where)
                if d[2] > w or d[3] > h or (d[2] - d[0], d[3] - d[1]) != size:
                    problem(f"{where}: {node.name or node.tag} {key} dest {dest} does not fit "
                            f"{w}x{h} or the image's {size}")
            elif "corner" not in node.attrib[key] and size and size != (w, h):
                problem(f"{where}: {node.name or node.tag} is {w}x{h} but its {key} "
                        f"{file} is {size[0]}x{size[1]}")


def check_layout(nodes, bounds, where):
    """Visible leaves lie inside the window, and nothing drawn later covers a clickable
    control (it would take its clicks and hide it)."""
    leaves = [n for n in walk(nodes) if n.tag in LEAVES and
              (n.visible() or re.fullmatch(SHOWN_LATER, n.name or ""))]
    for n in leaves:
        r = n.rect
        if r[0] < bounds[0] or r[1] < bounds[1] or r[2] > bounds[2] or r[3] > bounds[3] \
                or r[2] <= r[0] or r[3] <= r[1]:
            problem(f"{where}: {n.tag} {n.name or n.attrib.get('text', '')} at {r} lies "
                    f"outside {bounds} or is empty")
    for i, a in enumerate(leaves):
        if a.tag not in INTERACTIVE:
            continue
        for b in leaves[i + 1:]:
            if overlaps(a.rect, b.rect):
                problem(f"{where}: {b.tag} {b.name or b.attrib.get('text', '')} covers "
                        f"{a.tag} {a.name}")


def views(main_tree):
    """Each screen the main window can show: (label, visible nodes)."""
    main_tab = next(n for n in walk(main_tree) if n.name == "MainTab")
    wizard = next(n for n in walk(main_tree) if n.name == "ZadodiReloadTab")
    outside = [n for n in main_tree[0].children if n is not main_tab]

    def without(nodes, skip):
        out = []
        for n in nodes:
            if n is skip:
                continue
            copy = Node(n.el, n.page, n.rect, n.parent)
            copy.children = without(n.children, skip)
            out.append(copy)
        return out

    for step, page in enumerate(wizard.children):
        tab0 = [Node(main_tab.children[0].el, "", main_tab.children[0].rect, None)]
        tab0[0].children = without(main_tab.children[0].children, None)
        for n in walk(tab0):
            if n.name == "ZadodiReloadTab":
                n.children = [page]
        yield f"reinstall step {step}", tab0 + outside
    for t in (1, 2, 3):
        if t < len(main_tab.children):
            yield f"main tab {t}", [main_tab.children[t]] + outside


def check_named(skin, main_tree):
    found = {}
    for node in walk(main_tree):
        if node.name:
            found.setdefault(node.name, []).append(node)

    for name, (page, cls, expect) in EXPECTED.items():
        nodes = found.get(name)
        if not nodes:
            problem(f"{name}: not in the main window's tree")
            continue
        last = nodes[-1]  # what a look-up by name finds
        if page and last.page != page:
            problem(f"{name}: a look-up finds it on {last.page}, expected {page}")
        # Copies on other pages answer to their own rules (checked below).
        for node in [n for n in nodes if page is None or n.page == page] or nodes:
            if node.tag != cls:
                problem(f"{name} on {node.page}: is {node.tag}, expected {cls}")
            a = node.attrib
            for key in ("normalimage", "hotimage", "pushedimage", "disabledimage", "group",
                        "min", "max", "value", "endellipsis"):
                if key in expect and a.get(key) != expect[key]:
                    problem(f"{name} on {node.page}: {key} is {a.get(key)!r}, "
                            f"expected {expect[key]!r}")
            if "text" in expect and a.get("text", "") != expect["text"]:
                problem(f"{name} on {node.page}: text {a.get('text', '')!r}, "
                        f"expected {expect['text']!r}")
            if "visible" in expect and (a.get("visible", "true") != "false") != expect["visible"]:
                problem(f"{name} on {node.page}: should start "
                        f"{'visible' if expect['visible'] else 'hidden'}")
            if "selected" in expect and (a.get("selected") == "true") != expect["selected"]:
                problem(f"{name} on {node.page}: should start "
                        f"{'selected' if expect['selected'] else 'unselected'}")
            if "size" in expect and size_of(node) != expect["size"]:
                problem(f"{name} on {node.page}: size {size_of(node)}, expected {expect['size']}")
            for key in expect.get("no", []):
                if key in a:
                    problem(f"{name} on {node.page}: should have no {key}")

    for name in LOOKUPS:
        if name not in found:
            problem(f"{name}: looked up by the program at start but missing")

    pages_of = {}
    for name, nodes in found.items():
        pages = {n.page for n in nodes}
        per_page = [n.page for n in nodes]
        for p in pages:
            if per_page.count(p) > 1:
                problem(f"{name}: occurs {per_page.count(p)} times on {p}")
        if len(pages) > 1 and name not in SHARED_NAMES:
            problem(f"{name}: occurs on several pages {sorted(pages)}")
        pages_of[name] = pages
    if found.get("OS_Op4") and found["OS_Op4"][-1].attrib.get("visible") == "false":
        problem("OS_Op4: a look-up finds a hidden copy")

    # Each wizard page with editions carries the same set of shared controls.
    for p in (2, 3, 4):
        page = f"UIQV_ZadodiReloadPage{p}.xml"
        for name in ["ChooseOs_Text", "BackToStep1_Btn", *HIDDEN_TITLE_COPIES]:
            if page not in pages_of.get(name, set()):
                problem(f"{name}: missing on {page}")

    # Edition options of one page share group "1" with the other pages; the hidden ones on
    # step 2 never take part.
    for node in found.get("OS_Op4", []) + found.get("OS_Op5", []):
        if node.page == "UIQV_ZadodiReloadPage2.xml" and node.attrib.get("visible") != "false":
            problem(f"{node.name} on step 2 should be hidden")

    # The four tab options: one group, only the first selected, above the tab pages.
    tabs = [found.get(n, [None])[-1] for n in ("ZadOdiReloadOp", "BackUpAndRestoreOp",
                                                "SoftwareManagementOp", "DataBackupOp")]
    if all(tabs):
        groups = {t.attrib.get("group") for t in tabs}
        if len(groups) != 1 or None in groups:
            problem(f"tab options: expected one shared group, found {groups}")
        if any(t.attrib.get("visible") == "false" for t in tabs):
            problem("tab options: all four must be visible")
        order = list(walk(main_tree))
        main_tab = found["MainTab"][-1]
        for t in tabs:
            if t.parent is not main_tab.parent or order.index(t) < order.index(main_tab):
                problem(f"{t.name}: must follow MainTab in the main page, to stay above it")
            if t.rect[3] > 130:
                problem(f"{t.name}: must sit in the title band (top 130 px)")

    # The software buttons: two rows of eight.
    soft = [found.get(f"Soft{n}_Btn", [None])[-1] for n in range(1, 17)]
    if all(soft):
        rows = sorted({s.rect[1] for s in soft})
        if len(rows) != 2 or [s.rect[1] for s in soft] != [rows[0]] * 8 + [rows[1]] * 8:
            problem("software buttons: expected two rows of eight, in order")
        for row in (soft[:8], soft[8:]):
            if [s.rect[0] for s in row] != sorted(s.rect[0] for s in row):
                problem("software buttons: each row should run left to right")
        for s in soft:
            for key in ("bkimage", "normalimage", "hotimage", "pushedimage"):
                if key in s.attrib:
                    problem(f"{s.name}: {key} would cover the catalogue's picture")

    # The tab structure.
    main_tab = found.get("MainTab", [None])[-1]
    if main_tab:
        kinds = [c.tag for c in main_tab.children]
        if len(kinds) != 4 or kinds[1:] != ["UIQV_ZadodiBackUpAndRestore",
                                            "UIQV_ZadodiSoftwareManager", "UIQV_ZadodiBackUpDoc"]:
            problem(f"MainTab: pages are {kinds}")
        elif not any(n.tag == "UIQV_ZadodiReload" for n in main_tab.children[0].children):
            problem("MainTab page 0 does not hold the wizard")
        else:
            first = {n.name for n in walk([main_tab.children[0]]) if n.page == "UIQV_MainFrame.xml"}
            for name in ("close11_btn", "min1_btn", "set1_btn", "url1_btn"):
                if name not in first:
                    problem(f"{name}: should be on MainTab page 0")
    wizard = found.get("ZadodiReloadTab", [None])[-1]
    if wizard and [c.tag for c in wizard.children] != [f"UIQV_ZadodiReloadPage{i}"
                                                        for i in range(6)]:
        problem(f"ZadodiReloadTab: pages are {[c.tag for c in wizard.children]}")


def check_fixed_texts(skin):
    def texts(page):
        return [el.get("text") for el in skin.roots.get(page, ET.Element("x")).iter()
                if el.get("text")]

    for p in range(1, 5):
        if "下载系统" not in texts(f"UIQV_ZadodiReloadPage{p}.xml"):
            problem(f"UIQV_ZadodiReloadPage{p}.xml: the heading 下载系统 is missing")
    page5 = skin.roots.get("UIQV_ZadodiReloadPage5.xml")
    if page5 is not None:
        captions = {el.get("text"): el.get("visible", "true") for el in page5.iter()
                    if el.tag == "Label" and el.get("text")}
        for caption, visible in [("下载速度：", "true"), ("已下载：", "true"),
                                 ("文件大小：", "true"), ("保存位置：", "true"),
                                 ("正在下载：", "false"), ("系统安装位置：", "false")]:
            if caption not in captions:
                problem(f"step 5: caption {caption} is missing")
            elif captions[caption] != visible:
                problem(f"step 5: caption {caption} should be "
                        f"{'visible' if visible == 'true' else 'hidden'}")


def check_window(skin, page, size, caption, bktrans, fonts, controls):
    root = skin.roots.get(page)
    if root is None:
        return []
    if root.get("size") != f"{size[0]},{size[1]}":
        problem(f"{page}: window size {root.get('size')}, expected {size[0]},{size[1]}")
    if root.get("caption") != caption:
        problem(f"{page}: caption {root.get('caption')}, expected {caption}")
    if (root.get("bktrans") == "true") != bktrans:
        problem(f"{page}: bktrans should be {bktrans}")
    if fonts is not None and skin.fonts(page) != fonts:
        problem(f"{page}: fonts {skin.fonts(page)}, expected {fonts}")
    tree = skin.build(page)
    by_name = {n.name: n for n in walk(tree) if n.name}
    for name, (cls, x, y, w, h, images) in controls.items():
        node = by_name.get(name)
        if node is None:
            problem(f"{page}: control {name} is missing")
            continue
        if node.tag != cls:
            problem(f"{page}: {name} is {node.tag}, expected {cls}")
        if node.rect != [x, y, x + w, y + h]:
            problem(f"{page}: {name} at {node.rect}, expected {[x, y, x + w, y + h]}")
        used = [image_files(node.attrib[k])[0] for k in IMAGE_ATTRIBUTES if k in node.attrib]
        if used[:len(images)] != images and sorted(used) != sorted(images):
            problem(f"{page}: {name} images {used}, expected {images}")
    return tree


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    archive = sys.argv[1]
    if not os.path.isfile(archive):
        sys.exit(f"{archive}: no skin archive (build the korvane_skin target)")
    palette = set()
    if len(sys.argv) > 2:
        with open(os.path.join(sys.argv[2], "images.list"), encoding="utf-8") as f:
            palette = {m.group(1).upper() for m in re.finditer(r"^@\w+\s+(#[0-9A-Fa-f]{6})",
                                                                f.read(), re.M)}
    skin = Skin(archive, palette)
    if zipfile.ZipFile(archive).testzip() is not None:
        problem("the archive has a damaged entry")

    for page, size in PAGE_SIZES.items():
        root = skin.roots.get(page)
        if root is None or size is None:
            continue
        control = next((c for c in root if c.tag not in ("Font", "Default")), None)
        if control is not None and (control.get("width"), control.get("height")) != \
                (str(size[0]), str(size[1])):
            problem(f"{page}: root {control.tag} is {control.get('width')}x"
                    f"{control.get('height')}, expected {size[0]}x{size[1]}")

    main_fonts = [("微软雅黑", 16, True), ("微软雅黑", 13, False), ("微软雅黑", 24, False),
                  ("微软雅黑", 40, False), ("微软雅黑", 11, False), ("微软雅黑", 11, False)]
    check_window(skin, "UIQV_MainFrame.xml", (818, 579), "0,0,0,130", True, main_fonts, {})
    main_tree = skin.build("UIQV_MainFrame.xml")
    if main_tree:
        check_named(skin, main_tree)
        check_images_fit(skin, main_tree, "main window")
        check_texts_fit(main_tree, skin.fonts("UIQV_MainFrame.xml"), "main window")
        try:
            for label, nodes in views(main_tree):
                check_layout(nodes, [0, 0, 818, 579], label)
        except (StopIteration, IndexError):
            problem("main window: the tab layouts are missing, views not checked")
    check_fixed_texts(skin)

    set_fonts = [("微软雅黑", 16, True), ("微软雅黑", 13, False), ("微软雅黑", 20, True),
                 ("微软雅黑", 40, False)]
    tree = check_window(skin, "UIQV_Set.xml", (450, 200), "0,0,0,130", False, set_fonts,
                        SETTINGS_CONTROLS)
    if tree:
        if tree[0].tag != "HorizontalLayout" or tree[0].attrib.get("bkimage") != "setbk.png":
            problem("UIQV_Set.xml: expected a HorizontalLayout with the image setbk.png")
        check_images_fit(skin, tree, "settings window")
        check_texts_fit(tree, skin.fonts("UIQV_Set.xml"), "settings window")
        check_layout(tree, [0, 0, 450, 200], "settings window")

    tree = check_window(skin, "UIQV_ZadodiBackUpProgress.xml", (420, 290), None, True,
                        [("微软雅黑", 16, False)], PROGRESS_CONTROLS)
    if tree:
        if tree[0].tag != "VerticalLayout" or \
                tree[0].attrib.get("bkimage") != "BackUpProgressBK.png":
            problem("progress window: expected a VerticalLayout with BackUpProgressBK.png")
        for node in walk(tree):
            if node.name in ("Text1", "Text2"):
                a = node.attrib
                if (a.get("textpadding"), a.get("font"), a.get("align")) != \
                        ("2,0,2,0", "0", "centerwrap"):
                    problem(f"progress window: {node.name} should have text padding 2,0,2,0, "
                            "font 0 and centred wrapping text")
            if any(n.tag in INTERACTIVE for n in walk([node])):
                problem(f"progress window: {node.tag} {node.name}: the window has no controls "
                        "to press")
        check_images_fit(skin, tree, "progress window")
        check_texts_fit(tree, skin.fonts("UIQV_ZadodiBackUpProgress.xml"), "progress window")
        check_layout(tree, [0, 0, 420, 290], "progress window")

    menu = skin.roots.get("FileMenu.xml")
    if menu is not None:
        items = [(e.get("name"), e.get("text"), e.get("userdata"))
                 for e in menu.iter("MenuElement")]
        if items != MENU_ITEMS:
            problem(f"FileMenu.xml: items {items}, expected {MENU_ITEMS}")
        if sum(int(e.get("height", "0")) for e in menu.iter("MenuElement")) > 104:
            problem("FileMenu.xml: the items do not fit the menu's 104 px")
        tree = skin.build("FileMenu.xml")
        check_texts_fit(tree, skin.fonts("FileMenu.xml"), "menu")

    for name in RUNTIME_IMAGES:
        skin.check_image("set by the program", name)
    for name in LOGO_FRAMES:
        if skin.image_sizes.get(name) not in (None, (300, 300)):
            problem(f"{name}: logo frames are drawn on a 300x300 label")
    if "4_Loading.gif" in skin.names:
        info = gif_info(skin.zip.read("4_Loading.gif"), "4_Loading.gif")
        if info and (info[:2] != (66, 66) or info[2] < 2 or not info[3]):
            problem(f"4_Loading.gif: expected an endlessly looping 66x66 animation, got {info}")
    for images, size in [(["XP.png", "7.png", "10.png"], None),
                         ([f"1_22_But1_{i}.png" for i in (1, 2, 3)] +
                          [f"1_2_But1_{i}.png" for i in (1, 2, 3)], None),
                         (["zt.png", "qd.png"], None)]:
        sizes = {skin.image_sizes.get(i) for i in images}
        if len(sizes) != 1:
            problem(f"{images}: images that replace each other should share one size: {sizes}")

    unused = sorted(n for n in skin.names if n.lower().endswith((".png", ".gif"))
                    and n not in skin.image_sizes)
    if unused:
        problem(f"images nobody shows: {unused}")

    if problems:
        for p in problems:
            print("skin:", p)
        print(f"skin: {len(problems)} problem(s) in {archive}")
        return 1
    print(f"skin: {archive}: {len(skin.names)} files, {len(skin.image_sizes)} images checked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
