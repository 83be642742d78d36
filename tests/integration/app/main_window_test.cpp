// The main window built from the real skin archive: the page tree, duplicate names, the drag
// area, the tray icon, the private messages and the start-up failure.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "app/main_frame.h"
#include "app/page_controls.h"
#include "app/startup.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

// Points the framework at the skin archive the build made.
void UseBuiltSkin() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    std::wstring folder = testing::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\resources\\skin\\";
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(folder.c_str());
    DuiLib::CPaintManagerUI::SetResourceZip(L"KRXTSKIN.zip", false);
}

void Pump(int ms) {
    DWORD end = GetTickCount() + ms;
    MSG msg;
    while (GetTickCount() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseBuiltSkin();
        frame = new CMainFrame(L"C:", L"C:\\KorvaneTestData");
        frame->SetUrlOpener([this](const wchar_t* url) { opened.push_back(url); });
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

    CMainFrame* frame = nullptr;  // lives on, as in the program
    std::vector<std::wstring> opened;
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
        EXPECT_NE(Find(name), nullptr) << testing::Utf8(name);
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

TEST_F(MainWindowTest, TrayIconHidesAndRestoresTheWindow) {
    HWND hwnd = frame->GetHWND();
    frame->ShowWindow(false, false);
    EXPECT_TRUE(frame->ShowTrayIcon()) << "icon added";
    EXPECT_FALSE(frame->ShowTrayIcon()) << "already up";

    SendMessageW(hwnd, kTrayCallbackMessage, kProgramIcon, WM_RBUTTONDOWN);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "a right click does not restore";

    SendMessageW(hwnd, kTrayCallbackMessage, kProgramIcon, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(hwnd));

    frame->ShowWindow(false, false);
    EXPECT_TRUE(frame->ShowTrayIcon()) << "the restore removed the icon; hiding adds it again";
    SendMessageW(hwnd, kTrayCallbackMessage, kProgramIcon, WM_LBUTTONDOWN);
}

TEST_F(MainWindowTest, MenuCommandsOpenTheHomePage) {
    HWND hwnd = frame->GetHWND();
    for (const wchar_t* item : {L"about", L"Visithomepage", L"unknown", L"visithomepage"}) {
        PostMessageW(hwnd, kMenuCommandMessage,
                     reinterpret_cast<WPARAM>(new DuiLib::CDuiString(item)), 0);
    }
    Pump(100);
    EXPECT_EQ(opened, (std::vector<std::wstring>{kHomePage, kHomePage}));
}

TEST_F(MainWindowTest, SpeedLimitMessageKeepsTheLimitForTheEngine) {
    std::wstring text = L"512";
    EXPECT_EQ(SendMessageW(frame->GetHWND(), kSpeedLimitMessage,
                           reinterpret_cast<WPARAM>(text.c_str()), 0),
              0);
    EXPECT_EQ(frame->Downloads().SpeedLimitText(), L"512");
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

// Saves what the screen shows of the window as a PNG artefact of the build.
bool SaveWindowPicture(HWND hwnd, const std::wstring& path) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY);
    SelectObject(memory, old);
    bool saved = false;
    {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        // The PNG encoder of GDI+.
        const CLSID png = {
            0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        saved = picture.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

TEST_F(MainWindowTest, EveryWizardStepIsDrawn) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    std::wstring artifacts = testing::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);

    auto* steps = static_cast<DuiLib::CTabLayoutUI*>(Find(L"ZadodiReloadTab"));
    ASSERT_NE(steps, nullptr);
    HWND hwnd = frame->GetHWND();
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    for (int step = 0; step < 6; ++step) {
        ASSERT_TRUE(steps->SelectItem(step));
        InvalidateRect(hwnd, nullptr, FALSE);
        Pump(600);
        std::wstring path = artifacts + L"\\wizard-step" + std::to_wstring(step) + L".png";
        EXPECT_TRUE(SaveWindowPicture(hwnd, path)) << "step " << step;
    }
    Gdiplus::GdiplusShutdown(token);
}

TEST(StartUp, UnwritableTemporaryFolderIsReportedAndEndsTheProgram) {
    testing::ScriptedPrompt prompt;
    EXPECT_EQ(RunProgram(GetModuleHandleW(nullptr), L"C:\\no\\such\\temp\\", prompt), 0);
    ASSERT_EQ(prompt.asked.size(), 1u);
    EXPECT_EQ(prompt.asked[0].text, L"Korvane一键重装初始化失败！");
    EXPECT_EQ(prompt.asked[0].caption, L"信息提示");
    EXPECT_EQ(prompt.asked[0].type, static_cast<UINT>(MB_ICONERROR));
}

}  // namespace
}  // namespace korvane
