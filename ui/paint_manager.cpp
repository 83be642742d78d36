#include "ui/paint_manager.h"

#include <algorithm>
#include <cwchar>
#include <mutex>

#include <objidl.h>
using std::max;
using std::min;
#include <gdiplus.h>

#include <commctrl.h>

#include "ui/attribute_values.h"
#include "ui/skin_source.h"

namespace DuiLib {

using namespace Gdiplus::DllExports;

namespace {

HINSTANCE g_instance = nullptr;
std::atomic<UINT_PTR> g_nextTimerId{0x4B00};

// Managers alive in the process, for TranslateMessage.
std::mutex& RegistryLock() {
    static std::mutex lock;
    return lock;
}
std::vector<CPaintManagerUI*>& Registry() {
    static std::vector<CPaintManagerUI*> managers;
    return managers;
}

class CriticalSectionGuard {
  public:
    explicit CriticalSectionGuard(CRITICAL_SECTION* cs) : cs_(cs) { ::EnterCriticalSection(cs_); }
    ~CriticalSectionGuard() { ::LeaveCriticalSection(cs_); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

  private:
    CRITICAL_SECTION* cs_;
};

bool OnWindowThread(HWND hWnd) {
    return hWnd != nullptr && ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId();
}

constexpr UINT kReflectBase = WM_USER + 0x1C00;  // reflected control messages

}  // namespace

CPaintManagerUI::CPaintManagerUI() : m_images(std::make_unique<ImageCache>()) {
    ::InitializeCriticalSection(&m_nameLock);
    ::InitializeCriticalSection(&m_statsLock);
    m_defaultFont.name = L"微软雅黑";
    m_defaultFont.size = 12;
    render::StartGdiplus();
}

CPaintManagerUI::~CPaintManagerUI() {
    {
        std::lock_guard<std::mutex> guard(RegistryLock());
        auto& r = Registry();
        r.erase(std::remove(r.begin(), r.end(), this), r.end());
    }
    m_notifiers.clear();
    m_filters.clear();
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    for (auto& timer : m_timers) {
        if (::IsWindow(m_hWndPaint))
            ::KillTimer(m_hWndPaint, timer.first);
    }
    m_timers.clear();
    ReleaseFonts();
    ::DeleteCriticalSection(&m_statsLock);
    ::DeleteCriticalSection(&m_nameLock);
}

void CPaintManagerUI::Init(HWND hWnd) {
    m_hWndPaint = hWnd;
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto& r = Registry();
    if (std::find(r.begin(), r.end(), this) == r.end()) {
        r.push_back(this);
    }
}

// ---- process-wide skin source ----

HINSTANCE CPaintManagerUI::GetInstance() {
    return g_instance ? g_instance : ::GetModuleHandleW(nullptr);
}

void CPaintManagerUI::SetInstance(HINSTANCE hInst) {
    g_instance = hInst;
}

CDuiString CPaintManagerUI::GetInstancePath() {
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(GetInstance(), path, MAX_PATH);
    std::wstring p = path;
    size_t slash = p.find_last_of(L"\\/");
    return CDuiString(slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1));
}

CDuiString CPaintManagerUI::GetResourcePath() {
    return CDuiString(skin::Folder());
}

void CPaintManagerUI::SetResourcePath(LPCTSTR pStrPath) {
    skin::SetFolder(pStrPath ? pStrPath : L"");
}

void CPaintManagerUI::SetResourceZip(LPCTSTR pstrZip, bool bCachedResourceZip) {
    (void)bCachedResourceZip;
    skin::SetZip(pstrZip ? pstrZip : L"");
}

CDuiString CPaintManagerUI::GetResourceZip() {
    return CDuiString(skin::ZipName());
}

void CPaintManagerUI::MessageLoop() {
    MSG msg = {};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const LPMSG pMsg) {
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST) {
        return false;
    }
    std::vector<CPaintManagerUI*> targets;
    {
        std::lock_guard<std::mutex> guard(RegistryLock());
        for (CPaintManagerUI* pm : Registry()) {
            HWND w = pm->m_hWndPaint;
            if (w == nullptr || pm->m_filters.empty())
                continue;
            if (w == pMsg->hwnd || ::IsChild(w, pMsg->hwnd) ||
                ::GetWindow(pMsg->hwnd, GW_OWNER) == w) {
                targets.push_back(pm);
            }
        }
    }
    for (CPaintManagerUI* pm : targets) {
        std::vector<IMessageFilterUI*> filters = pm->m_filters;
        for (IMessageFilterUI* filter : filters) {
            bool handled = false;
            filter->MessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, handled);
            if (handled)
                return true;
        }
    }
    return false;
}

