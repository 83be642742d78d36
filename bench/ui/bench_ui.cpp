// UI framework figures: building the nested benchmark pages from the zip, a full repaint
// of an 818 x 579 window, what one 130 ms animation frame repaints, and the idle CPU
// with one animated control.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "ui/duilib.h"

using namespace DuiLib;

namespace {

double NowMs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

// Composite control: builds BenchPage<k>.xml and holds it.
class BenchPage : public CContainerUI {
  public:
    explicit BenchPage(int k);
};

class BenchCallback : public IDialogBuilderCallback {
  public:
    CControlUI* CreateControl(LPCTSTR pstrClass) override {
        int k = 0;
        if (swscanf(pstrClass, L"BenchPage%d", &k) == 1)
            return new BenchPage(k);
        return nullptr;
    }
};

BenchPage::BenchPage(int k) {
    std::wstring page = L"BenchPage" + std::to_wstring(k) + L".xml";
    CDialogBuilder builder;
    BenchCallback callback;
    if (CControlUI* root = builder.Create(page.c_str(), nullptr, &callback))
        Add(root);
}

class BenchWindow : public CWindowWnd {
  public:
    CPaintManagerUI pm;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"KorvaneUiBench"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (uMsg == WM_CREATE) {
            pm.Init(m_hWnd);
            return 0;
        }
        LRESULT lRes = 0;
        if (pm.MessageHandler(uMsg, wParam, lParam, lRes))
            return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
};

int CountControls(CControlUI* c) {
    int n = 1;
    for (int i = 0; i < c->GetCount(); ++i)
        n += CountControls(c->GetItemAt(i));
    return n;
}

void Pump(double milliseconds) {
    double end = NowMs() + milliseconds;
    MSG msg;
    while (NowMs() < end) {
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        } else {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

const char* Verdict(bool ok) {
    return ok ? "ok" : "OVER TARGET";
}

void SetNestsVisible(CPaintManagerUI& pm, bool visible) {
    for (int k = 0; k < 19; ++k) {
        std::wstring name = L"nest" + std::to_wstring(k);
        if (CControlUI* c = pm.FindControl(name.c_str()))
            c->SetVisible(visible);
    }
}

double FullRepaintMs(BenchWindow& window, int runs, double* paintMs) {
    std::vector<double> wall, inner;
    for (int i = 0; i < runs; ++i) {
        ::InvalidateRect(window.GetHWND(), nullptr, FALSE);
        double t0 = NowMs();
        ::UpdateWindow(window.GetHWND());
        wall.push_back(NowMs() - t0);
        inner.push_back(window.pm.GetPaintStats().lastPaintMs);
    }
    *paintMs = Median(inner);
    return Median(wall);
}

}  // namespace

int main() {
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath().GetData());
    CPaintManagerUI::SetResourceZip(L"ui_bench.zip");

    BenchWindow window;
    if (!window.Create(nullptr, L"KorvaneUiBench", WS_POPUP | WS_CLIPCHILDREN, 0, 40, 40, 10, 10)) {
        std::printf("cannot create the window\n");
        return 1;
    }

    // 1. Build: the first one also reads the archive into memory.
    BenchCallback callback;
    double t0 = NowMs();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"Bench.xml", nullptr, &callback, &window.pm);
    double firstBuild = NowMs() - t0;
    if (root == nullptr) {
        std::printf("build failed: %ls\n", builder.GetLastErrorMessage().GetData());
        return 1;
    }
    window.pm.AttachDialog(root);
    int controls = CountControls(root);
    std::vector<double> builds;
    for (int i = 0; i < 10; ++i) {
        CPaintManagerUI scratch;
        double b0 = NowMs();
        CDialogBuilder again;
        CControlUI* tree = again.Create(L"Bench.xml", nullptr, &callback, &scratch);
        builds.push_back(NowMs() - b0);
        delete tree;
    }
    double build = Median(builds);
    std::printf(
        "build: 21 pages (main + 20 nested), %d controls: first %.1f ms (reads the "
        "archive), median %.1f ms; target < 30 ms: %s\n",
        controls, firstBuild, build, Verdict(build < 30));

