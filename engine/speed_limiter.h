// One token bucket shared by every connection of every task, so a limit holds for the
// engine as a whole and a new limit takes effect at the next read of any connection.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace korvane::xldl {

class SpeedLimiter {
  public:
    // Bytes per second; 0 lifts the limit.
    void SetRate(std::int64_t bytesPerSecond);
    std::int64_t Rate() const { return rate_.load(); }

    // How many of `wanted` bytes a connection may read now. Waits (in short steps, so a
    // changed rate or `cancel` is seen at once) until at least one byte is allowed.
    // Answers 0 only when cancelled.
    std::size_t Acquire(std::size_t wanted, const std::atomic<bool>& cancel);
    // Gives back what a read did not use of its grant.
    void Refund(std::size_t unused);

  private:
    using Clock = std::chrono::steady_clock;
    std::atomic<std::int64_t> rate_{0};
    std::mutex mutex_;
    double tokens_ = 0;
    Clock::time_point last_{};
};

}  // namespace korvane::xldl
