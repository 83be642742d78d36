#include "ui/button.h"

#include <cwchar>
#include <vector>

#include "ui/attribute_values.h"
#include "ui/paint_manager.h"

namespace DuiLib {

CButtonUI::CButtonUI() {
    m_uTextStyle.store(kAlignCenter | kAlignVCenter);
}

LPCTSTR CButtonUI::GetClass() const {
    return L"ButtonUI";
}

LPVOID CButtonUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Button") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    if (CPaintManagerUI* pm = GetManager()) {
        pm->SendNotify(this, DUI_MSGTYPE_CLICK);
    }
    return true;
}

CDuiString CButtonUI::GetNormalImage() const {
    return CDuiString(Locked(m_sNormalImage));
}
void CButtonUI::SetNormalImage(LPCTSTR pStrImage) {
    SetLocked(&m_sNormalImage, pStrImage);
    Invalidate();
}
CDuiString CButtonUI::GetHotImage() const {
    return CDuiString(Locked(m_sHotImage));
}
void CButtonUI::SetHotImage(LPCTSTR pStrImage) {
    SetLocked(&m_sHotImage, pStrImage);
    Invalidate();
}
CDuiString CButtonUI::GetPushedImage() const {
    return CDuiString(Locked(m_sPushedImage));
}
void CButtonUI::SetPushedImage(LPCTSTR pStrImage) {
    SetLocked(&m_sPushedImage, pStrImage);
    Invalidate();
}
CDuiString CButtonUI::GetDisabledImage() const {
    return CDuiString(Locked(m_sDisabledImage));
}
void CButtonUI::SetDisabledImage(LPCTSTR pStrImage) {
    SetLocked(&m_sDisabledImage, pStrImage);
    Invalidate();
}
void CButtonUI::SetHotTextColor(DWORD dwColor) {
    m_dwHotTextColor.store(dwColor);
    Invalidate();
}
void CButtonUI::SetPushedTextColor(DWORD dwColor) {
    m_dwPushedTextColor.store(dwColor);
    Invalidate();
}

void CButtonUI::DoEvent(TEventUI& event) {
    RECT rc = GetPos();
    switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            if (IsEnabled() && ::PtInRect(&rc, event.ptMouse)) {
                m_bCaptured = true;
                m_bPushed = true;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSEMOVE:
            if (m_bCaptured) {
                bool inside = ::PtInRect(&rc, event.ptMouse) != FALSE;
                if (inside != m_bPushed) {
                    m_bPushed = inside;
                    Invalidate();
                }
            }
            return;
        case UIEVENT_BUTTONUP:
            if (m_bCaptured) {
                m_bCaptured = false;
                m_bPushed = false;
                Invalidate();
                // Last thing done: the click handler may destroy this control.
                if (::PtInRect(&rc, event.ptMouse))
                    Activate();
            }
            return;
        case UIEVENT_MOUSEENTER:
            if (IsEnabled()) {
                m_bHot = true;
                Invalidate();
            }
            return;
        case UIEVENT_MOUSELEAVE:
            if (m_bHot) {
                m_bHot = false;
                Invalidate();
            }
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

void CButtonUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    uint32_t color;
    if (name == L"normalimage") {
        SetNormalImage(pstrValue);
    } else if (name == L"hotimage") {
        SetHotImage(pstrValue);
    } else if (name == L"pushedimage") {
        SetPushedImage(pstrValue);
    } else if (name == L"disabledimage") {
        SetDisabledImage(pstrValue);
    } else if (name == L"hottextcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetHotTextColor(color);
    } else if (name == L"pushedtextcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetPushedTextColor(color);
    } else {
        CLabelUI::SetAttribute(pstrName, pstrValue);
    }
}

DWORD CButtonUI::CurrentTextColor() const {
    if (IsEnabled()) {
        DWORD c = 0;
        if (m_bPushed)
            c = m_dwPushedTextColor.load();
        if (c == 0 && (m_bHot || m_bPushed))
            c = m_dwHotTextColor.load();
        if (c)
            return c;
    }
    return CLabelUI::CurrentTextColor();
}

std::wstring CButtonUI::StatusImage() const {
    UiPropertyLock lock;
    std::wstring image;
    if (!IsEnabled()) {
        image = m_sDisabledImage;
    } else if (m_bPushed) {
        image = !m_sPushedImage.empty() ? m_sPushedImage : m_sHotImage;
    } else if (m_bHot) {
        image = m_sHotImage;
    }
    return image.empty() ? m_sNormalImage : image;
}

void CButtonUI::PaintStatusImage(PaintContext& ctx) {
    std::wstring image = StatusImage();
    if (!image.empty())
        DrawImage(ctx, image);
}

void CButtonUI::AppendPaintedImages(std::vector<std::wstring>* attributes) const {
    CLabelUI::AppendPaintedImages(attributes);
    std::wstring image = StatusImage();
    if (!image.empty())
        attributes->push_back(std::move(image));
}

// ---- option ----

LPCTSTR COptionUI::GetClass() const {
    return L"OptionUI";
}

LPVOID COptionUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Option") == 0)
        return this;
    return CButtonUI::GetInterface(pstrName);
}

