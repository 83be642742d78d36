#include "ui/container.h"

#include <algorithm>
#include <cwchar>

#include "ui/attribute_values.h"
#include "ui/paint_manager.h"

namespace DuiLib {

CContainerUI::~CContainerUI() {
    for (CControlUI* item : m_items) {
        delete item;
    }
    m_items.clear();
}

LPCTSTR CContainerUI::GetClass() const {
    return L"ContainerUI";
}

LPVOID CContainerUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"IContainer") == 0) {
        return static_cast<IContainerUI*>(this);
    }
    if (pstrName && wcscmp(pstrName, L"Container") == 0) {
        return static_cast<CContainerUI*>(this);
    }
    return CControlUI::GetInterface(pstrName);
}

CControlUI* CContainerUI::GetItemAt(int iIndex) const {
    if (iIndex < 0 || iIndex >= static_cast<int>(m_items.size())) {
        return nullptr;
    }
    return m_items[static_cast<size_t>(iIndex)];
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const {
    auto it = std::find(m_items.begin(), m_items.end(), pControl);
    return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

int CContainerUI::GetCount() const {
    return static_cast<int>(m_items.size());
}

void CContainerUI::ChildrenChanged() {
    if (CPaintManagerUI* pm = GetManager()) {
        pm->NameTableChanged();
        pm->NeedUpdate();
    }
    Invalidate();
}

bool CContainerUI::Add(CControlUI* pControl) {
    return AddAt(pControl, static_cast<int>(m_items.size()));
}

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex) {
    if (pControl == nullptr || iIndex < 0 || iIndex > static_cast<int>(m_items.size())) {
        return false;
    }
    m_items.insert(m_items.begin() + iIndex, pControl);
    pControl->SetManager(GetManager(), this, true);
    ChildrenChanged();
    return true;
}

bool CContainerUI::Remove(CControlUI* pControl) {
    int index = GetItemIndex(pControl);
    return index >= 0 && RemoveAt(index);
}

bool CContainerUI::RemoveAt(int iIndex) {
    CControlUI* item = GetItemAt(iIndex);
    if (item == nullptr) {
        return false;
    }
    m_items.erase(m_items.begin() + iIndex);
    delete item;
    ChildrenChanged();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* item : items) {
        delete item;
    }
    ChildrenChanged();
}

void CContainerUI::SetInset(RECT rcInset) {
    m_rcInset = rcInset;
    if (CPaintManagerUI* pm = GetManager())
        pm->NeedUpdate();
    Invalidate();
}

void CContainerUI::SetChildPadding(int iPadding) {
    m_iChildPadding = iPadding;
    if (CPaintManagerUI* pm = GetManager())
        pm->NeedUpdate();
    Invalidate();
}

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    for (CControlUI* item : m_items) {
        item->SetManager(pManager, this, bInit);
    }
    CControlUI::SetManager(pManager, pParent, bInit);
}

RECT CContainerUI::InnerRect(const RECT& rc) const {
    RECT inner = {rc.left + m_rcInset.left, rc.top + m_rcInset.top, rc.right - m_rcInset.right,
                  rc.bottom - m_rcInset.bottom};
    if (inner.right < inner.left)
        inner.right = inner.left;
    if (inner.bottom < inner.top)
        inner.bottom = inner.top;
    return inner;
}

void CContainerUI::SetFloatPos(CControlUI* pControl, const RECT& rcContainer) {
    RECT xy = pControl->GetRelativePos();
    int cx = pControl->GetFixedWidth();
    int cy = pControl->GetFixedHeight();
    if (cx <= 0)
        cx = xy.right - xy.left;
    if (cy <= 0)
        cy = xy.bottom - xy.top;
    RECT rc = {rcContainer.left + xy.left, rcContainer.top + xy.top, 0, 0};
    rc.right = rc.left + std::max(cx, 0);
    rc.bottom = rc.top + std::max(cy, 0);
    pControl->SetPos(rc);
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT inner = InnerRect(rc);
    // Every child fills the container (pages of a composite control, stacked layers).
    for (CControlUI* item : m_items) {
        if (item->IsFloat()) {
            SetFloatPos(item, rc);
            continue;
        }
        RECT pad = item->GetPadding();
        RECT child = {inner.left + pad.left, inner.top + pad.top, inner.right - pad.right,
                      inner.bottom - pad.bottom};
        if (item->GetFixedWidth() > 0)
            child.right = child.left + item->GetFixedWidth();
        if (item->GetFixedHeight() > 0)
            child.bottom = child.top + item->GetFixedHeight();
        item->SetPos(child);
    }
}

CControlUI* CContainerUI::FindControlAt(POINT pt, bool forInput) {
    if (!IsVisible()) {
        return nullptr;
    }
    RECT rc = GetPos();
    if (!::PtInRect(&rc, pt)) {
        return nullptr;
    }
    // Later children are drawn on top.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (CControlUI* found = (*it)->FindControlAt(pt, forInput)) {
            return found;
        }
    }
    return CControlUI::FindControlAt(pt, forInput);
}

void CContainerUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && wcscmp(pstrName, L"inset") == 0) {
        RECT rc;
        if (!ParseRectAttr(pstrValue, &rc))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetInset(rc);
    } else if (pstrName && wcscmp(pstrName, L"childpadding") == 0) {
        int n;
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetChildPadding(n);
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

void CContainerUI::DoPaint(PaintContext& ctx) {
    RECT rc = GetPos();
    RECT visible;
    if (!render::Intersect(&visible, rc, ctx.clip)) {
        return;
    }
    CControlUI::DoPaint(ctx);
    if (m_items.empty()) {
        return;
    }
    RECT saved = ctx.clip;
    render::SetClip(ctx, visible);
    for (CControlUI* item : m_items) {
        if (item->IsVisible()) {
            item->DoPaint(ctx);
        }
    }
    render::SetClip(ctx, saved);
}

// ---- vertical and horizontal layouts ----

namespace {

// Lays children out along one axis: fixed sizes first, the rest shared equally.
void FlowLayout(std::vector<CControlUI*>& items, const RECT& inner, int childPadding,
                bool vertical) {
    int avail = vertical ? inner.bottom - inner.top : inner.right - inner.left;
    int fixedTotal = 0;
    int autoCount = 0;
    int visibleCount = 0;
    for (CControlUI* item : items) {
        if (item->IsFloat() || !item->IsVisible())
            continue;
        ++visibleCount;
        RECT pad = item->GetPadding();
        int fixed = vertical ? item->GetFixedHeight() : item->GetFixedWidth();
        fixedTotal += vertical ? pad.top + pad.bottom : pad.left + pad.right;
        if (fixed > 0) {
            fixedTotal += fixed;
        } else {
            ++autoCount;
        }
    }
    if (visibleCount > 1)
        fixedTotal += childPadding * (visibleCount - 1);
    int share = autoCount > 0 ? std::max(0, (avail - fixedTotal) / autoCount) : 0;
    int pos = vertical ? inner.top : inner.left;
    for (CControlUI* item : items) {
        if (item->IsFloat())
            continue;
        if (!item->IsVisible()) {
            // Takes no room; keeps a place so a later show repaints the right area.
            item->SetPos(vertical ? RECT{inner.left, pos, inner.right, pos}
                                  : RECT{pos, inner.top, pos, inner.bottom});
            continue;
        }
        RECT pad = item->GetPadding();
        RECT rc;
        if (vertical) {
            int h = item->GetFixedHeight() > 0 ? item->GetFixedHeight() : share;
            int w = item->GetFixedWidth() > 0 ? item->GetFixedWidth()
                                              : inner.right - inner.left - pad.left - pad.right;
            rc = RECT{inner.left + pad.left, pos + pad.top, inner.left + pad.left + w,
                      pos + pad.top + h};
            pos = rc.bottom + pad.bottom + childPadding;
        } else {
            int w = item->GetFixedWidth() > 0 ? item->GetFixedWidth() : share;
            int h = item->GetFixedHeight() > 0 ? item->GetFixedHeight()
                                               : inner.bottom - inner.top - pad.top - pad.bottom;
            rc = RECT{pos + pad.left, inner.top + pad.top, pos + pad.left + w,
                      inner.top + pad.top + h};
            pos = rc.right + pad.right + childPadding;
        }
        item->SetPos(rc);
    }
}

}  // namespace

LPCTSTR CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"VerticalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    for (CControlUI* item : m_items) {
        if (item->IsFloat())
            SetFloatPos(item, rc);
    }
    FlowLayout(m_items, InnerRect(rc), m_iChildPadding, true);
}

LPCTSTR CHorizontalLayoutUI::GetClass() const {
    return L"HorizontalLayoutUI";
}

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"HorizontalLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    for (CControlUI* item : m_items) {
        if (item->IsFloat())
            SetFloatPos(item, rc);
    }
    FlowLayout(m_items, InnerRect(rc), m_iChildPadding, false);
}

// ---- tab layout ----

LPCTSTR CTabLayoutUI::GetClass() const {
    return L"TabLayoutUI";
}

LPVOID CTabLayoutUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"TabLayout") == 0)
        return this;
    return CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::Add(CControlUI* pControl) {
    return AddAt(pControl, static_cast<int>(m_items.size()));
}

bool CTabLayoutUI::AddAt(CControlUI* pControl, int iIndex) {
    if (!CContainerUI::AddAt(pControl, iIndex)) {
        return false;
    }
    ShowOnly(m_iCurSel);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* pControl) {
    if (!CContainerUI::Remove(pControl)) {
        return false;
    }
    if (m_iCurSel >= GetCount())
        m_iCurSel = std::max(0, GetCount() - 1);
    ShowOnly(m_iCurSel);
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = 0;
    CContainerUI::RemoveAll();
}

void CTabLayoutUI::ShowOnly(int iIndex) {
    for (int i = 0; i < GetCount(); ++i) {
        m_items[static_cast<size_t>(i)]->SetVisible(i == iIndex);
    }
}

bool CTabLayoutUI::SelectItem(int iIndex) {
    if (iIndex < 0 || iIndex >= GetCount()) {
        return false;
    }
    if (iIndex == m_iCurSel) {
        ShowOnly(iIndex);
        return true;
    }
    int old = m_iCurSel;
    m_iCurSel = iIndex;
    ShowOnly(iIndex);
    if (CPaintManagerUI* pm = GetManager()) {
        pm->NeedUpdate();
        Invalidate();
        pm->SendNotify(this, DUI_MSGTYPE_TABSELECT, static_cast<WPARAM>(iIndex),
                       static_cast<LPARAM>(old));
    }
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* pControl) {
    int index = GetItemIndex(pControl);
    return index >= 0 && SelectItem(index);
}

void CTabLayoutUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    if (pstrName && wcscmp(pstrName, L"selectedid") == 0) {
        int n;
        if (!ParseIntAttr(pstrValue, &n) || n < 0) {
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        }
        m_iCurSel = n;
        ShowOnly(n);
    } else {
        CContainerUI::SetAttribute(pstrName, pstrValue);
    }
}

}  // namespace DuiLib
