#include "ui/mouse_router.h"

#include "ui/paint_manager.h"

namespace DuiLib {

void SendControlEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam) {
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.dwTimestamp = ::GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    control->Event(event);
}

void MouseRouter::Attach(HWND hWnd) {
    m_hWnd = hWnd;
    m_tip.Attach(hWnd);
}

void MouseRouter::Forget(CControlUI* control) {
    if (m_hover == control)
        m_hover = nullptr;
    if (m_pressed == control)
        m_pressed = nullptr;
}

void MouseRouter::ForgetAll() {
    m_hover = m_pressed = nullptr;
}

bool MouseRouter::Handle(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (uMsg) {
        case WM_MOUSEMOVE:
            MouseMove(uMsg, wParam, lParam, pt);
            return false;
        case WM_MOUSELEAVE:
            MouseLeave(pt);
            return false;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return ButtonDown(uMsg, wParam, pt);
        case WM_LBUTTONUP:
            return ButtonUp(wParam, pt);
        case WM_RBUTTONDOWN:
            if (CControlUI* control = m_manager.FindInputControl(pt))
                SendControlEvent(control, UIEVENT_RBUTTONDOWN, pt, wParam);
            return false;
        default:
            return false;
    }
}

void MouseRouter::MouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, POINT pt) {
    if (!m_tracking) {
        TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWnd, 0};
        m_tracking = ::TrackMouseEvent(&tme) != FALSE;
    }
    CControlUI* hover = m_manager.FindInputControl(pt);
    if (hover != m_hover)
        m_tip.Show(hover ? hover->GetToolTip().Str() : std::wstring(),
                   hover ? hover->GetPos() : RECT{0, 0, 0, 0});
    m_tip.Relay(uMsg, wParam, lParam, pt);
    if (hover != m_hover) {
        CControlUI* old = m_hover;
        m_hover = hover;
        if (old)
            SendControlEvent(old, UIEVENT_MOUSELEAVE, pt);
        if (hover)
            SendControlEvent(hover, UIEVENT_MOUSEENTER, pt);
    }
    if (m_pressed) {
        SendControlEvent(m_pressed, UIEVENT_MOUSEMOVE, pt, wParam);
    } else if (hover) {
        SendControlEvent(hover, UIEVENT_MOUSEMOVE, pt, wParam);
    }
}

void MouseRouter::MouseLeave(POINT pt) {
    m_tracking = false;
    if (m_hover) {
        CControlUI* old = m_hover;
        m_hover = nullptr;
        SendControlEvent(old, UIEVENT_MOUSELEAVE, pt);
    }
}

bool MouseRouter::ButtonDown(UINT uMsg, WPARAM wParam, POINT pt) {
    CControlUI* control = m_manager.FindInputControl(pt);
    if (control == nullptr) {
        m_manager.SetFocus(nullptr);
        return false;
    }
    m_pressed = control;
    ::SetCapture(m_hWnd);
    m_manager.SetFocus(control);
    if (m_pressed == control) {
        SendControlEvent(control, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK,
                         pt, wParam);
    }
    return true;
}

bool MouseRouter::ButtonUp(WPARAM wParam, POINT pt) {
    CControlUI* control = m_pressed;
    m_pressed = nullptr;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    if (control == nullptr)
        return false;
    // The click may run a modal loop or close the window: nothing of this router or its
    // manager is used after the event.
    SendControlEvent(control, UIEVENT_BUTTONUP, pt, wParam);
    return true;
}

void MouseRouter::CaptureChanged(HWND newCapture) {
    if (m_pressed && newCapture != m_hWnd) {
        CControlUI* control = m_pressed;
        m_pressed = nullptr;
        SendControlEvent(control, UIEVENT_BUTTONUP, POINT{-30000, -30000});
    }
}

}  // namespace DuiLib
