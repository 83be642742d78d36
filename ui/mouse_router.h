// Turns one window's mouse messages into control events: hover (enter, leave, the
// tooltip), presses with capture, and the release that makes a click.
#pragma once

#include <windows.h>

#include "ui/tooltip.h"
#include "ui/ui_defs.h"

namespace DuiLib {

// Hands one input event to a control.
void SendControlEvent(CControlUI* control, int type, POINT pt, WPARAM wParam = 0,
                      LPARAM lParam = 0);

class MouseRouter {
  public:
    explicit MouseRouter(CPaintManagerUI& manager) : m_manager(manager) {}
    MouseRouter(const MouseRouter&) = delete;
    MouseRouter& operator=(const MouseRouter&) = delete;

    void Attach(HWND hWnd);
    // True when the message was consumed (a press or release on an input control).
    bool Handle(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Capture taken away mid-press: the pressed control is released without a click.
    void CaptureChanged(HWND newCapture);
    // Forgets a control that goes (or every control, for null and a new tree).
    void Forget(CControlUI* control);
    void ForgetAll();
    ToolTip& Tip() { return m_tip; }
    const ToolTip& Tip() const { return m_tip; }

  private:
    void MouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, POINT pt);
    void MouseLeave(POINT pt);
    bool ButtonDown(UINT uMsg, WPARAM wParam, POINT pt);
    bool ButtonUp(WPARAM wParam, POINT pt);

    CPaintManagerUI& m_manager;
    HWND m_hWnd = nullptr;
    ToolTip m_tip;
    CControlUI* m_hover = nullptr;
    CControlUI* m_pressed = nullptr;
    bool m_tracking = false;
};

}  // namespace DuiLib
