// Page building, look-ups, tabs, options, notifications and drawing of the fixture page.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "tests/integration/ui/ui_test_support.h"

namespace uitest {
namespace {

class FixturePageTest : public FixtureWindowTest<FixtureWindow> {
  protected:
    CControlUI* Find(const wchar_t* name) {
        CControlUI* c = window_.Manager().FindControl(name);
        EXPECT_NE(c, nullptr) << "no control named " << std::string(name, name + wcslen(name));
        return c;
    }
};

TEST_F(FixturePageTest, BuildsTheWholeTreeWithNestedPagesAndWindowAttributes) {
    CPaintManagerUI& pm = window_.Manager();
    ASSERT_NE(pm.GetRoot(), nullptr);
    // Controls of the main page and of both composite pages are in one tree.
    const wchar_t* classes[][2] = {
        {L"min_btn", L"ButtonUI"},          {L"os_op1", L"OptionUI"},
        {L"path_edit", L"EditUI"},          {L"wrap_text", L"TextUI"},
        {L"plain_label", L"LabelUI"},       {L"dl_progress", L"ProgressUI"},
        {L"loading_gif", L"GifUI"},         {L"MainTab", L"TabLayoutUI"},
        {L"header", L"HorizontalLayoutUI"}, {L"root", L"VerticalLayoutUI"},
        {L"page1_btn", L"ButtonUI"},        {L"page0_host", L"ContainerUI"},
    };
    for (auto& entry : classes) {
        CControlUI* c = Find(entry[0]);
        ASSERT_NE(c, nullptr);
        EXPECT_STREQ(c->GetClass(), entry[1]);
    }
    EXPECT_EQ(pm.FindControl(L"no_such_control"), nullptr);

    // Window element: size without a frame, caption band, transparency, fonts, defaults.
    RECT client = {};
    ::GetClientRect(window_.GetHWND(), &client);
    EXPECT_EQ(client.right, 818);
    EXPECT_EQ(client.bottom, 579);
    EXPECT_EQ(pm.GetCaptionRect().bottom, 130);
    EXPECT_TRUE(pm.IsLayered());
    ::UpdateWindow(window_.GetHWND());
    if (render::SystemBlendsLayeredWindows()) {
        EXPECT_TRUE(::GetWindowLongPtrW(window_.GetHWND(), GWL_EXSTYLE) & WS_EX_LAYERED);
    } else {
        // Transparency as a window region: the rounded corner is cut away.
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        EXPECT_NE(::GetWindowRgn(window_.GetHWND(), rgn), ERROR);
        EXPECT_FALSE(::PtInRegion(rgn, 0, 0));
        EXPECT_TRUE(::PtInRegion(rgn, 400, 300));
        EXPECT_TRUE(::PtInRegion(rgn, 817, 300));
        ::DeleteObject(rgn);
    }
    EXPECT_EQ(pm.GetFontCount(), 4);
    auto* min = static_cast<CButtonUI*>(Find(L"min_btn"));
    EXPECT_EQ(min->GetTextColor(), 0xFFFFFFFFu);  // from the Default element
    EXPECT_EQ(min->GetText(), L"最小化");
    EXPECT_FALSE(Find(L"hidden_label")->IsVisible());
    EXPECT_FALSE(Find(L"disabled_btn")->IsEnabled());

    // Float positions are relative to the parent: page 0 starts below the 126 px header
    // inside the 4 px inset.
    RECT rc = Find(L"os_op1")->GetPos();
    EXPECT_EQ(rc.left, 4 + 20);
    EXPECT_EQ(rc.top, 4 + 126 + 44);
    EXPECT_EQ(rc.right - rc.left, 140);
    // Flow layouts: fixed widths, child padding, the rest shared, padding honoured.
    RECT a = Find(L"flow_a")->GetPos(), b = Find(L"flow_b")->GetPos(),
         c = Find(L"flow_c")->GetPos();
    EXPECT_EQ(a.right - a.left, 120);
    EXPECT_EQ(b.left, a.right + 10);
    EXPECT_EQ(c.left, b.right + 10 + 10);
    EXPECT_EQ(c.right, Find(L"flow_row")->GetPos().right - 5);
    EXPECT_EQ(c.top, a.top + 4);
}

TEST_F(FixturePageTest, FindByNameGivesTheLastControlOfThatNameInTreeOrder) {
    CControlUI* dup = Find(L"dup_name");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(dup->GetUserData(), L"page1");
    EXPECT_EQ(dup->GetText(), L"第二个");
    // Renaming changes what a look-up finds.
    dup->SetName(L"renamed");
    EXPECT_EQ(Find(L"dup_name")->GetUserData(), L"page0");
    EXPECT_EQ(Find(L"renamed"), dup);
}

TEST_F(FixturePageTest, FindByPointAndTheCaptionHitTest) {
    HWND hWnd = window_.GetHWND();
    CPaintManagerUI& pm = window_.Manager();
    CControlUI* option = Find(L"os_op1");
    EXPECT_EQ(pm.FindControl(Center(option)), option);
    // A point with nothing but the page behind it finds the page's layout.
    EXPECT_STREQ(pm.FindControl(POINT{600, 573})->GetClass(), L"VerticalLayoutUI");

    auto hitTest = [&](const wchar_t* name) {
        POINT pt = Center(Find(name));
        ::ClientToScreen(hWnd, &pt);
        return ::SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(hitTest(L"title_label"), HTCAPTION);  // a label in the band drags
    EXPECT_EQ(hitTest(L"header_text"), HTCAPTION);  // so does a text (only the main window differs)
    EXPECT_EQ(hitTest(L"header_gap"), HTCAPTION);
    EXPECT_EQ(hitTest(L"min_btn"), HTCLIENT);
    EXPECT_EQ(hitTest(L"plain_label"), HTCLIENT);  // below the band
    // The band ends at y = 129 inclusive.
    POINT edge = {60, 129}, below = {60, 130};
    ::ClientToScreen(hWnd, &edge);
    ::ClientToScreen(hWnd, &below);
    EXPECT_EQ(::SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y)), HTCAPTION);
    EXPECT_EQ(::SendMessageW(hWnd, WM_NCHITTEST, 0, MAKELPARAM(below.x, below.y)), HTCLIENT);
}

TEST_F(FixturePageTest, TabSelectionShowsOnePage) {
    CPaintManagerUI& pm = window_.Manager();
    auto* tab = static_cast<CTabLayoutUI*>(Find(L"MainTab"));
    CControlUI* page0 = Find(L"page0_host");
    CControlUI* page1 = Find(L"page1_host");
    EXPECT_TRUE(page0->IsVisible());
    EXPECT_FALSE(page1->IsVisible());
    POINT pt = Center(Find(L"page1_btn"));
    EXPECT_NE(pm.FindControl(pt), Find(L"page1_btn"));

    EXPECT_TRUE(tab->SelectItem(1));
    EXPECT_EQ(tab->GetCurSel(), 1);
    EXPECT_FALSE(page0->IsVisible());
    EXPECT_TRUE(page1->IsVisible());
    EXPECT_EQ(pm.FindControl(pt), Find(L"page1_btn"));
    ASSERT_FALSE(window_.notifications.empty());
    EXPECT_EQ(window_.notifications.back().first, L"tabselect");

    EXPECT_FALSE(tab->SelectItem(2));
    EXPECT_FALSE(tab->SelectItem(-1));
    EXPECT_EQ(tab->GetCurSel(), 1);
}

TEST_F(FixturePageTest, ClicksSelectOptionsOfOneGroupAndReachEveryNotifier) {
    HWND hWnd = window_.GetHWND();
    NotifyRecorder second;
    window_.Manager().AddNotifier(&second);
    auto* op1 = static_cast<COptionUI*>(Find(L"os_op1"));
    auto* op2 = static_cast<COptionUI*>(Find(L"os_op2"));
    auto* op3 = static_cast<COptionUI*>(Find(L"os_op3"));
    auto* check = static_cast<COptionUI*>(Find(L"check_op"));
    EXPECT_TRUE(op1->IsSelected());
    EXPECT_TRUE(check->IsSelected());

    Click(hWnd, Center(op2));
    EXPECT_FALSE(op1->IsSelected());
    EXPECT_TRUE(op2->IsSelected());
    EXPECT_FALSE(op3->IsSelected());
    EXPECT_TRUE(check->IsSelected());  // other group (none)
    Click(hWnd, Center(op2));          // a group option stays selected
    EXPECT_TRUE(op2->IsSelected());
    Click(hWnd, Center(check));  // a lone option toggles
    EXPECT_FALSE(check->IsSelected());

    auto clicks = [](const std::vector<std::pair<std::wstring, std::wstring>>& seen) {
        std::vector<std::wstring> names;
        for (auto& n : seen) {
            if (n.first == L"click")
                names.push_back(n.second);
        }
        return names;
    };
    std::vector<std::wstring> expected = {L"os_op2", L"os_op2", L"check_op"};
    EXPECT_EQ(clicks(window_.notifications), expected);
    EXPECT_EQ(clicks(second.seen), expected);

    // No click for a disabled button, nor for a press released outside the button.
    Click(hWnd, Center(Find(L"disabled_btn")));
    POINT in = Center(Find(L"min_btn"));
    ::SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(in.x, in.y));
    ::SendMessageW(hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(in.x, in.y + 100));
    ::SendMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(in.x, in.y + 100));
    EXPECT_EQ(clicks(second.seen), expected);
    Click(hWnd, Center(Find(L"min_btn")));
    EXPECT_EQ(clicks(second.seen).back(), L"min_btn");
    window_.Manager().RemoveNotifier(&second);
}

