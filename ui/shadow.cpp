#include "ui/shadow.h"

#include <cmath>
#include <cstdint>

#include "ui/paint_manager.h"
#include "ui/render.h"

namespace DuiLib {

namespace {

LRESULT CALLBACK ShadowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_MOUSEACTIVATE)
        return MA_NOACTIVATE;
    if (uMsg == WM_NCHITTEST)
        return HTTRANSPARENT;
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

const wchar_t kShadowClass[] = L"DuiShadowWnd";

}  // namespace

CShadowUI::~CShadowUI() {
    Destroy();
}

bool CShadowUI::IsSupported() {
    return render::SystemBlendsLayeredWindows();
}

bool CShadowUI::Create(HWND hHost) {
    if (!IsSupported())
        return false;
    if (m_hWnd || !::IsWindow(hHost))
        return m_hWnd != nullptr;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ShadowProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kShadowClass;
    if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    m_hHost = hHost;
    DWORD ex = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    if (::GetWindowLongPtrW(hHost, GWL_EXSTYLE) & WS_EX_TOPMOST)
        ex |= WS_EX_TOPMOST;
    // Owned like the host so that it stays with the host's owner, below the host.
    m_hWnd =
        ::CreateWindowExW(ex, kShadowClass, L"", WS_POPUP, 0, 0, 0, 0, ::GetWindow(hHost, GW_OWNER),
                          nullptr, CPaintManagerUI::GetInstance(), nullptr);
    if (m_hWnd)
        Update();
    return m_hWnd != nullptr;
}

void CShadowUI::Destroy() {
    if (m_hWnd) {
        ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    m_rendered = SIZE{};
}

void CShadowUI::Render(int width, int height) {
    uint32_t* px = nullptr;
    HBITMAP bmp = render::CreateTopDownDib(width, height, &px);
    if (bmp == nullptr)
        return;
    // Alpha falls off with the distance from the host's edge (quadratic, soft start).
    int s = m_nSize;
    double inner = static_cast<double>(s);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double dx = x < s ? s - x : (x >= width - s ? x - (width - s - 1) : 0);
            double dy = y < s ? s - y : (y >= height - s ? y - (height - s - 1) : 0);
            double d = std::sqrt(dx * dx + dy * dy);
            double k = d >= inner ? 0.0 : 1.0 - d / inner;
            uint32_t a = static_cast<uint32_t>(m_darkness * k * k + 0.5);
            px[static_cast<size_t>(y) * width + x] = a << 24;  // black, premultiplied
        }
    }
    HDC mem = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    RECT host = {};
    ::GetWindowRect(m_hHost, &host);
    POINT dst = {host.left - s + m_dx, host.top - s + m_dy};
    POINT src = {0, 0};
    SIZE size = {width, height};
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    HDC screen = ::GetDC(nullptr);
    ::UpdateLayeredWindow(m_hWnd, screen, &dst, &size, mem, &src, 0, &bf, ULW_ALPHA);
    ::ReleaseDC(nullptr, screen);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(bmp);
    m_rendered = size;
}

void CShadowUI::Update() {
    if (m_hWnd == nullptr || m_bUpdating)
        return;
    if (!::IsWindow(m_hHost) || !::IsWindowVisible(m_hHost) || ::IsIconic(m_hHost)) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        return;
    }
    RECT host = {};
    ::GetWindowRect(m_hHost, &host);
    int width = host.right - host.left + 2 * m_nSize;
    int height = host.bottom - host.top + 2 * m_nSize;
    if (width != m_rendered.cx || height != m_rendered.cy) {
        Render(width, height);
    }
    bool wasVisible = ::IsWindowVisible(m_hWnd) != FALSE;
    m_bUpdating = true;
    ::SetWindowPos(m_hWnd, m_hHost, host.left - m_nSize + m_dx, host.top - m_nSize + m_dy, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (!wasVisible) {
        // Shown after the host: make sure the host stays on top of its shadow.
        ::SetWindowPos(m_hHost, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    m_bUpdating = false;
}

}  // namespace DuiLib
