// Text through GDI+ (which keeps the alpha channel intact), drawn once per text, colour,
// font, alignment and layout size into a transparent picture that the window's text cache
// keeps; repaints blend the kept picture.
#include <algorithm>
#include <unordered_map>

#include <objidl.h>
using std::max;
using std::min;
#include <gdiplus.h>

#include "ui/attribute_values.h"
#include "ui/core/pixel_blend.h"
#include "ui/render.h"

namespace DuiLib {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace render {

namespace {

GpStringFormat* FormatFor(unsigned align) {
    thread_local std::unordered_map<unsigned, GpStringFormat*> formats;
    auto it = formats.find(align);
    if (it != formats.end()) {
        return it->second;
    }
    INT flags = 0;
    if (align & kAlignEndEllipsis) {
        // The text is already cut to fit (see FitWithEllipsis): a glyph that GDI+ finds a
        // pixel too wide must still show, so only the control's own clip applies.
        flags |= StringFormatFlagsNoClip;
    }
    if (!(align & kAlignWrap)) {
        flags |= StringFormatFlagsNoWrap;
    } else {
        flags |= StringFormatFlagsLineLimit;
    }
    GpStringFormat* format = nullptr;
    if (GdipCreateStringFormat(flags, LANG_NEUTRAL, &format) != Ok) {
        return nullptr;
    }
    StringAlignment h = StringAlignmentNear;
    if (align & kAlignCenter)
        h = StringAlignmentCenter;
    if (align & kAlignRight)
        h = StringAlignmentFar;
    StringAlignment v = StringAlignmentNear;
    if (align & kAlignVCenter)
        v = StringAlignmentCenter;
    if (align & kAlignBottom)
        v = StringAlignmentFar;
    GdipSetStringFormatAlign(format, h);
    GdipSetStringFormatLineAlign(format, v);
    GdipSetStringFormatTrimming(
        format, (align & kAlignEndEllipsis) ? StringTrimmingEllipsisCharacter : StringTrimmingNone);
    formats.emplace(align, format);
    return format;
}

REAL TextWidth(GpGraphics* graphics, GpFont* font, const std::wstring& text) {
    RectF unbounded(0, 0, 100000, 10000);
    RectF box;
    GpStringFormat* format = FormatFor(kAlignLeft | kAlignTop);
    if (GdipMeasureString(graphics, text.c_str(), static_cast<INT>(text.size()), font, &unbounded,
                          format, &box, nullptr, nullptr) != Ok) {
        return 0;
    }
    return box.Width;
}

std::wstring FitWithEllipsis(GpGraphics* graphics, GpFont* font, const std::wstring& text,
                             REAL width) {
    if (TextWidth(graphics, font, text) <= width)
        return text;
    size_t lo = 0, hi = text.size();  // lo always fits
    while (lo < hi) {
        size_t mid = (lo + hi + 1) / 2;
        if (TextWidth(graphics, font, text.substr(0, mid) + L"...") <= width) {
            lo = mid;
        } else {
            hi = mid - 1;
        }
    }
    return text.substr(0, lo) + L"...";
}

// Draws text into layout on graphics (its clip already set).
void DrawTextOn(GpGraphics* graphics, const RectF& layout, const std::wstring& text, uint32_t argb,
                GpFont* font, unsigned align) {
    GpStringFormat* format = FormatFor(align);
    GpSolidFill* brush = nullptr;
    if (format == nullptr || GdipCreateSolidFill(argb | 0xFF000000u, &brush) != Ok)
        return;
    std::wstring shown = text;
    if ((align & kAlignEndEllipsis) && !(align & kAlignWrap)) {
        // Not every GDI+ trims with an ellipsis (Wine's does not): cut the text ourselves
        // to the longest start that fits with "..." after it.
        shown = FitWithEllipsis(graphics, font, text, layout.Width);
    }
    GdipDrawString(graphics, shown.c_str(), static_cast<INT>(shown.size()), font, &layout, format,
                   brush);
    GdipDeleteBrush(brush);
}

// The text drawn alone into a transparent picture of the layout's size.
TextPicture DrawTextPicture(const TextKey& key, GpFont* font) {
    TextPicture picture;
    picture.width = key.width;
    picture.height = key.height;
    picture.pixels.assign(static_cast<size_t>(key.width) * key.height, 0u);
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(key.width, key.height, key.width * 4, PixelFormat32bppPARGB,
                                  reinterpret_cast<BYTE*>(picture.pixels.data()), &bitmap) != Ok)
        return picture;
    GpGraphics* graphics = nullptr;
    if (GdipGetImageGraphicsContext(bitmap, &graphics) == Ok) {
        // The same settings as the back buffer's graphics.
        GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);
        GdipSetCompositingMode(graphics, CompositingModeSourceOver);
        GdipSetClipRectI(graphics, 0, 0, key.width, key.height, CombineModeReplace);
        RectF layout(0, 0, static_cast<REAL>(key.width), static_cast<REAL>(key.height));
        DrawTextOn(graphics, layout, key.text, key.argb, font, key.align);
        GdipDeleteGraphics(graphics);
    }
    GdipDisposeImage(bitmap);
    picture.MeasureInk();
    return picture;
}

// Blends the parts of a kept picture (placed at rc) that the pass paints.
void BlendPicture(PaintContext& ctx, const RECT& rc, const TextPicture& picture) {
    RECT ink = {rc.left + picture.inkLeft, rc.top + picture.inkTop, rc.left + picture.inkRight,
                rc.top + picture.inkBottom};
    ::GdiFlush();
    size_t stride = static_cast<size_t>(ctx.canvas->Width());
    ForEachPaintedPiece(ctx, ink, [&](const RECT& area) {
        uint32_t* dst = ctx.canvas->Bits() + static_cast<size_t>(area.top) * stride + area.left;
        const uint32_t* src = picture.pixels.data() +
                              static_cast<size_t>(area.top - rc.top) * picture.width +
                              (area.left - rc.left);
        BlendOver(dst, stride, src, static_cast<size_t>(picture.width), area.right - area.left,
                  area.bottom - area.top);
    });
}

}  // namespace

void DrawText(PaintContext& ctx, const RECT& rc, const std::wstring& text, uint32_t argb,
              void* gpFont, unsigned align) {
    if (text.empty() || gpFont == nullptr) {
        return;
    }
    RECT visible;
    if (!Intersect(&visible, rc, ctx.clip)) {
        return;
    }
    auto* font = static_cast<GpFont*>(gpFont);
    if (ctx.texts) {
        TextKey key{
            text, gpFont, argb | 0xFF000000u, align, rc.right - rc.left, rc.bottom - rc.top};
        const TextPicture* picture = ctx.texts->Find(key);
        if (picture == nullptr)
            picture = &ctx.texts->Keep(key, DrawTextPicture(key, font));
        BlendPicture(ctx, rc, *picture);
        return;
    }
    auto* graphics = static_cast<GpGraphics*>(ctx.canvas->Graphics());
    if (graphics == nullptr) {
        return;
    }
    RectF layout(static_cast<REAL>(rc.left), static_cast<REAL>(rc.top),
                 static_cast<REAL>(rc.right - rc.left), static_cast<REAL>(rc.bottom - rc.top));
    ForEachPaintedPiece(ctx, rc, [&](const RECT& piece) {
        GdipSetClipRectI(graphics, piece.left, piece.top, piece.right - piece.left,
                         piece.bottom - piece.top, CombineModeReplace);
        DrawTextOn(graphics, layout, text, argb, font, align);
    });
}

}  // namespace render

}  // namespace DuiLib
