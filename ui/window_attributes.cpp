// The Window element's attributes ("size", "caption", "bktrans", ...), applied to the
// paint manager of the window the page is built for.
#include <string>

#include "ui/attribute_values.h"
#include "ui/paint_manager.h"

namespace DuiLib {

namespace {

bool SetSize(LPCTSTR name, LPCTSTR value, SIZE* out) {
    if (ParseSizeAttr(value, out))
        return true;
    ReportBadAttribute(L"Window", name, value);
    return false;
}

}  // namespace

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_window.initSize = SIZE{cx, cy};
    if (m_hWndPaint && cx > 0 && cy > 0) {
        // The frame may just have been removed from the style: let it be recomputed.
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void CPaintManagerUI::SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    SIZE sz;
    RECT rc;
    bool b;
    if (name == L"size") {
        if (SetSize(pstrName, pstrValue, &sz))
            SetInitSize(sz.cx, sz.cy);
    } else if (name == L"caption") {
        if (!ParseRectAttr(pstrValue, &rc))
            return ReportBadAttribute(L"Window", pstrName, pstrValue);
        SetCaptionRect(rc);
    } else if (name == L"bktrans") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(L"Window", pstrName, pstrValue);
        SetLayered(b);
    } else if (name == L"roundcorner") {
        if (SetSize(pstrName, pstrValue, &sz))
            SetRoundCorner(sz.cx, sz.cy);
    } else if (name == L"mininfo") {
        if (SetSize(pstrName, pstrValue, &sz))
            SetMinInfo(sz.cx, sz.cy);
    } else if (name == L"maxinfo") {
        if (SetSize(pstrName, pstrValue, &sz))
            SetMaxInfo(sz.cx, sz.cy);
    }
}

}  // namespace DuiLib
