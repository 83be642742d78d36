// The main window built from the real skin archive: the page tree, duplicate names, the drag
// area, the tray icon, the private messages, the wizard's pictures and the start-up failure.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstdint>
#include <map>

#include "app/logo_animation.h"
#include "app/main_frame.h"
#include "app/page_controls.h"
#include "app/startup.h"
#include "tests/integration/app/app_test_support.h"
#include "tests/integration/databackup/data_job_fixture.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/scripted_prompt.h"
#include "software/software_catalogue.h"
#include "tests/support/test_paths.h"
#include "tests/support/window_picture.h"
#include "tests/unit/ui_core/zip_writer.h"

namespace korvane {
namespace {

// The private message numbers are the window's interface with the menu, the settings window
// and the download side, so they are written out here: a changed constant fails.
constexpr UINT kTrayCallback = 1134;      // WM_USER + 110
constexpr UINT kReinstallRequest = 1135;  // WM_USER + 111
constexpr UINT kSpeedLimit = 1140;        // WM_USER + 116
constexpr UINT kMenuCommand = 1145;       // WM_USER + 121

using test::Pump;
using test::PumpUntil;
using test::UseBuiltSkin;
using test::WindowPicture;

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseBuiltSkin();
        frame = new CMainFrame(L"C:", L"C:\\KorvaneTestData", &prompt);
        frame->SetPageOpener(&opener);
        // A copy job that starts by mistake finds no folders and asks no real question.
        frame->SetDataJobEnvironment({&noShellFolders, &jobPrompt});
        ASSERT_TRUE(frame->Create(nullptr, L"Tesmark一键重装系统", 0x100, 0, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr));
        frame->CenterWindow();
        ::ShowWindow(frame->GetHWND(), SW_SHOW);
        Pump(200);
    }
    void TearDown() override {
        HWND hwnd = frame->GetHWND();
        if (IsWindow(hwnd)) {
            DestroyWindow(hwnd);
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    DuiLib::CControlUI* Find(const wchar_t* name) {
        return frame->PaintManager().FindControl(name);
    }

    // Screen point of the middle of a control, as WM_NCHITTEST carries it.
    LPARAM ScreenPointOf(int x, int y) {
        POINT pt = {x, y};
        ClientToScreen(frame->GetHWND(), &pt);
        return MAKELPARAM(pt.x, pt.y);
    }
    LPARAM CentreOf(DuiLib::CControlUI* control) {
        RECT rc = control->GetPos();
        return ScreenPointOf((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }
    LRESULT HitTest(LPARAM point) { return SendMessageW(frame->GetHWND(), WM_NCHITTEST, 0, point); }

    test::ScriptedPrompt prompt;  // answers the window's message boxes
    CMainFrame* frame = nullptr;  // lives on, as in the program
    test::RecordingOpener opener;
    test::FakeShellFolders noShellFolders;
    test::ScriptedPrompt jobPrompt;
};

TEST_F(MainWindowTest, OneBuildOfTheMainPageYieldsTheWholeTree) {
    RECT rc = {};
    GetWindowRect(frame->GetHWND(), &rc);
    EXPECT_EQ(rc.right - rc.left, 818);
    EXPECT_EQ(rc.bottom - rc.top, 579);
    wchar_t cls[64] = {};
    GetClassNameW(frame->GetHWND(), cls, 64);
    EXPECT_STREQ(cls, L"UIMainFrame");
    EXPECT_EQ(GetWindowLongPtrW(frame->GetHWND(), GWL_STYLE) & WS_CAPTION, 0);

    // Controls of every page, through the nested composite controls.
    for (const wchar_t* name :
         {L"MainTab", L"close11_btn", L"XuanZhuanLogo_Label", L"StartRestoreSystem1_Btn",
          L"tuijian1_text", L"xp_btn", L"LOCAL_Op", L"OS_Op1", L"OS_Op6", L"OS_Op10",
          L"Download_Progress", L"StopDown_Btn", L"BackUpPath_Edit", L"StartRestore_Btn",
          L"Soft1_Btn", L"Soft16_Btn", L"BackUpDoc_Op6", L"StartRestoreDoc_Btn"}) {
        EXPECT_NE(Find(name), nullptr) << test::Utf8(name);
    }
    EXPECT_EQ(Find(L"NoSuchControl"), nullptr);
}

TEST_F(MainWindowTest, DuplicateNamesFindTheLastCopy) {
    // OS_Op4 is on step 2 (hidden) and step 3 (shown): the look-up gives step 3's.
    DuiLib::CControlUI* option = Find(L"OS_Op4");
    ASSERT_NE(option, nullptr);
    EXPECT_EQ(option->GetText(), L"32位装机版");
    // ChooseOs_Text is on steps 2, 3 and 4: the look-up gives step 4's, inside page 4.
    DuiLib::CControlUI* choose = Find(L"ChooseOs_Text");
    ASSERT_NE(choose, nullptr);
    bool insideStep4 = false;
    for (DuiLib::CControlUI* p = choose; p; p = p->GetParent()) {
        insideStep4 = insideStep4 || dynamic_cast<ZadodiReloadPage4*>(p) != nullptr;
    }
    EXPECT_TRUE(insideStep4);
}

TEST_F(MainWindowTest, BuilderCallbackKnowsOnlyThePageElements) {
    CDialogBuilderCallbackEx callback;
    EXPECT_EQ(callback.CreateControl(L"Button"), nullptr);
    EXPECT_EQ(callback.CreateControl(L"UIQV_ZadodiReloadPage6"), nullptr);
    EXPECT_EQ(callback.CreateControl(L"uiqv_zadodireload"), nullptr) << "case-sensitive";
    DuiLib::CControlUI* page = callback.CreateControl(L"UIQV_ZadodiBackUpDoc");
    ASSERT_NE(page, nullptr);
    EXPECT_NE(dynamic_cast<ZadodiBackUpDoc*>(page), nullptr);
    delete page;
}

TEST_F(MainWindowTest, DragAreaIsTheTopBandOutsideInteractiveControls) {
    // The title label and the band's empty space drag; buttons, options and texts do not.
    EXPECT_EQ(HitTest(ScreenPointOf(200, 10)), HTCAPTION);
    EXPECT_EQ(HitTest(ScreenPointOf(200, 38)), HTCAPTION) << "on the title label";
    EXPECT_EQ(HitTest(CentreOf(Find(L"url1_btn"))), HTCLIENT);
    EXPECT_EQ(HitTest(CentreOf(Find(L"BackUpAndRestoreOp"))), HTCLIENT);
    EXPECT_EQ(HitTest(ScreenPointOf(700, 129)), HTCAPTION);
    EXPECT_EQ(HitTest(ScreenPointOf(700, 130)), HTCLIENT) << "below the band never drags";
    EXPECT_EQ(HitTest(ScreenPointOf(400, 400)), HTCLIENT);
}

TEST_F(MainWindowTest, TextsAndEditsInTheCaptionBandTakeTheClick) {
    // The skin has no text or edit field in the band, so probes are placed on empty band.
    auto* root = dynamic_cast<DuiLib::CContainerUI*>(frame->PaintManager().GetRoot());
    ASSERT_NE(root, nullptr);
    const LPARAM spot = ScreenPointOf(500, 60);
    ASSERT_EQ(HitTest(spot), HTCAPTION) << "empty band drags";
    DuiLib::CControlUI* probes[] = {new DuiLib::CTextUI, new DuiLib::CEditUI};
    for (DuiLib::CControlUI* probe : probes) {
        probe->ApplyAttributeList(L"float=\"true\" pos=\"460,40,540,80\" text=\"probe\"");
        ASSERT_TRUE(root->Add(probe));
        EXPECT_EQ(frame->PaintManager().FindControl(POINT{500, 60}), probe);
        EXPECT_EQ(HitTest(spot), HTCLIENT) << test::Utf8(probe->GetClass());
        root->Remove(probe);
    }
    EXPECT_EQ(HitTest(spot), HTCAPTION);
}

TEST_F(MainWindowTest, TrayIconHidesAndRestoresTheWindow) {
    HWND hwnd = frame->GetHWND();
    frame->ShowWindow(false, false);
    EXPECT_TRUE(frame->ShowTrayIcon()) << "icon added";
    EXPECT_FALSE(frame->ShowTrayIcon()) << "already up";

    SendMessageW(hwnd, kTrayCallback, 108, WM_RBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "a right click does not restore";

    SendMessageW(hwnd, kTrayCallback, 108, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(hwnd));

    frame->ShowWindow(false, false);
    EXPECT_TRUE(frame->ShowTrayIcon()) << "the restore removed the icon; hiding adds it again";
    SendMessageW(hwnd, kTrayCallback, 108, WM_LBUTTONDOWN);
}

TEST_F(MainWindowTest, TrayRecordIsTheFullRecordWithBalloonAndCallback) {
    HWND hwnd = frame->GetHWND();
    frame->ShowWindow(false, false);
    ASSERT_TRUE(frame->ShowTrayIcon());
    const NOTIFYICONDATAW& icon = frame->TrayRecord();
    // Vista and later read the balloon icon only from a record of the full size.
#if defined(_WIN64)
    EXPECT_EQ(icon.cbSize, 976u);
#else
    EXPECT_EQ(icon.cbSize, 956u);
#endif
    EXPECT_EQ(icon.hWnd, hwnd);
    EXPECT_EQ(icon.uID, 108u);
    EXPECT_EQ(icon.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_EQ(icon.uCallbackMessage, kTrayCallback);
    EXPECT_STREQ(icon.szInfoTitle, L"信息提示");
    EXPECT_STREQ(icon.szInfo, L"点击这里打开Korvane一键重装系统工具界面！");
    // The program's icon 108; a shared icon loads as the same handle every time.
    HICON programIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(108));
    ASSERT_NE(programIcon, nullptr);
    EXPECT_EQ(icon.hIcon, programIcon);
    SendMessageW(hwnd, kTrayCallback, 108, WM_LBUTTONDOWN);
}

TEST_F(MainWindowTest, MenuCommandsOpenTheHomePage) {
    HWND hwnd = frame->GetHWND();
    for (const wchar_t* item : {L"about", L"Visithomepage", L"unknown", L"visithomepage"}) {
        PostMessageW(hwnd, kMenuCommand, reinterpret_cast<WPARAM>(new DuiLib::CDuiString(item)), 0);
    }
    Pump(100);
    EXPECT_EQ(opener.opened, (std::vector<std::wstring>{L"https://www.korvane.com/",
                                                        L"https://www.korvane.com/"}));
}

TEST_F(MainWindowTest, SpeedLimitMessageKeepsTheLimitForTheEngine) {
    std::wstring text = L"512";
    EXPECT_EQ(
        SendMessageW(frame->GetHWND(), kSpeedLimit, reinterpret_cast<WPARAM>(text.c_str()), 0), 0);
    EXPECT_EQ(frame->Downloads().SpeedLimitText(), L"512");
}

// What a refused reinstall must leave alone: the files a staging writes to the drive roots,
// the stand-in boot store and the stand-in shutdown's record of a restart.
std::map<std::wstring, std::string> SystemDriveState() {
    std::map<std::wstring, std::string> state;
    for (const wchar_t* path :
         {L"C:\\krldr", L"C:\\krldr.mbr", L"C:\\krldr.ima", L"C:\\Ghost.ba_", L"C:\\boot.ini",
          L"C:\\Boot\\BCD", L"C:\\korvane-shutdown.log", L"S:\\krldr", L"S:\\krldr.mbr"}) {
        bool exists = false;
        std::string bytes = test::ReadFileBytes(path, &exists);
        state[path] = exists ? "file:" + bytes : "none";
    }
    return state;
}

TEST_F(MainWindowTest, ReinstallRequestRunsTheJobWithTheKeptImagePath) {
    std::vector<std::wstring> requested;
    frame->SetImageJobObserver([&](CMainFrame::ImageJob job, const std::wstring& path) {
        EXPECT_EQ(job, CMainFrame::ImageJob::kReinstall);
        requested.push_back(path);
    });
    const auto before = SystemDriveState();
    const std::wstring images[] = {L"C:\\QMZ\\win7_64.gho", L"S:\\QMZ\\xp_sp3.gho"};
    for (const std::wstring& image : images) {
        frame->SetImagePath(image);
        EXPECT_EQ(SendMessageW(frame->GetHWND(), kReinstallRequest, 0, 0), 0);
    }
    EXPECT_EQ(requested, (std::vector<std::wstring>(std::begin(images), std::end(images))));

    // This program carries no boot payload: the job refuses before it touches anything.
    ASSERT_EQ(prompt.asked.size(), 2u);
    for (const auto& question : prompt.asked) {
        EXPECT_EQ(question.text.rfind(L"程序携带的启动文件不可用", 0), 0u)
            << test::Utf8(question.text);
        EXPECT_EQ(question.caption, L"信息提示");
        EXPECT_EQ(question.type, static_cast<UINT>(MB_ICONERROR));
    }
    EXPECT_EQ(SystemDriveState(), before) << "nothing staged, no restart";
}

TEST_F(MainWindowTest, MainTabOptionsSelectTheirPages) {
    auto* tab = static_cast<DuiLib::CTabLayoutUI*>(Find(L"MainTab"));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetCurSel(), 0);
    const wchar_t* options[] = {L"ZadOdiReloadOp", L"BackUpAndRestoreOp", L"SoftwareManagementOp",
                                L"DataBackupOp"};
    for (int i : {2, 1, 3, 0}) {
        frame->PaintManager().SendNotify(Find(options[i]), L"click");
        EXPECT_EQ(tab->GetCurSel(), i);
    }
}

// The personal-data page asks before it copies anything and refuses an empty folder field;
// neither case opens the progress window.
TEST_F(MainWindowTest, PersonalDataButtonsAskFirstAndRefuseAnEmptyFolder) {
    struct Case {
        const wchar_t* button;
        const wchar_t* field;
        const wchar_t* otherField;  // filled: only the button's own field counts
        const wchar_t* question;
    };
    const Case cases[] = {
        {L"StartBackUpDoc_Btn", L"BackUpDocPath_Edit", L"RestoreDocPath_Edit",
         L"您确定要备份个人资料吗？"},
        {L"StartRestoreDoc_Btn", L"RestoreDocPath_Edit", L"BackUpDocPath_Edit",
         L"您确定要还原个人资料吗？"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::Utf8(c.button));
        prompt.asked.clear();
        frame->Controls().SetControlText(c.field, L"");
        frame->Controls().SetControlText(c.otherField, L"D:\\QMZDocBak\\Documents");
        prompt.Script({IDCANCEL, IDOK, IDOK});
        frame->PaintManager().SendNotify(Find(c.button), L"click");  // cancelled
        frame->PaintManager().SendNotify(Find(c.button), L"click");  // agreed, no folder
        const auto asked = prompt.Asked();
        ASSERT_EQ(asked.size(), 3u);
        for (int i : {0, 1}) {
            EXPECT_EQ(asked[i].text, c.question);
            EXPECT_EQ(asked[i].caption, L"信息提示");
            EXPECT_EQ(asked[i].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION));
        }
        EXPECT_EQ(asked[2].text, L"请选择一个备份路径！");
        EXPECT_EQ(asked[2].caption, L"信息提示");
        EXPECT_EQ(asked[2].type, static_cast<UINT>(MB_ICONERROR));
        EXPECT_EQ(FindWindowW(L"UIQV_ZadodiBackUpProgress.xml", nullptr), nullptr);
        EXPECT_TRUE(IsWindowEnabled(frame->GetHWND()));
    }
}

// The job's end message, asked while its progress window is still up: it notes whether that
// window was there over a disabled main window.
class ProgressWatchingPrompt : public test::ScriptedPrompt {
  public:
    explicit ProgressWatchingPrompt(HWND main) : main_(main) {}
    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override {
        mainDisabledUnderProgress =
            FindWindowW(L"UIQV_ZadodiBackUpProgress.xml", nullptr) && !IsWindowEnabled(main_);
        return ScriptedPrompt::Ask(text, caption, type);
    }
    bool mainDisabledUnderProgress = false;

  private:
    HWND main_;
};

// Agreed, with a folder: the copy runs in the progress window, which keeps the main window
// disabled until the job has closed it.
TEST_F(MainWindowTest, PersonalDataBackupRunsInTheProgressWindow) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring skin =
        test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\resources\\skin\\KRXTSKIN.zip";
    ASSERT_TRUE(CopyFileW(skin.c_str(), (std::wstring(temp) + L"KRXTSKIN").c_str(), FALSE));
    const std::wstring root = L"C:\\KorvaneMainWindowData";
    test::FakeShellFolders folders;
    const std::pair<int, const wchar_t*> shellFolders[] = {
        {CSIDL_PERSONAL, L"docs"}, {CSIDL_DESKTOP, L"desk"}, {CSIDL_FAVORITES, L"fav"}};
    CreateDirectoryW(root.c_str(), nullptr);
    for (const auto& [csidl, name] : shellFolders) {
        folders.folders[csidl] = root + L"\\" + name;
        CreateDirectoryW(folders.folders[csidl].c_str(), nullptr);
        ASSERT_TRUE(test::WriteFileBytes(folders.folders[csidl] + L"\\note.txt", "note"));
    }
    ProgressWatchingPrompt watchingPrompt(frame->GetHWND());
    frame->SetDataJobEnvironment({&folders, &watchingPrompt});
    frame->Controls().SetControlText(L"BackUpDocPath_Edit", root + L"\\backup");
    for (int i = 1; i <= 3; ++i) {
        auto* option =
            static_cast<DuiLib::COptionUI*>(Find((L"BackUpDoc_Op" + std::to_wstring(i)).c_str()));
        option->Selected(true);
    }

    prompt.Script({IDOK});
    frame->PaintManager().SendNotify(Find(L"StartBackUpDoc_Btn"), L"click");

    ASSERT_EQ(watchingPrompt.Asked().size(), 1u);
    EXPECT_EQ(watchingPrompt.Asked()[0].text, L"一键备份个人资料成功！");
    for (const wchar_t* copy :
         {L"\\我的文档\\note.txt", L"\\桌面\\note.txt", L"\\收藏夹\\note.txt"}) {
        EXPECT_EQ(test::ReadFileBytes(root + L"\\backup" + copy), "note") << test::Utf8(copy);
    }
    EXPECT_TRUE(watchingPrompt.mainDisabledUnderProgress);
    EXPECT_EQ(FindWindowW(L"UIQV_ZadodiBackUpProgress.xml", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(frame->GetHWND()));
    frame->SetDataJobEnvironment({&noShellFolders, &jobPrompt});
}

TEST_F(MainWindowTest, FolderButtonsFillTheirOwnField) {
    test::ScriptedDialogs dialogs;
    frame->SetChooserDialogs(&dialogs);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring backup = std::wstring(temp) + L"korvane-资料备份";
    const std::wstring restore = std::wstring(temp) + L"korvane-资料还原";
    CreateDirectoryW(backup.c_str(), nullptr);
    CreateDirectoryW(restore.c_str(), nullptr);
    auto text = [&](const wchar_t* name) { return frame->Controls().ControlText(name); };
    frame->Controls().SetControlText(L"BackUpDocPath_Edit", L"D:\\QMZDocBak\\Documents");
    frame->Controls().SetControlText(L"RestoreDocPath_Edit", L"D:\\QMZDocBak\\Documents");

    dialogs.folder = test::FolderItem(backup);
    frame->PaintManager().SendNotify(Find(L"SelectBackUpDoc_Btn"), L"click");
    dialogs.folder = test::FolderItem(restore);
    frame->PaintManager().SendNotify(Find(L"SelectRestoreDoc_Btn"), L"click");
    EXPECT_EQ(text(L"BackUpDocPath_Edit"), backup);
    EXPECT_EQ(text(L"RestoreDocPath_Edit"), restore);

    frame->PaintManager().SendNotify(Find(L"SelectBackUpDoc_Btn"), L"click");  // cancelled
    EXPECT_EQ(text(L"BackUpDocPath_Edit"), backup);
    EXPECT_EQ(dialogs.folderDialogs.size(), 3u);
    frame->SetChooserDialogs(nullptr);
    RemoveDirectoryW(backup.c_str());
    RemoveDirectoryW(restore.c_str());
}

// A software button's target comes from an unauthenticated download: only a web address is
// opened; a program path, another scheme or nothing at all does nothing.
// The image buttons of the backup page hand their own field to their own job; a control
// that only carries the name of a looked-up one does nothing.
TEST_F(MainWindowTest, ImageButtonsRunTheirJobsWithTheirFields) {
    std::vector<std::pair<CMainFrame::ImageJob, std::wstring>> jobs;
    frame->SetImageJobObserver([&](CMainFrame::ImageJob job, const std::wstring& path) {
        jobs.push_back({job, path});
    });
    test::ScriptedDialogs dialogs;
    frame->SetChooserDialogs(&dialogs);
    auto click = [&](const wchar_t* name) {
        frame->PaintManager().SendNotify(Find(name), L"click");
    };
    frame->Controls().SetControlText(L"BackUpPath_Edit", L"S:\\Bak\\SYSBAK.GHO");
    frame->Controls().SetControlText(L"RestorePath_Edit", L"S:\\Img\\WIN7.GHO");
    click(L"StartBackUp_Btn");
    click(L"StartRestore_Btn");
    DuiLib::CButtonUI lookalike;
    lookalike.SetName(L"StartBackUp_Btn");
    frame->PaintManager().SendNotify(&lookalike, L"click");

    // The local image: a cancelled dialog starts nothing, a picked file is restored.
    click(L"LOCAL_Op");
    dialogs.confirm = true;
    dialogs.answer = L"S:\\Img\\Local.GHO";
    click(L"LOCAL_Op");
    using Job = CMainFrame::ImageJob;
    EXPECT_EQ(jobs,
              (std::vector<std::pair<Job, std::wstring>>{{Job::kBackup, L"S:\\Bak\\SYSBAK.GHO"},
                                                         {Job::kRestore, L"S:\\Img\\WIN7.GHO"},
                                                         {Job::kRestore, L"S:\\Img\\Local.GHO"}}));
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_FALSE(dialogs.fileDialogs[1].save);
    EXPECT_EQ(dialogs.fileDialogs[1].title, L"请选择GHO镜像文件");
    EXPECT_EQ(dialogs.fileDialogs[1].description.hwndOwner, frame->GetHWND());

    // The choosers fill the fields the jobs read: the save dialog's answer gets ".GHO", a
    // cancelled open dialog empties the restore field.
    dialogs.answer = L"S:\\Bak\\Monday";
    click(L"SelectBackUpGho_Btn");
    EXPECT_EQ(frame->Controls().ControlText(L"BackUpPath_Edit"), L"S:\\Bak\\Monday.GHO");
    dialogs.confirm = false;
    click(L"SelectRestoreGho_Btn");
    EXPECT_EQ(frame->Controls().ControlText(L"RestorePath_Edit"), L"");
    ASSERT_EQ(dialogs.fileDialogs.size(), 4u);
    EXPECT_TRUE(dialogs.fileDialogs[2].save);
    EXPECT_FALSE(dialogs.fileDialogs[3].save);
    EXPECT_EQ(jobs.size(), 3u) << "choosing a file starts no job";
    frame->SetChooserDialogs(nullptr);
    frame->SetImageJobObserver(nullptr);
}

// Whichever way a page of the main tab is reached, its option in the title band is the one
// selected.
TEST_F(MainWindowTest, TabOptionsShowThePageReachedAnyWay) {
    auto* tab = static_cast<DuiLib::CTabLayoutUI*>(Find(L"MainTab"));
    ASSERT_NE(tab, nullptr);
    const wchar_t* options[] = {L"ZadOdiReloadOp", L"BackUpAndRestoreOp", L"SoftwareManagementOp",
                                L"DataBackupOp"};
    auto selectedOptions = [&] {
        std::wstring which;
        for (int i = 0; i < 4; ++i) {
            auto* option = static_cast<DuiLib::COptionUI*>(Find(options[i]));
            if (option && option->IsSelected()) {
                which += std::to_wstring(i);
            }
        }
        return which;
    };
    const std::pair<const wchar_t*, int> clicks[] = {
        {L"StartziliaoBF1_Btn", 3},   {L"close1_btn", 0},
        {L"SoftwareManagementOp", 2}, {L"StartziliaoBF0_Btn", 3},
        {L"selectsys_btn", 0},        {L"BackUpAndRestoreOp", 1},
        {L"StartziliaoBF4_Btn", 3},   {L"StartRestoreSystem1_Btn", 0}};
    for (const auto& [name, page] : clicks) {
        ASSERT_NE(Find(name), nullptr) << test::Utf8(name);
        frame->PaintManager().SendNotify(Find(name), L"click");
        EXPECT_EQ(tab->GetCurSel(), page) << test::Utf8(name);
        EXPECT_EQ(selectedOptions(), std::to_wstring(page)) << test::Utf8(name);
    }
}

// The menu button opens the menu page under its bottom-left corner; an item chosen there
// comes back as the menu command and opens the home page.
TEST_F(MainWindowTest, MenuButtonOpensTheMenuUnderIt) {
    DuiLib::CControlUI* button = Find(L"url1_btn");
    ASSERT_NE(button, nullptr);
    frame->PaintManager().SendNotify(button, L"click");
    HWND menu = nullptr;
    PumpUntil([&] { return (menu = FindWindowW(L"DuiMenuWnd", nullptr)) != nullptr; }, 3000);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetWindow(menu, GW_OWNER), frame->GetHWND());
    RECT shown = {};
    GetWindowRect(menu, &shown);
    POINT anchor = {button->GetPos().left, button->GetPos().bottom};
    ClientToScreen(frame->GetHWND(), &anchor);
    EXPECT_EQ(shown.left, anchor.x);
    EXPECT_EQ(shown.top, anchor.y);
    EXPECT_EQ(shown.right - shown.left, 140);
    EXPECT_EQ(shown.bottom - shown.top, 104);

    // The first item (官方主页), pressed and released in the menu window.
    const LPARAM item = MAKELPARAM(40, 13);
    PostMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, item);
    PostMessageW(menu, WM_LBUTTONUP, 0, item);
    PumpUntil([&] { return !opener.Opened().empty(); }, 3000);
    EXPECT_EQ(opener.Opened(), std::vector<std::wstring>{frame->Servers().homePage});
    PumpUntil([&] { return !IsWindow(menu); }, 3000);
    EXPECT_FALSE(IsWindow(menu)) << "the menu closes once an item is chosen";
}

// The welcome page's logo shows the thirty frames in their order, 77.png and 100.png in the
// places of the seventh and tenth, and stops when told.
TEST_F(MainWindowTest, LogoTurnsThroughItsThirtyFrames) {
    const std::vector<std::wstring> frames = {
        L"1.png",  L"2.png",   L"3.png",  L"4.png",  L"5.png",  L"6.png",  L"77.png", L"8.png",
        L"9.png",  L"100.png", L"11.png", L"12.png", L"13.png", L"14.png", L"15.png", L"16.png",
        L"17.png", L"18.png",  L"19.png", L"20.png", L"21.png", L"22.png", L"23.png", L"24.png",
        L"25.png", L"26.png",  L"27.png", L"28.png", L"29.png", L"30.png"};
    DuiLib::CControlUI* label = Find(L"XuanZhuanLogo_Label");
    ASSERT_NE(label, nullptr);
    label->SetVisible(false);
    LogoAnimation logo(frame->Controls());
    ASSERT_TRUE(logo.Start());
    EXPECT_TRUE(label->IsVisible());

    // Seen frames, in the order they were seen: each is the one after the last seen, or a
    // later one when a sample was missed; a full turn and a bit more are watched.
    std::vector<int> seen;
    const DWORD until = GetTickCount() + 30 * 130 + 1500;
    while (GetTickCount() < until && seen.size() < 31) {
        const std::wstring image = label->GetBkImage().GetData();
        auto found = std::find(frames.begin(), frames.end(), image);
        if (seen.empty() && found == frames.end()) {
            Sleep(15);  // the skin's own picture, before the first frame
            continue;
        }
        ASSERT_NE(found, frames.end()) << test::Utf8(image);
        int index = static_cast<int>(found - frames.begin());
        if (seen.empty() || seen.back() != index) {
            seen.push_back(index);
        }
        Sleep(15);
    }
    logo.Stop();
    ASSERT_GE(seen.size(), 10u);
    int steps = 0;
    for (size_t i = 1; i < seen.size(); ++i) {
        steps += (seen[i] - seen[i - 1] + 30) % 30;
    }
    EXPECT_LE(steps, static_cast<int>(seen.size()) * 3) << "frames out of order";
    EXPECT_NE(std::find(seen.begin(), seen.end(), 6), seen.end()) << "77.png was not shown";
    EXPECT_NE(std::find(seen.begin(), seen.end(), 9), seen.end()) << "100.png was not shown";

    const std::wstring stopped = label->GetBkImage().GetData();
    Sleep(400);
    EXPECT_EQ(label->GetBkImage().GetData(), stopped) << "still turning after Stop";
}

TEST_F(MainWindowTest, SoftwareButtonsOpenOnlyWebAddresses) {
    const std::pair<const wchar_t*, const wchar_t*> targets[] = {
        {L"Soft1_Btn", L"https://soft.example.cn/browser"},
        {L"Soft2_Btn", L"C:\\windows\\system32\\notepad.exe"},
        {L"Soft3_Btn", L""},
        {L"Soft4_Btn", L"file:///C:/windows/system32/calc.exe"},
        {L"Soft16_Btn", L"HTTP://soft.example.cn/player"},
    };
    for (const auto& [name, target] : targets) {
        Find(name)->SetUserData(target);
        frame->PaintManager().SendNotify(Find(name), L"click");
    }
    EXPECT_EQ(opener.opened, (std::vector<std::wstring>{L"https://soft.example.cn/browser",
                                                        L"HTTP://soft.example.cn/player"}));
}

// What a timer saw of the settings window while it was up; the timer then closes it.
struct SettingsWindowSeen {
    HWND main = nullptr;
    std::wstring title = L"(none)";
    bool mainEnabled = true;
};
SettingsWindowSeen g_settingsSeen;

void CALLBACK LookAtSettingsWindow(HWND, UINT, UINT_PTR, DWORD) {
    HWND settings = FindWindowW(L"UIQV_Set.xml", nullptr);
    if (!settings || !IsWindowVisible(settings)) {
        return;
    }
    wchar_t title[64] = {};
    GetWindowTextW(settings, title, 64);
    g_settingsSeen.title = title;
    g_settingsSeen.mainEnabled = IsWindowEnabled(g_settingsSeen.main) != FALSE;
    PostMessageW(settings, WM_CLOSE, 0, 0);
}

// The three settings buttons open the settings window over the main window, which takes no
// input until the settings window is closed.
TEST_F(MainWindowTest, SettingsButtonsOpenTheSettingsWindowModally) {
    for (const wchar_t* button : {L"set1_btn", L"set2_btn", L"set3_btn"}) {
        SCOPED_TRACE(test::Utf8(button));
        g_settingsSeen = {frame->GetHWND()};
        UINT_PTR timer = SetTimer(nullptr, 0, 150, LookAtSettingsWindow);
        frame->PaintManager().SendNotify(Find(button), L"click");  // returns when it is closed
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_settingsSeen.title, L"Korvane设置");
        EXPECT_FALSE(g_settingsSeen.mainEnabled);
        EXPECT_TRUE(IsWindowEnabled(frame->GetHWND()));
        EXPECT_EQ(FindWindowW(L"UIQV_Set.xml", nullptr), nullptr);
    }
}

