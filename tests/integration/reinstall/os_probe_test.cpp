// The OS name table, the running system's name and word size, and the edition each
// (name, word size) pair recommends on a stand-in main window.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "reinstall/os_probe.h"
#include "sysutil/text_conversion.h"

namespace korvane {
namespace {

TEST(OsNameTable, EveryRowInBothColumns) {
    struct Row {
        unsigned long major, minor;
        const wchar_t* workstation;
        const wchar_t* other;
    };
    const Row rows[] = {
        {5, 1, L"Windows XP", L"Windows XP"},
        {5, 2, L"Windows Server 2003(R2)", L"Windows Server 2003(R2)"},
        {6, 0, L"Windows Vista", L"Windows Server 2008"},
        {6, 1, L"Windows 7", L"Windows Server 2008 R2"},
        {6, 2, L"Windows 8", L"Windows Server 2012"},
        {6, 3, L"Windows 8.1", L"Windows Server 2012 R2"},
        {10, 0, L"Windows 10", L"Windows 10"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.major) + "." + std::to_string(row.minor));
        EXPECT_STREQ(OsNameForVersion(row.major, row.minor, true), row.workstation);
        EXPECT_STREQ(OsNameForVersion(row.major, row.minor, false), row.other);
    }
}

TEST(OsNameTable, KeysOutsideTheTableAreUnknown) {
    // "0.0" is what a failed version query leaves; "6.10" and "61.0" hold a listed key.
    const std::pair<unsigned long, unsigned long> keys[] = {{0, 0},  {5, 0}, {6, 4},  {6, 10},
                                                            {61, 0}, {1, 0}, {10, 1}, {11, 0}};
    for (auto [major, minor] : keys) {
        SCOPED_TRACE(std::to_string(major) + "." + std::to_string(minor));
        EXPECT_STREQ(OsNameForVersion(major, minor, true), L"(未知的)");
        EXPECT_STREQ(OsNameForVersion(major, minor, false), L"(未知的)");
    }
}

// What this system is named, by the Windows version the test run asks Wine for. Wine
// reports a program without a supported-OS list as 6.2 on win10, as Windows does, and (seen
// with Wine 8) a server product type when a program's own version setting is win7.
std::wstring ExpectedRunningName() {
    wchar_t winver[16] = {};
    GetEnvironmentVariableW(L"KORVANE_WINVER", winver, 16);
    const std::pair<std::wstring, std::wstring> names[] = {
        {L"", L"Windows 7"},
        {L"winxp", L"Windows XP"},
        {L"win7", L"Windows Server 2008 R2"},
        {L"win10", L"Windows 8"},
    };
    for (const auto& [version, name] : names) {
        if (version == winver) {
            return name;
        }
    }
    ADD_FAILURE() << "no expected name for this Windows version";
    return std::wstring();
}

TEST(RunningOs, NameAndWordSizeOfThisSystem) {
    char name[kOsNameBufferSize] = {};
    GetOsDisplayName(name);
    EXPECT_EQ(AnsiToWide(name), ExpectedRunningName());

    SYSTEM_INFO native = {};
    GetNativeSystemInfo(&native);
    bool x64System = native.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
    EXPECT_EQ(IsWow64(), sizeof(void*) == 4 && x64System);
}

class FakeWindow : public RecommendationTarget {
  public:
    FakeWindow() {
        for (const wchar_t* option : {L"OS_Op1", L"OS_Op2", L"OS_Op3", L"OS_Op4", L"OS_Op5",
                                      L"OS_Op6", L"OS_Op7", L"OS_Op8", L"OS_Op9", L"OS_Op10"}) {
            userData[option] = std::wstring(L"http://127.0.0.1/") + option + L".GHO";
        }
        userData[L"ChooseOs_Text"] = L"before";
    }
    void SetControlText(const std::wstring& name, const std::wstring& text) override {
        texts.emplace_back(name, text);
    }
    std::wstring ControlUserData(const std::wstring& name) override { return userData[name]; }
    void SetControlUserData(const std::wstring& name, const std::wstring& data) override {
        userDataWrites.push_back(name);
        userData[name] = data;
    }

    std::vector<std::pair<std::wstring, std::wstring>> texts;
    std::map<std::wstring, std::wstring> userData;
    std::vector<std::wstring> userDataWrites;
};

class FakeOs : public OsFacts {
  public:
    FakeOs(std::wstring name, bool x64) : name_(std::move(name)), x64_(x64) {}
    std::wstring OsName() override { return name_; }
    bool Is64Bit() override {
        ++wordSizeAsked;
        return x64_;
    }
    int wordSizeAsked = 0;

