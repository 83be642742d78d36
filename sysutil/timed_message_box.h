// A message box that answers by itself after a time-out.
#pragma once

#include <windows.h>

namespace korvane {

// What the box answers when the time ran out (the platform's MessageBoxTimeoutW answers it).
inline constexpr int kTimedOutAnswer = 32000;

// MessageBoxTimeoutW of user32 when it has one (resolved at run time: Wine's user32 lacks
// it, and a static import would keep the program from loading there); otherwise a message
// box closed by a timer of this thread after timeoutMs, answering kTimedOutAnswer too.
int TimedMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                    DWORD timeoutMs);

// The fallback alone (tests reach it on systems that have the export).
int TimedMessageBoxByTimer(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                           DWORD timeoutMs);

}  // namespace korvane