// 'B' for a brand-blue fill, 't' for a pale blue tint, '.' for neither.
char BlueClass(int lead) {
    return lead > 120 ? 'B' : lead > 25 ? 't' : '.';
}

TEST_F(MainWindowTest, EveryWizardStepIsDrawn) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    std::wstring artifacts = test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);

    // Areas of the window (page offset included) where the steps differ, read off the
    // pictures: what each step draws there, in the order of the areas below.
    const RECT areas[] = {
        {440, 445, 590, 470},  // step 0's 立即重装 button
        {123, 300, 131, 330},  // step 1's Windows XP tile icon; the first edition disc of 3, 4
        {300, 284, 330, 290},  // the second edition tile's disc (steps 2, 3, 4)
        {80, 270, 680, 274},   // the download progress track (step 5)
    };
    const std::string looks[6] = {"B...", ".B..", "..t.", ".tt.", ".tt.", "...t"};
    // The steps' subtitle line ("第 1 步 · 选择要安装的 Windows 系列", "第 2 步 · 选择
    // Windows XP 的版本", ...): steps 3 and 4 look alike but for it.
    const RECT subtitle = {49, 200, 609, 222};

    auto* steps = static_cast<DuiLib::CTabLayoutUI*>(Find(L"ZadodiReloadTab"));
    ASSERT_NE(steps, nullptr);
    HWND hwnd = frame->GetHWND();
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    int subtitleEnd[6] = {};
    for (int step = 0; step < 6; ++step) {
        ASSERT_TRUE(steps->SelectItem(step));
        InvalidateRect(hwnd, nullptr, FALSE);
        Pump(600);
        WindowPicture picture(hwnd);
        std::wstring path = artifacts + L"\\wizard-step" + std::to_wstring(step) + L".png";
        EXPECT_TRUE(picture.SavePng(path)) << "step " << step;

        std::string look;
        for (const RECT& area : areas) {
            look += BlueClass(picture.BlueLead(area));
        }
        EXPECT_EQ(look, looks[step]) << "step " << step;
        subtitleEnd[step] = picture.RightmostInk(subtitle);
    }
    EXPECT_EQ(subtitleEnd[0], -1) << "the welcome step has no subtitle";
    EXPECT_EQ(subtitleEnd[5], -1) << "the download step has no subtitle";
    EXPECT_GT(subtitleEnd[1], subtitleEnd[2]) << "the family step's subtitle is the longest";
    EXPECT_GT(subtitleEnd[2], subtitleEnd[3]) << "'Windows XP' is longer than 'Windows 7'";
    EXPECT_GT(subtitleEnd[4], subtitleEnd[3]) << "'Windows 10' is longer than 'Windows 7'";
    Gdiplus::GdiplusShutdown(token);
}

