// Puts a drawn frame on the window, in one of three ways: plain windows copy the changed
// part; transparent pages (attribute bktrans) go through UpdateLayeredWindow where the
// system blends layered windows, and elsewhere are copied like plain ones with their fully
// transparent pixels cut away by a window region (all such a system shows of them anyway).
#pragma once

#include <windows.h>

#include "ui/render.h"

namespace DuiLib {

class FramePresenter {
  public:
    FramePresenter() = default;
    FramePresenter(const FramePresenter&) = delete;
    FramePresenter& operator=(const FramePresenter&) = delete;

    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    bool IsTransparent() const { return m_transparent; }
    // Switches the window's style (and region) to show a transparent page or a plain one.
    void SetTransparent(bool transparent);
    // True when the window is a layered one: it has no visible region of its own and gets
    // its pictures through Show only.
    bool UsesLayeredWindow() const { return m_transparent && !m_byRegion; }
    // The page's shape may have changed (new tree, new size): the region is made again.
    void ShapeChanged() { m_regionDirty = m_byRegion; }
    // Shows area of the canvas. paintDC is the window's paint DC (unused when layered).
    void Show(HDC paintDC, const CanvasDIB& canvas, const RECT& area);
    // Gives a layered window its whole first picture.
    void ShowWhole(const CanvasDIB& canvas);

  private:
    void ShowLayered(const CanvasDIB& canvas, const RECT* dirty);
    void UpdateRegionFromAlpha(const CanvasDIB& canvas);

    HWND m_hWnd = nullptr;
    bool m_transparent = false;
    bool m_byRegion = false;  // transparency shown by a window region instead
    bool m_regionDirty = false;
};

}  // namespace DuiLib
