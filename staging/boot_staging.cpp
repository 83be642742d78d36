#include "staging/boot_staging.h"

#include <windows.h>
#include <winioctl.h>

#include "staging/boot_file_names.h"
#include "staging/staging_resources.h"
#include "sysutil/resource_file.h"
#include "sysutil/system_info.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr DWORD kHidden = FILE_ATTRIBUTE_HIDDEN;
constexpr DWORD kReadOnlyHidden = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;

struct LoaderFile {
    const wchar_t* name;
    WORD resource;
};

// In the order they are written.
constexpr LoaderFile kLoaderFiles[] = {
    {kLoaderName, kLoaderResource},
    {kFloppyImageName, kFloppyImageResource},
    {kBootSectorName, kBootSectorResource},
};

bool FileHasSize(const std::wstring& path, DWORD size) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 &&
           data.nFileSizeLow == size;
}

// A file written into a compressed NTFS folder is compressed too, and the boot-sector file
// reads the loader's sectors as they lie on the disk. (Where the volume has no compression,
// the request fails, which is fine.)
void KeepUncompressed(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) {
        return;
    }
    USHORT none = COMPRESSION_FORMAT_NONE;
    DWORD returned = 0;
    DeviceIoControl(file.Get(), FSCTL_SET_COMPRESSION, &none, sizeof(none), nullptr, 0, &returned,
                    nullptr);
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ReadProfileText(const std::wstring& file, const wchar_t* section,
                             const std::wstring& key) {
    wchar_t value[512] = {};
    GetPrivateProfileStringW(section, key.c_str(), L"", value, 512, file.c_str());
    return value;
}

}  // namespace

BootStaging::BootStaging(std::wstring systemDrive, std::wstring appDataFolder,
                         CommandRunner& runner, std::wstring firstVolumeRoot)
    : systemDrive_(std::move(systemDrive)),
      appDataFolder_(std::move(appDataFolder)),
      runner_(runner),
      firstVolumeRoot_(std::move(firstVolumeRoot)) {}

PayloadFault BootStaging::CarriedPayloadFault() const {
    return CheckBootPayload({ResourceBytes(kBootSectorResource, kStagingResourceType),
                             ResourceBytes(kLoaderResource, kStagingResourceType),
                             ResourceBytes(kFloppyImageResource, kStagingResourceType)});
}

void BootStaging::WriteLoaderFiles(const std::wstring& root) {
    for (const LoaderFile& file : kLoaderFiles) {
        ExtractResourceToFile(root + file.name, file.resource, kStagingResourceType);
        KeepUncompressed(root + file.name);
    }
    ExtractResourceToFile(appDataFolder_ + L"\\bcdedit.exe", kEditorResource, kStagingResourceType);
    for (const LoaderFile& file : kLoaderFiles) {
        SetFileAttributesW((root + file.name).c_str(), kHidden);
    }
}

bool BootStaging::LoaderFilesInPlace(const std::wstring& root) const {
    for (const LoaderFile& file : kLoaderFiles) {
        DWORD size = ResourceSize(file.resource, kStagingResourceType);
        if (size == 0 || !FileHasSize(root + file.name, size)) {
            return false;
        }
    }
    return true;
}

bool BootStaging::StageBootEntry(const std::wstring& description, const std::wstring& bootIniText) {
    storeSaved_ = false;
    if (appDataFolder_.empty() || CarriedPayloadFault() != PayloadFault::kNone) {
        return false;
    }
    WriteLoaderFiles(firstVolumeRoot_);
    WriteLoaderFiles(SystemRoot());

    bool entryIsDefault =
        IsWindowsNt6() ? StageBcdEntry(description) : StageBootIniEntry(bootIniText);

    // A hidden loader file left by an earlier staging refuses the rewrite; that is fine,
    // its content is the same. What counts is that each root holds the files now.
    bool loadersInPlace = LoaderFilesInPlace(SystemRoot());
    if (FolderExists(firstVolumeRoot_)) {
        loadersInPlace = loadersInPlace && LoaderFilesInPlace(firstVolumeRoot_);
    }
    bool batchInPlace = PathExists(SystemRoot() + kGhostBatchName);
    return entryIsDefault && loadersInPlace && batchInPlace;
}

