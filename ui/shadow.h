// CShadowUI: a soft drop shadow behind a borderless window: a per-pixel transparent
// window of its own, kept just below the host in z-order and moved with it.
#pragma once

#include <windows.h>

namespace DuiLib {

class CShadowUI {
  public:
    CShadowUI() = default;
    ~CShadowUI();
    CShadowUI(const CShadowUI&) = delete;
    CShadowUI& operator=(const CShadowUI&) = delete;

    void SetSize(int nSize) { m_nSize = nSize < 0 ? 0 : (nSize > 40 ? 40 : nSize); }
    void SetDarkness(BYTE darkness) { m_darkness = darkness; }
    void SetOffset(int dx, int dy) {
        m_dx = dx;
        m_dy = dy;
    }
    // False where per-pixel transparent windows are not blended with what lies below:
    // Wine on an X server without a compositing manager shows the shadow's dark pixels
    // as a solid black frame. There the host simply has no shadow.
    static bool IsSupported();
    // Makes the shadow window for a host window (call after the host exists).
    bool Create(HWND hHost);
    // Follows the host's place, size and visibility; the host calls this on WM_MOVE,
    // WM_SIZE, WM_SHOWWINDOW and WM_WINDOWPOSCHANGED.
    void Update();
    void Destroy();
    HWND GetHWND() const { return m_hWnd; }

  private:
    void Render(int width, int height);

    HWND m_hWnd = nullptr;
    HWND m_hHost = nullptr;
    int m_nSize = 8;
    int m_dx = 1, m_dy = 2;
    BYTE m_darkness = 90;
    SIZE m_rendered = {};
    bool m_bUpdating = false;
};

}  // namespace DuiLib
