#include "engine/speed_limiter.h"

#include <algorithm>
#include <thread>

namespace korvane::xldl {

void SpeedLimiter::SetRate(std::int64_t bytesPerSecond) {
    std::lock_guard<std::mutex> lock(mutex_);
    rate_.store(bytesPerSecond < 0 ? 0 : bytesPerSecond);
    tokens_ = 0;
    last_ = Clock::now();
}

std::size_t SpeedLimiter::Acquire(std::size_t wanted, const std::atomic<bool>& cancel) {
    while (!cancel.load()) {
        std::int64_t rate = rate_.load();
        if (rate == 0) {
            return wanted;
        }
        double waitSeconds;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            Clock::time_point now = Clock::now();
            double elapsed = std::chrono::duration<double>(now - last_).count();
            last_ = now;
            // A burst of at most a twentieth of a second keeps the rate even over any
            // second-long window.
            double burst = std::max(4096.0, static_cast<double>(rate) / 20.0);
            tokens_ = std::min(burst, tokens_ + elapsed * static_cast<double>(rate));
            if (tokens_ >= 1.0) {
                std::size_t granted =
                    static_cast<std::size_t>(std::min(tokens_, static_cast<double>(wanted)));
                tokens_ -= static_cast<double>(granted);
                return granted;
            }
            waitSeconds = (1.0 - tokens_) / static_cast<double>(rate);
        }
        std::this_thread::sleep_for(
            std::chrono::duration<double>(std::clamp(std::max(waitSeconds, 0.005), 0.001, 0.05)));
    }
    return 0;
}

void SpeedLimiter::Refund(std::size_t unused) {
    if (unused == 0 || rate_.load() == 0) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    tokens_ += static_cast<double>(unused);
}

}  // namespace korvane::xldl
