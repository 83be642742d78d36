// Times what building the main window's control tree costs in the portable layer: opening
// the skin archive, inflating every page and parsing it, and reading the attribute texts.
// A synthetic skin of 20 pages / 300 controls by default; a real archive when named on
// the command line (every .xml entry is loaded).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/unit/ui_core/zip_writer.h"
#include "ui/core/attribute_text.h"
#include "ui/core/xml_document.h"
#include "ui/core/zip_archive.h"

using namespace DuiLib;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 20;
constexpr int kControlsPerPage = 15;

std::string SyntheticPage(int page) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\n"
        "<Window size=\"799,559\">\n"
        "  <VerticalLayout bkimage=\"file='panel.png' corner='6,6,6,6'\" bkcolor=\"#FFF4F6F9\">\n";
    static const char* const kControls[] = {
        "    <Button name=\"p%d_c%d_Btn\" float=\"true\" pos=\"%d,%d,%d,%d\" "
        "text=\"\xE4\xB8\x8B\xE4\xB8\x80\xE6\xAD\xA5\" font=\"1\" textcolor=\"#FFFFFFFF\" "
        "normalimage=\"file='button.png' source='0,0,130,40' corner='5,5,5,5'\" "
        "hotimage=\"file='button.png' source='0,40,130,80' corner='5,5,5,5'\" "
        "pushedimage=\"file='button.png' source='0,80,130,120' corner='5,5,5,5'\"/>\n",
        "    <Option name=\"p%d_c%d_Op\" group=\"os\" float=\"true\" pos=\"%d,%d,%d,%d\" "
        "normalimage=\"edition.png\" selectedimage=\"file='edition.png' dest='0,0,130,40'\" "
        "text=\"Windows 7 64\xE4\xBD\x8D\" align=\"center\"/>\n",
        "    <Label name=\"p%d_c%d_label\" float=\"true\" pos=\"%d,%d,%d,%d\" "
        "text=\"\xE6\xAD\xA3\xE5\x9C\xA8\xE4\xB8\x8B\xE8\xBD\xBD &amp; \xE6\xA0\xA1\xE9\xAA\x8C\" "
        "textcolor=\"#FF333333\" align=\"left,vcenter\" textpadding=\"4,0,4,0\" "
        "endellipsis=\"true\"/>\n",
    };
    char line[1024];
    for (int i = 0; i < kControlsPerPage; ++i) {
        int x = 20 + (i % 5) * 150, y = 40 + (i / 5) * 120;
        std::snprintf(line, sizeof line, kControls[i % 3], page, i, x, y, x + 130, y + 40);
        xml += line;
    }
    xml += "  </VerticalLayout>\n</Window>\n";
    return xml;
}

// The attribute work a page build does: every value through its parser.
int ParseAttributes(const XmlElement& element) {
    int parsed = 0;
    for (const XmlAttribute& a : element.attributes) {
        bool ok = true;
        if (a.name.find("image") != std::string::npos) {
            ImageDescription image;
            std::string error;
            ok = ParseImageDescription(a.value, &image, &error);
        } else if (a.name.find("color") != std::string::npos) {
            uint32_t argb;
            ok = ParseColor(a.value, &argb);
        } else if (a.name == "pos" || a.name == "textpadding") {
            Rect r;
            ok = ParseRect(a.value, &r);
        } else if (a.name == "align") {
            unsigned flags;
            ok = ParseAlign(a.value, &flags);
        }
        parsed += ok ? 1 : 0;
    }
    for (const XmlElement& child : element.children)
        parsed += ParseAttributes(child);
    return parsed;
}

int CountElements(const XmlElement& element) {
    int n = 1;
    for (const XmlElement& child : element.children)
        n += CountElements(child);
    return n;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

bool ReadFile(const char* path, std::vector<uint8_t>* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out->insert(out->end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

bool EndsWithXml(const std::string& name) {
    return name.size() > 4 && (name.compare(name.size() - 4, 4, ".xml") == 0 ||
                               name.compare(name.size() - 4, 4, ".XML") == 0);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint8_t> archive;
    if (argc > 1) {
        if (!ReadFile(argv[1], &archive)) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
    } else {
        ui_core_test::ZipWriter writer;
        for (int p = 0; p < kPages; ++p) {
            std::string name = "UIQV_Page";
            name += std::to_string(p);
            name += ".xml";
            writer.Add(name, SyntheticPage(p));
        }
        // Images travel in the same archive; the directory has to be walked past them.
        for (int i = 0; i < 60; ++i) {
            std::string name = "images/img";
            name += std::to_string(i);
            name += ".png";
            writer.Add(name, std::string(4000, static_cast<char>(i)), false);
        }
        archive = writer.Build();
    }

    std::vector<std::string> pages;
    {
        std::string error;
        auto zip = ZipArchive::Open(archive, &error);
        if (!zip) {
            std::fprintf(stderr, "cannot open the archive: %s\n", error.c_str());
            return 1;
        }
        for (const std::string& name : zip->Names()) {
            if (EndsWithXml(name))
                pages.push_back(name);
        }
    }

    const int iterations = 200;
    Clock::duration open{}, read{}, parse{}, attributes{};
    int elements = 0, values = 0;
    size_t xmlBytes = 0;
    for (int it = 0; it < iterations; ++it) {
        auto t0 = Clock::now();
        std::string error;
        auto zip = ZipArchive::Open(archive, &error);  // includes copying the archive bytes
        auto t1 = Clock::now();
        open += t1 - t0;
        elements = values = 0;
        xmlBytes = 0;
        for (const std::string& name : pages) {
            auto r0 = Clock::now();
            std::vector<uint8_t> bytes;
            if (!zip->Read(name, &bytes, &error)) {
                std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
                return 1;
            }
            auto r1 = Clock::now();
            XmlElement root;
            XmlError xmlError;
            if (!ParseXml(
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                    &root, &xmlError)) {
                std::fprintf(stderr, "%s:%d:%d: %s\n", name.c_str(), xmlError.line, xmlError.column,
                             xmlError.message.c_str());
                return 1;
            }
            auto r2 = Clock::now();
            values += ParseAttributes(root);
            auto r3 = Clock::now();
            read += r1 - r0;
            parse += r2 - r1;
            attributes += r3 - r2;
            elements += CountElements(root);
            xmlBytes += bytes.size();
        }
    }

    double total = Ms(open + read + parse + attributes) / iterations;
    std::printf(
        "ui_core load: %zu pages, %d elements, %d attribute values, %zu bytes of XML, "
        "archive %zu bytes\n",
        pages.size(), elements, values, xmlBytes, archive.size());
    std::printf("  open   %.3f ms\n", Ms(open) / iterations);
    std::printf("  read   %.3f ms (inflate + CRC)\n", Ms(read) / iterations);
    std::printf("  parse  %.3f ms\n", Ms(parse) / iterations);
    std::printf("  values %.3f ms\n", Ms(attributes) / iterations);
    std::printf("  full load %.3f ms (mean of %d)\n", total, iterations);
    return 0;
}
