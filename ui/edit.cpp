#include "ui/edit.h"

#include <cwchar>

#include "ui/attribute_values.h"
#include "ui/paint_manager.h"
#include "ui/window_wnd.h"

namespace DuiLib {

namespace {
constexpr UINT kReflectBase = WM_USER + 0x1C00;  // see CPaintManagerUI::MessageHandler
inline COLORREF ToColorRef(DWORD argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
}  // namespace

// The native box: a pop-up EDIT owned by the page's window, placed over the control. A
// pop-up rather than a child so it also shows over per-pixel transparent windows.
class CEditWnd : public CWindowWnd {
  public:
    bool Init(CEditUI* owner);
    void Detach() { m_pOwner = nullptr; }
    void Commit();
    void Finish(bool commit);

  protected:
    LPCTSTR GetWindowClassName() const override { return L"DuiNativeEdit"; }
    LPCTSTR GetSuperClassName() const override { return L"EDIT"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

  private:
    CEditUI* m_pOwner = nullptr;
    CPaintManagerUI* m_pManager = nullptr;
    HBRUSH m_hBrush = nullptr;
    bool m_bFinishing = false;
};

bool CEditWnd::Init(CEditUI* owner) {
    m_pOwner = owner;
    m_pManager = owner->GetManager();
    HWND host = m_pManager->GetPaintWindow();
    RECT rc = owner->GetPos();
    RECT pad = owner->GetTextPadding();
    rc.left += pad.left;
    rc.top += pad.top;
    rc.right -= pad.right;
    rc.bottom -= pad.bottom;
    HFONT font = m_pManager->GetFont(owner->GetFont());
    // A single-line box is as tall as its font; centre it in the text area.
    HDC dc = ::GetDC(host);
    HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW tm = {};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(host, dc);
    LONG lineHeight = tm.tmHeight + 2;
    if (rc.bottom - rc.top > lineHeight) {
        rc.top += (rc.bottom - rc.top - lineHeight) / 2;
        rc.bottom = rc.top + lineHeight;
    }
    POINT topLeft = {rc.left, rc.top};
    ::ClientToScreen(host, &topLeft);
    DWORD style = WS_POPUP | ES_AUTOHSCROLL;
    if (owner->IsPasswordMode())
        style |= ES_PASSWORD;
    if (owner->IsReadOnly())
        style |= ES_READONLY;
    if (owner->GetTextStyle() & kAlignCenter)
        style |= ES_CENTER;
    if (owner->GetTextStyle() & kAlignRight)
        style |= ES_RIGHT;
    if (Create(host, nullptr, style, WS_EX_TOOLWINDOW, topLeft.x, topLeft.y, rc.right - rc.left,
               rc.bottom - rc.top) == nullptr) {
        return false;
    }
    m_hBrush = ::CreateSolidBrush(ToColorRef(owner->GetNativeEditBkColor()));
    ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ::SendMessageW(m_hWnd, EM_LIMITTEXT, owner->GetMaxChar(), 0);
    ::SendMessageW(m_hWnd, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    CDuiString text = owner->GetText();
    ::SetWindowTextW(m_hWnd, text.GetData());
    int length = ::GetWindowTextLengthW(m_hWnd);
    ::SendMessageW(m_hWnd, EM_SETSEL, length, length);
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetFocus(m_hWnd);
    return true;
}

void CEditWnd::Commit() {
    if (m_pOwner == nullptr || m_hWnd == nullptr)
        return;
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    if (m_pOwner->GetText() != text.c_str()) {
        m_pOwner->SetText(text.c_str());
        m_pManager->SendNotify(m_pOwner, DUI_MSGTYPE_TEXTCHANGED);
    }
}

void CEditWnd::Finish(bool commit) {
    if (m_bFinishing)
        return;
    m_bFinishing = true;
    if (commit)
        Commit();
    if (m_pOwner && m_pManager->GetFocus() == m_pOwner) {
        CEditUI* owner = m_pOwner;
        m_pOwner = nullptr;  // the focus change below must not come back here
        owner->m_pWindow = nullptr;
        m_pManager->SetFocus(nullptr);
        owner->Invalidate();
    }
    // Destroying inside the focus change confuses the focus chain: close afterwards.
    ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
}

LRESULT CEditWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_KILLFOCUS:
            Finish(true);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_RETURN) {
                // Hand Enter to the page's window with the typed text already stored.
                Commit();
                if (m_pOwner)
                    m_pManager->SendNotify(m_pOwner, DUI_MSGTYPE_RETURN);
                ::SendMessageW(m_pManager->GetPaintWindow(), WM_KEYDOWN, wParam, lParam);
                return 0;
            }
            if (wParam == VK_ESCAPE) {
                Finish(false);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == VK_RETURN || wParam == VK_ESCAPE)
                return 0;  // no beep
            break;
        default:
            if (uMsg == kReflectBase + WM_CTLCOLOREDIT ||
                uMsg == kReflectBase + WM_CTLCOLORSTATIC) {
                if (m_pOwner == nullptr || m_hBrush == nullptr)
                    return 0;
                HDC dc = reinterpret_cast<HDC>(wParam);
                ::SetBkColor(dc, ToColorRef(m_pOwner->GetNativeEditBkColor()));
                DWORD text = m_pOwner->GetTextColor();
                ::SetTextColor(dc, ToColorRef(text ? text : 0xFF000000));
                return reinterpret_cast<LRESULT>(m_hBrush);
            }
            break;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CEditWnd::OnFinalMessage(HWND hWnd) {
    (void)hWnd;
    if (m_pOwner) {
        m_pOwner->m_pWindow = nullptr;
        m_pOwner->Invalidate();
    }
    if (m_hBrush)
        ::DeleteObject(m_hBrush);
    delete this;
}

// ---- the control ----

CEditUI::CEditUI() {
    m_cursor = IDC_IBEAM;
    m_uTextStyle.store(kAlignLeft | kAlignVCenter);
}

CEditUI::~CEditUI() {
    if (m_pWindow) {
        CEditWnd* window = m_pWindow;
        m_pWindow = nullptr;
        window->Detach();
        ::DestroyWindow(window->GetHWND());
    }
}

LPCTSTR CEditUI::GetClass() const {
    return L"EditUI";
}

LPVOID CEditUI::GetInterface(LPCTSTR pstrName) {
    if (pstrName && wcscmp(pstrName, L"Edit") == 0)
        return this;
    return CLabelUI::GetInterface(pstrName);
}

HWND CEditUI::GetNativeWindow() const {
    return m_pWindow ? m_pWindow->GetHWND() : nullptr;
}

void CEditUI::SetReadOnly(bool bReadOnly) {
    m_bReadOnly = bReadOnly;
    if (HWND w = GetNativeWindow())
        ::SendMessageW(w, EM_SETREADONLY, bReadOnly, 0);
    Invalidate();
}

void CEditUI::SetPasswordMode(bool bPasswordMode) {
    m_bPasswordMode = bPasswordMode;
    Invalidate();
}

void CEditUI::SetNormalImage(LPCTSTR pStrImage) {
    SetLocked(&m_sNormalImage, pStrImage);
    Invalidate();
}
void CEditUI::SetHotImage(LPCTSTR pStrImage) {
    SetLocked(&m_sHotImage, pStrImage);
    Invalidate();
}
void CEditUI::SetFocusedImage(LPCTSTR pStrImage) {
    SetLocked(&m_sFocusedImage, pStrImage);
    Invalidate();
}
void CEditUI::SetDisabledImage(LPCTSTR pStrImage) {
    SetLocked(&m_sDisabledImage, pStrImage);
    Invalidate();
}

void CEditUI::EndEdit() {
    if (m_pWindow)
        m_pWindow->Finish(true);
}

void CEditUI::SetEnabled(bool bEnable) {
    CLabelUI::SetEnabled(bEnable);
    if (!bEnable && GetManager() &&
        ::GetWindowThreadProcessId(GetManager()->GetPaintWindow(), nullptr) ==
            ::GetCurrentThreadId()) {
        EndEdit();
    }
}

void CEditUI::SetVisible(bool bVisible) {
    CLabelUI::SetVisible(bVisible);
    if (!bVisible && GetManager() &&
        ::GetWindowThreadProcessId(GetManager()->GetPaintWindow(), nullptr) ==
            ::GetCurrentThreadId()) {
        EndEdit();
    }
}

void CEditUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
        case UIEVENT_SETFOCUS:
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_DBLCLICK:
            m_bFocused = true;
            if (m_pWindow == nullptr && IsEnabled() && GetManager()) {
                auto* window = new CEditWnd;
                m_pWindow = window;
                if (!window->Init(this)) {
                    m_pWindow = nullptr;
                    delete window;
                }
            }
            Invalidate();
            return;
        case UIEVENT_KILLFOCUS:
            m_bFocused = false;
            EndEdit();
            Invalidate();
            return;
        case UIEVENT_MOUSEENTER:
            m_bHot = true;
            Invalidate();
            return;
        case UIEVENT_MOUSELEAVE:
            m_bHot = false;
            Invalidate();
            return;
        default:
            CLabelUI::DoEvent(event);
    }
}

void CEditUI::SetAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    bool b;
    int n;
    uint32_t color;
    if (name == L"readonly") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetReadOnly(b);
    } else if (name == L"password") {
        if (!ParseBoolAttr(pstrValue, &b))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetPasswordMode(b);
    } else if (name == L"maxchar") {
        if (!ParseIntAttr(pstrValue, &n) || n < 0)
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetMaxChar(static_cast<UINT>(n));
    } else if (name == L"nativebkcolor") {
        if (!ParseColorAttr(pstrValue, &color))
            return ReportBadAttribute(GetClass(), pstrName, pstrValue);
        SetNativeEditBkColor(color);
    } else if (name == L"normalimage") {
        SetNormalImage(pstrValue);
    } else if (name == L"hotimage") {
        SetHotImage(pstrValue);
    } else if (name == L"focusedimage") {
        SetFocusedImage(pstrValue);
    } else if (name == L"disabledimage") {
        SetDisabledImage(pstrValue);
    } else {
        CLabelUI::SetAttribute(pstrName, pstrValue);
    }
}

std::wstring CEditUI::DisplayText() const {
    std::wstring text = CLabelUI::DisplayText();
    if (m_bPasswordMode)
        text.assign(text.size(), L'*');
    return text;
}

std::wstring CEditUI::StatusImage() const {
    UiPropertyLock lock;
    std::wstring image;
    if (!IsEnabled())
        image = m_sDisabledImage;
    else if (m_bFocused)
        image = m_sFocusedImage;
    else if (m_bHot)
        image = m_sHotImage;
    return image.empty() ? m_sNormalImage : image;
}

void CEditUI::PaintStatusImage(PaintContext& ctx) {
    std::wstring image = StatusImage();
    if (!image.empty())
        DrawImage(ctx, image);
}

void CEditUI::AppendPaintedImages(std::vector<std::wstring>* attributes) const {
    CLabelUI::AppendPaintedImages(attributes);
    std::wstring image = StatusImage();
    if (!image.empty())
        attributes->push_back(std::move(image));
}

void CEditUI::PaintText(PaintContext& ctx) {
    if (m_pWindow != nullptr)
        return;  // the native box shows the text while editing
    CLabelUI::PaintText(ctx);
}

}  // namespace DuiLib
