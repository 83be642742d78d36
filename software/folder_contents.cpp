#include "software/folder_contents.h"

#include <windows.h>

#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

void DeleteEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        DeleteFolderContents(path);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

int DeleteFolderContents(const std::wstring& folder) {
    if (folder.empty()) {
        return 0;
    }
    WIN32_FIND_DATAW found = {};
    UniqueFindHandle listing(FindFirstFileW((folder + L"\\*.*").c_str(), &found));
    if (!listing.IsValid()) {
        return 0;
    }
    do {
        if (found.cFileName[0] != L'.') {
            DeleteEntry(folder + L"\\" + found.cFileName, found.dwFileAttributes);
        }
    } while (FindNextFileW(listing.Get(), &found));
    return 1;
}

}  // namespace korvane
