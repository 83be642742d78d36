#include "ui/render.h"

#include <algorithm>
#include <cstring>
#include <mutex>

// gdiplus.h wants min/max and the COM basics in scope.
#include <objidl.h>
using std::max;
using std::min;
#include <gdiplus.h>

#include "sysutil/unique_handle.h"
#include "ui/core/pixel_blend.h"
#include "ui/skin_source.h"

namespace DuiLib {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

inline uint32_t Opaque(uint32_t argb) {
    return argb | 0xFF000000u;
}

}  // namespace

CanvasDIB::~CanvasDIB() {
    Release();
}

void CanvasDIB::Release() {
    if (m_gpGraphics) {
        GdipDeleteGraphics(static_cast<GpGraphics*>(m_gpGraphics));
        m_gpGraphics = nullptr;
    }
    if (m_gpBitmap) {
        GdipDisposeImage(static_cast<GpImage*>(m_gpBitmap));
        m_gpBitmap = nullptr;
    }
    if (m_dc) {
        ::SelectObject(m_dc, m_oldBitmap);
        ::DeleteDC(m_dc);
        m_dc = nullptr;
    }
    if (m_bitmap) {
        ::DeleteObject(m_bitmap);
        m_bitmap = nullptr;
    }
    m_bits = nullptr;
    m_width = m_height = 0;
}

bool CanvasDIB::Resize(int width, int height) {
    if (width == m_width && height == m_height && m_dc) {
        return true;
    }
    Release();
    if (width <= 0 || height <= 0) {
        return false;
    }
    m_bitmap = render::CreateTopDownDib(width, height, &m_bits);
    if (!m_bitmap) {
        return false;
    }
    m_dc = ::CreateCompatibleDC(nullptr);
    m_oldBitmap = ::SelectObject(m_dc, m_bitmap);
    m_width = width;
    m_height = height;
    memset(m_bits, 0, static_cast<size_t>(width) * height * 4);
    return true;
}

void* CanvasDIB::Graphics() {
    if (m_gpGraphics == nullptr && m_bits != nullptr) {
        render::StartGdiplus();
        GpBitmap* bitmap = nullptr;
        if (GdipCreateBitmapFromScan0(m_width, m_height, m_width * 4, PixelFormat32bppPARGB,
                                      reinterpret_cast<BYTE*>(m_bits), &bitmap) != Ok) {
            return nullptr;
        }
        GpGraphics* graphics = nullptr;
        if (GdipGetImageGraphicsContext(bitmap, &graphics) != Ok) {
            GdipDisposeImage(bitmap);
            return nullptr;
        }
        GdipSetTextRenderingHint(graphics, TextRenderingHintAntiAliasGridFit);
        GdipSetCompositingMode(graphics, CompositingModeSourceOver);
        m_gpBitmap = bitmap;
        m_gpGraphics = graphics;
    }
    return m_gpGraphics;
}

namespace render {

BITMAPINFO TopDownBgraHeader(int width, int height) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

HBITMAP CreateTopDownDib(int width, int height, uint32_t** bits) {
    BITMAPINFO bmi = TopDownBgraHeader(width, height);
    void* p = nullptr;
    HBITMAP bmp = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &p, nullptr, 0);
    *bits = static_cast<uint32_t*>(p);
    return bmp;
}

void StartGdiplus() {
    static std::once_flag once;
    std::call_once(once, [] {
        GdiplusStartupInput input;
        ULONG_PTR token = 0;
        // Kept for the life of the process.
        GdiplusStartup(&token, &input, nullptr);
    });
}

bool SystemBlendsLayeredWindows() {
    static const bool blends = [] {
        HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
        return ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr;
    }();
    return blends;
}

bool Intersect(RECT* out, const RECT& a, const RECT& b) {
    out->left = std::max(a.left, b.left);
    out->top = std::max(a.top, b.top);
    out->right = std::min(a.right, b.right);
    out->bottom = std::min(a.bottom, b.bottom);
    if (out->left >= out->right || out->top >= out->bottom) {
        *out = RECT{0, 0, 0, 0};
        return false;
    }
    return true;
}

