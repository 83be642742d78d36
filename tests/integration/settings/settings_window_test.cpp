// The settings window under Wine: a real window built from the skin archive, a real
// Option.ini in a data folder of the test's own, and an owner window that records the
// speed limits it is sent.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <vector>

#include "settings/download_folder.h"
#include "settings/settings_window.h"
#include "tests/integration/app/app_test_support.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_paths.h"
#include "tests/support/window_picture.h"
#include "sysutil/unique_handle.h"

namespace korvane {
namespace {

using test::Pump;

constexpr UINT kSpeedLimit = 1140;         // the main window's message number, written out
constexpr DWORD kSettingsStyle = 0x80081;  // as the main window creates the window
constexpr wchar_t kMissing[] = L"(missing)";

// The speed limits the owner window received, read during each call.
std::vector<std::wstring>& ReceivedLimits() {
    static std::vector<std::wstring> limits;
    return limits;
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kSpeedLimit) {
        ReceivedLimits().push_back(reinterpret_cast<const wchar_t*>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateOwnerWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KorvaneSettingsTestOwner";
    RegisterClassW(&wc);
    // A pop-up: Wine without a window manager is slow to destroy framed windows.
    return CreateWindowExW(0, wc.lpszClassName, L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

std::wstring UniqueTempFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (DWORD attempt = GetTickCount();; ++attempt) {
        std::wstring folder = std::wstring(temp) + L"korvane-set-" + std::to_wstring(attempt);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
    }
}

// Removes a folder with everything in it.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            std::wstring path = folder + L"\\" + name;
            if (name == L"." || name == L"..") {
                continue;
            }
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                test::RemoveFile(path);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

class SettingsWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::UseBuiltSkin();
        ReceivedLimits().clear();
        SetDownloadFolder(L"D:\\QMZ");
        testFolder = UniqueTempFolder();
        appData = testFolder + L"\\QMZXT";
        options = OptionsStore(GetOptionsFilePath(appData));
        owner = CreateOwnerWindow();
        window = new CSet(options, appData);
        window->SetDialogs(&dialogs);
        window->SetPrompt(&prompt);
        window->SetRestartAction([this] { ++restarts; });
        ASSERT_NE(window->Create(owner, L"Korvane设置", kSettingsStyle, 0), nullptr);
    }
    void TearDown() override {
        delete window;
        DestroyWindow(owner);
        Pump(10);
        RemoveTree(testFolder);
    }

    DuiLib::CControlUI* Find(const wchar_t* name) {
        return window->PaintManager().FindControl(name);
    }
    void Click(const wchar_t* name) {
        DuiLib::CControlUI* control = Find(name);
        ASSERT_NE(control, nullptr) << test::Utf8(name);
        window->PaintManager().SendNotify(control, DUI_MSGTYPE_CLICK);
    }
    void Type(const wchar_t* edit, const wchar_t* text) { Find(edit)->SetText(text); }
    std::wstring Stored(const wchar_t* section, const wchar_t* key) {
        wchar_t value[300] = {};
        GetPrivateProfileStringW(section, key, kMissing, value, 300, options.FilePath().c_str());
        return value;
    }

    std::wstring testFolder;
    std::wstring appData;
    OptionsStore options{L""};
    HWND owner = nullptr;
    CSet* window = nullptr;
    test::ScriptedDialogs dialogs;
    test::ScriptedPrompt prompt;
    int restarts = 0;
};

TEST_F(SettingsWindowTest, OpensOnTheCurrentFolderWithAnEmptyLimit) {
    wchar_t className[64] = {};
    GetClassNameW(window->GetHWND(), className, 64);
    EXPECT_STREQ(className, L"UIQV_Set.xml");
    EXPECT_EQ(GetWindowLongPtrW(window->GetHWND(), GWL_STYLE) & WS_CAPTION, 0);
    RECT rc = {};
    GetWindowRect(window->GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, 450);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    EXPECT_EQ(Find(L"pathset_edit")->GetText().Str(), L"D:\\QMZ");
    EXPECT_EQ(Find(L"speed_edit")->GetText().Str(), L"");
}

TEST_F(SettingsWindowTest, SaveOfADriveRootStoresItAsTypedAndUsesItTrimmed) {
    WritePrivateProfileStringW(L"Download", L"Size3", L"12.5MB", options.FilePath().c_str());
    Type(L"pathset_edit", L"E:\\");
    Click(L"on_btn");

    EXPECT_EQ(Stored(L"Set", L"Dir"), L"E:\\");
    EXPECT_EQ(DownloadFolder(), L"E:");
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(Stored(L"Download", (L"Size" + std::to_wstring(n)).c_str()), L"") << n;
    }
    EXPECT_EQ(ReceivedLimits(), std::vector<std::wstring>{L"100000"});
    EXPECT_TRUE(IsWindow(window->GetHWND())) << "saving keeps the window open";
}

TEST_F(SettingsWindowTest, TypedLimitIsSentAsTypedOnEverySave) {
    Type(L"speed_edit", L"2048");
    Type(L"pathset_edit", L"Z:\\tmp");
    Click(L"on_btn");
    Click(L"on_btn");
    EXPECT_EQ(ReceivedLimits(), (std::vector<std::wstring>{L"2048", L"2048"}));
    EXPECT_EQ(Stored(L"Set", L"Dir"), L"Z:\\tmp");
    EXPECT_EQ(DownloadFolder(), L"Z:\\tmp");
}

TEST_F(SettingsWindowTest, SaveCreatesTheChainOfATypedSystemDriveFolder) {
    std::wstring folder = appData + L"\\images\\a\\b";
    Type(L"pathset_edit", folder.c_str());
    Click(L"on_btn");
    EXPECT_TRUE(test::FileExists(folder));
    EXPECT_EQ(Stored(L"Set", L"Dir"), folder);
    EXPECT_TRUE(prompt.Asked().empty());
}

TEST_F(SettingsWindowTest, DoubleByteNameWithABackslashTrailByteIsOneFolder) {
    ASSERT_EQ(GetACP(), 936u) << "needs the Chinese code page";
    // 乗 is 0x81 0x5C in code page 936: its second byte must not end a folder name.
    std::wstring parent = appData + L"\\images";
    Type(L"pathset_edit", (parent + L"\\乗x\\y").c_str());
    Click(L"on_btn");
    EXPECT_TRUE(test::FileExists(parent + L"\\乗x\\y"));
    EXPECT_EQ(test::FolderNames(parent), std::vector<std::wstring>{L"乗x"});
}

TEST_F(SettingsWindowTest, FolderOnAMissingDriveCreatesNothingButIsStored) {
    ASSERT_FALSE(test::FileExists(L"R:\\"));
    Type(L"pathset_edit", L"R:\\QMZ\\x");
    Click(L"on_btn");
    EXPECT_FALSE(test::FileExists(L"R:\\QMZ"));
    EXPECT_EQ(Stored(L"Set", L"Dir"), L"R:\\QMZ\\x");
}

TEST_F(SettingsWindowTest, FolderBrowserRefusesTheSystemDrive) {
    dialogs.folder = test::FolderItem(appData);  // the temporary folder is on C:
    Click(L"pathset_btn");

    ASSERT_EQ(dialogs.folderDialogs.size(), 1u);
    EXPECT_EQ(dialogs.folderDialogs[0].title, L"请选择一个文件夹：\nPlease select a folder:");
    EXPECT_EQ(dialogs.folderDialogs[0].description.ulFlags, 0x49u);
    EXPECT_EQ(dialogs.folderDialogs[0].description.hwndOwner, nullptr);
    EXPECT_EQ(dialogs.folderDialogs[0].description.pidlRoot, nullptr);
    auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L"下载路径不能为系统盘，请重新选择下载路径");
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(Find(L"pathset_edit")->GetText().Str(), L"D:\\QMZ");
    EXPECT_EQ(DownloadFolder(), L"D:\\QMZ");
    EXPECT_EQ(Stored(L"Download", L"Path"), kMissing);
}

