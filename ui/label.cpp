#include "ui/label.h"

#include <cwchar>

#include "ui/attribute_values.h"
#include "ui/paint_manager.h"

namespace DuiLib {

namespace {
constexpr DWORD kDefaultTextColor = 0xFF000000;
constexpr DWORD kDefaultDisabledTextColor = 0xFFA7A6AA;
}  // namespace

CLabelUI::CLabelUI() : m_uTextStyle(kAlignDefault) {}

LPCTSTR CLabelUI::GetClass() const {
    return L"LabelUI";
}

LPVOID CLabelUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Label") == 0)
        return this;
    return CControlUI::GetInterface(pstrName);
}

void CLabelUI::SetTextColor(DWORD dwTextColor) {
    m_dwTextColor.store(dwTextColor);
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD dwTextColor) {
    m_dwDisabledTextColor.store(dwTextColor);
    Invalidate();
}

void CLabelUI::SetFont(int index) {
    m_iFont.store(index);
    Invalidate();
}

RECT CLabelUI::GetTextPadding() const {
    UiPropertyLock lock;
    return m_rcTextPadding;
}

void CLabelUI::SetTextPadding(RECT rc) {
    {
        UiPropertyLock lock;
        m_rcTextPadding = rc;
    }
    Invalidate();
}

void CLabelUI::SetTextStyle(unsigned uStyle) {
    m_uTextStyle.store(uStyle);
    Invalidate();
}

void CLabelUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    uint32_t color;
    RECT rc;
    int n;
    bool b;
    if (name == L"textcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetTextColor(color);
    } else if (name == L"disabledtextcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetDisabledTextColor(color);
    } else if (name == L"font") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetFont(n);
    } else if (name == L"textpadding") {
        if (!ParseRectAttr(pstrValue, &rc))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetTextPadding(rc);
    } else if (name == L"align") {
        unsigned flags = 0;
        if (!ParseAlignAttr(pstrValue, &flags))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        // Keep the ellipsis (its own attribute); the horizontal and vertical parts replace
        // the old ones only where the text names them.
        unsigned old = m_uTextStyle.load();
        unsigned style = old & kAlignEndEllipsis;
        unsigned horizontal = flags & (kAlignLeft | kAlignCenter | kAlignRight);
        unsigned vertical = flags & (kAlignTop | kAlignVCenter | kAlignBottom);
        style |= horizontal ? horizontal : (old & (kAlignLeft | kAlignCenter | kAlignRight));
        style |= vertical ? vertical : (old & (kAlignTop | kAlignVCenter | kAlignBottom));
        style |= flags & kAlignWrap;
        SetTextStyle(style);
    } else if (name == L"endellipsis") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        // A text cut with an ellipsis is one line (as a path without blanks never wraps).
        unsigned style = m_uTextStyle.load();
        SetTextStyle(b ? ((style | kAlignEndEllipsis) & ~kAlignWrap)
                       : (style & ~kAlignEndEllipsis));
    } else if (name == L"wordbreak" || name == L"multiline") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        unsigned style = m_uTextStyle.load();
        SetTextStyle(b ? (style | kAlignWrap) : (style & ~kAlignWrap));
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

DWORD CLabelUI::CurrentTextColor() const {
    if (!IsEnabled()) {
        DWORD c = m_dwDisabledTextColor.load();
        return c ? c : kDefaultDisabledTextColor;
    }
    DWORD c = m_dwTextColor.load();
    return c ? c : kDefaultTextColor;
}

std::wstring CLabelUI::DisplayText() const {
    return Locked(m_sText);
}

void CLabelUI::PaintText(PaintContext& ctx) {
    std::wstring text = DisplayText();
    CPaintManagerUI* pm = GetManager();
    if (text.empty() || pm == nullptr) {
        return;
    }
    RECT rc = GetPos();
    RECT pad = GetTextPadding();
    rc.left += pad.left;
    rc.top += pad.top;
    rc.right -= pad.right;
    rc.bottom -= pad.bottom;
    render::DrawText(ctx, rc, text, CurrentTextColor(), pm->GetGdiplusFont(m_iFont.load()),
                     m_uTextStyle.load());
}

CTextUI::CTextUI() {
    m_uTextStyle.store(kAlignLeft | kAlignTop | kAlignWrap);
}

LPCTSTR CTextUI::GetClass() const {
    return L"TextUI";
}

LPVOID CTextUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Text") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

}  // namespace DuiLib
