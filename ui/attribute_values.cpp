#include "ui/attribute_values.h"

#include <string>

#include "ui/skin_source.h"

namespace DuiLib {

namespace {
std::string Utf8(LPCTSTR value) {
    return skin::ToUtf8(value ? std::wstring(value) : L"");
}
}  // namespace

bool ParseColorAttr(LPCTSTR value, uint32_t* argb) {
    return ParseColor(Utf8(value), argb);
}

bool ParseRectAttr(LPCTSTR value, RECT* rc) {
    Rect r;
    if (!ParseRect(Utf8(value), &r)) {
        return false;
    }
    *rc = RECT{r.left, r.top, r.right, r.bottom};
    return true;
}

bool ParseSizeAttr(LPCTSTR value, SIZE* size) {
    Size s;
    if (!ParseSize(Utf8(value), &s)) {
        return false;
    }
    *size = SIZE{s.cx, s.cy};
    return true;
}

bool ParseBoolAttr(LPCTSTR value, bool* b) {
    return ParseBool(Utf8(value), b);
}

bool ParseIntAttr(LPCTSTR value, int* n) {
    return ParseInt(Utf8(value), n);
}

bool ParseAlignAttr(LPCTSTR value, unsigned* flags) {
    return ParseAlign(Utf8(value), flags);
}

void ReportBadAttribute(LPCTSTR control, LPCTSTR name, LPCTSTR value) {
    std::wstring line = L"DuiLib: bad attribute ";
    line += name ? name : L"";
    line += L"=\"";
    line += value ? value : L"";
    line += L"\" on ";
    line += control ? control : L"";
    line += L"\n";
    ::OutputDebugStringW(line.c_str());
}

}  // namespace DuiLib
