/* Windows XP has no GetTickCount64, yet the static threads library imports it. Defining
 * the import slot here, ahead of kernel32, removes that import: the program then starts on
 * XP and counts on GetTickCount, extended to 64 bits across its 49.7-day wrap. */
#include <windows.h>

#if !defined(_WIN64)

static volatile LONG g_busy;
static DWORD g_lastLow;
static ULONGLONG g_high;

static ULONGLONG WINAPI TickCount64FromTickCount(void) {
    ULONGLONG result;
    DWORD now;
    while (InterlockedExchange(&g_busy, 1) != 0) {
        Sleep(0);
    }
    now = GetTickCount();
    if (now < g_lastLow) {
        g_high += 0x100000000ULL;
    }
    g_lastLow = now;
    result = g_high | now;
    InterlockedExchange(&g_busy, 0);
    return result;
}

ULONGLONG(WINAPI* korvane_imp_GetTickCount64)(void) __asm__("__imp__GetTickCount64@0") =
    TickCount64FromTickCount;

#endif
