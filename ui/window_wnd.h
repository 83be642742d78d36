// CWindowWnd: a thin C++ wrapper over one Win32 window. The object is found from the
// window procedure through GWLP_USERDATA, so the same code runs in 32- and 64-bit builds.
#pragma once

#include "ui/ui_defs.h"

namespace DuiLib {

class CWindowWnd {
  public:
    CWindowWnd() = default;
    virtual ~CWindowWnd() = default;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Any of x, y, cx, cy may be CW_USEDEFAULT (for pop-up windows that means 0).
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                HMENU hMenu = nullptr);
    // Wraps a window that already exists (its messages then reach HandleMessage).
    HWND Subclass(HWND hWnd);

    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Shows the window, disables its owner and runs a nested message loop until the
    // window is gone; re-enables the owner and returns the code passed to Close.
    UINT ShowModal();
    // Posts the close request with its code; callable from any thread.
    void Close(UINT nRet = IDOK);
    void CenterWindow();
    void SetIcon(UINT nRes);
    void ResizeClient(int cx = -1, int cy = -1);

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

  protected:
    virtual LPCTSTR GetWindowClassName() const = 0;
    virtual LPCTSTR GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return 0; }
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    virtual void OnFinalMessage(HWND hWnd) { (void)hWnd; }
    // HandleMessage threw (an allocation failure, mostly); the message got the default
    // handling instead. A window that runs jobs from its messages tells the user here. Must
    // not throw.
    virtual void OnHandlerFailed(UINT uMsg) { (void)uMsg; }

    bool RegisterWindowClass();
    bool RegisterSuperclass();

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc = ::DefWindowProcW;
    bool m_bSubclassed = false;
};

}  // namespace DuiLib
