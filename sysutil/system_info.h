// Questions about the running Windows and its file system.
#pragma once

#include <string>

namespace korvane {

// True on Windows NT major version 6. Without a supported-OS list in the manifest,
// Windows 8 to 11 report 6.2, so every boot-manager Windows answers true; XP answers false.
bool IsWindowsNt6();

// The rule behind IsWindowsNt6, on the platform id and major version GetVersionExW answers:
// true only for the NT platform (2) with major version exactly 6.
bool IsNt6Version(unsigned long platformId, unsigned long majorVersion);

// How the running Windows was started: a boot-sector entry can only start on BIOS firmware.
enum class BootFirmware { kBios, kUefi, kUnknown };

// The firmware the platform reports (Windows 8 and later), else what the firmware-variable
// probe tells (Vista and 7): on BIOS firmware that call is "not supported".
BootFirmware GetBootFirmware();

// The probe's verdict from the error a firmware-variable read of a dummy variable left: BIOS
// for ERROR_INVALID_FUNCTION, UEFI for anything else.
BootFirmware FirmwareFromVariableProbe(unsigned long lastError);

// True when a file or folder of that name exists (tested through its ANSI form, as the
// DOS-side tools will see it).
bool PathExists(const std::wstring& path);

// The drive of the Windows system folder, such as "C:".
std::wstring GetSystemDrive();

// The user's roaming application data folder + "\QMZXT".
std::wstring GetApplicationDataFolder();

}  // namespace korvane
