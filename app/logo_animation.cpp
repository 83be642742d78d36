#include "app/logo_animation.h"

namespace korvane {

bool LogoAnimation::Start() {
    if (thread_.IsValid()) {
        return true;
    }
    stop_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop_.IsValid()) {
        return false;
    }
    controls_.ShowControl(L"XuanZhuanLogo_Label", true);
    thread_.Reset(CreateThread(nullptr, 0, &LogoAnimation::AnimateLogo, this, 0, nullptr));
    return thread_.IsValid();
}

void LogoAnimation::Stop() {
    if (!thread_.IsValid()) {
        return;
    }
    SetEvent(stop_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
}

// The frames in turn until the window goes; the wait between two frames is the stop signal.
DWORD WINAPI LogoAnimation::AnimateLogo(void* self) {
    auto* animation = static_cast<LogoAnimation*>(self);
    for (;;) {
        for (const wchar_t* frame : kLogoFrames) {
            animation->controls_.SetControlBkImage(L"XuanZhuanLogo_Label", frame);
            if (WaitForSingleObject(animation->stop_.Get(), kLogoFrameMs) != WAIT_TIMEOUT) {
                return 0;
            }
        }
    }
}

}  // namespace korvane
