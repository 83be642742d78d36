// Shows the fixture page (and its pop-up menu) for a while, for the screenshot test.
// usage: ui_fixture_shot.exe [milliseconds]
#include <cstdlib>

#include "tests/integration/ui/ui_test_support.h"

using namespace uitest;

int main(int argc, char** argv) {
    DWORD showMs = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 6000;
    UseFixtureSkin();
    FixtureWindow window;
    // Fixed place on the screen, above other windows, so the picture can be cut out.
    if (window.Create(nullptr, L"KorvaneUiFixtureShot", WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOPMOST,
                      20, 20, 0, 0) == nullptr) {
        return 1;
    }
    CPaintManagerUI& pm = window.Manager();
    static_cast<COptionUI*>(pm.FindControl(L"os_op2"))->Selected(true);
    static_cast<CProgressUI*>(pm.FindControl(L"dl_progress"))->SetValue(65);
    window.ShowWindow(true, false);
    PumpMessages(300);
    RECT rc = pm.FindControl(L"menu_btn")->GetPos();
    POINT pt = {rc.left - 60, rc.bottom + 4};
    ::ClientToScreen(window.GetHWND(), &pt);
    auto* menu = new CMenuWnd;
    menu->Init(nullptr, L"Menu.xml", pt, window.GetHWND());
    PumpMessages(showMs);
    ::DestroyWindow(window.GetHWND());
    return 0;
}
