// What a repaint keeps and what it blends itself: texts drawn once and blended from the
// window's text cache, and decoded images copied by their alpha runs instead of through
// AlphaBlend. Each must look like what it replaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <functional>
#include <string>
#include <vector>

#include "tests/integration/ui/ui_test_support.h"

namespace uitest {
namespace {

// A canvas filled with one opaque colour.
void Fill(CanvasDIB& canvas, uint32_t argb) {
    std::fill(canvas.Bits(), canvas.Bits() + canvas.Width() * canvas.Height(), argb);
}

// Largest difference of any channel between two canvases of the same size.
int LargestDifference(const CanvasDIB& a, const CanvasDIB& b) {
    int largest = 0;
    for (int i = 0; i < a.Width() * a.Height(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            int d = static_cast<int>((a.Bits()[i] >> shift) & 0xFF) -
                    static_cast<int>((b.Bits()[i] >> shift) & 0xFF);
            largest = std::max(largest, std::abs(d));
        }
    }
    return largest;
}

int PixelsDifferentFrom(const CanvasDIB& canvas, uint32_t argb) {
    int n = 0;
    for (int i = 0; i < canvas.Width() * canvas.Height(); ++i)
        n += canvas.Bits()[i] != argb;
    return n;
}

class RenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseFixtureSkin();
        render::StartGdiplus();
        font_ = fonts_.GdiplusFont(fonts_.Add(L"微软雅黑", 16, true, false, false));
        ASSERT_NE(font_, nullptr);
        ASSERT_TRUE(direct_.Resize(200, 60));
        ASSERT_TRUE(kept_.Resize(200, 60));
    }
    // Draws into canvas with the clip given, through the cache when texts is not null.
    void Draw(CanvasDIB& canvas, TextCache* texts, const RECT& clip, const std::wstring& text,
              uint32_t argb, unsigned align = kAlignCenter | kAlignVCenter) {
        PaintContext ctx;
        ctx.canvas = &canvas;
        ctx.images = &images_;
        ctx.texts = texts;
        render::SetClip(ctx, clip);
        render::DrawText(ctx, RECT{10, 5, 190, 55}, text, argb, font_, align);
        ::GdiFlush();
    }

    FontTable fonts_;
    void* font_ = nullptr;
    ImageCache images_;
    CanvasDIB direct_, kept_;
    TextCache texts_;
};

TEST_F(RenderTest, KeptTextLooksLikeTextDrawnStraightOntoTheCanvas) {
    const RECT all = {0, 0, 200, 60};
    for (uint32_t background : {0xFFF4F7FBu, 0xFF2F80EDu}) {
        for (unsigned align : {kAlignCenter | kAlignVCenter, kAlignLeft | kAlignTop,
                               kAlignLeft | kAlignVCenter | kAlignEndEllipsis}) {
            Fill(direct_, background);
            Fill(kept_, background);
            std::wstring text = L"一键重装系统 Windows 10 的一段很长很长的说明文字";
            Draw(direct_, nullptr, all, text, 0xFF1F2D3D, align);
            Draw(kept_, &texts_, all, text, 0xFF1F2D3D, align);
            EXPECT_GT(PixelsDifferentFrom(direct_, background), 100) << "the text has ink";
            EXPECT_LE(LargestDifference(direct_, kept_), 2) << std::hex << background << align;
        }
    }
}

TEST_F(RenderTest, AClippedRepaintBlendsOnlyItsPartOfAKeptText) {
    const RECT all = {0, 0, 200, 60}, left = {0, 0, 100, 60}, right = {100, 0, 200, 60};
    Fill(direct_, 0xFFFFFFFF);
    Draw(direct_, &texts_, all, L"左半边和右半边", 0xFF000000);
    // The same text as two repaints of the halves, from the kept picture.
    Fill(kept_, 0xFFFFFFFF);
    Draw(kept_, &texts_, left, L"左半边和右半边", 0xFF000000);
    Draw(kept_, &texts_, right, L"左半边和右半边", 0xFF000000);
    EXPECT_EQ(texts_.Count(), 1u);
    EXPECT_EQ(LargestDifference(direct_, kept_), 0);
    // A clip on the left half leaves the right half as it was.
    Fill(kept_, 0xFFFFFFFF);
    Draw(kept_, &texts_, left, L"左半边和右半边", 0xFF000000);
    for (int y = 0; y < 60; ++y) {
        for (int x = 100; x < 200; ++x)
            ASSERT_EQ(kept_.Bits()[y * 200 + x], 0xFFFFFFFFu) << x << "," << y;
    }
}