// Pixel at a client point as 0xRRGGBB (the pixels drawn here are opaque).
uint32_t Rgb(const std::vector<uint32_t>& px, int width, int x, int y) {
    return px[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

bool Near(uint32_t rgb, uint32_t want, int tolerance = 6) {
    for (int shift = 0; shift < 24; shift += 8) {
        int a = static_cast<int>((rgb >> shift) & 0xFF),
            b = static_cast<int>((want >> shift) & 0xFF);
        if (a - b > tolerance || b - a > tolerance)
            return false;
    }
    return true;
}

TEST_F(FixturePageTest, DrawsImagesNineGridColoursProgressAndText) {
    int w = 0, h = 0;
    std::vector<uint32_t> px = Snapshot(window_.GetHWND(), &w, &h);
    ASSERT_EQ(w, 818);
    auto at = [&](const wchar_t* name, int dx, int dy) {
        RECT rc = Find(name)->GetPos();
        return Rgb(px, w, rc.left + dx, rc.top + dy);
    };
    // Nine-grid: 100 x 60 from a 30 x 30 image with 10 px corners.
    EXPECT_TRUE(Near(at(L"grid_probe", 3, 3), 0xFF0000));    // corner
    EXPECT_TRUE(Near(at(L"grid_probe", 96, 56), 0xFF0000));  // opposite corner
    EXPECT_TRUE(Near(at(L"grid_probe", 50, 3), 0x0000FF));   // top edge, stretched
    EXPECT_TRUE(Near(at(L"grid_probe", 3, 30), 0x0000FF));   // left edge
    EXPECT_TRUE(Near(at(L"grid_probe", 50, 30), 0x00FF00));  // middle
    EXPECT_TRUE(Near(at(L"jpeg_probe", 16, 16), 0xFF0000, 12));
    EXPECT_TRUE(Near(at(L"alpha_probe", 16, 16), 0xFF7F7F, 8));  // half red over white
    EXPECT_TRUE(Near(at(L"source_probe", 10, 10), 0xFF0000));    // source part only
    EXPECT_TRUE(Near(at(L"dest_probe", 15, 15), 0xFF0000));      // inside dest
    EXPECT_FALSE(Near(at(L"dest_probe", 3, 3), 0xFF0000, 40));   // outside dest
    // Colour and border.
    EXPECT_TRUE(Near(at(L"plain_label", 6, 3), 0xFFF4D6));
    EXPECT_TRUE(Near(at(L"plain_label", 0, 0), 0xE0B84C));
    // Progress 40 %: filled to 40 % of 280 px.
    EXPECT_TRUE(Near(at(L"dl_progress", 60, 6), 0x27AE60));
    EXPECT_TRUE(Near(at(L"dl_progress", 200, 6), 0xDDE3EA));
    // Text in #0000C0FF: the colour's alpha is ignored, the glyphs show.
    RECT rc = Find(L"wrap_text")->GetPos();
    int blue = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            uint32_t p = Rgb(px, w, x, y);
            if ((p >> 16) < 0x60 && (p & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) > 0x80)
                ++blue;
        }
    }
    EXPECT_GT(blue, 40);
    // A text with an end ellipsis stays on one line, cut to its width: ink near the right
    // end of the first line, none on a second line.
    rc = Find(L"path_text")->GetPos();
    auto inkIn = [&](int left, int top, int right, int bottom) {
        int ink = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = left; x < right; ++x) {
                if ((Rgb(px, w, x, y) & 0xFF) < 0xA0)
                    ++ink;
            }
        }
        return ink;
    };
    EXPECT_GT(inkIn(rc.right - 40, rc.top, rc.right, rc.bottom), 0);
    EXPECT_EQ(inkIn(rc.left, rc.bottom, rc.right, rc.bottom + 14), 0);
}

