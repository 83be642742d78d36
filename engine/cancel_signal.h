// A flag that ends one transfer run, and waits that end the moment it is raised.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace korvane::xldl {

class CancelSignal {
  public:
    CancelSignal() = default;
    CancelSignal(const CancelSignal&) = delete;
    CancelSignal& operator=(const CancelSignal&) = delete;

    void Raise() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = true;
        changed_.notify_all();
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        raised_ = false;
    }
    bool Raised() const { return raised_.load(); }
    // For the calls that watch a flag themselves (connecting, the speed limit).
    const std::atomic<bool>& Flag() const { return raised_; }
    // Waits `duration` unless raised first; true when raised.
    bool WaitFor(std::chrono::milliseconds duration) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, duration, [this] { return raised_.load(); });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> raised_{false};
};

}  // namespace korvane::xldl
