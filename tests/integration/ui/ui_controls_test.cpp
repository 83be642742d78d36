// Control behaviour in detail: hover and pressed looks, keyboard in the native edit box,
// message filters, layout changes from visibility, tree changes, timers of removed
// controls, the skin folder mode, and the menu's placement and dismissal.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <thread>

#include "tests/integration/ui/ui_test_support.h"

#include <commctrl.h>

namespace uitest {
namespace {

// The fixture window with a record of the key messages that reach it.
class KeyWindow : public FixtureWindow {
  public:
    std::vector<WPARAM> keys;

  protected:
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        if (uMsg == WM_KEYDOWN)
            keys.push_back(wParam);
        return FixtureWindow::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    }
};

class ControlsTest : public FixtureWindowTest<KeyWindow> {
  protected:
    CControlUI* Find(const wchar_t* name) { return window_.Manager().FindControl(name); }
    uint32_t PixelAt(POINT pt) {
        int w = 0, h = 0;
        std::vector<uint32_t> px = Snapshot(window_.GetHWND(), &w, &h);
        return px[static_cast<size_t>(pt.y) * w + pt.x] & 0xFFFFFF;
    }
};

TEST_F(ControlsTest, ButtonsShowHotAndPushedImagesAndForgetThemOnLeave) {
    HWND hWnd = window_.GetHWND();
    auto* button = static_cast<CButtonUI*>(Find(L"menu_btn"));
    POINT pt = Center(button);
    POINT edge = {button->GetPos().left + 8, pt.y};  // image, not text
    EXPECT_EQ(PixelAt(edge), 0x3D8BFDu);             // btn_normal.png
    ::SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_TRUE(button->IsHot());
    EXPECT_EQ(PixelAt(edge), 0x6AA8FFu);  // btn_hot.png
    ::SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    EXPECT_TRUE(button->IsPushed());
    EXPECT_EQ(PixelAt(edge), 0x1F5FBFu);  // btn_pushed.png
    // Dragging out while pressed shows the hot look, back in the pushed one.
    ::SendMessageW(hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pt.x, pt.y + 200));
    EXPECT_FALSE(button->IsPushed());
    ::SendMessageW(hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    EXPECT_TRUE(button->IsPushed());
    ::SendMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_FALSE(button->IsPushed());
    ::SendMessageW(hWnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(button->IsHot());
    EXPECT_EQ(PixelAt(edge), 0x3D8BFDu);
    // Disabled: its own image, no hot state.
    button->SetEnabled(false);
    button->SetDisabledImage(L"btn_disabled.png");
    ::SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    EXPECT_FALSE(button->IsHot());
    EXPECT_EQ(PixelAt(edge), 0xB0B8C4u);
}

TEST_F(ControlsTest, EnterInTheNativeBoxStoresTheTextAndReachesTheWindowEscapeKeepsTheOld) {
    HWND hWnd = window_.GetHWND();
    auto* edit = static_cast<CEditUI*>(Find(L"path_edit"));
    Click(hWnd, Center(edit));
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    ::SetWindowTextW(native, L"F:\\下载");
    ::SendMessageW(native, WM_KEYDOWN, VK_RETURN, 0);
    // The window sees Enter with the text already in the control (a save on Enter works).
    ASSERT_EQ(window_.keys.size(), 1u);
    EXPECT_EQ(window_.keys[0], static_cast<WPARAM>(VK_RETURN));
    EXPECT_EQ(edit->GetText(), L"F:\\下载");
    bool returned = false;
    for (auto& n : window_.notifications)
        returned |= n.first == L"return";
    EXPECT_TRUE(returned);

    ::SetWindowTextW(native, L"discarded");
    ::SendMessageW(native, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages(50);
    EXPECT_EQ(edit->GetText(), L"F:\\下载");
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
    // A disabled edit box opens nothing.
    edit->SetEnabled(false);
    Click(hWnd, Center(edit));
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
}

TEST_F(ControlsTest, HoveringAControlWithATooltipShowsItsText) {
    HWND hWnd = window_.GetHWND();
    POINT plain = Center(Find(L"close_btn"));  // no tooltip: no tooltip window yet
    ::SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(plain.x, plain.y));
    EXPECT_EQ(window_.Manager().GetTooltipWindow(), nullptr);
    POINT pt = Center(Find(L"min_btn"));
    ::SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    HWND tip = window_.Manager().GetTooltipWindow();
    ASSERT_NE(tip, nullptr);
    wchar_t text[64] = {};
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = hWnd;
    ti.uId = 1;
    ti.lpszText = text;
    ::SendMessageW(tip, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&ti));
    EXPECT_STREQ(text, L"最小化");
    ::DestroyWindow(hWnd);
    EXPECT_FALSE(::IsWindow(tip));
}

class SwallowClicks : public IMessageFilterUI {
  public:
    int seen = 0;
    LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override {
        if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONUP) {
            ++seen;
            bHandled = true;
        }
        return 0;
    }
};

