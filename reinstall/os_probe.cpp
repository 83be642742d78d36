#include "reinstall/os_probe.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "sysutil/system_function.h"
#include "sysutil/text_conversion.h"

namespace korvane {

namespace {

static_assert(sizeof(OSVERSIONINFOEXW) == 284);

struct NameRow {
    const char* key;
    const wchar_t* workstation;
    const wchar_t* other;
};

constexpr NameRow kNames[] = {
    {"5.1", L"Windows XP", L"Windows XP"},
    {"5.2", L"Windows Server 2003(R2)", L"Windows Server 2003(R2)"},
    {"6.0", L"Windows Vista", L"Windows Server 2008"},
    {"6.1", L"Windows 7", L"Windows Server 2008 R2"},
    {"6.2", L"Windows 8", L"Windows Server 2012"},
    {"6.3", L"Windows 8.1", L"Windows Server 2012 R2"},
    {"10.0", L"Windows 10", L"Windows 10"},
};
constexpr wchar_t kUnknownName[] = L"(未知的)";

struct Recommendation {
    const wchar_t* option;
    const wchar_t* sentence;
    const wchar_t* selected;
};

constexpr Recommendation kXp = {L"OS_Op2",
                                L"根据您的电脑配置,软件自动为您推荐使用Windows XP操作系统!",
                                L"已选择Windows XP系统"};
constexpr Recommendation kWin7x32 = {
    L"OS_Op4", L"根据您的电脑配置,软件自动为您推荐使用Windows7 32Bits操作系统!",
    L"已选择Windows7 32位系统"};
constexpr Recommendation kWin7x64 = {
    L"OS_Op6", L"根据您的电脑配置,软件自动为您推荐使用Windows7 64Bits操作系统!",
    L"已选择Windows7 64位系统"};
constexpr Recommendation kWin10x32 = {
    L"OS_Op8", L"根据您的电脑配置,软件自动为您推荐使用Windows10 32Bits操作系统!",
    L"已选择Windows10 32位系统"};
constexpr Recommendation kWin10x64 = {
    L"OS_Op10", L"根据您的电脑配置,软件自动为您推荐使用Windows10 64Bits操作系统!",
    L"已选择Windows10 64位系统"};

// Word size is asked only where a 64-bit edition exists.
const Recommendation& RecommendationFor(OsFacts& os) {
    std::wstring name = os.OsName();
    if (name == L"Windows XP") {
        return kXp;
    }
    if (name == L"Windows 7") {
        return os.Is64Bit() ? kWin7x64 : kWin7x32;
    }
    if (name == L"Windows 8" || name == L"Windows 10") {
        return os.Is64Bit() ? kWin10x64 : kWin10x32;
    }
    return kXp;
}

}  // namespace

const wchar_t* OsNameForVersion(unsigned long major, unsigned long minor, bool workstation) {
    std::string key = std::to_string(major) + "." + std::to_string(minor);
    for (const NameRow& row : kNames) {
        if (key == row.key) {
            return workstation ? row.workstation : row.other;
        }
    }
    return kUnknownName;
}

void GetOsDisplayName(char (&name)[kOsNameBufferSize]) {
    // A failed call leaves the numbers zero: "0.0" names no Windows.
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    std::string ansi = WideToAnsi(OsNameForVersion(version.dwMajorVersion, version.dwMinorVersion,
                                                   version.wProductType == VER_NT_WORKSTATION));
    strncpy(name, ansi.c_str(), kOsNameBufferSize - 1);
}

bool IsWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = SystemFunction<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
    if (!isWow64Process) {
        return false;
    }
    BOOL wow64 = FALSE;
    isWow64Process(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
}

std::wstring RunningOsFacts::OsName() {
    char name[kOsNameBufferSize] = {};
    GetOsDisplayName(name);
    return AnsiToWide(name);
}

void RecommendEdition(RecommendationTarget& window, OsFacts& os) {
    const Recommendation& pick = RecommendationFor(os);
    for (const wchar_t* text :
         {L"tuijian1_text", L"tuijian2_text", L"tuijian3_text", L"tuijian4_text"}) {
        window.SetControlText(text, pick.sentence);
    }
    window.SetControlText(L"ChooseOs_Text", pick.selected);
    window.SetControlUserData(L"ChooseOs_Text", window.ControlUserData(pick.option));
}

void RecommendEdition(RecommendationTarget& window) {
    RunningOsFacts os;
    RecommendEdition(window, os);
}

}  // namespace korvane
