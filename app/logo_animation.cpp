#include "app/logo_animation.h"

namespace korvane {

bool LogoAnimation::Start() {
    if (thread_.IsValid()) {
        return true;
    }
    stopping_.store(false);
    controls_.ShowControl(L"XuanZhuanLogo_Label", true);
    thread_.Reset(CreateThread(nullptr, 0, &LogoAnimation::AnimateLogo, this, 0, nullptr));
    return thread_.IsValid();
}

void LogoAnimation::Stop() {
    if (!thread_.IsValid()) {
        return;
    }
    stopping_.store(true);
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
}

// The frames in turn until the window goes. A plain sleep between two frames, not a wait on
// an event: under Wine a wait on a handle is a round trip to the Wine server, a sleep is not,
// and this runs for as long as the program is open. Stop therefore waits up to one frame.
DWORD WINAPI LogoAnimation::AnimateLogo(void* self) {
    auto* animation = static_cast<LogoAnimation*>(self);
    for (;;) {
        for (const wchar_t* frame : kLogoFrames) {
            animation->controls_.SetControlBkImage(L"XuanZhuanLogo_Label", frame);
            Sleep(kLogoFrameMs);
            if (animation->stopping_.load()) {
                return 0;
            }
        }
    }
}

}  // namespace korvane