TEST_F(ControlsTest, MessageFiltersSeeMessagesFirstAndMaySwallowThem) {
    SwallowClicks filter;
    window_.Manager().AddMessageFilter(&filter);
    window_.notifications.clear();
    Click(window_.GetHWND(), Center(Find(L"min_btn")));
    EXPECT_EQ(filter.seen, 2);
    for (auto& n : window_.notifications)
        EXPECT_NE(n.first, L"click");
    window_.Manager().RemoveMessageFilter(&filter);
    Click(window_.GetHWND(), Center(Find(L"min_btn")));
    EXPECT_EQ(window_.notifications.back().first, L"click");
}

TEST_F(ControlsTest, HidingAControlOfAFlowLayoutMovesItsSiblingsFromAnyThread) {
    CControlUI* a = Find(L"flow_a");
    CControlUI* b = Find(L"flow_b");
    RECT before = b->GetPos();
    std::thread([&] { a->SetVisible(false); }).join();
    ::UpdateWindow(window_.GetHWND());  // layout happens with the next paint
    RECT after = b->GetPos();
    EXPECT_EQ(after.left, Find(L"flow_row")->GetPos().left + 5);
    EXPECT_GT(after.right - after.left, before.right - before.left);
    // The vertical layout shares what the fixed rows leave.
    RECT colA = Find(L"col_a")->GetPos(), colB = Find(L"col_b")->GetPos();
    EXPECT_EQ(colA.bottom - colA.top, 30);
    EXPECT_EQ(colB.top, colA.bottom + 4);
    EXPECT_EQ(colB.bottom, Find(L"flow_col")->GetPos().bottom);
}

TEST_F(ControlsTest, ContainersAcceptNewChildrenAndForgetRemovedOnes) {
    CPaintManagerUI& pm = window_.Manager();
    auto* row = static_cast<CContainerUI*>(Find(L"flow_row")->GetInterface(L"Container"));
    ASSERT_NE(row, nullptr);
    auto* extra = new CLabelUI;
    extra->SetName(L"extra_label");
    extra->SetText(L"新加的");
    ASSERT_TRUE(row->Add(extra));
    EXPECT_EQ(pm.FindControl(L"extra_label"), extra);
    EXPECT_EQ(extra->GetManager(), &pm);
    EXPECT_EQ(extra->GetParent(), row);
    ::UpdateWindow(window_.GetHWND());
    EXPECT_GT(extra->GetWidth(), 0);

    // A GIF that is animating can be removed: its timer goes with it.
    CControlUI* gif = Find(L"loading_gif");
    ::UpdateWindow(window_.GetHWND());
    auto* page = static_cast<CContainerUI*>(gif->GetParent()->GetInterface(L"Container"));
    ASSERT_TRUE(page->Remove(gif));
    EXPECT_EQ(pm.FindControl(L"loading_gif"), nullptr);
    PumpMessages(300);  // timer messages for a removed control would crash here
    row->RemoveAll();
    EXPECT_EQ(row->GetCount(), 0);
    EXPECT_EQ(pm.FindControl(L"extra_label"), nullptr);
    EXPECT_EQ(pm.FindControl(L"flow_a"), nullptr);
    EXPECT_FALSE(row->Add(nullptr));
    auto* orphan = new CControlUI;
    EXPECT_FALSE(row->AddAt(orphan, 5));  // past the end: refused, still ours
    delete orphan;
}

TEST_F(ControlsTest, UserDataTagAndTextAreCopiesSafeToKeep) {
    CControlUI* label = Find(L"dup_name");
    CDuiString data = label->GetUserData();
    label->SetUserData(L"changed");
    EXPECT_EQ(data, L"page1");
    EXPECT_EQ(label->GetUserData(), L"changed");
    label->SetTag(0x1234);
    EXPECT_EQ(label->GetTag(), 0x1234u);
    label->ApplyAttributeList(L"text=\"新的\" userdata='x' visible=\"false\"");
    EXPECT_EQ(label->GetText(), L"新的");
    EXPECT_EQ(label->GetUserData(), L"x");
    EXPECT_FALSE(label->IsVisible());
}

