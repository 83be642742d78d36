// UTF-8 and UTF-16, both ways: for the job log, the engine's URLs, header values and state
// records, and the skin's pages. Header-only, so the engine and the UI framework use the
// same conversion.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace korvane {

inline std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty()) {
        return std::string();
    }
    const int units = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring WideFromUtf8(std::string_view text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int bytes = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), bytes, out.data(), n);
    return out;
}

}  // namespace korvane