// ---- window attributes ----

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInitWindowSize = SIZE{cx, cy};
    if (m_hWndPaint && cx > 0 && cy > 0) {
        // The frame may just have been removed from the style: let it be recomputed.
        ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy,
                       SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void CPaintManagerUI::SetLayered(bool bLayered) {
    m_bLayered = bLayered;
    m_bRegionLayered = bLayered && !render::SystemBlendsLayeredWindows();
    m_bRegionDirty = m_bRegionLayered;
    if (m_hWndPaint) {
        bool layeredStyle = bLayered && !m_bRegionLayered;
        LONG_PTR ex = ::GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
        LONG_PTR want =
            layeredStyle ? (ex | WS_EX_LAYERED) : (ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        if (!bLayered)
            ::SetWindowRgn(m_hWndPaint, nullptr, TRUE);
        if (want != ex)
            ::SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, want);
        Invalidate();
    }
}

void CPaintManagerUI::SetWindowAttribute(LPCTSTR pstrName, LPCTSTR pstrValue) {
    std::wstring name = pstrName ? pstrName : L"";
    SIZE sz;
    RECT rc;
    bool b;
    if (name == L"size") {
        if (!ParseSizeAttr(pstrValue, &sz))
            return ReportBadAttribute(L"Window", pstrName, pstrValue);
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
        if (!ParseSizeAttr(pstrValue, &sz))
            return ReportBadAttribute(L"Window", pstrName, pstrValue);
        SetRoundCorner(sz.cx, sz.cy);
    } else if (name == L"mininfo") {
        if (!ParseSizeAttr(pstrValue, &sz))
            return ReportBadAttribute(L"Window", pstrName, pstrValue);
        SetMinInfo(sz.cx, sz.cy);
    } else if (name == L"maxinfo") {
        if (!ParseSizeAttr(pstrValue, &sz))
            return ReportBadAttribute(L"Window", pstrName, pstrValue);
        SetMaxInfo(sz.cx, sz.cy);
    }
}

// ---- fonts ----

int CPaintManagerUI::AddFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                             bool bItalic) {
    FontInfo font;
    font.name = pStrFontName ? pStrFontName : L"";
    font.size = nSize > 0 ? nSize : 12;
    font.bold = bBold;
    font.underline = bUnderline;
    font.italic = bItalic;
    m_fonts.push_back(std::move(font));
    return static_cast<int>(m_fonts.size()) - 1;
}

void CPaintManagerUI::SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                                     bool bItalic) {
    if (m_defaultFont.hFont)
        ::DeleteObject(m_defaultFont.hFont);
    if (m_defaultFont.gpFont)
        GdipDeleteFont(static_cast<Gdiplus::GpFont*>(m_defaultFont.gpFont));
    m_defaultFont = FontInfo{};
    m_defaultFont.name = pStrFontName ? pStrFontName : L"";
    m_defaultFont.size = nSize > 0 ? nSize : 12;
    m_defaultFont.bold = bBold;
    m_defaultFont.underline = bUnderline;
    m_defaultFont.italic = bItalic;
    Invalidate();
}