TEST_F(ControlsTest, HiddenGifStopsItsTimerAndResumesWhenShown) {
    auto* gif = static_cast<CGifUI*>(Find(L"loading_gif"));
    ::UpdateWindow(window_.GetHWND());
    PumpMessages(200);
    gif->SetVisible(false);
    PumpMessages(150);  // a last pending frame may still arrive
    int frame = gif->GetFrameIndex();
    PumpMessages(400);
    EXPECT_EQ(gif->GetFrameIndex(), frame);
    gif->SetVisible(true);
    ::UpdateWindow(window_.GetHWND());
    PumpMessages(400);
    EXPECT_NE(gif->GetFrameIndex(), frame);
}

// ---- skin sources ----

class FolderWindow : public FixtureWindow {
  protected:
    CDuiString GetSkinFolder() override {
        return CDuiString(ProgramFolder() + L"ui_fixture_folder\\");
    }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_FILE; }
};

std::wstring WriteFile(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    ::CloseHandle(f);
    return path;
}

TEST(SkinSource, PagesLoadFromAPlainFolderAndBrokenArchivesAreReported) {
    std::wstring folder = ProgramFolder() + L"ui_fixture_folder\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    // A byte-order mark in front of the page is allowed.
    WriteFile(folder + L"Main.xml",
              "\xEF\xBB\xBF<Window size=\"300,200\"><VerticalLayout name=\"folder_root\">"
              "<Label name=\"folder_label\" text=\"来自文件夹\"/></VerticalLayout></Window>");
    FolderWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    EXPECT_NE(window.Manager().FindControl(L"folder_label"), nullptr);
    RECT client = {};
    ::GetClientRect(window.GetHWND(), &client);
    EXPECT_EQ(client.right, 300);
    ::DestroyWindow(window.GetHWND());

    // An archive that is not a zip: the page build fails with the reason, nothing crashes.
    WriteFile(folder + L"broken.zip", "PK\x03\x04 this is not really an archive");
    CPaintManagerUI::SetResourcePath(folder.c_str());
    CPaintManagerUI::SetResourceZip(L"broken.zip");
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(L"Main.xml"), nullptr);
    EXPECT_FALSE(builder.GetLastErrorMessage().IsEmpty());
    // Absolute paths bypass the archive.
    EXPECT_NE(builder.Create((folder + L"Main.xml").c_str()), nullptr);
    CPaintManagerUI::SetResourceZip(L"missing.zip");
    EXPECT_EQ(builder.Create(L"Main.xml"), nullptr);
    std::wstring error = builder.GetLastErrorMessage().Str();
    EXPECT_NE(error.find(L"missing.zip"), std::wstring::npos);
    UseFixtureSkin();
    EXPECT_EQ(CPaintManagerUI::GetResourceZip(), L"ui_fixture.zip");
}

// ---- menu placement and dismissal ----

TEST(MenuPlacement, StaysOnTheWorkAreaAndClosesWhenItLosesActivation) {
    UseFixtureSkin();
    FixtureWindow owner;
    ASSERT_NE(owner.CreateFixture(), nullptr);
    owner.ShowWindow(true, true);
    RECT area = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    auto* menu = new CMenuWnd;
    menu->Init(nullptr, L"Menu.xml", POINT{area.right - 10, area.bottom - 10}, owner.GetHWND());
    HWND menuWnd = menu->GetHWND();
    ASSERT_TRUE(::IsWindow(menuWnd));
    RECT rc = {};
    ::GetWindowRect(menuWnd, &rc);
    EXPECT_LE(rc.right, area.right);
    EXPECT_LE(rc.bottom, area.bottom);
    // Activating another window dismisses the menu without a choice.
    ::SetActiveWindow(owner.GetHWND());
    PumpMessages(100);
    EXPECT_FALSE(::IsWindow(menuWnd));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, owner.GetHWND(), WM_MENUCLICK, WM_MENUCLICK, PM_NOREMOVE));
    // A menu page that does not exist shows nothing.
    menu = new CMenuWnd;
    menu->Init(nullptr, L"NoSuchMenu.xml", POINT{10, 10}, owner.GetHWND());
    HWND none = menu->GetHWND();
    PumpMessages(50);
    EXPECT_FALSE(::IsWindow(none));
    ::DestroyWindow(owner.GetHWND());
}

}  // namespace
}  // namespace uitest
