// Windows and threads: modal loop and Close from a worker, frame removal, the page
// builder's errors and nesting, the pop-up menu, and workers setting properties while
// the window paints.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/ui/ui_test_support.h"

namespace uitest {
namespace {

class UiWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { UseFixtureSkin(); }
};

TEST_F(UiWindowTest, ModalLoopDisablesTheOwnerAndReturnsTheCodeCloseGaveFromAWorker) {
    FixtureWindow owner;
    ASSERT_NE(owner.CreateFixture(), nullptr);
    owner.ShowWindow(true, false);
    FixtureWindow dialog;
    ASSERT_NE(dialog.CreateFixture(owner.GetHWND()), nullptr);
    HWND dialogWnd = dialog.GetHWND();

    std::atomic<int> ownerEnabledDuringLoop{-1};
    std::thread worker([&] {
        while (!::IsWindowVisible(dialogWnd))
            ::Sleep(10);
        ::Sleep(100);
        ownerEnabledDuringLoop = ::IsWindowEnabled(owner.GetHWND()) ? 1 : 0;
        dialog.Close(42);  // only posts: the window goes on the UI thread
    });
    UINT code = dialog.ShowModal();
    worker.join();

    EXPECT_EQ(code, 42u);
    EXPECT_EQ(ownerEnabledDuringLoop.load(), 0);
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
    EXPECT_FALSE(::IsWindow(dialogWnd));
    ::DestroyWindow(owner.GetHWND());
}

TEST_F(UiWindowTest, QuitDuringAModalLoopEndsItAndReachesTheOuterLoop) {
    FixtureWindow owner;
    ASSERT_NE(owner.CreateFixture(), nullptr);
    FixtureWindow dialog;
    ASSERT_NE(dialog.CreateFixture(owner.GetHWND()), nullptr);
    DWORD uiThread = ::GetCurrentThreadId();
    std::thread worker([&] {
        while (!::IsWindowVisible(dialog.GetHWND()))
            ::Sleep(10);
        ::PostThreadMessageW(uiThread, WM_QUIT, 7, 0);
    });
    EXPECT_EQ(dialog.ShowModal(), 0u);
    worker.join();
    EXPECT_TRUE(::IsWindowEnabled(owner.GetHWND()));
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
    ::DestroyWindow(dialog.GetHWND());
    ::DestroyWindow(owner.GetHWND());
}

TEST_F(UiWindowTest, CaptionBandHonoursItsLeftAndRightMargins) {
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    CPaintManagerUI& pm = window.Manager();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(
        L"<Window size=\"200,100\" caption=\"10,5,20,40\"><VerticalLayout name=\"r\">"
        L"<Button name=\"b\" float=\"true\" pos=\"50,10,80,30\"/></VerticalLayout></Window>",
        nullptr, nullptr, &pm);
    ASSERT_NE(root, nullptr);
    pm.AttachDialog(root);
    HWND hWnd = window.GetHWND();
    auto hit = [&](int x, int y) {
        POINT pt = {x, y};
        ::ClientToScreen(hWnd, &pt);
        return ::SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(hit(9, 20), HTCLIENT);    // left of the band
    EXPECT_EQ(hit(10, 20), HTCAPTION);  // its first column
    EXPECT_EQ(hit(179, 20), HTCAPTION);
    EXPECT_EQ(hit(180, 20), HTCLIENT);  // client right (200) minus 20
    EXPECT_EQ(hit(100, 4), HTCLIENT);   // above its top
    EXPECT_EQ(hit(100, 5), HTCAPTION);
    EXPECT_EQ(hit(100, 39), HTCAPTION);
    EXPECT_EQ(hit(100, 40), HTCLIENT);
    EXPECT_EQ(hit(60, 20), HTCLIENT);  // the button
    ::DestroyWindow(hWnd);
}

TEST_F(UiWindowTest, CloseOnlyPostsTheRequest) {
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    HWND hWnd = window.GetHWND();
    window.Close(3);
    EXPECT_TRUE(::IsWindow(hWnd));
    PumpMessages(50);
    EXPECT_FALSE(::IsWindow(hWnd));
}

TEST_F(UiWindowTest, FramedWindowStylesLoseTheirFrameAndCentre) {
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(nullptr, UI_WNDSTYLE_FRAME), nullptr);
    RECT client = {}, outer = {};
    ::GetClientRect(window.GetHWND(), &client);
    ::GetWindowRect(window.GetHWND(), &outer);
    EXPECT_EQ(client.right, 818);
    EXPECT_EQ(client.bottom, 579);
    EXPECT_EQ(outer.right - outer.left, 818);
    EXPECT_EQ(outer.bottom - outer.top, 579);
    window.CenterWindow();
    RECT area = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(window.GetHWND(), &outer);
    EXPECT_NEAR((outer.left + outer.right) / 2, (area.left + area.right) / 2, 1);
    ::DestroyWindow(window.GetHWND());
}

// ---- page builder ----

TEST_F(UiWindowTest, BuilderReportsBrokenPagesAndSkipsWhatItDoesNotKnow) {
    CDialogBuilder builder;
    EXPECT_EQ(
        builder.Create(L"<Window><VerticalLayout>\n<Label name=\"a\">\n</VerticalLayout></Window>"),
        nullptr);
    std::wstring error = builder.GetLastErrorMessage().Str();
    EXPECT_NE(error.find(L"line"), std::wstring::npos) << std::string(error.begin(), error.end());

    EXPECT_EQ(builder.Create(L"NoSuchPage.xml"), nullptr);
    EXPECT_FALSE(builder.GetLastErrorMessage().IsEmpty());

    CControlUI* root = builder.Create(
        L"<Window size=\"10,10\"><verticallayout name=\"r\">"
        L"<Bogus name=\"x\"><Label name=\"inner\"/></Bogus>"
        L"<Label name=\"kept\" bkcolor=\"red\" width=\"abc\" text=\"&lt;ok&gt;\"/>"
        L"</verticallayout></Window>");
    ASSERT_NE(root, nullptr);
    auto* layout = static_cast<CContainerUI*>(root->GetInterface(L"Container"));
    ASSERT_NE(layout, nullptr);
    ASSERT_EQ(layout->GetCount(), 1);
    CControlUI* kept = layout->GetItemAt(0);
    EXPECT_EQ(kept->GetName(), L"kept");
    EXPECT_EQ(kept->GetText(), L"<ok>");
    EXPECT_EQ(kept->GetBkColor(), 0u);  // the bad colour is ignored
    EXPECT_EQ(kept->GetFixedWidth(), 0);
    delete root;
}

// A composite control that nests itself: each level builds a page holding the next.
class NestPage : public CContainerUI {
  public:
    explicit NestPage(int depth);
};

class NestCallback : public IDialogBuilderCallback {
  public:
    explicit NestCallback(int depth) : depth_(depth) {}
    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        if (wcscmp(pstrClass, L"Nest") == 0 && depth_ < 20)
            return new NestPage(depth_ + 1);
        return nullptr;
    }