void CPaintManagerUI::EnsureFont(FontInfo& font) {
    if (font.hFont && font.gpFont) {
        return;
    }
    LOGFONTW lf = {};
    lf.lfHeight = -font.size;
    lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.italic;
    lf.lfUnderline = font.underline;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    wcsncpy(lf.lfFaceName, font.name.c_str(), LF_FACESIZE - 1);
    if (!font.hFont) {
        font.hFont = ::CreateFontIndirectW(&lf);
    }
    if (!font.gpFont) {
        HDC dc = ::GetDC(nullptr);
        Gdiplus::GpFont* gp = nullptr;
        if (GdipCreateFontFromLogfontW(dc, &lf, &gp) != Gdiplus::Ok) {
            // An unknown face: fall back to the stock sans-serif family.
            gp = nullptr;
            Gdiplus::GpFontFamily* family = nullptr;
            if (GdipGetGenericFontFamilySansSerif(&family) == Gdiplus::Ok) {
                INT style = (font.bold ? Gdiplus::FontStyleBold : 0) |
                            (font.italic ? Gdiplus::FontStyleItalic : 0) |
                            (font.underline ? Gdiplus::FontStyleUnderline : 0);
                GdipCreateFont(family, static_cast<Gdiplus::REAL>(font.size), style,
                               Gdiplus::UnitPixel, &gp);
                GdipDeleteFontFamily(family);
            }
        }
        ::ReleaseDC(nullptr, dc);
        font.gpFont = gp;
    }
}

HFONT CPaintManagerUI::GetFont(int index) {
    FontInfo& font = (index >= 0 && index < GetFontCount()) ? m_fonts[static_cast<size_t>(index)]
                                                            : m_defaultFont;
    EnsureFont(font);
    return font.hFont;
}

void* CPaintManagerUI::GetGdiplusFont(int index) {
    FontInfo& font = (index >= 0 && index < GetFontCount()) ? m_fonts[static_cast<size_t>(index)]
                                                            : m_defaultFont;
    EnsureFont(font);
    return font.gpFont;
}

void CPaintManagerUI::ReleaseFonts() {
    auto release = [](FontInfo& font) {
        if (font.hFont)
            ::DeleteObject(font.hFont);
        if (font.gpFont)
            GdipDeleteFont(static_cast<Gdiplus::GpFont*>(font.gpFont));
        font.hFont = nullptr;
        font.gpFont = nullptr;
    };
    for (FontInfo& font : m_fonts)
        release(font);
    release(m_defaultFont);
}

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR pStrControlName,
                                              LPCTSTR pStrControlAttrList) {
    if (pStrControlName == nullptr)
        return;
    m_defaultAttributes[pStrControlName] = pStrControlAttrList ? pStrControlAttrList : L"";
}

CDuiString CPaintManagerUI::GetDefaultAttributeList(LPCTSTR pStrControlName) const {
    if (pStrControlName == nullptr)
        return CDuiString();
    auto it = m_defaultAttributes.find(pStrControlName);
    return it == m_defaultAttributes.end() ? CDuiString() : CDuiString(it->second);
}

const ImageData* CPaintManagerUI::GetImage(LPCTSTR bitmap) {
    if (bitmap == nullptr || *bitmap == 0)
        return nullptr;
    const ImageData* image = m_images->Get(bitmap);
    return image->ok ? image : nullptr;
}

// ---- control tree ----

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    if (pControl == nullptr) {
        return false;
    }
    if (m_pRoot != pControl) {
        // The manager owns its tree; a new page replaces the old one.
        m_pEventHover = m_pEventClick = m_pFocus = nullptr;
        CControlUI* old = m_pRoot;
        m_pRoot = nullptr;
        delete old;
    }
    m_pRoot = pControl;
    pControl->SetManager(this, nullptr, true);
    NameTableChanged();
    NeedUpdate();
    m_bRegionDirty = m_bRegionLayered;
    // Positions are known from now on, also to code that asks before the first paint.
    if (OnWindowThread(m_hWndPaint))
        EnsureLayout();
    Invalidate();
    return true;
}

void CPaintManagerUI::NameTableChanged() {
    CriticalSectionGuard guard(&m_nameLock);
    m_bNamesDirty = true;
}

