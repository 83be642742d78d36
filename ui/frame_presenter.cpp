#include "ui/frame_presenter.h"

#include <vector>

#include "sysutil/system_function.h"
#include "sysutil/unique_handle.h"

namespace DuiLib {

namespace {

// UpdateLayeredWindowIndirect (Vista and later) can take just the changed part; XP only
// has UpdateLayeredWindow, which always sends the whole picture.
struct LayeredUpdateInfo {
    DWORD cbSize;
    HDC hdcDst;
    const POINT* pptDst;
    const SIZE* psize;
    HDC hdcSrc;
    const POINT* pptSrc;
    COLORREF crKey;
    const BLENDFUNCTION* pblend;
    DWORD dwFlags;
    const RECT* prcDirty;
};
using UpdateLayeredWindowIndirectFn = BOOL(WINAPI*)(HWND, const LayeredUpdateInfo*);

UpdateLayeredWindowIndirectFn LayeredIndirect() {
    static UpdateLayeredWindowIndirectFn fn =
        korvane::SystemFunction<UpdateLayeredWindowIndirectFn>(L"user32.dll",
                                                               "UpdateLayeredWindowIndirect");
    return fn;
}

// One rectangle per run of drawn (alpha > 0) pixels in each row.
std::vector<RECT> OpaqueRuns(const CanvasDIB& canvas) {
    int width = canvas.Width(), height = canvas.Height();
    const uint32_t* bits = canvas.Bits();
    std::vector<RECT> runs;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = bits + static_cast<size_t>(y) * width;
        int x = 0;
        while (x < width) {
            while (x < width && (row[x] >> 24) == 0)
                ++x;
            int start = x;
            while (x < width && (row[x] >> 24) != 0)
                ++x;
            if (x > start)
                runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    return runs;
}

}  // namespace

void FramePresenter::SetTransparent(bool transparent) {
    m_transparent = transparent;
    m_byRegion = transparent && !render::SystemBlendsLayeredWindows();
    m_regionDirty = m_byRegion;
    if (m_hWnd == nullptr)
        return;
    bool layeredStyle = UsesLayeredWindow();
    LONG_PTR ex = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    LONG_PTR want =
        layeredStyle ? (ex | WS_EX_LAYERED) : (ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    if (!transparent)
        ::SetWindowRgn(m_hWnd, nullptr, TRUE);
    if (want != ex)
        ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, want);
}

void FramePresenter::Show(HDC paintDC, const CanvasDIB& canvas, const RECT& area) {
    if (UsesLayeredWindow()) {
        ShowLayered(canvas, &area);
        return;
    }
    if (m_byRegion && m_regionDirty)
        UpdateRegionFromAlpha(canvas);
    ::BitBlt(paintDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
             canvas.DC(), area.left, area.top, SRCCOPY);
}

void FramePresenter::ShowWhole(const CanvasDIB& canvas) {
    ShowLayered(canvas, nullptr);
}

void FramePresenter::ShowLayered(const CanvasDIB& canvas, const RECT* dirty) {
    RECT rcWnd = {};
    ::GetWindowRect(m_hWnd, &rcWnd);
    POINT ptDst = {rcWnd.left, rcWnd.top};
    POINT ptSrc = {0, 0};
    SIZE size = {canvas.Width(), canvas.Height()};
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    bool sizeKnown = rcWnd.right - rcWnd.left == size.cx && rcWnd.bottom - rcWnd.top == size.cy;
    if (UpdateLayeredWindowIndirectFn indirect = LayeredIndirect();
        indirect && dirty && sizeKnown) {
        LayeredUpdateInfo info = {sizeof(info), nullptr, nullptr, nullptr,   canvas.DC(),
                                  &ptSrc,       0,       &bf,     ULW_ALPHA, dirty};
        if (indirect(m_hWnd, &info))
            return;
    }
    HDC screen = ::GetDC(nullptr);
    ::UpdateLayeredWindow(m_hWnd, screen, &ptDst, &size, canvas.DC(), &ptSrc, 0, &bf, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
}

void FramePresenter::UpdateRegionFromAlpha(const CanvasDIB& canvas) {
    m_regionDirty = false;
    korvane::UniqueRegion rgn(
        render::RegionFromRects(OpaqueRuns(canvas), RECT{0, 0, canvas.Width(), canvas.Height()}));
    // Once set, the region belongs to the window.
    if (rgn.IsValid() && ::SetWindowRgn(m_hWnd, rgn.Get(), FALSE))
        rgn.Release();
}

}  // namespace DuiLib
