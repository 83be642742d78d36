#include "tests/integration/ui/ui_test_support.h"

#include <cwchar>

namespace uitest {

std::wstring ProgramFolder() {
    return CPaintManagerUI::GetInstancePath().Str();
}

void UseFixtureSkin() {
    CPaintManagerUI::SetResourcePath(ProgramFolder().c_str());
    CPaintManagerUI::SetResourceZip(L"ui_fixture.zip");
}

FixturePage::FixturePage(const wchar_t* page) {
    CDialogBuilder builder;
    FixtureCallback callback;
    CControlUI* root = builder.Create(page, nullptr, &callback);
    if (root) {
        Add(root);
    } else {
        RemoveAll();
    }
}

CControlUI* FixtureCallback::CreateControl(LPCTSTR pstrClass) {
    if (wcscmp(pstrClass, L"FixturePage0") == 0)
        return new FixturePage(L"Page0.xml");
    if (wcscmp(pstrClass, L"FixturePage1") == 0)
        return new FixturePage(L"Page1.xml");
    return nullptr;
}

HWND FixtureWindow::CreateFixture(HWND owner, DWORD style) {
    return Create(owner, L"KorvaneUiFixture", style, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT);
}

void FixtureWindow::Notify(TNotifyUI& msg) {
    notifications.emplace_back(msg.sType.Str(),
                               msg.pSender ? msg.pSender->GetName().Str() : std::wstring());
}

CControlUI* FixtureWindow::CreateControl(LPCTSTR pstrClass) {
    FixtureCallback callback;
    return callback.CreateControl(pstrClass);
}

void NotifyRecorder::Notify(TNotifyUI& msg) {
    seen.emplace_back(msg.sType.Str(), msg.pSender ? msg.pSender->GetName().Str() : std::wstring());
}

void PumpMessages(DWORD milliseconds) {
    DWORD start = ::GetTickCount();
    // One message at a time, so that a window invalidated without pause (workers
    // changing it) cannot keep us here.
    do {
        MSG msg;
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    } while (::GetTickCount() - start < milliseconds);
}

void Click(HWND hWnd, POINT pt) {
    LPARAM lp = MAKELPARAM(pt.x, pt.y);
    ::SendMessageW(hWnd, WM_MOUSEMOVE, 0, lp);
    ::SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    ::SendMessageW(hWnd, WM_LBUTTONUP, 0, lp);
}

POINT Center(CControlUI* control) {
    RECT rc = control->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

std::vector<uint32_t> Snapshot(HWND hWnd, int* width, int* height) {
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    *width = rc.right;
    *height = rc.bottom;
    BITMAPINFO bmi = render::TopDownBgraHeader(rc.right, rc.bottom);
    void* bits = nullptr;
    HBITMAP bmp = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    ::SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> pixels(p, p + static_cast<size_t>(rc.right) * rc.bottom);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(bmp);
    return pixels;
}

std::vector<uint32_t> ScreenPixels(HWND hWnd) {
    RECT rc = {};
    ::GetClientRect(hWnd, &rc);
    std::vector<uint32_t> pixels(static_cast<size_t>(rc.right) * rc.bottom);
    BITMAPINFO bmi = render::TopDownBgraHeader(rc.right, rc.bottom);
    HDC screen = ::GetDC(hWnd);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, rc.right, rc.bottom, screen, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ::GetDIBits(mem, bmp, 0, rc.bottom, pixels.data(), &bmi, DIB_RGB_COLORS);
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(hWnd, screen);
    return pixels;
}

}  // namespace uitest