void CPaintManagerUI::RebuildNameTable() {
    m_names.clear();
    if (m_pRoot == nullptr)
        return;
    // Depth-first, parents before children: a later control of the same name wins.
    std::vector<CControlUI*> stack{m_pRoot};
    while (!stack.empty()) {
        CControlUI* c = stack.back();
        stack.pop_back();
        CDuiString name = c->GetName();
        if (!name.IsEmpty())
            m_names[name.Str()] = c;
        for (int i = c->GetCount() - 1; i >= 0; --i) {
            if (CControlUI* child = c->GetItemAt(i))
                stack.push_back(child);
        }
    }
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) {
    if (pstrName == nullptr || *pstrName == 0)
        return nullptr;
    CriticalSectionGuard guard(&m_nameLock);
    if (m_bNamesDirty) {
        RebuildNameTable();
        m_bNamesDirty = false;
    }
    auto it = m_names.find(pstrName);
    return it == m_names.end() ? nullptr : it->second;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) {
    if (m_pRoot == nullptr)
        return nullptr;
    if (OnWindowThread(m_hWndPaint))
        EnsureLayout();
    return m_pRoot->FindControlAt(pt, false);
}

CControlUI* CPaintManagerUI::FindInputControl(POINT pt) {
    if (m_pRoot == nullptr)
        return nullptr;
    if (OnWindowThread(m_hWndPaint))
        EnsureLayout();
    return m_pRoot->FindControlAt(pt, true);
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (m_pEventHover == pControl)
        m_pEventHover = nullptr;
    if (m_pEventClick == pControl)
        m_pEventClick = nullptr;
    if (m_pFocus == pControl)
        m_pFocus = nullptr;
    KillTimer(pControl);
    NameTableChanged();
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) {
    if (pNotifier == nullptr ||
        std::find(m_notifiers.begin(), m_notifiers.end(), pNotifier) != m_notifiers.end()) {
        return false;
    }
    m_notifiers.push_back(pNotifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) {
    auto it = std::find(m_notifiers.begin(), m_notifiers.end(), pNotifier);
    if (it == m_notifiers.end())
        return false;
    m_notifiers.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, LPCTSTR pstrMessage, WPARAM wParam,
                                 LPARAM lParam) {
    TNotifyUI msg;
    msg.pSender = pControl;
    msg.sType = pstrMessage;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg);
}

