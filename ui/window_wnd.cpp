#include "ui/window_wnd.h"

#include "sysutil/no_throw.h"

#include "ui/paint_manager.h"

namespace DuiLib {

bool CWindowWnd::RegisterWindowClass() {
    WNDCLASSW wc = {};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = CWindowWnd::WindowProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = GetWindowClassName();
    ATOM ret = ::RegisterClassW(&wc);
    return ret != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CWindowWnd::RegisterSuperclass() {
    // A superclass starts from an existing class (for example "EDIT") and routes its
    // messages through our procedure first.
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(nullptr, GetSuperClassName(), &wc) &&
        !::GetClassInfoExW(CPaintManagerUI::GetInstance(), GetSuperClassName(), &wc)) {
        return false;
    }
    m_OldWndProc = wc.lpfnWndProc;
    wc.lpfnWndProc = CWindowWnd::WindowProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.lpszClassName = GetWindowClassName();
    ATOM ret = ::RegisterClassExW(&wc);
    return ret != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle,
                        const RECT& rc, HMENU hMenu) {
    return Create(hwndParent, pstrName, dwStyle, dwExStyle, rc.left, rc.top, rc.right - rc.left,
                  rc.bottom - rc.top, hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x,
                        int y, int cx, int cy, HMENU hMenu) {
    if (GetSuperClassName() != nullptr) {
        if (!RegisterSuperclass()) {
            return nullptr;
        }
    } else if (!RegisterWindowClass()) {
        return nullptr;
    }
    // The platform default position only exists for overlapped windows.
    if (dwStyle & (WS_POPUP | WS_CHILD)) {
        if (x == CW_USEDEFAULT)
            x = 0;
        if (y == CW_USEDEFAULT)
            y = 0;
        if (cx == CW_USEDEFAULT)
            cx = 0;
        if (cy == CW_USEDEFAULT)
            cy = 0;
    }
    m_hWnd =
        ::CreateWindowExW(dwExStyle, GetWindowClassName(), pstrName ? pstrName : L"", dwStyle, x, y,
                          cx, cy, hwndParent, hMenu, CPaintManagerUI::GetInstance(), this);
    return m_hWnd;
}

HWND CWindowWnd::Subclass(HWND hWnd) {
    if (!::IsWindow(hWnd)) {
        return nullptr;
    }
    m_OldWndProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc)));
    if (m_OldWndProc == nullptr) {
        return nullptr;
    }
    m_bSubclassed = true;
    m_hWnd = hWnd;
    ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return m_hWnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!::IsWindow(m_hWnd)) {
        return;
    }
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    if (!::IsWindow(m_hWnd)) {
        return 0;
    }
    HWND hWnd = m_hWnd;  // the object may be gone when the loop ends
    HWND hOwner = ::GetWindow(hWnd, GW_OWNER);
    // The owner takes no input from the moment the dialog shows.
    if (hOwner) {
        ::EnableWindow(hOwner, FALSE);
    }
    ::ShowWindow(hWnd, SW_SHOWNORMAL);
    UINT ret = 0;
    bool ownerEnabled = false;
    MSG msg = {};
    while (::IsWindow(hWnd)) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        if (msg.message == WM_CLOSE && msg.hwnd == hWnd) {
            ret = static_cast<UINT>(msg.wParam);
            // Enable the owner before the window goes, so activation returns to it.
            if (hOwner && !ownerEnabled) {
                ::EnableWindow(hOwner, TRUE);
                ::SetFocus(hOwner);
                ownerEnabled = true;
            }
        }
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (hOwner && !ownerEnabled) {
        ::EnableWindow(hOwner, TRUE);
        ::SetFocus(hOwner);
    }
    if (msg.message == WM_QUIT) {
        // Let the outer loop see the quit request too.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    }
    return ret;
}

void CWindowWnd::Close(UINT nRet) {
    HWND hWnd = m_hWnd;
    if (::IsWindow(hWnd)) {
        ::PostMessageW(hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
    }
}

void CWindowWnd::CenterWindow() {
    if (!::IsWindow(m_hWnd)) {
        return;
    }
    RECT rcDlg = {};
    ::GetWindowRect(m_hWnd, &rcDlg);
    RECT rcArea = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcArea, 0);
    RECT rcCenter = rcArea;
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (hOwner && ::IsWindowVisible(hOwner) && !::IsIconic(hOwner)) {
        ::GetWindowRect(hOwner, &rcCenter);
    }
    int w = rcDlg.right - rcDlg.left;
    int h = rcDlg.bottom - rcDlg.top;
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    // Keep the window on the work area.
    if (x + w > rcArea.right)
        x = rcArea.right - w;
    if (y + h > rcArea.bottom)
        y = rcArea.bottom - h;
    if (x < rcArea.left)
        x = rcArea.left;
    if (y < rcArea.top)
        y = rcArea.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes) {
    HINSTANCE inst = CPaintManagerUI::GetInstance();
    HICON big = static_cast<HICON>(::LoadImageW(inst, MAKEINTRESOURCEW(nRes), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXICON),
                                                ::GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    if (big) {
        SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    }
    HICON small = static_cast<HICON>(
        ::LoadImageW(inst, MAKEINTRESOURCEW(nRes), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                     ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (small) {
        SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    RECT rc = {};
    if (!::GetClientRect(m_hWnd, &rc)) {
        return;
    }
    if (cx != -1)
        rc.right = cx;
    if (cy != -1)
        rc.bottom = cy;
    DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
    ::AdjustWindowRectEx(&rc, style, ::GetMenu(m_hWnd) != nullptr, exStyle);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                   SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    CWindowWnd* self = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        self = static_cast<CWindowWnd*>(cs->lpCreateParams);
        self->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (uMsg == WM_NCDESTROY && self != nullptr) {
            LRESULT res = ::CallWindowProcW(self->m_OldWndProc, hWnd, uMsg, wParam, lParam);
            ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
            if (self->m_bSubclassed) {
                ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC,
                                    reinterpret_cast<LONG_PTR>(self->m_OldWndProc));
                self->m_bSubclassed = false;
            }
            self->m_hWnd = nullptr;
            // May delete the object: nothing of it is touched afterwards.
            self->OnFinalMessage(hWnd);
            return res;
        }
    }
    if (self != nullptr) {
        // No exception may leave a window procedure: a failing handler ends that message.
        LRESULT result = 0;
        if (korvane::Guarded(false, [&] {
                result = self->HandleMessage(uMsg, wParam, lParam);
                return true;
            })) {
            return result;
        }
        korvane::GuardedRun([&] { self->OnHandlerFailed(uMsg); }, [] {});
    }
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

}  // namespace DuiLib
