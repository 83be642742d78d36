// What the main window's tests share: the built skin archive and a message pump.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/test_paths.h"
#include "ui/duilib.h"

namespace korvane::test {

// Points the framework at the skin archive the build made (once per process).
inline void UseBuiltSkin() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    std::wstring folder = UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\resources\\skin\\";
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(folder.c_str());
    DuiLib::CPaintManagerUI::SetResourceZip(L"KRXTSKIN.zip", false);
}

// Pumps this thread's messages until done() holds or ms pass; answers done().
inline bool PumpUntil(const std::function<bool()>& done, int ms) {
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) {
            return true;
        }
        if (static_cast<int>(end - GetTickCount()) <= 0) {
            return false;
        }
        Sleep(5);
    }
}

// Pumps this thread's messages for ms.
inline void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

}  // namespace korvane::test
