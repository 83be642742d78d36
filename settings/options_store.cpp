#include "settings/options_store.h"

#include "sysutil/system_info.h"

namespace korvane {

namespace {

// Reads pass a buffer of this many units, so a value comes back at most 259 long.
constexpr DWORD kReadUnits = 260;

}  // namespace

std::wstring GetOptionsFilePath(HWND /*owner*/) {
    return GetOptionsFilePath(GetApplicationDataFolder());
}

std::wstring GetOptionsFilePath(const std::wstring& appDataFolder) {
    if (appDataFolder.empty()) {
        return std::wstring();
    }
    // Only the last level: the roaming folder itself always exists. An existing folder
    // makes this fail, which is fine.
    CreateDirectoryW(appDataFolder.c_str(), nullptr);
    return appDataFolder + L"\\Option.ini";
}

std::wstring OptionsStore::ReadOption(const std::wstring& section, const std::wstring& key) const {
    // Without a full path the platform would fall back to a file in the Windows folder.
    if (filePath_.empty()) {
        return std::wstring();
    }
    wchar_t value[kReadUnits] = {};
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", value, kReadUnits,
                             filePath_.c_str());
    value[kReadUnits - 1] = L'\0';
    return std::wstring(value);
}

void OptionsStore::WriteOption(const std::wstring& section, const std::wstring& key,
                               const std::wstring& text) const {
    if (filePath_.empty()) {
        return;
    }
    WritePrivateProfileStringW(section.c_str(), key.c_str(), text.c_str(), filePath_.c_str());
}

}  // namespace korvane