TEST_F(SettingsWindowTest, PickedFolderTakesEffectAndCancelKeepsIt) {
    dialogs.folder = test::FolderItem(L"Z:\\");
    Click(L"pathset_btn");
    EXPECT_TRUE(prompt.Asked().empty());
    EXPECT_EQ(Find(L"pathset_edit")->GetText().Str(), L"Z:\\");
    EXPECT_EQ(DownloadFolder(), L"Z:");
    EXPECT_EQ(Stored(L"Download", L"Path"), L"Z:");

    // Closing rolls nothing back, and the next start still reads the old folder.
    Click(L"cannel_btn");
    Pump(50);
    EXPECT_EQ(DownloadFolder(), L"Z:");
    EXPECT_EQ(Stored(L"Set", L"Dir"), kMissing);
    EXPECT_TRUE(ReceivedLimits().empty());
}

TEST_F(SettingsWindowTest, CancelledBrowserChangesNothing) {
    Click(L"pathset_btn");
    EXPECT_EQ(dialogs.folderDialogs.size(), 1u);
    EXPECT_EQ(Find(L"pathset_edit")->GetText().Str(), L"D:\\QMZ");
    EXPECT_EQ(Stored(L"Download", L"Path"), kMissing);
}

// Stands in for a focused page control and counts the key-downs the page hands it.
class KeyRecorder : public DuiLib::CControlUI {
  public:
    void DoEvent(DuiLib::TEventUI& event) override {
        if (event.Type == DuiLib::UIEVENT_KEYDOWN) {
            ++keyDowns;
        }
        CControlUI::DoEvent(event);
    }
    int keyDowns = 0;
};