// A PNG picture of one colour (the page decodes its pictures by content, whatever the name).
std::string SolidPng(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    auto be32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    auto chunk = [&](const std::string& kind, const std::string& data) {
        const std::string body = kind + data;
        const auto* bytes = reinterpret_cast<const Bytef*>(body.data());
        return be32(static_cast<std::uint32_t>(data.size())) + body +
               be32(static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(body.size()))));
    };
    std::string rows;
    for (int y = 0; y < height; ++y) {
        rows += '\0';  // no filter
        for (int x = 0; x < width; ++x) {
            rows += {static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)};
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()));
    packed.resize(packedSize);
    const std::string header = be32(width) + be32(height) + std::string("\x08\x02\0\0\0", 5);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", packed) + chunk("IEND", "");
}

// The software page before and after its catalogue: sixteen empty slots, then sixteen
// pictures from the unpacked archive, each button opening its own address.
TEST_F(MainWindowTest, SoftwarePageShowsTheCataloguePictures) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    const std::wstring dataFolder = L"C:\\KorvaneSoftwarePage";
    CreateDirectoryW(dataFolder.c_str(), nullptr);
    ui_core_test::ZipWriter zip;
    std::wstring ini = L"\xFEFF[KRXT]\r\n";
    for (int n = 1; n <= kSoftwareButtonCount; ++n) {
        ini += std::to_wstring(n) + L"=https://soft.example.cn/" + std::to_wstring(n) + L"\r\n";
        zip.Add("Soft" + std::to_string(n) + "_1.jpg", SolidPng(68, 89, 0x2F, 0x80, 0xED));
        zip.Add("Soft" + std::to_string(n) + "_2.jpg", SolidPng(68, 89, 0xED, 0x80, 0x2F));
    }
    zip.Add("SoftWareInfo.ini",
            std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
    const std::vector<uint8_t> archive = zip.Build();
    const std::wstring archivePath = dataFolder + L"\\SoftWareInfo.zip";
    ASSERT_TRUE(test::WriteFileBytes(archivePath, std::string(archive.begin(), archive.end())));

    HWND hwnd = frame->GetHWND();
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    frame->Controls().SelectMainTab(2);
    auto looks = [&] {
        InvalidateRect(hwnd, nullptr, FALSE);
        Pump(600);
        WindowPicture picture(hwnd);
        std::string look;
        for (int n = 1; n <= kSoftwareButtonCount; ++n) {
            RECT area = Find((L"Soft" + std::to_wstring(n) + L"_Btn").c_str())->GetPos();
            InflateRect(&area, -10, -10);
            look += BlueClass(picture.BlueLead(area));
        }
        return look;
    };
    EXPECT_EQ(looks().find('B'), std::string::npos) << "no pictures before the catalogue";
    Find(L"Soft5_Btn")->SetEnabled(false);  // filling enables each button

    ASSERT_TRUE(FillSoftwarePage(frame->Controls(), dataFolder, archivePath));
    EXPECT_EQ(looks(), std::string(kSoftwareButtonCount, 'B'));
    std::wstring artifacts = test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);
    EXPECT_TRUE(WindowPicture(hwnd).SavePng(artifacts + L"\\software-page.png"));

    for (int n : {1, 5, 16}) {
        DuiLib::CControlUI* button = Find((L"Soft" + std::to_wstring(n) + L"_Btn").c_str());
        EXPECT_TRUE(button->IsEnabled());
        frame->PaintManager().SendNotify(button, L"click");
    }
    EXPECT_EQ(opener.opened,
              (std::vector<std::wstring>{L"https://soft.example.cn/1", L"https://soft.example.cn/5",
                                         L"https://soft.example.cn/16"}));
    Gdiplus::GdiplusShutdown(token);
}

TEST(StartUp, UnwritableTemporaryFolderIsReportedAndEndsTheProgram) {
    test::ScriptedPrompt prompt;
    EXPECT_EQ(RunProgram(GetModuleHandleW(nullptr), L"C:\\no\\such\\temp\\", prompt), 0);
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].text, L"Korvane一键重装初始化失败！");
    EXPECT_EQ(prompt.asked[0].caption, L"信息提示");
    EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_ICONERROR));
}

}  // namespace
}  // namespace korvane
