// Questions about the running Windows and its file system.
#pragma once

#include <string>

namespace korvane {

// True on Windows NT major version 6. Without a supported-OS list in the manifest,
// Windows 8 to 11 report 6.2, so every boot-manager Windows answers true; XP answers false.
bool IsWindowsNt6();

// True when a file or folder of that name exists (tested through its ANSI form, as the
// DOS-side tools will see it).
bool PathExists(const std::wstring& path);

// The drive of the Windows system folder, such as "C:".
std::wstring GetSystemDrive();

// The user's roaming application data folder + "\QMZXT".
std::wstring GetApplicationDataFolder();

}  // namespace korvane
