// The paint managers alive in the process, so the message loop can let the filters of a
// key message's window see it first.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/ui_defs.h"

namespace DuiLib::registry {

void Add(CPaintManagerUI* manager);
void Remove(CPaintManagerUI* manager);
// Managers whose window is hWnd, its parent or its owner, and that have filters.
std::vector<CPaintManagerUI*> FilteringManagersOf(HWND hWnd);

}  // namespace DuiLib::registry