TEST_F(SettingsWindowTest, EnterSavesAndNoKeyDownGoesFurther) {
    auto* recorder = new KeyRecorder;
    auto* root = static_cast<DuiLib::CContainerUI*>(window->PaintManager().GetRoot());
    ASSERT_TRUE(root->Add(recorder));
    window->PaintManager().SetFocus(recorder);
    LRESULT unused = 0;
    window->PaintManager().MessageHandler(WM_KEYDOWN, 'A', 0, unused);
    ASSERT_EQ(recorder->keyDowns, 1) << "the page hands key-downs to its focused control";

    HWND hwnd = window->GetHWND();
    EXPECT_EQ(SendMessageW(hwnd, WM_KEYDOWN, 'A', 0), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0), 0);
    EXPECT_EQ(recorder->keyDowns, 1);
    EXPECT_EQ(ReceivedLimits(), std::vector<std::wstring>{L"100000"});
    EXPECT_EQ(Stored(L"Set", L"Dir"), L"D:\\QMZ");
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(SettingsWindowTest, RestartButtonRestarts) {
    Click(L"cq_btn");
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(Stored(L"Set", L"Dir"), kMissing) << "nothing is saved first";
}

// A real left click on a control of a shown window, posted so that it arrives inside the
// modal loop.
void PostClick(HWND hwnd, DuiLib::CControlUI* control) {
    RECT rc = control->GetPos();
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

TEST_F(SettingsWindowTest, CloseAndCancelEndTheModalLoopWithZero) {
    for (const wchar_t* button : {L"close_btn", L"cannel_btn"}) {
        SCOPED_TRACE(test::Utf8(button));
        if (!IsWindow(window->GetHWND())) {
            delete window;
            window = new CSet(options, appData);
            ASSERT_NE(window->Create(owner, L"Korvane设置", kSettingsStyle, 0), nullptr);
        }
        ShowWindow(window->GetHWND(), SW_SHOWNOACTIVATE);
        Pump(100);  // lays the page out
        PostClick(window->GetHWND(), Find(button));
        DWORD start = GetTickCount();
        EXPECT_EQ(window->ShowModal(), 0u);
        EXPECT_LT(GetTickCount() - start, 5000u);
        EXPECT_FALSE(IsWindow(window->GetHWND()));
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    EXPECT_EQ(Stored(L"Set", L"Dir"), kMissing);
    EXPECT_TRUE(ReceivedLimits().empty());
}

TEST_F(SettingsWindowTest, ShownWindowIsDrawnFromTheSkinAndDragsByItsTopBand) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    HWND hwnd = window->GetHWND();
    Type(L"speed_edit", L"2048");
    SetWindowPos(hwnd, HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Pump(600);
    {
        test::WindowPicture picture(hwnd);
        std::wstring artifacts = test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\artifacts";
        CreateDirectoryW(artifacts.c_str(), nullptr);
        EXPECT_TRUE(picture.SavePng(artifacts + L"\\settings-window.png"));
        EXPECT_GT(picture.Colours(), 300u) << "the background image is drawn";
        EXPECT_GT(picture.Ink({216, 44, 272, 62}), 20) << "the typed limit is drawn";
        EXPECT_GT(picture.Ink({216, 88, 376, 106}), 20) << "the folder is drawn";
    }
    auto hitTest = [hwnd](int x, int y) {
        return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(40 + x, 40 + y));
    };
    EXPECT_EQ(hitTest(100, 10), HTCAPTION);
    EXPECT_EQ(hitTest(428, 13), HTCLIENT) << "the close button";
    EXPECT_EQ(hitTest(244, 53), HTCLIENT) << "the speed field";
    EXPECT_EQ(hitTest(100, 150), HTCLIENT) << "below the top band";

    // Enter in the native box of a field saves what was typed there.
    auto* speed = static_cast<DuiLib::CEditUI*>(Find(L"speed_edit"));
    window->PaintManager().SetFocus(speed);
    HWND box = speed->GetNativeWindow();
    ASSERT_NE(box, nullptr);
    SetWindowTextW(box, L"512");
    SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(ReceivedLimits(), std::vector<std::wstring>{L"512"});
    Gdiplus::GdiplusShutdown(token);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The probe logs each of its starts ("module|command line") and, on the first, presses
// the restart button of a settings window with the program's own restart.
TEST(SettingsRestart, StartsTheOwnProgramWithoutArgumentsAndEndsWithZero) {
    std::wstring probe = ProgramFolder() + L"settings_restart_probe.exe";
    std::wstring log = UniqueTempFolder() + L"\\starts.log";
    ASSERT_TRUE(SetEnvironmentVariableW(L"KORVANE_RESTART_LOG", log.c_str()));
    std::wstring commandLine = L"\"" + probe + L"\" --first";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    ASSERT_TRUE(CreateProcessW(probe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &started));
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    ASSERT_EQ(WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.Get(), &exitCode);
    EXPECT_EQ(exitCode, 0u);

    std::vector<std::string> starts;
    test::PumpUntil([&] { return (starts = Lines(test::ReadFileBytes(log))).size() >= 2; }, 15000);
    ASSERT_EQ(starts.size(), 2u) << "started again exactly once";
    std::string module = test::Utf8(probe);
    EXPECT_EQ(starts[0], module + "|\"" + module + "\" --first");
    // Without a command line of its own the new process's is its file name alone.
    std::string second = starts[1];
    EXPECT_EQ(second.substr(0, second.find('|')), module);
    std::string secondCommand = second.substr(second.find('|') + 1);
    EXPECT_TRUE(secondCommand == module || secondCommand == "\"" + module + "\"") << secondCommand;
    RemoveTree(log.substr(0, log.rfind(L'\\')));
}

}  // namespace
}  // namespace korvane