bool BootStaging::StageBcdEntry(const std::wstring& description) {
    const std::vector<EditorStep> steps = StageEditorCommands(appDataFolder_, description);
    bool requiredSucceeded = true;
    for (const EditorStep& step : steps) {
        HiddenCommandResult result = runner_.Run(step.command);
        bool succeeded = result.exited && result.exitCode == 0;
        if (step.savesStore) {
            storeSaved_ = succeeded;
        }
        if (step.required && !succeeded) {
            requiredSucceeded = false;
        }
    }
    return requiredSucceeded;
}

bool BootStaging::StageBootIniEntry(const std::wstring& bootIniText) {
    const std::wstring bootIni = SystemRoot() + L"boot.ini";
    const std::wstring saved = SystemRoot() + L"boot.in_";
    const std::wstring entryKey = systemDrive_ + L"\\" + kBootSectorName;

    // Hidden alone clears read-only and system, so the files can be moved and deleted.
    SetFileAttributesW(saved.c_str(), kHidden);
    SetFileAttributesW(bootIni.c_str(), kHidden);
    DeleteFileW(saved.c_str());
    MoveFileA(WideToAnsi(bootIni).c_str(), WideToAnsi(saved).c_str());
    // Only takes effect when the move failed: the copy below then fails and the
    // existing boot.ini is edited in place.
    SetFileAttributesW(bootIni.c_str(), kReadOnlyHidden);
    CopyFileW(saved.c_str(), bootIni.c_str(), FALSE);
    SetFileAttributesW(bootIni.c_str(), kHidden);

    WritePrivateProfileStringW(L"boot loader", L"timeout", L"3", bootIni.c_str());
    WritePrivateProfileStringW(L"operating systems", entryKey.c_str(), bootIniText.c_str(),
                               bootIni.c_str());
    WritePrivateProfileStringW(L"boot loader", L"default", entryKey.c_str(), bootIni.c_str());
    SetFileAttributesW(bootIni.c_str(), kReadOnlyHidden);

    // boot.ini is an ANSI file: the entry text comes back as the code page could keep it
    // ("?" for what it cannot), and that is what NTLDR will show.
    return ReadProfileText(bootIni, L"boot loader", L"default") == entryKey &&
           ReadProfileText(bootIni, L"operating systems", entryKey) ==
               AnsiToWide(WideToAnsi(bootIniText)) &&
           ReadProfileText(bootIni, L"boot loader", L"timeout") == L"3";
}

void BootStaging::UnstageBootEntry() {
    const std::wstring roots[] = {firstVolumeRoot_, SystemRoot()};
    if (IsWindowsNt6()) {
        // Without a folder the editor would be run from the drive root.
        if (!appDataFolder_.empty()) {
            for (const std::wstring& command : UnstageEditorCommands(appDataFolder_, storeSaved_)) {
                runner_.Run(command);
            }
        }
        storeSaved_ = false;
    } else {
        for (const std::wstring& root : roots) {
            const std::wstring saved = root + L"boot.in_";
            const std::wstring bootIni = root + L"boot.ini";
            SetFileAttributesW(saved.c_str(), FILE_ATTRIBUTE_NORMAL);
            SetFileAttributesW(bootIni.c_str(), FILE_ATTRIBUTE_NORMAL);
            CopyFileW(saved.c_str(), bootIni.c_str(), FALSE);
            SetFileAttributesW(saved.c_str(), kReadOnlyHidden);
            SetFileAttributesW(bootIni.c_str(), kReadOnlyHidden);
        }
    }
    for (const std::wstring& root : roots) {
        for (const wchar_t* name :
             {kLoaderName, kFloppyImageName, kBootSectorName, kGhostBatchName}) {
            const std::wstring path = root + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    }
}

}  // namespace korvane
