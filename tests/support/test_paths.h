// Paths and small file helpers shared by the Windows tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sysutil/unique_handle.h"
#include "sysutil/utf8_text.h"

namespace korvane::test {

// A Unix path from the environment (KORVANE_SOURCE_DIR, KORVANE_BUILD_DIR) as Wine sees it.
inline std::wstring UnixPathFromEnv(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        return std::wstring();
    }
    std::wstring path = std::wstring(L"Z:") + value;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

inline std::string ReadFileBytes(const std::wstring& path, bool* ok = nullptr) {
    std::string bytes;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (ok) {
        *ok = file.IsValid();
    }
    char chunk[4096];
    DWORD read = 0;
    while (file.IsValid() && ReadFile(file.Get(), chunk, sizeof(chunk), &read, nullptr) &&
           read > 0) {
        bytes.append(chunk, read);
    }
    return bytes;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() &&
           WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

inline bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Removes a file whatever its attributes; no error when it is not there.
inline void RemoveFile(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
}

inline std::string Utf8(const std::wstring& text) {
    return Utf8FromWide(text);
}

// The names in a folder, without "." and "..", in listing order.
inline std::vector<std::wstring> FolderNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    UniqueFindHandle search(FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search.IsValid()) {
        return names;
    }
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") {
            names.push_back(name);
        }
    } while (FindNextFileW(search.Get(), &found));
    return names;
}

}  // namespace korvane::test
