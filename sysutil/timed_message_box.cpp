#include "sysutil/timed_message_box.h"

#include "sysutil/system_function.h"

namespace korvane {

namespace {

using MessageBoxTimeoutFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT, WORD, DWORD);

MessageBoxTimeoutFn PlatformMessageBoxTimeout() {
    return SystemFunction<MessageBoxTimeoutFn>(L"user32.dll", "MessageBoxTimeoutW");
}

// The box of this thread that the timer closes: the timer procedure gets no argument of
// ours, so the state lives with the thread.
struct TimedBox {
    DWORD threadId = 0;
    bool timedOut = false;
    UINT_PTR timer = 0;  // the timer now armed
};

// How soon the timer looks again when the box was not up yet when it first fired.
constexpr UINT kLookAgainMs = 100;
thread_local TimedBox t_box;

BOOL CALLBACK CloseDialogOfThread(HWND window, LPARAM) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        t_box.timedOut = true;
        EndDialog(window, kTimedOutAnswer);
        return FALSE;
    }
    return TRUE;
}

void CALLBACK OnTimeOut(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    t_box.timer = 0;
    EnumThreadWindows(t_box.threadId, CloseDialogOfThread, 0);
    if (!t_box.timedOut) {
        // The box is still being made: a time-out that found nothing must not be lost.
        t_box.timer = SetTimer(nullptr, 0, kLookAgainMs, OnTimeOut);
    }
}

// The timer runs in the modal loop of whichever box is shown.
int MessageBoxClosedByTimer(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                            DWORD timeoutMs, MessageBoxTimeoutFn platform) {
    t_box = {GetCurrentThreadId(), false, 0};
    t_box.timer = SetTimer(nullptr, 0, timeoutMs, OnTimeOut);
    int answer = platform ? platform(owner, text, caption, type, 0, timeoutMs)
                          : MessageBoxW(owner, text, caption, type);
    if (t_box.timer) {
        KillTimer(nullptr, t_box.timer);
        t_box.timer = 0;
    }
    return t_box.timedOut ? kTimedOutAnswer : answer;
}

}  // namespace

int TimedMessageBoxByTimer(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                           DWORD timeoutMs) {
    return MessageBoxClosedByTimer(owner, text, caption, type, timeoutMs, nullptr);
}

int TimedMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type,
                    DWORD timeoutMs) {
    // Our own timer stands by even where the export exists: Wine 8's user32 has the name
    // but ignores the time-out, and a box that never closes would never start the job.
    return MessageBoxClosedByTimer(owner, text, caption, type, timeoutMs,
                                   PlatformMessageBoxTimeout());
}

}  // namespace korvane