  private:
    std::wstring name_;
    bool x64_;
};

struct Expected {
    const wchar_t* option;
    const wchar_t* sentence;
    const wchar_t* selected;
};

const Expected kXp = {L"OS_Op2", L"根据您的电脑配置,软件自动为您推荐使用Windows XP操作系统!",
                      L"已选择Windows XP系统"};
const Expected kWin7x32 = {L"OS_Op4",
                           L"根据您的电脑配置,软件自动为您推荐使用Windows7 32Bits操作系统!",
                           L"已选择Windows7 32位系统"};
const Expected kWin7x64 = {L"OS_Op6",
                           L"根据您的电脑配置,软件自动为您推荐使用Windows7 64Bits操作系统!",
                           L"已选择Windows7 64位系统"};
const Expected kWin10x32 = {L"OS_Op8",
                            L"根据您的电脑配置,软件自动为您推荐使用Windows10 32Bits操作系统!",
                            L"已选择Windows10 32位系统"};
const Expected kWin10x64 = {L"OS_Op10",
                            L"根据您的电脑配置,软件自动为您推荐使用Windows10 64Bits操作系统!",
                            L"已选择Windows10 64位系统"};

void ExpectRecommendation(const FakeWindow& window, const Expected& expected) {
    std::vector<std::pair<std::wstring, std::wstring>> texts = {
        {L"tuijian1_text", expected.sentence}, {L"tuijian2_text", expected.sentence},
        {L"tuijian3_text", expected.sentence}, {L"tuijian4_text", expected.sentence},
        {L"ChooseOs_Text", expected.selected},
    };
    EXPECT_EQ(window.texts, texts);
    // Only ChooseOs_Text's user data changes; no option is touched.
    EXPECT_EQ(window.userDataWrites, std::vector<std::wstring>{L"ChooseOs_Text"});
    EXPECT_EQ(window.userData.at(L"ChooseOs_Text"),
              std::wstring(L"http://127.0.0.1/") + expected.option + L".GHO");
}

TEST(RecommendEdition, WindowsSevenEightAndTenByWordSize) {
    struct Case {
        const wchar_t* name;
        bool x64;
        const Expected& expected;
    };
    const Case cases[] = {
        {L"Windows 7", false, kWin7x32},   {L"Windows 7", true, kWin7x64},
        {L"Windows 8", false, kWin10x32},  {L"Windows 8", true, kWin10x64},
        {L"Windows 10", false, kWin10x32}, {L"Windows 10", true, kWin10x64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(WideToAnsi(c.name) + (c.x64 ? " 64-bit" : " 32-bit"));
        FakeWindow window;
        FakeOs os(c.name, c.x64);
        RecommendEdition(window, os);
        ExpectRecommendation(window, c.expected);
        EXPECT_EQ(os.wordSizeAsked, 1);
    }
}

TEST(RecommendEdition, XpAndEveryOtherNameGetTheXpEditionWithoutAskingTheWordSize) {
    for (const wchar_t* name :
         {L"Windows XP", L"Windows Vista", L"Windows Server 2003(R2)", L"Windows Server 2008",
          L"Windows Server 2008 R2", L"Windows Server 2012", L"Windows Server 2012 R2",
          L"Windows 8.1", L"(未知的)", L"windows 7", L"Windows 7 ", L""}) {
        SCOPED_TRACE(WideToAnsi(name));
        FakeWindow window;
        FakeOs os(name, true);
        RecommendEdition(window, os);
        ExpectRecommendation(window, kXp);
        EXPECT_EQ(os.wordSizeAsked, 0);
    }
}

TEST(RecommendEdition, EmptyCatalogueUrlIsCopiedAsItIs) {
    FakeWindow window;
    window.userData[L"OS_Op6"] = L"";
    FakeOs os(L"Windows 7", true);
    RecommendEdition(window, os);
    EXPECT_EQ(window.userData.at(L"ChooseOs_Text"), L"");
}

TEST(RecommendEdition, RunningSystemRecommendsByItsNameAndWordSize) {
    char name[kOsNameBufferSize] = {};
    GetOsDisplayName(name);
    FakeOs same(AnsiToWide(name), IsWow64());
    FakeWindow expected;
    RecommendEdition(expected, same);

    FakeWindow window;
    RecommendEdition(window);
    EXPECT_EQ(window.texts, expected.texts);
    EXPECT_EQ(window.userData, expected.userData);
}

}  // namespace
}  // namespace korvane
