#include "databackup/folder_chain.h"

#include <windows.h>

#include "databackup/long_path.h"

namespace korvane {

namespace {

bool IsFolder(const std::wstring& longPath) {
    DWORD attributes = GetFileAttributesW(longPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::wstring& longPath) {
    return CreateDirectoryW(longPath.c_str(), nullptr) || IsFolder(longPath);
}

// Each folder below the drive or share root down to the parent of longPath, made when
// missing (on a missing drive the first one fails).
bool MakeParents(const std::wstring& longPath) {
    const size_t rootLength = LongPathRootLength(longPath);
    if (rootLength == 0) {
        return false;
    }
    for (size_t sep = longPath.find(L'\\', rootLength); sep != std::wstring::npos;
         sep = longPath.find(L'\\', sep + 1)) {
        if (!MakeFolder(longPath.substr(0, sep))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool CreateDestinationFolders(const std::vector<std::wstring>& destinations) {
    std::vector<std::wstring> longPaths;
    for (const std::wstring& destination : destinations) {
        longPaths.push_back(ToLongPath(destination));
        if (longPaths.back().empty() || !MakeParents(longPaths.back())) {
            return false;
        }
    }
    for (const std::wstring& longPath : longPaths) {
        if (!MakeFolder(longPath)) {
            return false;
        }
    }
    return true;
}

}  // namespace korvane
