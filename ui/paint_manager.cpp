#include "ui/paint_manager.h"

#include <algorithm>

#include "sysutil/unique_handle.h"
#include "ui/manager_registry.h"

namespace DuiLib {

namespace {

bool OnWindowThread(HWND hWnd) {
    return hWnd != nullptr && ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId();
}

// The image attributes that control and its visible descendants draw now.
void AppendVisibleImages(const CControlUI* control, std::vector<std::wstring>* attributes) {
    if (control == nullptr || !control->IsVisible())
        return;
    control->AppendPaintedImages(attributes);
    for (int i = 0; i < control->GetCount(); ++i)
        AppendVisibleImages(control->GetItemAt(i), attributes);
}

constexpr UINT kReflectBase = WM_USER + 0x1C00;  // reflected control messages

double MillisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, freq;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&freq);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
           static_cast<double>(freq.QuadPart);
}

// A paint DC's region with more rectangles than this is drawn as its bounding box: each
// rectangle is a walk through the control tree.
constexpr size_t kMaxPaintedRects = 24;

// The parts of the window a paint DC asks for, in client coordinates: the rectangles of its
// region (the update region, when only some tiles of a control changed), or the bounding
// box when the region cannot be read or has many rectangles.
std::vector<RECT> PaintedRects(HWND hWnd, HDC paintDC, const RECT& bounds) {
    std::vector<RECT> rects;
    korvane::UniqueRegion region(::CreateRectRgn(0, 0, 0, 0));
    if (region.IsValid() && ::GetRandomRgn(paintDC, region.Get(), SYSRGN) == 1) {
        // The system region is in screen coordinates.
        POINT origin = {0, 0};
        ::ClientToScreen(hWnd, &origin);
        ::OffsetRgn(region.Get(), -origin.x, -origin.y);
        for (const RECT& rc : render::RectsOfRegion(region.Get())) {
            RECT inside;
            if (render::Intersect(&inside, rc, bounds))
                rects.push_back(inside);
        }
    }
    if (rects.empty() || rects.size() > kMaxPaintedRects)
        rects.assign(1, bounds);
    return rects;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() : m_images(std::make_unique<ImageCache>()) {
    render::StartGdiplus();
}

CPaintManagerUI::~CPaintManagerUI() {
    registry::Remove(this);
    m_notifiers.Clear();
    m_filters.Clear();
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
    m_timers.Clear();
}

void CPaintManagerUI::Init(HWND hWnd) {
    m_hWndPaint = hWnd;
    m_presenter.Attach(hWnd);
    m_timers.Attach(hWnd);
    m_mouse.Attach(hWnd);
    registry::Add(this);
}

void CPaintManagerUI::SetLayered(bool bLayered) {
    m_presenter.SetTransparent(bLayered);
    Invalidate();
}

void CPaintManagerUI::SetDefaultFont(LPCTSTR pStrFontName, int nSize, bool bBold, bool bUnderline,
                                     bool bItalic) {
    m_fonts.SetDefault(pStrFontName, nSize, bBold, bUnderline, bItalic);
    m_texts.Clear();  // kept texts may have been drawn with the old font
    Invalidate();
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

std::vector<std::wstring> CPaintManagerUI::PreloadVisibleImages() {
    std::vector<std::wstring> attributes;
    AppendVisibleImages(m_pRoot, &attributes);
    std::vector<std::wstring> files;
    for (const std::wstring& attribute : attributes) {
        const ParsedImage& parsed = render::ParseImageAttribute(attribute);
        if (parsed.ok)
            files.push_back(parsed.file);
    }
    return m_images->Preload(files);
}

// ---- control tree ----

bool CPaintManagerUI::AttachDialog(CControlUI* pControl) {
    if (pControl == nullptr)
        return false;
    if (m_pRoot != pControl) {
        // The manager owns its tree; a new page replaces the old one.
        m_mouse.ForgetAll();
        m_pFocus = nullptr;
        CControlUI* old = m_pRoot;
        m_pRoot = nullptr;
        delete old;
    }
    m_pRoot = pControl;
    pControl->SetManager(this, nullptr, true);
    // The pictures are decoded on a worker meanwhile: layout, showing the window and the
    // system's part of that come before the first paint needs them.
    if (OnWindowThread(m_hWndPaint))
        PreloadVisibleImages();
    NameTableChanged();
    NeedUpdate();
    m_presenter.ShapeChanged();
    // Positions are known from now on, also to code that asks before the first paint.
    if (OnWindowThread(m_hWndPaint))
        EnsureLayout();
    Invalidate();
    return true;
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR pstrName) {
    if (pstrName == nullptr || *pstrName == 0)
        return nullptr;
    return m_names.Find(m_pRoot, pstrName);
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
    m_mouse.Forget(pControl);
    if (m_pFocus == pControl)
        m_pFocus = nullptr;
    KillTimer(pControl);
    NameTableChanged();
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl == m_pFocus)
        return;
    CControlUI* old = m_pFocus;
    m_pFocus = pControl;
    if (old) {
        SendControlEvent(old, UIEVENT_KILLFOCUS, POINT{0, 0});
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (pControl && m_pFocus == pControl) {
        SendControlEvent(pControl, UIEVENT_SETFOCUS, POINT{0, 0});
        SendNotify(pControl, DUI_MSGTYPE_SETFOCUS);
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

void CPaintManagerUI::Invalidate(const std::vector<RECT>& rects) {
    if (m_hWndPaint == nullptr || rects.empty())
        return;
    RECT bounds = {};
    for (const RECT& rc : rects)
        ::UnionRect(&bounds, &bounds, &rc);
    // One region, one request: a call per rectangle would each be a trip to the window
    // system's server under Wine.
    korvane::UniqueRegion region(render::RegionFromRects(rects, bounds));
    if (!region.IsValid()) {
        ::InvalidateRect(m_hWndPaint, &bounds, FALSE);
        return;
    }
    ::InvalidateRgn(m_hWndPaint, region.Get(), FALSE);
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

void CPaintManagerUI::RenderAreas(const std::vector<RECT>& areas) {
    const RECT canvas = {0, 0, m_canvas.Width(), m_canvas.Height()};
    std::vector<RECT> parts;
    RECT bounds = {};
    uint64_t pixels = 0;
    for (const RECT& area : areas) {
        RECT part;
        if (render::Intersect(&part, area, canvas)) {
            parts.push_back(part);
            ::UnionRect(&bounds, &bounds, &part);
            pixels += static_cast<uint64_t>(part.right - part.left) *
                      static_cast<uint64_t>(part.bottom - part.top);
        }
    }
    if (parts.empty())
        return;
    LARGE_INTEGER start;
    ::QueryPerformanceCounter(&start);
    ::GdiFlush();
    uint32_t* bits = m_canvas.Bits();
    for (const RECT& part : parts) {
        for (int y = part.top; y < part.bottom; ++y) {
            uint32_t* row = bits + static_cast<size_t>(y) * m_canvas.Width();
            std::fill(row + part.left, row + part.right, 0u);
        }
    }
    // One walk through the tree for all the parts: the controls are culled by their bounding
    // box, and what they draw lands inside the parts only.
    PaintContext ctx;
    ctx.canvas = &m_canvas;
    ctx.images = m_images.get();
    ctx.texts = &m_texts;
    ctx.parts = parts.size() > 1 ? &parts : nullptr;
    render::SetClip(ctx, bounds);
    if (m_pRoot && m_pRoot->IsVisible())
        m_pRoot->DoPaint(ctx);
    ::GdiFlush();
    RecordPaint(bounds, pixels, MillisecondsSince(start));
}

void CPaintManagerUI::RecordPaint(const RECT& bounds, uint64_t pixels, double milliseconds) {
    std::lock_guard<std::mutex> guard(m_statsLock);
    m_stats.paints++;
    m_stats.pixelsPainted += pixels;
    m_stats.lastPaint = bounds;
    m_stats.lastPaintMs = milliseconds;
}

void CPaintManagerUI::Paint() {
    // A window drawn with UpdateLayeredWindow has no visible region of its own, so
    // BeginPaint reports an empty area there: take the update area first.
    RECT rcUpdate = {};
    bool layered = m_presenter.UsesLayeredWindow();
    bool hasUpdate = layered && ::GetUpdateRect(m_hWndPaint, &rcUpdate, FALSE) != FALSE;
    PAINTSTRUCT ps = {};
    HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
    if (layered)
        ps.rcPaint = hasUpdate ? rcUpdate : RECT{0, 0, 0, 0};
    RECT rcClient = {};
    ::GetClientRect(m_hWndPaint, &rcClient);
    if (m_pRoot == nullptr || rcClient.right <= 0 || rcClient.bottom <= 0) {
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }
    EnsureLayout();
    RECT rcPaint = ps.rcPaint;
    bool resized = false;
    if (m_canvas.Width() != rcClient.right || m_canvas.Height() != rcClient.bottom) {
        if (!m_canvas.Resize(rcClient.right, rcClient.bottom)) {
            ::EndPaint(m_hWndPaint, &ps);
            return;
        }
        rcPaint = rcClient;  // a new buffer holds nothing yet
        resized = true;
        m_presenter.ShapeChanged();
    }
    RenderAreas(resized || layered ? std::vector<RECT>{rcPaint}
                                   : PaintedRects(m_hWndPaint, hdc, rcPaint));
    m_swapDamage.Learn(*m_images);
    if (m_presenter.UsesLayeredWindow()) {
        ::EndPaint(m_hWndPaint, &ps);
        m_presenter.Show(nullptr, m_canvas, rcPaint);
        return;
    }
    m_presenter.Show(hdc, m_canvas, rcPaint);
    ::EndPaint(m_hWndPaint, &ps);
}

PaintStats CPaintManagerUI::GetPaintStats() const {
    std::lock_guard<std::mutex> guard(m_statsLock);
    return m_stats;
}

void CPaintManagerUI::ResetPaintStats() {
    std::lock_guard<std::mutex> guard(m_statsLock);
    m_stats = PaintStats{};
}

// ---- messages ----

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (m_hWndPaint == nullptr)
        return false;
    if (RunMessageFilters(uMsg, wParam, lParam, lRes))
        return true;
    return HandleDrawing(uMsg, wParam, lParam, lRes) || HandleInput(uMsg, wParam, lParam, lRes);
}

bool CPaintManagerUI::HandleDrawing(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    switch (uMsg) {
        case WM_PAINT:
            Paint();
            lRes = 0;
            return true;
        case WM_ERASEBKGND:
            lRes = 1;
            return true;
        case WM_PRINTCLIENT:
            PrintClient(reinterpret_cast<HDC>(wParam));
            lRes = 0;
            return true;
        case WM_SIZE:
            NeedUpdate();
            m_presenter.ShapeChanged();
            Invalidate();
            return false;
        case WM_SHOWWINDOW:
            if (wParam && m_presenter.UsesLayeredWindow())
                ShowFirstLayeredFrame();
            else if (wParam)
                Invalidate();
            return false;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            lRes = ReflectControlColour(uMsg, wParam, lParam);
            return lRes != 0;
        case WM_DESTROY:
            OnDestroy();
            return false;
        default:
            (void)lParam;
            return false;
    }
}

bool CPaintManagerUI::HandleInput(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    switch (uMsg) {
        case WM_TIMER: {
            const TimerTable::Timer* timer = m_timers.Find(wParam);
            if (timer == nullptr)
                return false;
            SendControlEvent(timer->control, UIEVENT_TIMER, POINT{0, 0}, timer->localId, lParam);
            lRes = 0;
            return true;
        }
        case WM_MOUSEMOVE:
        case WM_MOUSELEAVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
            if (!m_mouse.Handle(uMsg, wParam, lParam))
                return false;
            lRes = 0;
            return true;
        case WM_CAPTURECHANGED:
            m_mouse.CaptureChanged(reinterpret_cast<HWND>(lParam));
            return false;
        case WM_SETCURSOR:
            if (!SetCursorOfControl(lParam))
                return false;
            lRes = TRUE;
            return true;
        case WM_KEYDOWN:
            if (m_pFocus)
                SendControlEvent(m_pFocus, UIEVENT_KEYDOWN, POINT{0, 0}, wParam, lParam);
            return false;
        default:
            return false;
    }
}

void CPaintManagerUI::PrintClient(HDC hdc) {
    RECT rc = {};
    ::GetClientRect(m_hWndPaint, &rc);
    EnsureLayout();
    if (m_canvas.Resize(rc.right, rc.bottom)) {
        RenderAreas({rc});
        ::BitBlt(hdc, 0, 0, rc.right, rc.bottom, m_canvas.DC(), 0, 0, SRCCOPY);
    }
}

void CPaintManagerUI::ShowFirstLayeredFrame() {
    // A layered window has no visible area (and gets no paint message) until its first
    // picture is given: draw it now.
    RECT rc = {};
    ::GetClientRect(m_hWndPaint, &rc);
    EnsureLayout();
    if (m_pRoot && m_canvas.Resize(rc.right, rc.bottom)) {
        RenderAreas({rc});
        m_presenter.ShowWhole(m_canvas);
    }
}

bool CPaintManagerUI::SetCursorOfControl(LPARAM lParam) {
    if (LOWORD(lParam) != HTCLIENT)
        return false;
    POINT pt = {};
    ::GetCursorPos(&pt);
    ::ScreenToClient(m_hWndPaint, &pt);
    CControlUI* control = FindInputControl(pt);
    if (control == nullptr)
        control = FindControl(pt);
    if (control == nullptr || control->GetCursor() == nullptr)
        return false;
    ::SetCursor(::LoadCursorW(nullptr, control->GetCursor()));
    return true;
}

LRESULT CPaintManagerUI::ReflectControlColour(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    // Native edit boxes pick their colours themselves.
    HWND child = reinterpret_cast<HWND>(lParam);
    if (child == nullptr)
        return 0;
    return ::SendMessageW(child, kReflectBase + uMsg, wParam, lParam);
}

void CPaintManagerUI::OnDestroy() {
    m_mouse.Tip().Destroy();
    m_timers.Clear();
    if (m_pFocus)
        SetFocus(nullptr);
}

}  // namespace DuiLib
