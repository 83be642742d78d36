#include "databackup/long_path.h"

#include <windows.h>

#include <vector>

namespace korvane {

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

std::wstring FullPath(const std::wstring& path) {
    DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(needed + 1);
    DWORD n = GetFullPathNameW(path.c_str(), needed + 1, buffer.data(), nullptr);
    if (n == 0 || n > needed) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), n);
}

// "a\\b\" → "a\b", a drive root keeping its separator.
std::wstring SingleSeparators(const std::wstring& path) {
    std::wstring out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == L'\\' && !out.empty() && out.back() == L'\\') {
            continue;
        }
        out += path[i];
    }
    while (out.size() > 3 && out.back() == L'\\') {
        out.pop_back();
    }
    return out;
}

}  // namespace

std::wstring ToLongPath(const std::wstring& path) {
    if (path.empty()) {
        return std::wstring();
    }
    if (StartsWith(path, kLongPrefix)) {
        return path;
    }
    std::wstring full = FullPath(path);
    if (full.size() < 3) {
        return std::wstring();
    }
    if (StartsWith(full, L"\\\\")) {
        return kLongUncPrefix + SingleSeparators(full.substr(2));
    }
    std::wstring drivePath = SingleSeparators(full);
    if (drivePath.size() == 2) {
        drivePath += L'\\';
    }
    return kLongPrefix + drivePath;
}

std::wstring ToDisplayPath(const std::wstring& longPath) {
    if (StartsWith(longPath, kLongUncPrefix)) {
        return L"\\\\" + longPath.substr(wcslen(kLongUncPrefix));
    }
    if (StartsWith(longPath, kLongPrefix)) {
        return longPath.substr(wcslen(kLongPrefix));
    }
    return longPath;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + name;
    }
    return folder + L'\\' + name;
}

size_t LongPathRootLength(const std::wstring& longPath) {
    if (StartsWith(longPath, kLongUncPrefix)) {
        // server and share, each followed by a separator (or the end).
        size_t at = wcslen(kLongUncPrefix);
        for (int part = 0; part < 2; ++part) {
            size_t sep = longPath.find(L'\\', at);
            if (sep == std::wstring::npos) {
                return part == 1 ? longPath.size() : 0;
            }
            at = sep + 1;
        }
        return at;
    }
    if (StartsWith(longPath, kLongPrefix) && longPath.size() >= 7 && longPath[5] == L':' &&
        longPath[6] == L'\\') {
        return 7;
    }
    return 0;
}

}  // namespace korvane