TEST_F(FixturePageTest, ProgressValueIsClampedToItsRange) {
    auto* progress = static_cast<CProgressUI*>(Find(L"dl_progress"));
    EXPECT_EQ(progress->GetValue(), 40);
    progress->SetValue(150);
    EXPECT_EQ(progress->GetValue(), 100);
    progress->SetValue(-5);
    EXPECT_EQ(progress->GetValue(), 0);
    progress->SetValue(50);
    RECT fore = progress->GetForeRect(), all = progress->GetPos();
    EXPECT_EQ(fore.right - fore.left, (all.right - all.left) / 2);
}

TEST_F(FixturePageTest, RepaintsOnlyTheControlThatChanged) {
    HWND hWnd = window_.GetHWND();
    ::UpdateWindow(hWnd);
    CControlUI* logo = Find(L"logo_label");
    window_.Manager().ResetPaintStats();
    logo->SetBkImage(L"logo_2.png");
    ::UpdateWindow(hWnd);
    PaintStats stats = window_.Manager().GetPaintStats();
    ASSERT_EQ(stats.paints, 1u);
    RECT rc = logo->GetPos();
    EXPECT_TRUE(::EqualRect(&stats.lastPaint, &rc));
    EXPECT_EQ(stats.pixelsPainted, 64u * 64u);
}

