// Folders and files for the adapter's tests under Wine.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/test_paths.h"

namespace korvane::testing_support {

// A unix path of the build ("/work/...") as Wine's programs see it ("Z:\work\...").
inline std::wstring WinePath(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p; ++p) {
        path += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
    }
    return path;
}

// A folder under the temporary folder that did not exist before (Wine reuses process ids,
// so the id alone does not make a name new).
inline std::wstring NewTempFolder(const wchar_t* stem) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (DWORD attempt = GetTickCount();; ++attempt) {
        std::wstring folder = std::wstring(temp) + stem + L"-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(attempt);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
    }
}

inline bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's bytes, or "(missing)" so a comparison names what was wrong.
inline std::string ReadWholeFile(const std::wstring& path) {
    bool ok = false;
    std::string bytes = korvane::test::ReadFileBytes(path, &ok);
    return ok ? bytes : "(missing)";
}

}  // namespace korvane::testing_support
