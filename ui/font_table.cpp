#include "ui/font_table.h"

#include <cwchar>

#include <algorithm>
#include <objidl.h>
using std::max;
using std::min;
#include <gdiplus.h>

namespace DuiLib {

using namespace Gdiplus::DllExports;

namespace {

FontInfo Describe(LPCTSTR name, int size, bool bold, bool underline, bool italic) {
    FontInfo font;
    font.name = name ? name : L"";
    font.size = size > 0 ? size : 12;
    font.bold = bold;
    font.underline = underline;
    font.italic = italic;
    return font;
}

Gdiplus::GpFont* CreateGdiplusFont(const FontInfo& font, const LOGFONTW& lf) {
    HDC dc = ::GetDC(nullptr);
    Gdiplus::GpFont* gp = nullptr;
    if (GdipCreateFontFromLogfontW(dc, &lf, &gp) != Gdiplus::Ok) {
        // An unknown face: fall back to the stock sans-serif family.
        gp = nullptr;
        Gdiplus::GpFontFamily* family = nullptr;
        if (GdipGetGenericFontFamilySansSerif(&family) == Gdiplus::Ok) {
            INT style = (font.bold ? Gdiplus::FontStyleBold : 0) |
                        (font.italic ? Gdiplus::FontStyleItalic : 0) |
                        (font.underline ? Gdiplus::FontStyleUnderline : 0);
            GdipCreateFont(family, static_cast<Gdiplus::REAL>(font.size), style, Gdiplus::UnitPixel,
                           &gp);
            GdipDeleteFontFamily(family);
        }
    }
    ::ReleaseDC(nullptr, dc);
    return gp;
}

void EnsureHandles(FontInfo& font) {
    if (font.hFont && font.gpFont)
        return;
    LOGFONTW lf = {};
    lf.lfHeight = -font.size;
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.italic;
    lf.lfUnderline = font.underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, font.name.c_str(), LF_FACESIZE - 1);
    if (!font.hFont)
        font.hFont = ::CreateFontIndirectW(&lf);
    if (!font.gpFont)
        font.gpFont = CreateGdiplusFont(font, lf);
}

}  // namespace

FontTable::FontTable() : m_default(Describe(L"微软雅黑", 12, false, false, false)) {}

FontTable::~FontTable() {
    for (FontInfo& font : m_fonts)
        Release(font);
    Release(m_default);
}

void FontTable::Release(FontInfo& font) {
    if (font.hFont)
        ::DeleteObject(font.hFont);
    if (font.gpFont)
        GdipDeleteFont(static_cast<Gdiplus::GpFont*>(font.gpFont));
    font.hFont = nullptr;
    font.gpFont = nullptr;
}

int FontTable::Add(LPCTSTR name, int size, bool bold, bool underline, bool italic) {
    m_fonts.push_back(Describe(name, size, bold, underline, italic));
    return static_cast<int>(m_fonts.size()) - 1;
}

void FontTable::SetDefault(LPCTSTR name, int size, bool bold, bool underline, bool italic) {
    Release(m_default);
    m_default = Describe(name, size, bold, underline, italic);
}

FontInfo& FontTable::At(int index) {
    return (index >= 0 && index < Count()) ? m_fonts[static_cast<size_t>(index)] : m_default;
}

HFONT FontTable::GdiFont(int index) {
    FontInfo& font = At(index);
    EnsureHandles(font);
    return font.hFont;
}

void* FontTable::GdiplusFont(int index) {
    FontInfo& font = At(index);
    EnsureHandles(font);
    return font.gpFont;
}

}  // namespace DuiLib