// A worker turning a logo sets one picture after another. The first swap between two
// pictures repaints the whole control; once the UI thread has seen both, swapping between
// them repaints only the tiles where they differ, and the window shows exactly what a full
// repaint shows. logo_1_dot.png is logo_1.png with 4 x 4 dots at (40, 20) and (4, 52): two
// 16-pixel tiles of the 64 x 64 label, apart.
TEST_F(FixturePageTest, SwapsBetweenKnownPicturesRepaintOnlyWhereTheyDiffer) {
    HWND hWnd = window_.GetHWND();
    CPaintManagerUI& pm = window_.Manager();
    ::UpdateWindow(hWnd);
    CControlUI* logo = Find(L"logo_label");
    for (const wchar_t* image : {L"logo_1_dot.png", L"logo_1.png"}) {
        pm.ResetPaintStats();
        logo->SetBkImage(image);
        ::UpdateWindow(hWnd);
        EXPECT_EQ(pm.GetPaintStats().pixelsPainted, 64u * 64u) << "first swap to a picture";
    }
    pm.ResetPaintStats();
    logo->SetBkImage(L"logo_1_dot.png");
    ::UpdateWindow(hWnd);
    PaintStats stats = pm.GetPaintStats();
    EXPECT_EQ(stats.paints, 1u);
    EXPECT_EQ(stats.pixelsPainted, 2u * 16u * 16u);
    const RECT pos = logo->GetPos();
    const RECT tiles = {pos.left, pos.top + 16, pos.left + 48, pos.top + 64};  // bounding box
    EXPECT_TRUE(::EqualRect(&stats.lastPaint, &tiles));
    const std::vector<uint32_t> swapped = ScreenPixels(hWnd);
    ::InvalidateRect(hWnd, nullptr, FALSE);
    ::UpdateWindow(hWnd);
    EXPECT_TRUE(swapped == ScreenPixels(hWnd)) << "the tiles left something of the old picture";

    // A picture drawn other than 1:1 from its file is repainted whole, whatever was learnt.
    pm.ResetPaintStats();
    logo->SetBkImage(L"file='logo_1.png' fade='200'");
    ::UpdateWindow(hWnd);
    EXPECT_EQ(pm.GetPaintStats().pixelsPainted, 64u * 64u);
}

TEST_F(FixturePageTest, GifPlaysItsFramesWithTheDelaysOfTheFile) {
    auto* gif = static_cast<CGifUI*>(Find(L"loading_gif"));
    ::UpdateWindow(window_.GetHWND());
    EXPECT_EQ(gif->GetFrameCount(), 8);
    int first = gif->GetFrameIndex();
    PumpMessages(400);  // 80 ms a frame
    EXPECT_NE(gif->GetFrameIndex(), first);
    gif->SetGifImage(L"logo_1.png");  // one frame: no timer
    window_.Manager().ResetPaintStats();
    ::UpdateWindow(window_.GetHWND());
    EXPECT_EQ(window_.Manager().GetPaintStats().paints, 1u);
    PumpMessages(50);
    EXPECT_EQ(gif->GetFrameCount(), 1);
    EXPECT_EQ(gif->GetFrameIndex(), 0);
}

TEST_F(FixturePageTest, EditShowsANativeBoxWhileFocusedAndKeepsWhatWasTyped) {
    HWND hWnd = window_.GetHWND();
    auto* edit = static_cast<CEditUI*>(Find(L"path_edit"));
    EXPECT_EQ(edit->GetText(), L"D:\\QMZ");
    Click(hWnd, Center(edit));
    HWND native = edit->GetNativeWindow();
    ASSERT_NE(native, nullptr);
    EXPECT_TRUE(::IsWindowVisible(native));
    ::SetWindowTextW(native, L"E:\\镜像");
    ::SetFocus(hWnd);  // focus leaves the box
    PumpMessages(50);
    EXPECT_EQ(edit->GetText(), L"E:\\镜像");
    EXPECT_EQ(edit->GetNativeWindow(), nullptr);
    EXPECT_FALSE(::IsWindow(native));
    bool changed = false;
    for (auto& n : window_.notifications) {
        if (n.first == L"textchanged" && n.second == L"path_edit")
            changed = true;
    }
    EXPECT_TRUE(changed);
}

}  // namespace
}  // namespace uitest
