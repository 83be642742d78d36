#include "engine/leftover_list.h"

#include <windows.h>

namespace korvane::xldl {

namespace {

std::wstring ListPath(const std::wstring& folder) {
    std::wstring p = folder;
    if (!p.empty() && p.back() != L'\\') {
        p += L'\\';
    }
    return p + kLeftoverListName;
}

bool EndsWith(const std::wstring& s, const std::wstring& tail) {
    if (s.size() < tail.size()) {
        return false;
    }
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (towlower(s[s.size() - tail.size() + i]) != tail[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsPartialDataPath(const std::wstring& path) {
    return (EndsWith(path, L".kvdl") || EndsWith(path, L".kvdl.state")) &&
           path.find(L"..") == std::wstring::npos && path.size() > 3 && path[1] == L':' &&
           path[2] == L'\\';
}

bool AppendLeftover(const std::wstring& folder, const std::wstring& path) {
    CreateDirectoryW(folder.c_str(), nullptr);
    HANDLE f = CreateFileW(ListPath(folder).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    std::wstring line = path + L"\n";
    DWORD written = 0;
    bool ok = WriteFile(f, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written,
                        nullptr) != 0;
    CloseHandle(f);
    return ok;
}

std::vector<std::wstring> ReadLeftovers(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    HANDLE f = CreateFileW(ListPath(folder).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return paths;
    }
    LARGE_INTEGER size;
    if (GetFileSizeEx(f, &size) && size.QuadPart > 0 && size.QuadPart < (16 << 20)) {
        std::wstring text(static_cast<std::size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
        DWORD read = 0;
        if (ReadFile(f, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read,
                     nullptr)) {
            text.resize(read / sizeof(wchar_t));
            std::size_t start = 0;
            while (start < text.size()) {
                std::size_t end = text.find(L'\n', start);
                if (end == std::wstring::npos) {
                    end = text.size();
                }
                std::wstring line = text.substr(start, end - start);
                if (!line.empty() && line.back() == L'\r') {
                    line.pop_back();
                }
                if (!line.empty()) {
                    paths.push_back(line);
                }
                start = end + 1;
            }
        }
    }
    CloseHandle(f);
    return paths;
}

bool WriteLeftovers(const std::wstring& folder, const std::vector<std::wstring>& paths) {
    std::wstring list = ListPath(folder);
    if (paths.empty()) {
        return DeleteUnlessGone(list);
    }
    std::wstring text;
    for (const std::wstring& p : paths) {
        text += p + L"\n";
    }
    std::wstring temp = list + L".tmp";
    HANDLE f = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                        nullptr) != 0;
    CloseHandle(f);
    return ok && MoveFileExW(temp.c_str(), list.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool DeleteUnlessGone(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) {
        return true;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace korvane::xldl
