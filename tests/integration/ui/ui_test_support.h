// Shared pieces of the UI framework tests: the fixture window built from the test skin
// archive (packed beside the test program), its composite page controls, and helpers to
// pump messages, click and read back pixels.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "ui/duilib.h"

namespace uitest {

using namespace DuiLib;

// Folder of the running program, with a trailing backslash.
std::wstring ProgramFolder();
// Points the framework at the fixture archive.
void UseFixtureSkin();

// Composite control of the fixture: builds one page file and holds it as its only child.
class FixturePage : public CContainerUI {
  public:
    explicit FixturePage(const wchar_t* page);
};

class FixtureCallback : public IDialogBuilderCallback {
  public:
    CControlUI* CreateControl(LPCTSTR pstrClass) override;
};

class FixtureWindow : public WindowImplBase {
  public:
    // A pop-up window: Wine without a window manager waits 2 s to hide or destroy a
    // framed (managed) window, which would only slow the tests down.
    HWND CreateFixture(HWND owner = nullptr, DWORD style = WS_POPUP | WS_CLIPCHILDREN);
    CPaintManagerUI& Manager() { return m_PaintManager; }
    std::vector<std::pair<std::wstring, std::wstring>> notifications;  // type, sender name

    void Notify(TNotifyUI& msg) override;
    CControlUI* CreateControl(LPCTSTR pstrClass) override;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"KorvaneUiFixture"; }
    CDuiString GetSkinFolder() override { return CDuiString(ProgramFolder()); }
    CDuiString GetSkinFile() override { return CDuiString(L"Main.xml"); }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIP; }
    CDuiString GetZIPFileName() const override { return CDuiString(L"ui_fixture.zip"); }
};

// Records the notifications of a paint manager.
class NotifyRecorder : public INotifyUI {
  public:
    void Notify(TNotifyUI& msg) override;
    std::vector<std::pair<std::wstring, std::wstring>> seen;
};

// Runs the message loop of this thread for a while.
void PumpMessages(DWORD milliseconds);
// A left click at a client point, through the window's message handling.
void Click(HWND hWnd, POINT pt);
// The centre of a control, in client coordinates.
POINT Center(CControlUI* control);
// Renders the whole window (WM_PRINTCLIENT) and returns its pixels (0xAARRGGBB, premultiplied).
std::vector<uint32_t> Snapshot(HWND hWnd, int* width, int* height);
// What the window shows on the screen now (not drawn again for the copy, unlike Snapshot).
std::vector<uint32_t> ScreenPixels(HWND hWnd);

// A test with the fixture page open and shown in a window of type Window.
template <typename Window>
class FixtureWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseFixtureSkin();
        ASSERT_NE(window_.CreateFixture(), nullptr);
        window_.ShowWindow(true, false);
        PumpMessages(30);
    }
    void TearDown() override {
        if (::IsWindow(window_.GetHWND()))
            ::DestroyWindow(window_.GetHWND());
    }
    Window window_;
};

}  // namespace uitest
