#include "ui/window_impl_base.h"

#include <cwchar>

#include "ui/skin_source.h"

namespace DuiLib {

namespace {
bool ClassIs(CControlUI* control, const wchar_t* name) {
    return wcscmp(control->GetClass(), name) == 0;
}
}  // namespace

LRESULT WindowImplBase::CaptionHitTest(CPaintManagerUI& pm, HWND hWnd, LPARAM lParam) {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::ScreenToClient(hWnd, &pt);
    RECT rcClient = {};
    ::GetClientRect(hWnd, &rcClient);
    RECT rcCaption = pm.GetCaptionRect();
    if (pt.x >= rcClient.left + rcCaption.left && pt.x < rcClient.right - rcCaption.right &&
        pt.y >= rcCaption.top && pt.y < rcCaption.bottom) {
        CControlUI* control = pm.FindControl(pt);
        if (control && !ClassIs(control, L"ButtonUI") && !ClassIs(control, L"OptionUI") &&
            !ClassIs(control, L"EditUI")) {
            return HTCAPTION;
        }
    }
    return HTCLIENT;
}

void WindowImplBase::OnFinalMessage(HWND hWnd) {
    (void)hWnd;
    m_PaintManager.RemoveNotifier(this);
    m_PaintManager.RemoveMessageFilter(this);
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    bHandled = false;
    return 0;
}

void WindowImplBase::ApplySkinSource() {
    switch (GetResourceType()) {
        case UILIB_FILE:
            CPaintManagerUI::SetResourcePath(GetSkinFolder().GetData());
            CPaintManagerUI::SetResourceZip(L"");
            break;
        case UILIB_ZIP:
            CPaintManagerUI::SetResourcePath(GetSkinFolder().GetData());
            CPaintManagerUI::SetResourceZip(GetZIPFileName().GetData(), true);
            break;
        case UILIB_ZIPRESOURCE: {
            std::wstring error;
            if (!skin::SetZipFromResource(CPaintManagerUI::GetInstance(), L"ZIPRES",
                                          GetZIPFileName().GetData(), &error)) {
                ::OutputDebugStringW((L"DuiLib: " + error + L"\n").c_str());
            }
            break;
        }
        case UILIB_RESOURCE:
        default:
            // Pages carried one by one as resources are not used by our program; the
            // current skin source stays in place.
            ::OutputDebugStringW(L"DuiLib: page resources are not supported; skin unchanged\n");
            break;
    }
}

LRESULT WindowImplBase::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CAPTION);
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    m_PaintManager.Init(m_hWnd);
    m_PaintManager.AddPreMessageFilter(this);
    ApplySkinSource();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile().GetData(), nullptr, this, &m_PaintManager);
    if (root != nullptr) {
        m_PaintManager.AttachDialog(root);
        m_PaintManager.AddNotifier(this);
    }
    // A page that does not build leaves the window empty.
    bHandled = TRUE;
    return 0;
}

LRESULT WindowImplBase::OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    bHandled = TRUE;
    return CaptionHitTest(m_PaintManager, m_hWnd, lParam);
}

LRESULT WindowImplBase::OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    SIZE corner = m_PaintManager.GetRoundCorner();
    if (!::IsIconic(m_hWnd) && (corner.cx != 0 || corner.cy != 0) && !m_PaintManager.IsLayered()) {
        RECT rc = {};
        ::GetWindowRect(m_hWnd, &rc);
        HRGN rgn = ::CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1,
                                        corner.cx, corner.cy);
        ::SetWindowRgn(m_hWnd, rgn, TRUE);  // the window owns the region now
    }
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    SIZE minSize = m_PaintManager.GetMinInfo();
    SIZE maxSize = m_PaintManager.GetMaxInfo();
    if (minSize.cx > 0)
        info->ptMinTrackSize.x = minSize.cx;
    if (minSize.cy > 0)
        info->ptMinTrackSize.y = minSize.cy;
    if (maxSize.cx > 0)
        info->ptMaxTrackSize.x = maxSize.cx;
    if (maxSize.cy > 0)
        info->ptMaxTrackSize.y = maxSize.cy;
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)lParam;
    if (::IsIconic(m_hWnd)) {
        bHandled = FALSE;
        return 0;
    }
    bHandled = TRUE;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT WindowImplBase::OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    bHandled = TRUE;  // the page draws the whole window: no frame
    return 0;
}

LRESULT WindowImplBase::OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    bHandled = TRUE;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam,
                                            BOOL& bHandled) {
    (void)uMsg;
    (void)wParam;
    (void)lParam;
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    BOOL bHandled = TRUE;
    switch (uMsg) {
        case WM_CREATE:
            lRes = OnCreate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_CLOSE:
            lRes = OnClose(uMsg, wParam, lParam, bHandled);
            break;
        case WM_DESTROY:
            lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCACTIVATE:
            lRes = OnNcActivate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCCALCSIZE:
            lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCPAINT:
            lRes = OnNcPaint(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCHITTEST:
            lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
            break;
        case WM_GETMINMAXINFO:
            lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SIZE:
            lRes = OnSize(uMsg, wParam, lParam, bHandled);
            break;
        default:
            bHandled = FALSE;
            break;
    }
    if (bHandled)
        return lRes;
    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled)
        return lRes;
    if (m_PaintManager.MessageHandler(uMsg, wParam, lParam, lRes))
        return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
