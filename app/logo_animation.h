// The welcome page's turning logo: thirty frames shown one after the other on
// XuanZhuanLogo_Label, 130 ms each (one turn takes 3.9 s), for as long as the window lives.
#pragma once

#include <windows.h>

#include <atomic>

#include "app/window_controls.h"
#include "sysutil/unique_handle.h"

namespace korvane {

// Frames 7 and 10 are "77.png" and "100.png": "7.png" and "10.png" are the pictures of the
// Windows 7 and Windows 10 families.
inline constexpr const wchar_t* kLogoFrames[] = {
    L"1.png",  L"2.png",   L"3.png",  L"4.png",  L"5.png",  L"6.png",  L"77.png", L"8.png",
    L"9.png",  L"100.png", L"11.png", L"12.png", L"13.png", L"14.png", L"15.png", L"16.png",
    L"17.png", L"18.png",  L"19.png", L"20.png", L"21.png", L"22.png", L"23.png", L"24.png",
    L"25.png", L"26.png",  L"27.png", L"28.png", L"29.png", L"30.png"};
inline constexpr DWORD kLogoFrameMs = 130;

class LogoAnimation {
  public:
    explicit LogoAnimation(WindowControls& controls) : controls_(controls) {}
    ~LogoAnimation() { Stop(); }
    LogoAnimation(const LogoAnimation&) = delete;
    LogoAnimation& operator=(const LogoAnimation&) = delete;

    // Shows the label and starts turning it on a thread of its own; false when the thread
    // could not be started (the label then keeps its first picture).
    bool Start();
    // Ends the thread and waits for it (up to one frame): the label goes with the window, and
    // must not be drawn on afterwards.
    void Stop();

  private:
    static DWORD WINAPI AnimateLogo(void* self);

    WindowControls& controls_;
    std::atomic<bool> stopping_{false};
    UniqueHandle thread_;
};

}  // namespace korvane
