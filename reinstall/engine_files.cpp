#include "reinstall/engine_files.h"

#include <windows.h>

#include "sysutil/process_runner.h"
#include "sysutil/resource_file.h"

namespace korvane {

namespace {

struct EngineFile {
    WORD resourceId;
    const wchar_t* name;
    bool companion;  // in "\Download\download" rather than "\Download"
};

// In the order they are written: the build's one list of them (KORVANE_ENGINE_FILES).
constexpr EngineFile kEngineFiles[] = {
#include "engine_files_table.inc"
};

constexpr const wchar_t* kEngineResourceType = L"KRDL";

}  // namespace

void WriteDownloadEngineFiles(const std::wstring& appDataFolder) {
    // Without a folder every path would point into the current drive's root.
    if (appDataFolder.empty()) {
        return;
    }
    const std::wstring engineFolder = appDataFolder + L"\\Download";
    const std::wstring companionFolder = engineFolder + L"\\download";
    // Existing folders make these fail, which is fine.
    CreateDirectoryW(engineFolder.c_str(), nullptr);
    CreateDirectoryW(companionFolder.c_str(), nullptr);

    for (const EngineFile& file : kEngineFiles) {
        const std::wstring& folder = file.companion ? companionFolder : engineFolder;
        ExtractResourceToFile(folder + L"\\" + file.name, file.resourceId, kEngineResourceType);
    }

    // Quoted: unquoted, a path with blanks ("Documents and Settings" on XP) would let
    // CreateProcess start "C:\Documents.exe" first.
    RunHiddenCommand(L"\"" + companionFolder + L"\\MiniTPFw.exe\"", false);
}

}  // namespace korvane
