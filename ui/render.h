// Drawing into a window's back buffer: a 32-bit top-down DIB with premultiplied alpha, so
// the same picture serves plain windows (BitBlt) and per-pixel transparent ones
// (UpdateLayeredWindow). Images go through AlphaBlend, colours through our own loops,
// text through GDI+ (which keeps the alpha channel intact).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/core/attribute_text.h"
#include "ui/core/pixel_blend.h"
#include "ui/core/text_cache.h"
#include "ui/image_cache.h"

namespace DuiLib {

// A parsed image attribute, cached by its text.
struct ParsedImage {
    bool ok = false;
    std::wstring file;
    ImageDescription desc;
};

class CanvasDIB {
  public:
    CanvasDIB() = default;
    ~CanvasDIB();
    CanvasDIB(const CanvasDIB&) = delete;
    CanvasDIB& operator=(const CanvasDIB&) = delete;

    bool Resize(int width, int height);
    HDC DC() const { return m_dc; }
    uint32_t* Bits() const { return m_bits; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // A GDI+ graphics over the same pixels, made on first use.
    void* Graphics();

  private:
    void Release();
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
    uint32_t* m_bits = nullptr;
    int m_width = 0, m_height = 0;
    void* m_gpBitmap = nullptr;
    void* m_gpGraphics = nullptr;
};

// What the paint pass needs: the buffer, the area being repainted and the current clip.
struct PaintContext {
    CanvasDIB* canvas = nullptr;
    ImageCache* images = nullptr;
    TextCache* texts = nullptr;  // null: texts are drawn afresh every time
    bool dcClipStale = true;     // the canvas DC's clip region is not yet clip
    RECT clip = {};              // never outside the canvas
    // When a pass paints several separate parts of the window: those parts (clip is their
    // bounding box). Pixels are written inside them only.
    const std::vector<RECT>* parts = nullptr;
};

namespace render {

void StartGdiplus();
// The header of a 32-bit top-down picture (rows from the top, BGRA).
BITMAPINFO TopDownBgraHeader(int width, int height);
// A 32-bit top-down DIB section; null when the system refuses it.
HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits);
// False under Wine: there, on an X server without a compositing manager, per-pixel
// transparent windows are not blended with what lies below (only fully transparent
// pixels are cut out) and every UpdateLayeredWindow redoes the whole window.
bool SystemBlendsLayeredWindows();

// Fills rc with an ARGB colour; alpha blends, alpha 0 draws nothing.
void FillColor(PaintContext& ctx, const RECT& rc, uint32_t argb);
// Border of the given width inside rc; the colour is drawn opaque.
void DrawBorder(PaintContext& ctx, const RECT& rc, int size, uint32_t argb);
// Draws an image attribute (file name or description) into rc. frame picks an animation
// frame. False when the image is missing or the description is malformed.
bool DrawImage(PaintContext& ctx, const RECT& rc, const std::wstring& attribute, int frame = 0);
bool DrawImageData(PaintContext& ctx, const RECT& rc, const ImageData& image,
                   const ImageDescription& desc, int frame);
// Text in rc with the text alignment flags of attribute_text.h; colour drawn opaque
// (text_render.cpp). Kept in ctx.texts when there is one.
void DrawText(PaintContext& ctx, const RECT& rc, const std::wstring& text, uint32_t argb,
              void* gpFont, unsigned align);
// Parses an image attribute, remembering the result per text in a cache of the calling
// thread: for the UI thread. (A worker thread that filled one made a later start of the
// window hang under Wine once that thread had ended.)
const ParsedImage& ParseImageAttribute(const std::wstring& attribute);

bool Intersect(RECT* out, const RECT& a, const RECT& b);
// A region made of the rectangles (null when the system refuses it); the caller owns it.
HRGN RegionFromRects(const std::vector<RECT>& rects, const RECT& bounds);
// The rectangles of a region, none when it cannot be read.
std::vector<RECT> RectsOfRegion(HRGN region);
// Calls draw(piece) for each piece of rc that the pass paints: rc cut by the clip and, when
// the pass paints several parts, by each part.
template <typename Draw>
void ForEachPaintedPiece(const PaintContext& ctx, const RECT& rc, Draw draw) {
    RECT visible;
    if (!Intersect(&visible, rc, ctx.clip))
        return;
    if (ctx.parts == nullptr) {
        draw(visible);
        return;
    }
    for (const RECT& part : *ctx.parts) {
        RECT piece;
        if (Intersect(&piece, visible, part))
            draw(piece);
    }
}
// Sets ctx.clip; the canvas DC's clip region follows when GDI next draws (ApplyDcClip).
void SetClip(PaintContext& ctx, const RECT& clip);
// Gives the canvas DC the clip region of ctx.clip, before a GDI call draws on it.
void ApplyDcClip(PaintContext& ctx);

}  // namespace render

}  // namespace DuiLib
