// The process-wide copy of the main window's handle: set once the main window exists, read
// by the windows that report to it (the settings window's speed limit).
#pragma once

#include <windows.h>

namespace korvane {

void SetMainWindowHandle(HWND window);
// Null before the main window was set up.
HWND MainWindowHandle();

}  // namespace korvane