HRGN RegionFromRects(const std::vector<RECT>& rects, const RECT& bounds) {
    std::vector<uint8_t> buffer(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    data->rdh.rcBound = bounds;
    if (!rects.empty())
        memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
}

std::vector<RECT> RectsOfRegion(HRGN region) {
    DWORD size = ::GetRegionData(region, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER))
        return {};
    std::vector<uint8_t> buffer(size);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    if (::GetRegionData(region, size, data) != size ||
        sizeof(RGNDATAHEADER) + data->rdh.nCount * sizeof(RECT) > size)
        return {};
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    return std::vector<RECT>(rects, rects + data->rdh.nCount);
}

void SetClip(PaintContext& ctx, const RECT& clip) {
    // Most drawing blends into the pixels itself and needs no DC clip: region calls are
    // saved for the paint passes that use GDI.
    ctx.clip = clip;
    ctx.dcClipStale = true;
}

void ApplyDcClip(PaintContext& ctx) {
    if (!ctx.dcClipStale)
        return;
    HDC dc = ctx.canvas->DC();
    korvane::UniqueRegion parts(ctx.parts ? RegionFromRects(*ctx.parts, ctx.clip) : nullptr);
    ::SelectClipRgn(dc, parts.Get());  // a copy is selected
    ::IntersectClipRect(dc, ctx.clip.left, ctx.clip.top, ctx.clip.right, ctx.clip.bottom);
    ctx.dcClipStale = false;
}

void FillColor(PaintContext& ctx, const RECT& rc, uint32_t argb) {
    uint32_t a = argb >> 24;
    if (a == 0) {
        return;
    }
    uint32_t rr = (argb >> 16) & 0xFF, gg = (argb >> 8) & 0xFF, bb = argb & 0xFF;
    // Premultiply once.
    uint32_t pr = rr * a / 255, pg = gg * a / 255, pb = bb * a / 255;
    uint32_t src = (a << 24) | (pr << 16) | (pg << 8) | pb;
    uint32_t* bits = ctx.canvas->Bits();
    int stride = ctx.canvas->Width();
    ForEachPaintedPiece(ctx, rc, [&](const RECT& r) {
        for (int y = r.top; y < r.bottom; ++y) {
            uint32_t* row = bits + static_cast<size_t>(y) * stride;
            if (a == 255) {
                std::fill(row + r.left, row + r.right, src);
                continue;
            }
            uint32_t inv = 255 - a;
            for (int x = r.left; x < r.right; ++x) {
                uint32_t d = row[x];
                uint32_t da = (d >> 24) * inv / 255 + a;
                uint32_t dr = ((d >> 16) & 0xFF) * inv / 255 + pr;
                uint32_t dg = ((d >> 8) & 0xFF) * inv / 255 + pg;
                uint32_t db = (d & 0xFF) * inv / 255 + pb;
                row[x] = (da << 24) | (dr << 16) | (dg << 8) | db;
            }
        }
    });
}

void DrawBorder(PaintContext& ctx, const RECT& rc, int size, uint32_t argb) {
    if (size <= 0) {
        return;
    }
    uint32_t c = Opaque(argb);
    FillColor(ctx, RECT{rc.left, rc.top, rc.right, rc.top + size}, c);
    FillColor(ctx, RECT{rc.left, rc.bottom - size, rc.right, rc.bottom}, c);
    FillColor(ctx, RECT{rc.left, rc.top + size, rc.left + size, rc.bottom - size}, c);
    FillColor(ctx, RECT{rc.right - size, rc.top + size, rc.right, rc.bottom - size}, c);
}

