// The peer of the app benchmarks: the smallest Win32 program that shows and paints a window
// of the main window's size. With the argument "animate" it also shows a new 300 x 300
// picture every 130 ms as the welcome page's logo does: a worker thread invalidates the
// area, the window thread copies one of thirty prepared pictures there. What any program
// pays for that animation under the same system. With "desktop" it only holds the desktop.
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr int kFrames = 30;
constexpr int kSide = 300;
constexpr RECT kArea = {69, 196, 69 + kSide, 196 + kSide};
HDC g_frames[kFrames];
volatile LONG g_frame = 0;

// Thirty pictures of a dot circling the middle, drawn once.
void PrepareFrames() {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = kSide;
    bmi.bmiHeader.biHeight = -kSide;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    for (int f = 0; f < kFrames; ++f) {
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        auto* px = static_cast<uint32_t*>(bits);
        for (int i = 0; i < kSide * kSide; ++i)
            px[i] = 0xFFEAF2FD;
        int cx = 150 + (f % 2 ? 100 : -100), cy = 150 + ((f / 2) % 2 ? 100 : -100);
        for (int y = cy - 10; y < cy + 10; ++y)
            for (int x = cx - 10; x < cx + 10; ++x)
                px[y * kSide + x] = 0xFF2F80ED;
        g_frames[f] = CreateCompatibleDC(nullptr);
        SelectObject(g_frames[f], bmp);
    }
}

DWORD WINAPI Animate(void* window) {
    for (;;) {
        Sleep(130);
        InterlockedExchange(&g_frame, (g_frame + 1) % kFrames);
        InvalidateRect(static_cast<HWND>(window), &kArea, FALSE);
    }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            TextOutW(dc, 20, 20, L"Baseline", 8);
            if (g_frames[0])
                BitBlt(dc, kArea.left, kArea.top, kSide, kSide, g_frames[g_frame], 0, 0, SRCCOPY);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // "desktop": shows nothing and lives until it is ended. Under Wine the first program
    // that asks for the desktop starts the desktop process; a benchmark runs this first so
    // that the programs it times find a desktop there, as on Windows, and do not each pay
    // for starting one.
    if (commandLine && strstr(commandLine, "desktop") != nullptr) {
        GetDesktopWindow();
        Sleep(INFINITE);
        return 0;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"KorvaneBaseline";
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"Baseline window", WS_POPUP, 100, 100, 818,
                                579, nullptr, nullptr, instance, nullptr);
    bool animate = commandLine && strstr(commandLine, "animate") != nullptr;
    if (animate)
        PrepareFrames();
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    if (animate)
        CloseHandle(CreateThread(nullptr, 0, Animate, hwnd, 0, nullptr));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
