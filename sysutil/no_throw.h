// No C++ exception may leave a thread's entry function, a window procedure or a DLL export:
// past a thread entry it ends the program, past the others its fate is undefined. Each such
// door runs its body through Guarded and answers a fallback when the body throws (an
// allocation failure, mostly). Header only and portable, so the engine and the UI framework
// keep the same rule.
#pragma once

#include <utility>

namespace korvane {

// body's answer, or fallback when it throws.
template <typename R, typename Body>
R Guarded(R fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

// For bodies without an answer: onFailure runs when body throws; what it throws in turn is
// dropped as well.
template <typename Body, typename OnFailure>
void GuardedRun(Body&& body, OnFailure&& onFailure) noexcept {
    try {
        std::forward<Body>(body)();
        return;
    } catch (...) {
    }
    try {
        std::forward<OnFailure>(onFailure)();
    } catch (...) {
    }
}

}  // namespace korvane
