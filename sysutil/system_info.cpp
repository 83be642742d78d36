#include "sysutil/system_info.h"

#include <windows.h>
#include <shlobj.h>

#include <io.h>

#include "sysutil/system_function.h"
#include "sysutil/text_conversion.h"

namespace korvane {

// The basic structure (not the EX one) is what XP and later all accept here.
static_assert(sizeof(OSVERSIONINFOW) == 276);

bool IsWindowsNt6() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version)) {
        return false;
    }
    return IsNt6Version(version.dwPlatformId, version.dwMajorVersion);
}

bool IsNt6Version(unsigned long platformId, unsigned long majorVersion) {
    return platformId == VER_PLATFORM_WIN32_NT && majorVersion == 6;
}

BootFirmware FirmwareFromVariableProbe(unsigned long lastError) {
    return lastError == ERROR_INVALID_FUNCTION ? BootFirmware::kBios : BootFirmware::kUefi;
}

// Both calls are looked up at run time: XP's kernel32 has neither.
BootFirmware GetBootFirmware() {
    using GetFirmwareTypeFn = BOOL(WINAPI*)(FIRMWARE_TYPE*);
    auto getType = SystemFunction<GetFirmwareTypeFn>(L"kernel32.dll", "GetFirmwareType");
    FIRMWARE_TYPE type = FirmwareTypeUnknown;
    if (getType && getType(&type)) {
        if (type == FirmwareTypeBios) {
            return BootFirmware::kBios;
        }
        if (type == FirmwareTypeUefi) {
            return BootFirmware::kUefi;
        }
    }
    using GetVariableFn = DWORD(WINAPI*)(LPCWSTR, LPCWSTR, PVOID, DWORD);
    auto getVariable =
        SystemFunction<GetVariableFn>(L"kernel32.dll", "GetFirmwareEnvironmentVariableW");
    if (!getVariable) {
        return BootFirmware::kUnknown;
    }
    SetLastError(ERROR_SUCCESS);
    if (getVariable(L"", L"{00000000-0000-0000-0000-000000000000}", nullptr, 0) != 0) {
        return BootFirmware::kUefi;
    }
    return FirmwareFromVariableProbe(GetLastError());
}

bool PathExists(const std::wstring& path) {
    return _access(WideToAnsi(path).c_str(), 0) == 0;
}

std::wstring GetSystemDrive() {
    wchar_t folder[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n < 2 || n >= MAX_PATH) {
        return L"C:";
    }
    return std::wstring(folder, 2);
}

std::wstring GetApplicationDataFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::wstring();
    }
    return std::wstring(folder) + L"\\QMZXT";
}

}  // namespace korvane
