#include "staging/boot_commands.h"

namespace korvane {

namespace {

std::wstring StoreBackupPath() {
    return std::wstring(kFirstVolumeRoot) + L"Boot\\BCD_";
}

}  // namespace

std::wstring EditorCommand(const std::wstring& appDataFolder, const std::wstring& remainder) {
    std::wstring editor = appDataFolder + L"\\bcdedit.exe";
    if (editor.find(L' ') == std::wstring::npos) {
        return L"cmd.exe /c " + editor + L" " + remainder;
    }
    return L"cmd.exe /c \"\"" + editor + L"\" " + remainder + L"\"";
}

std::vector<std::wstring> StageEditorCommands(const std::wstring& appDataFolder,
                                              const std::wstring& description) {
    const std::wstring entry = kBootEntryId;
    return {
        EditorCommand(appDataFolder, L"/export " + StoreBackupPath()),
        EditorCommand(appDataFolder, L"/create " + entry + L" /d \"" + description +
                                         L"\" /application bootsector"),
        EditorCommand(appDataFolder, L"/set " + entry + L" device boot"),
        EditorCommand(appDataFolder, L"/set " + entry + L" path \\krldr.mbr"),
        EditorCommand(appDataFolder, L"/set " + entry + L" description " + description),
        EditorCommand(appDataFolder, L"/displayorder " + entry + L" /addlast"),
        EditorCommand(appDataFolder, L"/timeout 3 "),
        EditorCommand(appDataFolder, L"/default " + entry),
    };
}

std::vector<std::wstring> UnstageEditorCommands(const std::wstring& appDataFolder) {
    return {
        EditorCommand(appDataFolder, L"/import " + StoreBackupPath()),
        EditorCommand(appDataFolder, L"/delete " + std::wstring(kBootEntryId)),
    };
}

}  // namespace korvane
