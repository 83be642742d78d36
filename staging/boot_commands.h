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

// "cmd.exe /c <appDataFolder>\bcdedit.exe <remainder>". A folder with a blank in it (a user
// name such as "Li Lei") is quoted the way cmd.exe /c expects: the whole line in quotes.
std::wstring EditorCommand(const std::wstring& appDataFolder, const std::wstring& remainder);

// The eight staging commands, in order: export, create, set device, set path, set
// description, display order, timeout, default.
std::vector<std::wstring> StageEditorCommands(const std::wstring& appDataFolder,
                                              const std::wstring& description);

// The two undo commands: import the saved store, delete the entry.
std::vector<std::wstring> UnstageEditorCommands(const std::wstring& appDataFolder);

// Positions in StageEditorCommands whose success staging depends on.
inline constexpr size_t kSetPathCommand = 3;
inline constexpr size_t kDefaultCommand = 7;

}  // namespace korvane