  private:
    int depth_;
};

NestPage::NestPage(int depth) {
    std::wstring page = L"<Window size=\"100,100\"><VerticalLayout name=\"level" +
                        std::to_wstring(depth) + L"\"><Label name=\"label" +
                        std::to_wstring(depth) +
                        L"\" height=\"2\"/><Nest/></VerticalLayout></Window>";
    CDialogBuilder builder;
    NestCallback callback(depth);
    if (CControlUI* root = builder.Create(page.c_str(), nullptr, &callback))
        Add(root);
}

TEST_F(UiWindowTest, CompositeControlsNestPagesTwentyDeep) {
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    CPaintManagerUI& pm = window.Manager();
    pm.AttachDialog(new NestPage(1));
    for (int i = 1; i <= 20; ++i) {
        std::wstring name = L"label" + std::to_wstring(i);
        EXPECT_NE(pm.FindControl(name.c_str()), nullptr) << i;
    }
    EXPECT_EQ(pm.FindControl(L"level21"), nullptr);
    // Each level sits inside the one before.
    int depth = 0;
    for (CControlUI* c = pm.FindControl(L"label20"); c; c = c->GetParent())
        ++depth;
    EXPECT_EQ(depth, 20 * 2 + 1);  // a composite and its layout per level
    RECT rc = pm.FindControl(L"label20")->GetPos();
    EXPECT_EQ(rc.top, 19 * 2);  // below the nineteen labels above it
    ::DestroyWindow(window.GetHWND());
}