    // 2. Full repaint of the 818 x 579 window (first paint decodes the images).
    window.ShowWindow(true, false);
    Pump(200);
    RECT client = {};
    ::GetClientRect(window.GetHWND(), &client);
    double paintMs = 0;
    double full = FullRepaintMs(window, 30, &paintMs);
    std::printf(
        "full repaint %ldx%ld (visible page, about 40 controls): median %.2f ms "
        "(drawing %.2f ms); target < 16 ms: %s\n",
        client.right, client.bottom, full, paintMs, Verdict(full < 16));
    SetNestsVisible(window.pm, true);
    Pump(50);
    double fullAll = FullRepaintMs(window, 10, &paintMs);
    std::printf(
        "full repaint with all %d controls visible (20 pages stacked): median %.2f ms "
        "(drawing %.2f ms)\n",
        controls, fullAll, paintMs);
    SetNestsVisible(window.pm, false);
    Pump(50);

    // 3. A 130 ms animation frame set from a worker repaints only its control.
    CControlUI* gif = window.pm.FindControl(L"gif0");
    gif->SetVisible(false);
    CControlUI* logo = window.pm.FindControl(L"logo0");
    Pump(100);
    window.pm.ResetPaintStats();
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread animator([&] {
        const wchar_t* images[] = {L"logo_1.png", L"logo_2.png", L"logo_3.png", L"logo_4.png"};
        for (int i = 1; !stop; ++i) {
            ::Sleep(130);
            logo->SetBkImage(images[i % 4]);
            ++frames;
        }
    });
    Pump(2000);
    stop = true;
    animator.join();
    Pump(50);
    PaintStats stats = window.pm.GetPaintStats();
    RECT rc = logo->GetPos();
    long area = (rc.right - rc.left) * (rc.bottom - rc.top);
    double perPaint = stats.paints ? static_cast<double>(stats.pixelsPainted) / stats.paints : 0;
    std::printf(
        "animation: %d frames at 130 ms, %llu paints, %.0f px repainted per paint; the "
        "control is %ldx%ld = %ld px (window %ld px), last area %ld,%ld-%ld,%ld: %s\n",
        frames.load(), static_cast<unsigned long long>(stats.paints), perPaint, rc.right - rc.left,
        rc.bottom - rc.top, area, client.right * client.bottom, stats.lastPaint.left,
        stats.lastPaint.top, stats.lastPaint.right, stats.lastPaint.bottom,
        Verdict(stats.paints > 0 && perPaint <= area));

    // Cost of one small repaint, drawing and showing.
    std::vector<double> small, smallDraw;
    for (int i = 0; i < 20; ++i) {
        logo->SetBkImage(i % 2 ? L"logo_2.png" : L"logo_3.png");
        double s0 = NowMs();
        ::UpdateWindow(window.GetHWND());
        small.push_back(NowMs() - s0);
        smallDraw.push_back(window.pm.GetPaintStats().lastPaintMs);
    }
    std::printf("one 64x64 frame: median %.2f ms (drawing %.2f ms)\n", Median(small),
                Median(smallDraw));

    // 4. Idle CPU with one animated control (the GIF).
    gif->SetVisible(true);
    Pump(300);
    FILETIME c, e, k0, u0, k1, u1;
    ::GetProcessTimes(::GetCurrentProcess(), &c, &e, &k0, &u0);
    double w0 = NowMs();
    window.pm.ResetPaintStats();
    MSG msg;
    UINT_PTR quitTimer = ::SetTimer(nullptr, 0, 5000, nullptr);
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.wParam == quitTimer)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    ::KillTimer(nullptr, quitTimer);
    double wall = NowMs() - w0;
    ::GetProcessTimes(::GetCurrentProcess(), &c, &e, &k1, &u1);
    auto ticks = [](const FILETIME& f) {
        return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    double cpuMs = static_cast<double>(ticks(k1) - ticks(k0) + ticks(u1) - ticks(u0)) / 10000.0;
    double percent = 100.0 * cpuMs / wall;
    std::printf(
        "idle with one animated GIF: %.0f ms CPU in %.0f ms = %.2f%% of a core, %llu paints; "
        "target < 2%%: %s\n",
        cpuMs, wall, percent, static_cast<unsigned long long>(window.pm.GetPaintStats().paints),
        Verdict(percent < 2));

    ::DestroyWindow(window.GetHWND());
    return 0;
}
