#include "ui/menu.h"

#include <algorithm>
#include <cwchar>

#include "ui/attribute_values.h"

namespace DuiLib {

namespace {
constexpr int kDefaultItemHeight = 30;
constexpr int kDefaultMenuWidth = 140;
}  // namespace

// ---- CMenuUI ----

CMenuUI::CMenuUI() {
    m_dwBkColor.store(0xFFFFFFFF);
    m_dwBorderColor.store(0xFFC8C8C8);
    m_nBorderSize.store(1);
    m_rcInset = RECT{1, 3, 1, 3};
}

LPCTSTR CMenuUI::GetClass() const {
    return L"MenuUI";
}

LPVOID CMenuUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Menu") == 0)
        return this;
    return CVerticalLayoutUI::GetInterface(pstrName);
}

SIZE CMenuUI::EstimateSize(SIZE szAvailable) {
    (void)szAvailable;
    int width = GetFixedWidth() > 0 ? GetFixedWidth() : kDefaultMenuWidth;
    int height = m_rcInset.top + m_rcInset.bottom;
    int visible = 0;
    for (CControlUI* item : m_items) {
        if (!item->IsVisible() || item->IsFloat())
            continue;
        RECT pad = item->GetPadding();
        int h = item->GetFixedHeight() > 0 ? item->GetFixedHeight() : kDefaultItemHeight;
        height += h + pad.top + pad.bottom;
        if (GetFixedWidth() <= 0 && item->GetFixedWidth() > 0) {
            width = std::max(width, static_cast<int>(item->GetFixedWidth() + m_rcInset.left +
                                                     m_rcInset.right + pad.left + pad.right));
        }
        ++visible;
    }
    if (visible > 1)
        height += m_iChildPadding * (visible - 1);
    if (GetFixedHeight() > 0)
        height = GetFixedHeight();
    return SIZE{width, height};
}

// ---- CMenuElementUI ----

CMenuElementUI::CMenuElementUI() {
    m_uTextStyle.store(kAlignLeft | kAlignVCenter);
    m_rcTextPadding = RECT{24, 0, 12, 0};
    m_cxyFixed.cy = kDefaultItemHeight;
    m_dwTextColor.store(0xFF333333);
}

LPCTSTR CMenuElementUI::GetClass() const {
    return L"MenuElementUI";
}

LPVOID CMenuElementUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"MenuElement") == 0)
        return this;
    return CButtonUI::GetInterface(pstrName);
}

void CMenuElementUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    uint32_t color;
    if (pstrName && wcscmp(pstrName, L"hotbkcolor") == 0) {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        m_dwHotBkColor.store(color);
    } else {
        CButtonUI::SetAttribute(pstrName, pstrValue);
    }
}

void CMenuElementUI::PaintBkColor(PaintContext& ctx) {
    CButtonUI::PaintBkColor(ctx);
    if ((m_bHot || m_bPushed) && IsEnabled()) {
        render::FillColor(ctx, GetPos(), m_dwHotBkColor.load());
    }
}

// ---- CMenuWnd ----

void CMenuWnd::Init(CMenuElementUI* pOwner, LPCTSTR xml, POINT point, HWND hOwner,
                    IDialogBuilderCallback* pCallback) {
    (void)pOwner;  // sub-menus are not used by our pages
    m_xml = xml ? xml : L"";
    m_point = point;
    m_hOwner = hOwner;
    m_pCallback = pCallback;
    if (Create(hOwner, L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, point.x,
               point.y, 0, 0) == nullptr) {
        delete this;  // no window was made, so OnFinalMessage will not run
        return;
    }
    if (m_pm.GetRoot() == nullptr)
        return;
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
    m_shadow.Update();
}

LRESULT CMenuWnd::OnCreate() {
    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(m_xml.c_str(), nullptr, m_pCallback, &m_pm);
    if (root == nullptr) {
        Close();  // no page, no menu
        return 0;
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    SIZE size = m_pm.GetInitSize();
    if (size.cx <= 0 || size.cy <= 0) {
        auto* menu = static_cast<CMenuUI*>(root->GetInterface(L"Menu"));
        size = menu ? menu->EstimateSize(SIZE{0, 0}) : SIZE{kDefaultMenuWidth, kDefaultItemHeight};
    }
    // Stay on the work area: open to the left / upwards when there is no room.
    RECT area = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    int x = m_point.x, y = m_point.y;
    if (x + size.cx > area.right)
        x = std::max<int>(area.left, m_point.x - size.cx);
    if (y + size.cy > area.bottom)
        y = std::max<int>(area.top, m_point.y - size.cy);
    ::SetWindowPos(m_hWnd, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    m_shadow.Create(m_hWnd);
    return 0;
}

void CMenuWnd::Notify(TNotifyUI& msg) {
    if (msg.sType != DUI_MSGTYPE_CLICK || msg.pSender == nullptr || m_bChosen)
        return;
    if (msg.pSender->GetInterface(L"MenuElement") == nullptr)
        return;
    m_bChosen = true;
    auto* data = new CDuiString(msg.pSender->GetUserData());
    if (!::IsWindow(m_hOwner) ||
        !::PostMessageW(m_hOwner, WM_MENUCLICK, reinterpret_cast<WPARAM>(data), 0)) {
        delete data;  // nobody will take it over
    }
    Close();
}

LRESULT CMenuWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_CREATE:
            return OnCreate();
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE)
                Close();
            break;
        case WM_KILLFOCUS:
            // Focus went to another window than ours (its children included).
            if (reinterpret_cast<HWND>(wParam) != m_hWnd)
                Close();
            break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                Close();
                return 0;
            }
            break;
        case WM_MOVE:
        case WM_SIZE:
        case WM_SHOWWINDOW:
        case WM_WINDOWPOSCHANGED:
            if (uMsg == WM_SHOWWINDOW && !wParam) {
                m_shadow.Destroy();
            } else {
                m_shadow.Update();
            }
            break;
        case WM_DESTROY:
            m_shadow.Destroy();
            break;
        default:
            break;
    }
    LRESULT lRes = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes))
        return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CMenuWnd::OnFinalMessage(HWND hWnd) {
    (void)hWnd;
    delete this;
}

}  // namespace DuiLib
