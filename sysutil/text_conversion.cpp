#include "sysutil/text_conversion.h"

#include <windows.h>

#include "sysutil/utf8_text.h"

namespace korvane {

std::wstring AnsiToWide(const std::string& ansi) {
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
    if (n <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<size_t>(n) + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), n);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::string WideToAnsi(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        return std::string();
    }
    std::string ansi(static_cast<size_t>(n) + 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), n, nullptr, nullptr);
    ansi.resize(strlen(ansi.c_str()));
    return ansi;
}

std::string WideToUtf8(const std::wstring& wide) {
    return Utf8FromWide(wide);
}

bool ContainsNonAsciiChar(const std::wstring& text) {
    for (wchar_t unit : text) {
        if (static_cast<unsigned>(unit) >= 0xA0) {
            return true;
        }
    }
    return false;
}

}  // namespace korvane
