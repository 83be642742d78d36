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

// In the order they are written. 146 belongs to another resource type.
constexpr EngineFile kEngineFiles[] = {
    {134, L"xldl.dll", false},       {135, L"atl71.dll", true},
    {136, L"dl_peer_id.dll", true},  {137, L"download_engine.dll", true},
    {138, L"id.dat", true},          {139, L"MiniThunderPlatform.exe", true},
    {140, L"minizip.dll", true},     {141, L"msvcp71.dll", true},
    {142, L"msvcr71.dll", true},     {143, L"XLBugHandler.dll", true},
    {144, L"XLBugReport.exe", true}, {145, L"zlib1.dll", true},
    {147, L"MiniTPFw.exe", true},    {148, L"ThunderFW.dll", true},
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
