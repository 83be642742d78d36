#include "ui/control.h"

#include <cwchar>

#include "ui/attribute_values.h"
#include "ui/paint_manager.h"

namespace DuiLib {

namespace {

CRITICAL_SECTION* PropertyCriticalSection() {
    static CRITICAL_SECTION* cs = [] {
        static CRITICAL_SECTION section;
        ::InitializeCriticalSection(&section);
        return &section;
    }();
    return cs;
}

}  // namespace

UiPropertyLock::UiPropertyLock() {
    ::EnterCriticalSection(PropertyCriticalSection());
}
UiPropertyLock::~UiPropertyLock() {
    ::LeaveCriticalSection(PropertyCriticalSection());
}

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (CPaintManagerUI* pm = GetManager()) {
        pm->ReapObjects(this);
    }
}

std::wstring CControlUI::Locked(const std::wstring& value) const {
    UiPropertyLock lock;
    return value;
}

void CControlUI::SetLocked(std::wstring* target, LPCTSTR value) {
    std::wstring copy = value ? value : L"";
    UiPropertyLock lock;
    target->swap(copy);
}

CDuiString CControlUI::GetName() const {
    return CDuiString(Locked(m_sName));
}

void CControlUI::SetName(LPCTSTR pstrName) {
    SetLocked(&m_sName, pstrName);
    if (CPaintManagerUI* pm = GetManager()) {
        pm->NameTableChanged();
    }
}

LPCTSTR CControlUI::GetClass() const {
    return L"ControlUI";
}

LPVOID CControlUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Control") == 0) {
        return this;
    }
    return nullptr;
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager.store(pManager);
    m_pParent.store(pParent);
    if (bInit && pManager) {
        pManager->NameTableChanged();
    }
}

CDuiString CControlUI::GetText() const {
    return CDuiString(Locked(m_sText));
}

void CControlUI::SetText(LPCTSTR pstrText) {
    SetLocked(&m_sText, pstrText);
    Invalidate();
}

void CControlUI::SetBkColor(DWORD dwColor) {
    if (m_dwBkColor.exchange(dwColor) != dwColor) {
        Invalidate();
    }
}

CDuiString CControlUI::GetBkImage() const {
    return CDuiString(Locked(m_sBkImage));
}

void CControlUI::SetBkImage(LPCTSTR pStrImage) {
    std::wstring before = Locked(m_sBkImage);
    SetLocked(&m_sBkImage, pStrImage);
    if (!InvalidateSwappedTiles(before, pStrImage ? pStrImage : L""))
        Invalidate();
}

bool CControlUI::InvalidateSwappedTiles(const std::wstring& from, const std::wstring& to) {
    CPaintManagerUI* pm = GetManager();
    if (pm == nullptr)
        return false;
    RECT rc = GetPos();
    std::vector<RECT> tiles;
    if (!pm->GetSwapDamage().Find(from, to, SIZE{rc.right - rc.left, rc.bottom - rc.top}, &tiles))
        return false;
    RECT visible;
    if (!VisibleArea(&visible))
        return true;
    std::vector<RECT> dirty;
    for (RECT tile : tiles) {
        ::OffsetRect(&tile, rc.left, rc.top);
        if (render::Intersect(&tile, tile, visible))
            dirty.push_back(tile);
    }
    pm->Invalidate(dirty);
    return true;
}

void CControlUI::SetBorderColor(DWORD dwColor) {
    m_dwBorderColor.store(dwColor);
    Invalidate();
}

void CControlUI::SetBorderSize(int nSize) {
    m_nBorderSize.store(nSize);
    Invalidate();
}

RECT CControlUI::GetPos() const {
    UiPropertyLock lock;
    return m_rcItem;
}

void CControlUI::SetPos(RECT rc) {
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    UiPropertyLock lock;
    m_rcItem = rc;
}

int CControlUI::GetWidth() const {
    RECT rc = GetPos();
    return rc.right - rc.left;
}

