#include "settings/download_folder.h"

#include <cwctype>

namespace korvane {

namespace {

std::wstring& ProcessDownloadFolder() {
    static std::wstring folder;
    return folder;
}

bool SameDrive(const std::wstring& root, const std::wstring& drive) {
    if (root.size() < 2 || drive.size() < 2) {
        return false;
    }
    for (size_t i = 0; i < 2; ++i) {
        if (std::towupper(root[i]) != std::towupper(drive[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::wstring DefaultDataRoot(DriveSource& drives, const std::wstring& systemDrive) {
    std::wstring root = FindLargestDataDrive(drives);
    // Images never go to the system drive by default, even on a machine without D:.
    if (SameDrive(root, systemDrive)) {
        return L"D:\\";
    }
    return root;
}

std::wstring DefaultDownloadFolder(const std::wstring& root) {
    return root + L"QMZ";
}

std::wstring LoadDownloadFolder(const OptionsStore& store, DriveSource& drives,
                                const std::wstring& systemDrive) {
    std::wstring folder = store.ReadOption(L"Set", L"Dir");
    if (folder.empty()) {
        folder = DefaultDownloadFolder(DefaultDataRoot(drives, systemDrive));
    }
    SetDownloadFolder(folder);
    store.WriteOption(L"Set", L"Dir", folder);
    return folder;
}

const std::wstring& DownloadFolder() {
    return ProcessDownloadFolder();
}

void SetDownloadFolder(const std::wstring& folder) {
    ProcessDownloadFolder() = folder;
}

std::wstring TrimFolderValue(const std::wstring& folder) {
    if (folder.size() == 3) {
        return folder.substr(0, 2);
    }
    return folder;
}

}  // namespace korvane