void CPaintManagerUI::SendNotify(TNotifyUI& Msg) {
    Msg.dwTimestamp = ::GetTickCount();
    ::GetCursorPos(&Msg.ptMouse);
    if (m_hWndPaint)
        ::ScreenToClient(m_hWndPaint, &Msg.ptMouse);
    // A receiver may add or remove receivers (or run a modal loop): walk a copy.
    std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* n : notifiers) {
        n->Notify(Msg);
    }
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) {
    if (pFilter == nullptr ||
        std::find(m_filters.begin(), m_filters.end(), pFilter) != m_filters.end()) {
        return false;
    }
    m_filters.push_back(pFilter);
    return true;
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) {
    auto it = std::find(m_filters.begin(), m_filters.end(), pFilter);
    if (it == m_filters.end())
        return false;
    m_filters.erase(it);
    return true;
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl == m_pFocus)
        return;
    CControlUI* old = m_pFocus;
    m_pFocus = pControl;
    if (old) {
        SendEvent(old, UIEVENT_KILLFOCUS, POINT{0, 0});
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (pControl && m_pFocus == pControl) {
        SendEvent(pControl, UIEVENT_SETFOCUS, POINT{0, 0});
        SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
    }
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
    if (m_hWndPaint == nullptr || pControl == nullptr)
        return false;
    UINT_PTR winId = 0;
    for (auto& t : m_timers) {
        if (t.second.control == pControl && t.second.localId == nTimerID)
            winId = t.first;
    }
    if (winId == 0)
        winId = g_nextTimerId.fetch_add(1);
    if (::SetTimer(m_hWndPaint, winId, uElapse, nullptr) == 0)
        return false;
    m_timers[winId] = TimerInfo{pControl, nTimerID};
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->second.control == pControl && it->second.localId == nTimerID) {
            if (m_hWndPaint)
                ::KillTimer(m_hWndPaint, it->first);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->second.control == pControl) {
            if (m_hWndPaint)
                ::KillTimer(m_hWndPaint, it->first);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

// ---- painting ----

void CPaintManagerUI::Invalidate() {
    if (m_hWndPaint)
        ::InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

void CPaintManagerUI::Invalidate(const RECT& rcItem) {
    if (m_hWndPaint)
        ::InvalidateRect(m_hWndPaint, &rcItem, FALSE);
}

void CPaintManagerUI::EnsureLayout() {
    if (m_pRoot == nullptr || m_hWndPaint == nullptr)
        return;
    RECT rc = {};
    ::GetClientRect(m_hWndPaint, &rc);
    bool sizeChanged = !::EqualRect(&rc, &m_rcLayout);
    if (m_bUpdateNeeded.exchange(false) || sizeChanged) {
        m_rcLayout = rc;
        m_pRoot->SetPos(rc);
    }
}

void CPaintManagerUI::RenderArea(const RECT& rcPaint) {
    RECT bounds = {0, 0, m_canvas.Width(), m_canvas.Height()};
    RECT rc;
    if (!render::Intersect(&rc, rcPaint, bounds))
        return;
    LARGE_INTEGER t0, t1, freq;
    ::QueryPerformanceCounter(&t0);
    ::GdiFlush();
    uint32_t* bits = m_canvas.Bits();
    for (int y = rc.top; y < rc.bottom; ++y) {
        uint32_t* row = bits + static_cast<size_t>(y) * m_canvas.Width();
        std::fill(row + rc.left, row + rc.right, 0u);
    }
    PaintContext ctx;
    ctx.canvas = &m_canvas;
    ctx.images = m_images.get();
    render::SetClip(ctx, rc);
    if (m_pRoot && m_pRoot->IsVisible()) {
        m_pRoot->DoPaint(ctx);
    }
    ::GdiFlush();
    ::QueryPerformanceCounter(&t1);
    ::QueryPerformanceFrequency(&freq);
    CriticalSectionGuard guard(&m_statsLock);
    m_stats.paints++;
    m_stats.pixelsPainted +=
        static_cast<uint64_t>(rc.right - rc.left) * static_cast<uint64_t>(rc.bottom - rc.top);
    m_stats.lastPaint = rc;
    m_stats.lastPaintMs = 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) /
                          static_cast<double>(freq.QuadPart);
}

namespace {

// UpdateLayeredWindowIndirect (Vista and later) can take just the changed part; XP only
// has UpdateLayeredWindow, which always sends the whole picture.
struct LayeredUpdateInfo {
    DWORD cbSize;
    HDC hdcDst;
    const POINT* pptDst;
    const SIZE* psize;
    HDC hdcSrc;
    const POINT* pptSrc;
    COLORREF crKey;
    const BLENDFUNCTION* pblend;
    DWORD dwFlags;
    const RECT* prcDirty;
};
using UpdateLayeredWindowIndirectFn = BOOL(WINAPI*)(HWND, const LayeredUpdateInfo*);

UpdateLayeredWindowIndirectFn LayeredIndirect() {
    static UpdateLayeredWindowIndirectFn fn =
        reinterpret_cast<UpdateLayeredWindowIndirectFn>(reinterpret_cast<void*>(
            ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "UpdateLayeredWindowIndirect")));
    return fn;
}

}  // namespace