CDuiString COptionUI::GetGroup() const {
    return CDuiString(Locked(m_sGroupName));
}

void COptionUI::SetGroup(LPCTSTR pStrGroupName) {
    SetLocked(&m_sGroupName, pStrGroupName);
}

CDuiString COptionUI::GetSelectedImage() const {
    return CDuiString(Locked(m_sSelectedImage));
}

void COptionUI::SetSelectedImage(LPCTSTR pStrImage) {
    SetLocked(&m_sSelectedImage, pStrImage);
    Invalidate();
}

void COptionUI::SetSelectedHotImage(LPCTSTR pStrImage) {
    SetLocked(&m_sSelectedHotImage, pStrImage);
    Invalidate();
}

void COptionUI::SetSelectedTextColor(DWORD dwColor) {
    m_dwSelectedTextColor.store(dwColor);
    Invalidate();
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
    if (m_bSelected.exchange(bSelected) == bSelected)
        return;
    Invalidate();
    CPaintManagerUI* pm = GetManager();
    std::wstring group = Locked(m_sGroupName);
    if (bSelected && !group.empty() && pm && pm->GetRoot()) {
        // Clear the rest of the group (the whole tree of this window).
        std::vector<CControlUI*> stack{pm->GetRoot()};
        while (!stack.empty()) {
            CControlUI* c = stack.back();
            stack.pop_back();
            for (int i = 0; i < c->GetCount(); ++i)
                stack.push_back(c->GetItemAt(i));
            if (c == this)
                continue;
            auto* option = static_cast<COptionUI*>(c->GetInterface(L"Option"));
            if (option && option->IsSelected() && option->GetGroup() == group.c_str()) {
                option->Selected(false, bTriggerEvent);
            }
        }
    }
    if (bTriggerEvent && pm) {
        pm->SendNotify(this, DUI_MSGTYPE_SELECTCHANGED);
    }
}

bool COptionUI::Activate() {
    if (!CControlUI::Activate())
        return false;
    // The new state is in place before the click is reported, so a click handler sees
    // what the user sees.
    if (!Locked(m_sGroupName).empty()) {
        Selected(true);
    } else {
        Selected(!IsSelected());
    }
    if (CPaintManagerUI* pm = GetManager()) {
        pm->SendNotify(this, DUI_MSGTYPE_CLICK);
    }
    return true;
}

void COptionUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    uint32_t color;
    bool b;
    if (name == L"group") {
        SetGroup(pstrValue);
    } else if (name == L"selected") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        Selected(b, false);
    } else if (name == L"selectedimage") {
        SetSelectedImage(pstrValue);
    } else if (name == L"selectedhotimage") {
        SetSelectedHotImage(pstrValue);
    } else if (name == L"selectedtextcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetSelectedTextColor(color);
    } else {
        CButtonUI::SetAttribute(pstrName, pstrValue);
    }
}

DWORD COptionUI::CurrentTextColor() const {
    if (IsEnabled() && IsSelected()) {
        DWORD c = m_dwSelectedTextColor.load();
        if (c)
            return c;
    }
    return CButtonUI::CurrentTextColor();
}

std::wstring COptionUI::StatusImage() const {
    if (IsSelected() && IsEnabled()) {
        std::wstring image;
        {
            UiPropertyLock lock;
            image = m_bHot && !m_sSelectedHotImage.empty() ? m_sSelectedHotImage : m_sSelectedImage;
        }
        if (!image.empty())
            return image;
    }
    return CButtonUI::StatusImage();
}

}  // namespace DuiLib
