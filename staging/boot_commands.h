// The boot configuration editor commands that add and remove the one-time boot entry.
// Portable text only.
#pragma once

#include <string>
#include <vector>

namespace korvane {

// The entry is created under this fixed identifier on every machine and for every job, so
// nothing has to be read back from the editor.
inline constexpr wchar_t kBootEntryId[] = L"{acf98c95-1214-11e4-88da-005056c16579}";

// The root of the volume Windows numbers 1: where the boot manager and \Boot\BCD live.
inline constexpr wchar_t kFirstVolumeRoot[] = L"\\\\?\\HarddiskVolume1\\";

// "cmd.exe /c <program><remainder>" (the remainder starts with its own blank or
// redirection). A program path that cmd would split or read specially
// (a blank, &, ^, parentheses, %: user names such as "Tom & Jerry" exist) is quoted so that
// it reaches cmd as it is.
std::wstring CmdCommand(const std::wstring& program, const std::wstring& remainder);

// A path in double quotes for a cmd line, safe from cmd's %name% expansion.
std::wstring CmdQuoted(const std::wstring& path);

// CmdCommand of <appDataFolder>\bcdedit.exe.
std::wstring EditorCommand(const std::wstring& appDataFolder, const std::wstring& remainder);

// One editor command of the staging, and whether the staging depends on its success.
struct EditorStep {
    std::wstring command;
    bool required;
    bool savesStore = false;  // the export: what undo may import later
};

// The eight staging commands, in order: export, create, set device, set path, set
// description, display order, timeout, default. Without the saved store the entry would
// never remove itself after Ghost has run, so the export is required, and so are the
// device, the path and the default that make the entry boot. The create may fail over the
// entry of an earlier staging, which the later commands then complete.
std::vector<EditorStep> StageEditorCommands(const std::wstring& appDataFolder,
                                            const std::wstring& description);

// The undo commands: import the store saved by this run's export (only when there is one),
// delete the entry.
std::vector<std::wstring> UnstageEditorCommands(const std::wstring& appDataFolder,
                                                bool importSavedStore);

}  // namespace korvane