TEST_F(RenderTest, ADifferentColourTextOrFontIsANewPicture) {
    const RECT all = {0, 0, 200, 60};
    Fill(kept_, 0xFFFFFFFF);
    Draw(kept_, &texts_, all, L"下一步", 0xFF000000);
    Draw(kept_, &texts_, all, L"下一步", 0xFF000000);
    EXPECT_EQ(texts_.Count(), 1u);
    Fill(kept_, 0xFFFFFFFF);
    Draw(kept_, &texts_, all, L"下一步", 0xFFFF0000);  // red now
    EXPECT_EQ(texts_.Count(), 2u);
    int red = 0;
    for (int i = 0; i < 200 * 60; ++i) {
        uint32_t p = kept_.Bits()[i];
        red += ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) < 0x40;
    }
    EXPECT_GT(red, 20);
    Draw(kept_, &texts_, all, L"上一步", 0xFFFF0000);
    EXPECT_EQ(texts_.Count(), 3u);
}

TEST_F(RenderTest, ImagesCopiedByTheirRunsLookLikeAlphaBlend) {
    // fade 255 takes our own blend; 254 still goes through AlphaBlend. The last two take a
    // part of the image away from its top-left corner, and a later frame of an animation.
    struct Case {
        const wchar_t* image;
        int width, height;  // drawn at its own size, so nothing is stretched
    };
    const Case cases[] = {{L"file='halfred.png'", 8, 8},
                          {L"file='logo_1.png'", 64, 64},
                          {L"file='opt_selected.png'", 20, 20},
                          {L"file='grid.png'", 30, 30},
                          {L"file='grid.png' source='4,11,26,27'", 22, 16},
                          {L"file='loading.gif'", 48, 48}};
    for (const Case& c : cases) {
        std::wstring ours = c.image, system = ours + L" fade='254'";
        for (int frame : {0, 3}) {
            Fill(direct_, 0xFF336699);
            Fill(kept_, 0xFF336699);
            PaintContext a{&direct_, &images_, nullptr, {}}, b{&kept_, &images_, nullptr, {}};
            render::SetClip(a, RECT{0, 0, 200, 60});
            render::SetClip(b, RECT{0, 0, 200, 60});
            RECT at = {7, 3, 7 + c.width, 3 + c.height};
            ASSERT_TRUE(render::DrawImage(a, at, system, frame));
            ASSERT_TRUE(render::DrawImage(b, at, ours, frame));
            ::GdiFlush();
            EXPECT_GT(PixelsDifferentFrom(kept_, 0xFF336699), 0) << "drawn";
            EXPECT_LE(LargestDifference(direct_, kept_), 3)
                << std::string(ours.begin(), ours.end()) << " frame " << frame;
        }
    }
}

// A pass that paints two separate parts of the window (a swap of pictures that differ in two
// places) walks the tree once with their bounding box as the clip: every way of drawing
// must still write inside the two parts only, or what lies between them is drawn twice.
TEST_F(RenderTest, APassOverSeveralPartsWritesInsideThemOnly) {
    const std::vector<RECT> parts = {{0, 0, 40, 30}, {150, 30, 200, 60}};
    auto inside = [&](int x, int y) {
        for (const RECT& r : parts) {
            if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                return true;
        }
        return false;
    };
    const RECT all = {0, 0, 200, 60};
    const std::pair<const char*, std::function<void(PaintContext&)>> ways[] = {
        {"colour", [&](PaintContext& ctx) { render::FillColor(ctx, all, 0x80FF0000); }},
        {"image 1:1",
         [&](PaintContext& ctx) {
             render::DrawImage(ctx, RECT{0, 0, 64, 64}, L"logo_1.png");
             render::DrawImage(ctx, RECT{140, 0, 204, 64}, L"logo_1.png");
         }},
        {"image stretched", [&](PaintContext& ctx) { render::DrawImage(ctx, all, L"logo_1.png"); }},
        {"kept text",
         [&](PaintContext& ctx) {
             render::DrawText(ctx, all, L"一二三四五六七八九十一二三四五", 0xFF000000, font_,
                              kAlignCenter | kAlignVCenter);
         }},
    };
    for (const auto& [name, draw] : ways) {
        Fill(direct_, 0xFF00FF00u);
        TextCache texts;
        PaintContext ctx;
        ctx.canvas = &direct_;
        ctx.images = &images_;
        ctx.texts = &texts;
        ctx.parts = &parts;
        render::SetClip(ctx, all);
        draw(ctx);
        ::GdiFlush();
        int changedInside = 0, changedOutside = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 200; ++x) {
                bool changed = direct_.Bits()[y * 200 + x] != 0xFF00FF00u;
                (inside(x, y) ? changedInside : changedOutside) += changed;
            }
        }
        EXPECT_GT(changedInside, 0) << name;
        EXPECT_EQ(changedOutside, 0) << name;
    }
}

