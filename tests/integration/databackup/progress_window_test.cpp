// The progress window with the real skin archive: built from its page, showing the job's two
// lines while it runs, closed by the job, the owner disabled meanwhile; and its picture.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstdint>

#include "databackup/backup_progress_window.h"
#include "data_job_fixture.h"
#include "tests/support/window_picture.h"

namespace korvane {
namespace {

using test::HasFileOf;
using test::MakeFile;
using test::Utf8;

// The window saved as PNG; bluish: the blue text pixels of the count line's band (the
// line is drawn in blue).
bool SaveWindowPicture(HWND hwnd, const std::wstring& path, int* bluish) {
    test::WindowPicture picture(hwnd);
    *bluish = picture.Count({111, 206, 311, 228}, [](int r, int, int b) { return b > r + 80; });
    return picture.SavePng(path);
}

// Answers the job's end message after looking at the window as it stands then (from the
// job's thread, while the modal loop runs).
class LookingPrompt : public UserPrompt {
  public:
    std::atomic<CBackUpAndRestoreProgress*> window{nullptr};
    HWND owner = nullptr;
    std::wstring picturePath;
    // What was seen.
    std::wstring text, text1, text2, gif;
    bool ownerEnabled = true, visible = false, saved = false;
    LRESULT hit = 0;
    int bluish = 0;

    int Ask(const std::wstring& message, const std::wstring&, UINT) override {
        while (!window.load()) {
            Sleep(10);
        }
        CBackUpAndRestoreProgress* w = window.load();
        text = message;
        Sleep(800);  // painted, the image turning
        HWND hwnd = w->GetHWND();
        ownerEnabled = IsWindowEnabled(owner);
        visible = IsWindowVisible(hwnd);
        auto& pm = w->PaintManager();
        text1 = pm.FindControl(L"Text1")->GetText().GetData();
        text2 = pm.FindControl(L"Text2")->GetText().GetData();
        gif = static_cast<DuiLib::CGifUI*>(pm.FindControl(L"BackUpAndRestoreGif"))
                  ->GetGifImage()
                  .GetData();
        RECT rc = {};
        GetWindowRect(hwnd, &rc);
        hit = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(rc.left + 10, rc.top + 10));
        if (!picturePath.empty()) {
            saved = SaveWindowPicture(hwnd, picturePath, &bluish);
        }
        return IDOK;
    }
    int AskTimed(const std::wstring& m, const std::wstring& c, UINT t, DWORD) override {
        return Ask(m, c, t);
    }
};

class ProgressWindowTest : public test::DataJobTest {
  protected:
    void SetUp() override {
        test::DataJobTest::SetUp();
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring skin =
            test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\resources\\skin\\KRXTSKIN.zip";
        ASSERT_TRUE(CopyFileW(skin.c_str(), (std::wstring(temp) + L"KRXTSKIN").c_str(), FALSE));
        DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr), Gdiplus::Ok);
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        looking.owner = owner;
    }
    void TearDown() override {
        DestroyWindow(owner);
        Gdiplus::GdiplusShutdown(gdiplus);
        test::DataJobTest::TearDown();
    }

    ULONG_PTR gdiplus = 0;
    HWND owner = nullptr;
    LookingPrompt looking;
};

TEST_F(ProgressWindowTest, ShowsTheJobAndIsClosedByIt) {
    for (int i = 0; i < 20; ++i) {
        MakeFile(desktop + L"\\f" + std::to_wstring(i) + L".txt");
    }
    page.SelectOnly({2});
    const std::wstring artifacts = test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\artifacts";
    CreateDirectoryW(artifacts.c_str(), nullptr);
    looking.picturePath = artifacts + L"\\databackup-progress.png";
    DeleteFileW(looking.picturePath.c_str());

    CBackUpAndRestoreProgress window(owner, &page, 0, {&shell, &looking});
    looking.window = &window;
    HWND hwnd = window.GetHWND();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), owner);
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 420);
    EXPECT_EQ(rc.bottom - rc.top, 290);
    EXPECT_EQ(window.ShowModal(), 1u);

    EXPECT_FALSE(IsWindow(hwnd)) << "the job's close destroyed the window";
    EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner is usable again";
    EXPECT_FALSE(looking.ownerEnabled) << "the owner took no input while the job ran";
    EXPECT_TRUE(looking.visible);
    EXPECT_EQ(looking.text, L"一键备份个人资料成功！");
    EXPECT_EQ(looking.text1, L"正在备份[桌面]. . .");
    EXPECT_EQ(looking.text2, L"已备份：20/20");
    EXPECT_EQ(looking.gif, L"4_Loading.gif");
    EXPECT_EQ(looking.hit, HTCLIENT) << "the window has no drag area";
    EXPECT_TRUE(looking.saved);
    EXPECT_GT(looking.bluish, 20) << "the count line is drawn";
    EXPECT_TRUE(HasFileOf(root + L"\\桌面\\f7.txt", desktop + L"\\f7.txt"));
}

TEST_F(ProgressWindowTest, EarlyFailureStillClosesTheWindowAndFreesTheOwner) {
    page.edits[L"RestoreDocPath_Edit"] = L"";
    CBackUpAndRestoreProgress window(owner, &page, 1, {&shell, &looking});
    looking.window = &window;
    EXPECT_EQ(window.ShowModal(), 1u);
    EXPECT_EQ(looking.text, L"请选择一个备份路径！");
    EXPECT_EQ(looking.text1, L"正在获取还原信息. . .");
    EXPECT_TRUE(IsWindowEnabled(owner));
}

}  // namespace
}  // namespace korvane