// ---- a handler that throws ----

class ThrowingWindow : public CWindowWnd {
  public:
    static constexpr UINT kThrow = WM_APP + 7;
    std::vector<UINT> failed;
    int handled = 0;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"KorvaneUiThrowingWindow"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == kThrow) {
            throw std::bad_alloc();
        }
        if (uMsg == WM_APP + 8) {
            return ++handled;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
    void OnHandlerFailed(UINT uMsg) override { failed.push_back(uMsg); }
};

TEST_F(UiWindowTest, AThrowingHandlerEndsThatMessageAndTheWindowGoesOn) {
    ThrowingWindow window;
    ASSERT_NE(window.Create(nullptr, L"throws", WS_POPUP, 0, 0, 0, 50, 50), nullptr);
    EXPECT_EQ(::SendMessageW(window.GetHWND(), ThrowingWindow::kThrow, 0, 0), 0);
    EXPECT_EQ(window.failed, std::vector<UINT>{ThrowingWindow::kThrow});
    EXPECT_EQ(::SendMessageW(window.GetHWND(), WM_APP + 8, 0, 0), 1)
        << "the next message is handled";
    ::DestroyWindow(window.GetHWND());
}

// ---- pop-up menu ----

class MenuOwner : public CWindowWnd {
  public:
    std::vector<std::wstring> chosen;
    std::vector<LPARAM> lParams;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"KorvaneUiMenuOwner"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_MENUCLICK) {
            auto* text = reinterpret_cast<CDuiString*>(wParam);
            chosen.push_back(text->Str());
            lParams.push_back(lParam);
            delete text;  // the receiver owns it
            return 0;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
};

TEST_F(UiWindowTest, ChoosingAMenuItemPostsItsUserDataToTheOwner) {
    EXPECT_EQ(WM_MENUCLICK, 1145u);
    MenuOwner owner;
    ASSERT_NE(owner.Create(nullptr, L"owner", WS_POPUP | WS_VISIBLE, 0, 10, 10, 200, 200), nullptr);

    auto* menu = new CMenuWnd;
    menu->Init(nullptr, L"Menu.xml", POINT{300, 200}, owner.GetHWND());
    HWND menuWnd = menu->GetHWND();
    ASSERT_TRUE(::IsWindow(menuWnd));
    EXPECT_EQ(::GetWindow(menuWnd, GW_OWNER), owner.GetHWND());
    RECT rc = {};
    ::GetWindowRect(menuWnd, &rc);
    EXPECT_EQ(rc.left, 300);
    EXPECT_EQ(rc.right - rc.left, 150);  // the Menu's width
    EXPECT_EQ(rc.bottom - rc.top, 4 * 30 + 6);
    HWND shadow = ::FindWindowW(L"DuiShadowWnd", nullptr);
    if (CShadowUI::IsSupported()) {
        ASSERT_NE(shadow, nullptr);
        EXPECT_TRUE(::IsWindowVisible(shadow));
        RECT shadowRc = {};
        ::GetWindowRect(shadow, &shadowRc);
        EXPECT_LT(shadowRc.left, rc.left);
        EXPECT_GT(shadowRc.bottom, rc.bottom);
    } else {
        EXPECT_EQ(shadow, nullptr);
    }

    CControlUI* item = menu->GetManager().FindControl(L"about1");
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->GetClass(), L"MenuElementUI");
    Click(menuWnd, Center(item));
    PumpMessages(100);
    ASSERT_EQ(owner.chosen.size(), 1u);
    EXPECT_EQ(owner.chosen[0], L"about");  // the user data, not the name or text
    EXPECT_EQ(owner.lParams[0], 0);
    EXPECT_FALSE(::IsWindow(menuWnd));
    EXPECT_EQ(::FindWindowW(L"DuiShadowWnd", nullptr), nullptr);

    // Escape closes a menu without a choice.
    menu = new CMenuWnd;
    menu->Init(nullptr, L"Menu.xml", POINT{300, 200}, owner.GetHWND());
    menuWnd = menu->GetHWND();
    ::SendMessageW(menuWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    PumpMessages(50);
    EXPECT_FALSE(::IsWindow(menuWnd));
    EXPECT_EQ(owner.chosen.size(), 1u);
    ::DestroyWindow(owner.GetHWND());
}

