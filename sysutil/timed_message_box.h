// A message box that answers by itself after a time-out.
#pragma once

#include <windows.h>

namespace korvane {

// What the box answers when the time ran out (the platform's MessageBoxTimeoutW answers it).
inline constexpr int kTimedOutAnswer = 32000;

// MessageBoxTimeoutW of user32 when it has one (resolved at run time: a static import would
// keep the program from loading where user32 lacks it), otherwise MessageBoxW; either way a
// timer of this thread closes the box after timeoutMs as well, answering kTimedOutAnswer,
// since a user32 may carry the name without honouring the time-out (Wine 8's does).
int TimedMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                    DWORD timeoutMs);

// The box closed by our timer alone, without the platform's export (tests reach it on
// systems that have the export).
int TimedMessageBoxByTimer(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                           DWORD timeoutMs);

}  // namespace korvane
