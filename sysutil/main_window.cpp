#include "sysutil/main_window.h"

#include <atomic>

namespace korvane {

namespace {

std::atomic<HWND> g_mainWindow{nullptr};

}  // namespace

void SetMainWindowHandle(HWND window) {
    g_mainWindow.store(window);
}

HWND MainWindowHandle() {
    return g_mainWindow.load();
}

}  // namespace korvane