// ---- workers and the painting UI thread ----

bool Homogeneous(const std::wstring& text, size_t lengthA, size_t lengthB) {
    if (text.size() != lengthA && text.size() != lengthB)
        return false;
    for (wchar_t c : text) {
        if (c != text[0])
            return false;
    }
    return true;
}

TEST_F(UiWindowTest, WorkersSetPropertiesWhileTheWindowPaints) {
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    window.ShowWindow(true, false);
    CPaintManagerUI& pm = window.Manager();
    auto* text = static_cast<CTextUI*>(pm.FindControl(L"wrap_text"));
    auto* status = static_cast<CTextUI*>(pm.FindControl(L"status_text"));
    CControlUI* logo = pm.FindControl(L"logo_label");
    auto* progress = static_cast<CProgressUI*>(pm.FindControl(L"dl_progress"));
    CControlUI* plain = pm.FindControl(L"plain_label");
    CControlUI* hidden = pm.FindControl(L"hidden_label");
    ASSERT_TRUE(text && status && logo && progress && plain && hidden);

    const std::wstring longText(300, L'长'), shortText(7, L'短');
    std::atomic<bool> stop{false};
    std::atomic<long> writes{0};
    std::vector<std::thread> workers;
    workers.emplace_back([&] {
        for (int i = 0; !stop; ++i, ++writes) {
            text->SetText(i % 2 ? longText.c_str() : shortText.c_str());
            status->SetText(i % 3 ? shortText.c_str() : longText.c_str());
        }
    });
    workers.emplace_back([&] {
        const wchar_t* images[] = {L"logo_1.png", L"logo_2.png", L"logo_3.png", L"logo_4.png",
                                   L"file='grid.png' corner='10,10,10,10'"};
        for (int i = 0; !stop; ++i, ++writes) {
            logo->SetBkImage(images[i % 5]);
            logo->SetUserData(i % 2 ? longText.c_str() : shortText.c_str());
        }
    });
    workers.emplace_back([&] {
        for (int i = 0; !stop; ++i, ++writes)
            progress->SetValue(i % 101);
    });
    workers.emplace_back([&] {
        for (int i = 0; !stop; ++i, ++writes) {
            plain->SetVisible(i % 2 == 0);
            hidden->SetVisible(i % 2 == 1);
            text->SetEnabled(i % 3 != 0);
            if (pm.FindControl(L"dup_name") == nullptr)
                ADD_FAILURE() << "look-up failed";
        }
    });

    DWORD start = ::GetTickCount();
    int paints = 0, torn = 0;
    while (::GetTickCount() - start < 2000) {
        ::InvalidateRect(window.GetHWND(), nullptr, FALSE);
        ::UpdateWindow(window.GetHWND());
        ++paints;
        PumpMessages(1);
        if (!Homogeneous(text->GetText().Str(), longText.size(), shortText.size()))
            ++torn;
        if (!Homogeneous(logo->GetUserData().Str(), longText.size(), shortText.size()))
            ++torn;
    }
    stop = true;
    for (auto& t : workers)
        t.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(paints, 10);
    EXPECT_GT(writes.load(), 1000);
    // Still responsive and still drawing.
    DWORD_PTR result = 0;
    EXPECT_NE(
        ::SendMessageTimeoutW(window.GetHWND(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0);
    PaintStats before = pm.GetPaintStats();
    progress->SetValue(77);
    ::UpdateWindow(window.GetHWND());
    EXPECT_EQ(pm.GetPaintStats().paints, before.paints + 1);
    ::DestroyWindow(window.GetHWND());
}

}  // namespace
}  // namespace uitest
