#include "databackup/tree_copier.h"

#include "databackup/long_path.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                                      FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;

void ClearReadOnly(const std::wstring& path, DWORD attributes) {
    DWORD kept = attributes & kSettableAttributes;
    SetFileAttributesW(path.c_str(), kept ? kept : FILE_ATTRIBUTE_NORMAL);
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

int TreeCopier::CountFiles(const std::wstring& folder) {
    listedRoot_ = ToLongPath(folder);
    listedRootFound_ = false;
    listed_.clear();
    ancestors_.clear();
    if (listedRoot_.empty()) {
        problems_.AddFailedFolder(folder);
        return 0;
    }
    ListTree(listedRoot_, std::wstring(), true);
    size_t files = 0;
    for (const ListedFolder& listed : listed_) {
        files += listed.files.size();
    }
    return static_cast<int>(files);
}

void TreeCopier::ListTree(const std::wstring& folder, const std::wstring& relative, bool top) {
    // One open per folder tells a folder that is one of its own ancestors (a link that the
    // platform shows as a plain folder): it is skipped instead of walked forever.
    BY_HANDLE_FILE_INFORMATION info = {};
    UniqueHandle handle(CreateFileW(folder.c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    bool known = handle.IsValid() && GetFileInformationByHandle(handle.Get(), &info);
    handle.Reset();
    FolderId id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    if (known) {
        for (const FolderId& ancestor : ancestors_) {
            if (ancestor == id) {
                problems_.AddSkippedLink(ToDisplayPath(folder));
                return;
            }
        }
    }
    std::vector<std::wstring> subfolders;
    if (!ListOneFolder(folder, relative, top, subfolders)) {
        return;
    }
    if (known) {
        ancestors_.push_back(id);
    }
    for (const std::wstring& name : subfolders) {
        ListTree(JoinPath(folder, name), relative + L'\\' + name, false);
    }
    if (known) {
        ancestors_.pop_back();
    }
}

bool TreeCopier::ListOneFolder(const std::wstring& folder, const std::wstring& relative, bool top,
                               std::vector<std::wstring>& subfolders) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle find(FindFirstFileW(JoinPath(folder, L"*").c_str(), &found));
    if (!find.IsValid()) {
        if (!(top && IsMissing(GetLastError()))) {
            problems_.AddFailedFolder(ToDisplayPath(folder));
        }
        return false;
    }
    if (top) {
        listedRootFound_ = true;
    }
    listed_.push_back(ListedFolder{relative, {}});
    std::vector<std::wstring>& files = listed_.back().files;
    do {
        if (found.cFileName[0] == L'.') {
            continue;  // ".", ".." and every dot-name the user keeps private
        }
        const DWORD attributes = found.dwFileAttributes;
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            ClearReadOnly(JoinPath(folder, found.cFileName), attributes);
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files.emplace_back(found.cFileName);
        } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            problems_.AddSkippedLink(ToDisplayPath(JoinPath(folder, found.cFileName)));
        } else {
            subfolders.emplace_back(found.cFileName);
        }
    } while (FindNextFileW(find.Get(), &found));
    return true;
}

bool TreeCopier::CopyTree(const std::wstring& folder, const std::wstring& destinationRoot,
                          const std::wstring& sourceRoot) {
    const std::wstring source = ToLongPath(folder);
    if (source != listedRoot_ || listedRoot_.empty()) {
        CountFiles(folder);
    }
    if (!listedRootFound_) {
        return false;
    }
    const std::wstring root = ToLongPath(sourceRoot);
    std::wstring destination = ToLongPath(destinationRoot);
    if (!root.empty() && source.compare(0, root.size(), root) == 0) {
        destination += source.substr(root.size());
    }
    for (const ListedFolder& listed : listed_) {
        const std::wstring target = destination + listed.relative;
        if (!listed.relative.empty() && !CreateDirectoryW(target.c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            problems_.AddFailedFolder(ToDisplayPath(target));
        }
        CopyFolderFiles(listed, source + listed.relative, target);
    }
    progress_.ShowFinalCount();
    return true;
}

void TreeCopier::CopyFolderFiles(const ListedFolder& listed, const std::wstring& source,
                                 const std::wstring& destination) {
    for (const std::wstring& name : listed.files) {
        CopyOneFile(JoinPath(source, name), JoinPath(destination, name));
        progress_.FileCopied();
    }
}

void TreeCopier::CopyOneFile(const std::wstring& source, const std::wstring& destination) {
    if (CopyFileW(source.c_str(), destination.c_str(), FALSE)) {
        return;
    }
    // A read-only copy left by an earlier run (or by the user) refuses the overwrite.
    if (GetLastError() == ERROR_ACCESS_DENIED) {
        DWORD attributes = GetFileAttributesW(destination.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            ClearReadOnly(destination, attributes);
            if (CopyFileW(source.c_str(), destination.c_str(), FALSE)) {
                return;
            }
        }
    }
    problems_.AddFailedFile(ToDisplayPath(source));
}

}  // namespace korvane