void CPaintManagerUI::PresentLayered(const RECT* dirty) {
    RECT rcWnd = {};
    ::GetWindowRect(m_hWndPaint, &rcWnd);
    POINT ptDst = {rcWnd.left, rcWnd.top};
    POINT ptSrc = {0, 0};
    SIZE size = {m_canvas.Width(), m_canvas.Height()};
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    bool sizeKnown = rcWnd.right - rcWnd.left == size.cx && rcWnd.bottom - rcWnd.top == size.cy;
    if (UpdateLayeredWindowIndirectFn indirect = LayeredIndirect();
        indirect && dirty && sizeKnown) {
        LayeredUpdateInfo info = {sizeof(info), nullptr, nullptr, nullptr,   m_canvas.DC(),
                                  &ptSrc,       0,       &bf,     ULW_ALPHA, dirty};
        if (indirect(m_hWndPaint, &info))
            return;
    }
    HDC screen = ::GetDC(nullptr);
    ::UpdateLayeredWindow(m_hWndPaint, screen, &ptDst, &size, m_canvas.DC(), &ptSrc, 0, &bf,
                          ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
}

void CPaintManagerUI::UpdateRegionFromAlpha() {
    m_bRegionDirty = false;
    int width = m_canvas.Width(), height = m_canvas.Height();
    const uint32_t* bits = m_canvas.Bits();
    // One rectangle per run of drawn pixels in each row.
    std::vector<RECT> runs;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = bits + static_cast<size_t>(y) * width;
        int x = 0;
        while (x < width) {
            while (x < width && (row[x] >> 24) == 0)
                ++x;
            int start = x;
            while (x < width && (row[x] >> 24) != 0)
                ++x;
            if (x > start)
                runs.push_back(RECT{start, y, x, y + 1});
        }
    }
    std::vector<uint8_t> buffer(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(runs.size());
    data->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    data->rdh.rcBound = RECT{0, 0, width, height};
    if (!runs.empty())
        memcpy(data->Buffer, runs.data(), runs.size() * sizeof(RECT));
    HRGN rgn = ::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
    // The window owns the region from here on.
    if (rgn && !::SetWindowRgn(m_hWndPaint, rgn, FALSE))
        ::DeleteObject(rgn);
}

void CPaintManagerUI::Paint() {
    // A window drawn with UpdateLayeredWindow has no visible region of its own, so
    // BeginPaint reports an empty area there: take the update area first.
    RECT rcUpdate = {};
    bool hasUpdate = ::GetUpdateRect(m_hWndPaint, &rcUpdate, FALSE) != FALSE;
    PAINTSTRUCT ps = {};
    HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
    if (m_bLayered && !m_bRegionLayered)
        ps.rcPaint = hasUpdate ? rcUpdate : RECT{0, 0, 0, 0};
    RECT rcClient = {};
    ::GetClientRect(m_hWndPaint, &rcClient);
    if (m_pRoot == nullptr || rcClient.right <= 0 || rcClient.bottom <= 0) {
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }
    EnsureLayout();
    RECT rcPaint = ps.rcPaint;
    if (m_canvas.Width() != rcClient.right || m_canvas.Height() != rcClient.bottom) {
        if (!m_canvas.Resize(rcClient.right, rcClient.bottom)) {
            ::EndPaint(m_hWndPaint, &ps);
            return;
        }
        rcPaint = rcClient;  // a new buffer holds nothing yet
        m_bRegionDirty = m_bRegionLayered;
    }
    RenderArea(rcPaint);
    if (m_bLayered && !m_bRegionLayered) {
        ::EndPaint(m_hWndPaint, &ps);
        PresentLayered(&rcPaint);
        return;
    }
    if (m_bRegionLayered && m_bRegionDirty) {
        UpdateRegionFromAlpha();
    }
    ::BitBlt(hdc, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left,
             rcPaint.bottom - rcPaint.top, m_canvas.DC(), rcPaint.left, rcPaint.top, SRCCOPY);
    ::EndPaint(m_hWndPaint, &ps);
}

PaintStats CPaintManagerUI::GetPaintStats() const {
    CriticalSectionGuard guard(&m_statsLock);
    return m_stats;
}

void CPaintManagerUI::ResetPaintStats() {
    CriticalSectionGuard guard(&m_statsLock);
    m_stats = PaintStats{};
}

// ---- input ----

void CPaintManagerUI::UpdateToolTip(CControlUI* hover) {
    std::wstring text = hover ? hover->GetToolTip().Str() : std::wstring();
    if (text.empty() && m_hwndTooltip == nullptr)
        return;
    TOOLINFOW ti = {};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every comctl32 since XP
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = m_hWndPaint;
    ti.uId = 1;
    if (m_hwndTooltip == nullptr) {
        static std::once_flag once;
        std::call_once(once, [] {
            INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
            ::InitCommonControlsEx(&icc);
        });
        m_hwndTooltip = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                          WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                                          nullptr, GetInstance(), nullptr);
        if (m_hwndTooltip == nullptr)
            return;
        m_sTooltipText.clear();
        ti.lpszText = m_sTooltipText.data();
        ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    m_sTooltipText = text;
    ti.lpszText = m_sTooltipText.data();
    ti.rect = hover ? hover->GetPos() : RECT{0, 0, 0, 0};
    ::SendMessageW(m_hwndTooltip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageW(m_hwndTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    ::SendMessageW(m_hwndTooltip, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

void CPaintManagerUI::SendEvent(CControlUI* pControl, int type, POINT pt, WPARAM wParam,
                                LPARAM lParam) {
    TEventUI event;
    event.Type = type;
    event.pSender = pControl;
    event.dwTimestamp = ::GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    pControl->Event(event);
}

bool CPaintManagerUI::HandleMouse(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (uMsg) {
        case WM_MOUSEMOVE: {
            if (!m_bMouseTracking) {
                TRACKMOUSEEVENT tme = {sizeof(tme), TME_LEAVE, m_hWndPaint, 0};
                m_bMouseTracking = ::TrackMouseEvent(&tme) != FALSE;
            }
            CControlUI* hover = FindInputControl(pt);
            if (hover != m_pEventHover)
                UpdateToolTip(hover);
            if (m_hwndTooltip) {
                MSG relay = {m_hWndPaint, uMsg, wParam, lParam, 0, {pt.x, pt.y}};
                ::SendMessageW(m_hwndTooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
            }
            if (hover != m_pEventHover) {
                CControlUI* old = m_pEventHover;
                m_pEventHover = hover;
                if (old)
                    SendEvent(old, UIEVENT_MOUSELEAVE, pt);
                if (hover)
                    SendEvent(hover, UIEVENT_MOUSEENTER, pt);
            }
            if (m_pEventClick) {
                SendEvent(m_pEventClick, UIEVENT_MOUSEMOVE, pt, wParam);
            } else if (hover) {
                SendEvent(hover, UIEVENT_MOUSEMOVE, pt, wParam);
            }
            return false;
        }
        case WM_MOUSELEAVE: {
            m_bMouseTracking = false;
            if (m_pEventHover) {
                CControlUI* old = m_pEventHover;
                m_pEventHover = nullptr;
                SendEvent(old, UIEVENT_MOUSELEAVE, pt);
            }
            return false;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            CControlUI* control = FindInputControl(pt);
            if (control == nullptr) {
                SetFocus(nullptr);
                return false;
            }
            m_pEventClick = control;
            ::SetCapture(m_hWndPaint);
            SetFocus(control);
            if (m_pEventClick == control) {
                SendEvent(control, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK,
                          pt, wParam);
            }
            return true;
        }
        case WM_LBUTTONUP: {
            CControlUI* control = m_pEventClick;
            m_pEventClick = nullptr;
            if (::GetCapture() == m_hWndPaint)
                ::ReleaseCapture();
            if (control == nullptr)
                return false;
            // The click may run a modal loop or close the window: nothing of this
            // manager is used after the event.
            SendEvent(control, UIEVENT_BUTTONUP, pt, wParam);
            return true;
        }
        case WM_RBUTTONDOWN: {
            CControlUI* control = FindInputControl(pt);
            if (control)
                SendEvent(control, UIEVENT_RBUTTONDOWN, pt, wParam);
            return false;
        }
        default:
            return false;
    }
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_hWndPaint == nullptr)
        return false;
    if (!m_filters.empty()) {
        std::vector<IMessageFilterUI*> filters = m_filters;
        for (IMessageFilterUI* filter : filters) {
            bool handled = false;
            LRESULT r = filter->MessageHandler(uMsg, wParam, lParam, handled);
            if (handled) {
                lRes = r;
                return true;
            }
        }
    }
    switch (uMsg) {
        case WM_PAINT:
            Paint();
            lRes = 0;
            return true;
        case WM_ERASEBKGND:
            lRes = 1;
            return true;
        case WM_PRINTCLIENT: {
            RECT rc = {};
            ::GetClientRect(m_hWndPaint, &rc);
            EnsureLayout();
            if (m_canvas.Resize(rc.right, rc.bottom)) {
                RenderArea(rc);
                ::BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, rc.right, rc.bottom, m_canvas.DC(), 0,
                         0, SRCCOPY);
            }
            lRes = 0;
            return true;
        }
        case WM_SIZE:
            NeedUpdate();
            m_bRegionDirty = m_bRegionLayered;
            Invalidate();
            return false;
        case WM_SHOWWINDOW:
            if (wParam && m_bLayered && !m_bRegionLayered) {
                // A layered window has no visible area (and gets no paint message) until
                // its first picture is given: draw it now.
                RECT rc = {};
                ::GetClientRect(m_hWndPaint, &rc);
                EnsureLayout();
                if (m_pRoot && m_canvas.Resize(rc.right, rc.bottom)) {
                    RenderArea(rc);
                    PresentLayered(nullptr);
                }
            } else if (wParam) {
                Invalidate();
            }
            return false;
        case WM_TIMER: {
            auto it = m_timers.find(wParam);
            if (it == m_timers.end())
                return false;
            SendEvent(it->second.control, UIEVENT_TIMER, POINT{0, 0}, it->second.localId, lParam);
            lRes = 0;
            return true;
        }
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
            if (HandleMouse(uMsg, wParam, lParam)) {
                lRes = 0;
                return true;
            }
            return false;
        case WM_CAPTURECHANGED:
            if (m_pEventClick && reinterpret_cast<HWND>(lParam) != m_hWndPaint) {
                // Capture taken away mid-press: release without a click.
                CControlUI* control = m_pEventClick;
                m_pEventClick = nullptr;
                SendEvent(control, UIEVENT_BUTTONUP, POINT{-30000, -30000});
            }
            return false;
        case WM_SETCURSOR: {
            if (LOWORD(lParam) != HTCLIENT)
                return false;
            POINT pt = {};
            ::GetCursorPos(&pt);
            ::ScreenToClient(m_hWndPaint, &pt);
            CControlUI* control = FindInputControl(pt);
            if (control == nullptr)
                control = FindControl(pt);
            if (control && control->GetCursor()) {
                ::SetCursor(::LoadCursorW(nullptr, control->GetCursor()));
                lRes = TRUE;
                return true;
            }
            return false;
        }
        case WM_KEYDOWN:
            if (m_pFocus)
                SendEvent(m_pFocus, UIEVENT_KEYDOWN, POINT{0, 0}, wParam, lParam);
            return false;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            // Native edit boxes pick their colours themselves.
            HWND child = reinterpret_cast<HWND>(lParam);
            if (child == nullptr)
                return false;
            LRESULT r = ::SendMessageW(child, kReflectBase + uMsg, wParam, lParam);
            if (r == 0)
                return false;
            lRes = r;
            return true;
        }
        case WM_DESTROY:
            if (m_hwndTooltip) {
                ::DestroyWindow(m_hwndTooltip);
                m_hwndTooltip = nullptr;
            }
            for (auto& timer : m_timers)
                ::KillTimer(m_hWndPaint, timer.first);
            m_timers.clear();
            if (m_pFocus)
                SetFocus(nullptr);
            return false;
        default:
            return false;
    }
}

}  // namespace DuiLib