const ParsedImage& ParseImageAttribute(const std::wstring& attribute) {
    thread_local std::unordered_map<std::wstring, ParsedImage> cache;
    auto it = cache.find(attribute);
    if (it != cache.end()) {
        return it->second;
    }
    if (cache.size() > 4096) {
        cache.clear();  // a long-running animation with ever-new texts
    }
    ParsedImage parsed;
    std::string error;
    parsed.ok = ParseImageDescription(skin::ToUtf8(attribute), &parsed.desc, &error);
    if (parsed.ok) {
        parsed.file = skin::FromUtf8(parsed.desc.file);
        parsed.ok = !parsed.file.empty();
    } else {
        ::OutputDebugStringW((L"DuiLib image attribute: " + skin::FromUtf8(error) + L"\n").c_str());
    }
    return cache.emplace(attribute, std::move(parsed)).first->second;
}

namespace {

// The image's bitmap in the cache's memory DC, selected only when a GDI call is about to read
// it and put back afterwards. Under Wine every change of a memory DC's bitmap selects its font
// again, which reads the X resource files (two file opens each time); most images never need
// the DC at all, as they are blended from their own pixels.
class SourceBitmap {
  public:
    SourceBitmap(HDC dc, HBITMAP bitmap) : m_dc(dc), m_bitmap(bitmap) {}
    ~SourceBitmap() {
        if (m_old != nullptr)
            ::SelectObject(m_dc, m_old);
    }
    SourceBitmap(const SourceBitmap&) = delete;
    SourceBitmap& operator=(const SourceBitmap&) = delete;

    HDC Select() {
        if (m_old == nullptr)
            m_old = ::SelectObject(m_dc, m_bitmap);
        return m_dc;
    }

  private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old = nullptr;
};

// Pixels of a decoded image copied 1:1 at full opacity: blended here by the image's alpha
// runs, which under Wine costs a fraction of AlphaBlend.
void BlendUnscaled(PaintContext& ctx, const ImageData& image, const RECT& dst, const RECT& srcRc) {
    ::GdiFlush();  // GDI's pending work on the canvas comes first
    size_t stride = static_cast<size_t>(ctx.canvas->Width());
    ForEachPaintedPiece(ctx, dst, [&](const RECT& piece) {
        uint32_t* to = ctx.canvas->Bits() + static_cast<size_t>(piece.top) * stride + piece.left;
        BlendOverRuns(to, stride, image.bits, image.width, image.runs,
                      srcRc.left + piece.left - dst.left, srcRc.top + piece.top - dst.top,
                      piece.right - piece.left, piece.bottom - piece.top);
    });
}

void Blend(PaintContext& ctx, const ImageData& image, SourceBitmap& src, const RECT& dst,
           const RECT& srcRc, BYTE alpha) {
    int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    int sw = srcRc.right - srcRc.left, sh = srcRc.bottom - srcRc.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) {
        return;
    }
    if (alpha == 255 && dw == sw && dh == sh && image.bits != nullptr) {
        BlendUnscaled(ctx, image, dst, srcRc);
        return;
    }
    RECT visible;
    if (!Intersect(&visible, dst, ctx.clip)) {
        return;
    }
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    ApplyDcClip(ctx);
    ::AlphaBlend(ctx.canvas->DC(), dst.left, dst.top, dw, dh, src.Select(), srcRc.left, srcRc.top,
                 sw, sh, bf);
}

void BlendTiled(PaintContext& ctx, const ImageData& image, SourceBitmap& src, const RECT& dst,
                const RECT& srcRc, BYTE alpha, bool xtiled, bool ytiled) {
    int sw = srcRc.right - srcRc.left, sh = srcRc.bottom - srcRc.top;
    if (sw <= 0 || sh <= 0) {
        return;
    }
    int stepX = xtiled ? sw : dst.right - dst.left;
    int stepY = ytiled ? sh : dst.bottom - dst.top;
    if (stepX <= 0 || stepY <= 0) {
        return;
    }
    for (int y = dst.top; y < dst.bottom; y += stepY) {
        for (int x = dst.left; x < dst.right; x += stepX) {
            RECT cell = {x, y, std::min<LONG>(x + stepX, dst.right),
                         std::min<LONG>(y + stepY, dst.bottom)};
            RECT s = srcRc;
            if (xtiled)
                s.right = s.left + (cell.right - cell.left);
            if (ytiled)
                s.bottom = s.top + (cell.bottom - cell.top);
            Blend(ctx, image, src, cell, s, alpha);
        }
    }
}

}  // namespace

