#include "sysutil/system_info.h"

#include <windows.h>
#include <shlobj.h>

#include <io.h>

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