TEST(TextCacheInWindow, RepaintsReuseKeptTextsAndANewDefaultFontDropsThem) {
    UseFixtureSkin();
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    window.ShowWindow(true, false);
    PumpMessages(30);
    CPaintManagerUI& pm = window.Manager();
    ::InvalidateRect(window.GetHWND(), nullptr, FALSE);
    ::UpdateWindow(window.GetHWND());
    size_t kept = pm.GetTextCache().Count();
    EXPECT_GT(kept, 5u);
    ::InvalidateRect(window.GetHWND(), nullptr, FALSE);
    ::UpdateWindow(window.GetHWND());
    EXPECT_EQ(pm.GetTextCache().Count(), kept);
    pm.FindControl(L"status_text")->SetText(L"状态：已完成");
    ::UpdateWindow(window.GetHWND());
    EXPECT_EQ(pm.GetTextCache().Count(), kept + 1);
    pm.SetDefaultFont(L"宋体", 14, false, false, false);
    EXPECT_EQ(pm.GetTextCache().Count(), 0u);
    ::DestroyWindow(window.GetHWND());
}

// A window's pictures are decoded by a worker from the moment its page is attached. What the
// first paint needs: the pictures of the visible controls in their present state, each once.
TEST(ImagePreload, QueuesWhatTheVisibleControlsDrawNow) {
    UseFixtureSkin();
    FixtureWindow window;
    ASSERT_NE(window.CreateFixture(), nullptr);
    CPaintManagerUI& pm = window.Manager();
    EXPECT_TRUE(pm.PreloadVisibleImages().empty()) << "attaching the page queued them all";
    pm.GetImageCache().Clear();
    pm.FindControl(L"hidden_label")->SetBkImage(L"logo_2.png");
    std::vector<std::wstring> queued = pm.PreloadVisibleImages();
    auto count = [&](const wchar_t* file) {
        return std::count(queued.begin(), queued.end(), file);
    };
    for (const wchar_t* file :
         {L"panel.png", L"header.png", L"btn_normal.png", L"opt_selected.png", L"opt_normal.png",
          L"edit_bk.png", L"prog_bk.png", L"prog_fore.png", L"loading.gif", L"btn_disabled.png",
          L"logo_1.png", L"grid.png", L"red.jpg", L"halfred.png"})
        EXPECT_EQ(count(file), 1) << std::string(file, file + wcslen(file));
    // Other states, hidden controls and pictures already queued are left out.
    EXPECT_EQ(count(L"btn_hot.png") + count(L"btn_pushed.png"), 0);
    EXPECT_EQ(count(L"logo_2.png"), 0);
    EXPECT_TRUE(pm.PreloadVisibleImages().empty());
    // What the paint then takes is what it would have decoded itself.
    for (const std::wstring& file : queued) {
        const ImageData* image = pm.GetImageCache().Get(file);
        std::unique_ptr<ImageData> direct = LoadImageData(file);
        ASSERT_TRUE(image->ok && direct->ok) << std::string(file.begin(), file.end());
        ASSERT_EQ(image->width, direct->width);
        ASSERT_EQ(image->height, direct->height);
        ASSERT_EQ(image->FrameCount(), direct->FrameCount());
        size_t pixels = static_cast<size_t>(image->width) * image->height * image->FrameCount();
        EXPECT_TRUE(std::equal(image->bits, image->bits + pixels, direct->bits));
    }
    ::DestroyWindow(window.GetHWND());
}

// The paint may ask for a picture before, while or after the worker decodes it; the answer
// is the same, failures included, and a cache can go while its worker still runs.
TEST(ImagePreload, AnyOrderOfAsksGivesTheDecodedPicturesAndFailures) {
    UseFixtureSkin();
    const std::vector<std::wstring> files = {L"panel.png",  L"header.png",    L"grid.png",
                                             L"nosuch.png", L"loading.gif",   L"LOGO_1.png",
                                             L"red.jpg",    L"prog_fore.png", L"logo_2.png"};
    for (int round = 0; round < 20; ++round) {
        ImageCache cache;
        ASSERT_EQ(cache.Preload(files).size(), files.size());
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            const ImageData* image = cache.Get(*it);
            std::unique_ptr<ImageData> direct = LoadImageData(*it);
            ASSERT_EQ(image->ok, direct->ok) << round;
            EXPECT_EQ(image->error, direct->error);
            EXPECT_EQ(image->width, direct->width);
            EXPECT_EQ(image->FrameCount(), direct->FrameCount());
        }
        EXPECT_EQ(cache.Get(L"logo_1.png"), cache.Get(L"LOGO_1.png"));
        EXPECT_FALSE(cache.Get(L"nosuch.png")->ok);
        ImageCache leftRunning;
        leftRunning.Preload(files);
    }
}

}  // namespace
}  // namespace uitest