int CControlUI::GetHeight() const {
    RECT rc = GetPos();
    return rc.bottom - rc.top;
}

void CControlUI::SetPadding(RECT rcPadding) {
    m_rcPadding = rcPadding;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    m_rcXY.right = m_rcXY.left + cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    m_rcXY.bottom = m_rcXY.top + cy;
    NeedParentUpdate();
}

void CControlUI::SetFloat(bool bFloat) {
    m_bFloat = bFloat;
    NeedParentUpdate();
}

CDuiString CControlUI::GetToolTip() const {
    return CDuiString(Locked(m_sToolTip));
}

void CControlUI::SetToolTip(LPCTSTR pstrText) {
    SetLocked(&m_sToolTip, pstrText);
}

CDuiString CControlUI::GetUserData() const {
    return CDuiString(Locked(m_sUserData));
}

void CControlUI::SetUserData(LPCTSTR pstrText) {
    SetLocked(&m_sUserData, pstrText);
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible.load() == bVisible) {
        return;
    }
    if (!bVisible) {
        Invalidate();  // while still visible: the area it leaves
    }
    m_bVisible.store(bVisible);
    if (m_bFloat) {
        // Floating controls keep their place (laid out while hidden too): no new layout.
        if (bVisible)
            Invalidate();
    } else {
        NeedParentUpdate();
    }
}

void CControlUI::SetEnabled(bool bEnable) {
    if (m_bEnabled.exchange(bEnable) != bEnable) {
        Invalidate();
    }
}

void CControlUI::SetFocus() {
    if (CPaintManagerUI* pm = GetManager()) {
        pm->SetFocus(this);
    }
}

CControlUI* CControlUI::FindControlAt(POINT pt, bool forInput) {
    if (!IsVisible()) {
        return nullptr;
    }
    RECT rc = GetPos();
    if (!::PtInRect(&rc, pt)) {
        return nullptr;
    }
    if (forInput && (!IsInputTarget() || !IsEnabled() || !m_bMouseEnabled)) {
        return nullptr;
    }
    return this;
}

void CControlUI::Invalidate() {
    RECT rc;
    if (CPaintManagerUI* pm = GetManager(); pm != nullptr && VisibleArea(&rc)) {
        pm->Invalidate(rc);
    }
}

bool CControlUI::VisibleArea(RECT* area) const {
    if (!IsVisible()) {
        return false;
    }
    RECT rc = GetPos();
    // Children draw inside their ancestors only; a hidden ancestor means nothing shows.
    for (CControlUI* p = GetParent(); p != nullptr; p = p->GetParent()) {
        if (!p->IsVisible()) {
            return false;
        }
        RECT parentRc = p->GetPos();
        if (!render::Intersect(&rc, rc, parentRc)) {
            return false;
        }
    }
    *area = rc;
    return rc.right > rc.left && rc.bottom > rc.top;
}

void CControlUI::NeedParentUpdate() {
    CPaintManagerUI* pm = GetManager();
    if (pm == nullptr) {
        return;
    }
    pm->NeedUpdate();
    if (CControlUI* parent = GetParent()) {
        parent->Invalidate();
    } else {
        pm->Invalidate();
    }
}

bool CControlUI::Activate() {
    return IsVisible() && IsEnabled();
}

void CControlUI::Event(TEventUI& event) {
    DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        Invalidate();
    } else if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        Invalidate();
    }
}

void CControlUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    RECT rc;
    uint32_t color;
    bool b;
    int n;
    if (name == L"pos") {
        if (!ParseRectAttr(pstrValue, &rc))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        m_rcXY = rc;
        m_cxyFixed.cx = rc.right - rc.left;
        m_cxyFixed.cy = rc.bottom - rc.top;
        NeedParentUpdate();
    } else if (name == L"float") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetFloat(b);
    } else if (name == L"padding") {
        if (!ParseRectAttr(pstrValue, &rc))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetPadding(rc);
    } else if (name == L"width") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetFixedWidth(n);
    } else if (name == L"height") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetFixedHeight(n);
    } else if (name == L"bkcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetBkColor(color);
    } else if (name == L"bordercolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetBorderColor(color);
    } else if (name == L"bordersize") {
        if (!ParseIntAttr(pstrValue, &n))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetBorderSize(n);
    } else if (name == L"bkimage") {
        SetBkImage(pstrValue);
    } else if (name == L"name") {
        SetName(pstrValue);
    } else if (name == L"text") {
        SetText(pstrValue);
    } else if (name == L"tooltip") {
        SetToolTip(pstrValue);
    } else if (name == L"userdata") {
        SetUserData(pstrValue);
    } else if (name == L"enabled") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetEnabled(b);
    } else if (name == L"mouse") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetMouseEnabled(b);
    } else if (name == L"visible") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetVisible(b);
    } else if (name == L"cursor") {
        std::wstring v = pstrValue ? pstrValue : L"";
        if (v == L"hand")
            m_cursor = IDC_HAND;
        else if (v == L"arrow")
            m_cursor = IDC_ARROW;
        else if (v == L"ibeam")
            m_cursor = IDC_IBEAM;
        else if (v == L"wait")
            m_cursor = IDC_WAIT;
        else
            ReportBadAttribute(GetClass(), pstrName, pstrValue);
    }
    // Other attributes belong to derived classes or are not used by our pages.
}

void CControlUI::ApplyAttributeList(LPCTSTR pstrList) {
    // name="value" pairs; values may also be quoted with single quotes.
    const wchar_t* p = pstrList;
    if (p == nullptr)
        return;
    while (*p) {
        while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n')
            ++p;
        if (!*p)
            break;
        const wchar_t* nameStart = p;
        while (*p && *p != L'=' && *p != L' ')
            ++p;
        std::wstring name(nameStart, p);
        while (*p == L' ')
            ++p;
        if (*p != L'=')
            break;
        ++p;
        while (*p == L' ')
            ++p;
        wchar_t quote = *p;
        if (quote != L'"' && quote != L'\'')
            break;
        ++p;
        const wchar_t* valueStart = p;
        while (*p && *p != quote)
            ++p;
        std::wstring value(valueStart, p);
        if (*p != quote)
            break;
        ++p;
        SetAttribute(name.c_str(), value.c_str());
    }
}

SIZE CControlUI::EstimateSize(SIZE szAvailable) {
    (void)szAvailable;
    return m_cxyFixed;
}

bool CControlUI::DrawImage(PaintContext& ctx, const std::wstring& attribute, int frame) {
    return render::DrawImage(ctx, GetPos(), attribute, frame);
}

void CControlUI::DoPaint(PaintContext& ctx) {
    RECT visible;
    if (!render::Intersect(&visible, GetPos(), ctx.clip)) {
        return;
    }
    PaintBkColor(ctx);
    PaintBkImage(ctx);
    PaintStatusImage(ctx);
    PaintText(ctx);
    PaintBorder(ctx);
}

void CControlUI::PaintBkColor(PaintContext& ctx) {
    DWORD color = m_dwBkColor.load();
    if (color != 0) {
        render::FillColor(ctx, GetPos(), color);
    }
}

void CControlUI::AppendPaintedImages(std::vector<std::wstring>* attributes) const {
    std::wstring image = Locked(m_sBkImage);
    if (!image.empty())
        attributes->push_back(std::move(image));
}

void CControlUI::PaintBkImage(PaintContext& ctx) {
    std::wstring image = Locked(m_sBkImage);
    if (!image.empty()) {
        DrawImage(ctx, image);
    }
}

void CControlUI::PaintStatusImage(PaintContext& ctx) {
    (void)ctx;
}

void CControlUI::PaintText(PaintContext& ctx) {
    (void)ctx;
}

void CControlUI::PaintBorder(PaintContext& ctx) {
    int size = m_nBorderSize.load();
    if (size > 0) {
        render::DrawBorder(ctx, GetPos(), size, m_dwBorderColor.load());
    }
}

}  // namespace DuiLib
