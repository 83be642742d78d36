// Shared helpers of the stand-in platform tools: arguments, UTF-8 files, output.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sysutil/unique_handle.h"
#include "sysutil/utf8_text.h"

namespace doubles {

inline std::vector<std::wstring> Arguments() {
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; list && i < count; ++i) {
        args.push_back(list[i]);
    }
    LocalFree(list);
    return args;
}

inline std::wstring EnvOr(const wchar_t* name, const wchar_t* fallback) {
    wchar_t value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(value) : std::wstring(fallback);
}

inline bool ReadBytes(const std::wstring& path, std::string* bytes) {
    korvane::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) {
        return false;
    }
    bytes->clear();
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) && read > 0) {
        bytes->append(chunk, read);
    }
    return true;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes, bool append) {
    korvane::UniqueHandle file(
        CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() &&
           WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

inline std::string ToUtf8(const std::wstring& text) {
    return korvane::Utf8FromWide(text);
}

inline std::wstring FromUtf8(const std::string& text) {
    return korvane::WideFromUtf8(text);
}

inline void Print(const std::string& bytes) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

}  // namespace doubles