bool DrawImageData(PaintContext& ctx, const RECT& rc, const ImageData& image,
                   const ImageDescription& desc, int frame) {
    if (!image.ok) {
        return false;
    }
    if (frame < 0 || frame >= image.FrameCount()) {
        frame = 0;
    }
    RECT dst = rc;
    if (desc.hasDest) {
        dst = RECT{rc.left + desc.dest.left, rc.top + desc.dest.top, rc.left + desc.dest.right,
                   rc.top + desc.dest.bottom};
        dst.right = std::min(dst.right, rc.right);
        dst.bottom = std::min(dst.bottom, rc.bottom);
    }
    RECT src = {0, 0, image.width, image.height};
    if (desc.hasSource) {
        src = RECT{std::clamp(desc.source.left, 0, image.width),
                   std::clamp(desc.source.top, 0, image.height),
                   std::clamp(desc.source.right, 0, image.width),
                   std::clamp(desc.source.bottom, 0, image.height)};
    }
    int frameTop = image.height * frame;
    src.top += frameTop;
    src.bottom += frameTop;
    RECT visible;
    if (!Intersect(&visible, dst, ctx.clip)) {
        return true;
    }
    SourceBitmap source(ctx.images->SourceDC(), image.bitmap);
    BYTE alpha = static_cast<BYTE>(std::clamp(desc.fade, 0, 255));
    RECT corner = desc.hasCorner ? RECT{desc.corner.left, desc.corner.top, desc.corner.right,
                                        desc.corner.bottom}
                                 : RECT{0, 0, 0, 0};
    if (corner.left == 0 && corner.top == 0 && corner.right == 0 && corner.bottom == 0) {
        if (desc.xtiled || desc.ytiled) {
            BlendTiled(ctx, image, source, dst, src, alpha, desc.xtiled, desc.ytiled);
        } else {
            Blend(ctx, image, source, dst, src, alpha);
        }
    } else {
        // Nine-grid: corners keep their size, edges stretch one way, the middle both.
        // Corners never exceed half of either side.
        int sw = src.right - src.left, sh = src.bottom - src.top;
        int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
        int l = std::clamp<int>(corner.left, 0, std::min(sw, dw / 2));
        int r = std::clamp<int>(corner.right, 0, std::min(sw - l, dw - l));
        int t = std::clamp<int>(corner.top, 0, std::min(sh, dh / 2));
        int b = std::clamp<int>(corner.bottom, 0, std::min(sh - t, dh - t));
        LONG dx[4] = {dst.left, dst.left + l, dst.right - r, dst.right};
        LONG dy[4] = {dst.top, dst.top + t, dst.bottom - b, dst.bottom};
        LONG sx[4] = {src.left, src.left + l, src.right - r, src.right};
        LONG sy[4] = {src.top, src.top + t, src.bottom - b, src.bottom};
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                if (row == 1 && col == 1 && desc.hole) {
                    continue;
                }
                Blend(ctx, image, source, RECT{dx[col], dy[row], dx[col + 1], dy[row + 1]},
                      RECT{sx[col], sy[row], sx[col + 1], sy[row + 1]}, alpha);
            }
        }
    }
    return true;
}

bool DrawImage(PaintContext& ctx, const RECT& rc, const std::wstring& attribute, int frame) {
    if (attribute.empty()) {
        return false;
    }
    const ParsedImage& parsed = ParseImageAttribute(attribute);
    if (!parsed.ok) {
        return false;
    }
    const ImageData* image = ctx.images->Get(parsed.file);
    return DrawImageData(ctx, rc, *image, parsed.desc, frame);
}

}  // namespace render

}  // namespace DuiLib
