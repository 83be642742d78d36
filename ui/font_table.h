// The fonts of one window, referred to by index as the pages do; -1 (or any index out of
// range) is the default font. GDI and GDI+ handles are made on first use and released with
// the table.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace DuiLib {

struct FontInfo {
    std::wstring name;
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
    HFONT hFont = nullptr;   // for native edit boxes, made on first use
    void* gpFont = nullptr;  // GDI+ font, made on first use
};

class FontTable {
  public:
    FontTable();
    ~FontTable();
    FontTable(const FontTable&) = delete;
    FontTable& operator=(const FontTable&) = delete;

    int Add(LPCTSTR name, int size, bool bold, bool underline, bool italic);
    void SetDefault(LPCTSTR name, int size, bool bold, bool underline, bool italic);
    int Count() const { return static_cast<int>(m_fonts.size()); }
    HFONT GdiFont(int index);
    void* GdiplusFont(int index);

  private:
    FontInfo& At(int index);
    static void Release(FontInfo& font);

    std::vector<FontInfo> m_fonts;
    FontInfo m_default;
};

}  // namespace DuiLib
