// UTF-8 for the texts the engine sends and keeps (URLs, header values, state records).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace korvane::xldl {

inline std::string Narrow(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

}  // namespace korvane::xldl
