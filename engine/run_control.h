// How a transfer run ends early: a stop from the caller, a failure, or a file that changed
// on the server. Every thread of the run watches it; Stop reaches it from any thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

#include "engine/cancel_signal.h"
#include "engine/http_connection.h"
#include "engine/xldl_api.h"

namespace korvane::xldl {

class RunControl {
  public:
    // A new task run: no failure recorded yet.
    void BeginTask() {
        failed_ = false;
        failureCode_ = kFailureOther;
    }
    // A new attempt: nothing cancelled, streams may be opened again.
    void BeginRun() {
        changed_ = false;
        aborts_.Reset();
        cancel_.Clear();
    }
    // Ends the run: waits return, blocked reads return.
    void Cancel() {
        cancel_.Raise();
        aborts_.AbortAll();
    }
    // The first failure's code is the one reported.
    void Fail(std::int32_t code) {
        if (!failed_.exchange(true)) {
            failureCode_ = code;
        }
        Cancel();
    }
    // Another file now answers at the URL (or a stream without ranges broke): the run
    // ends and the task starts over.
    void MarkChanged() {
        changed_ = true;
        Cancel();
    }

    bool Cancelled() const { return cancel_.Raised(); }
    bool Failed() const { return failed_.load(); }
    bool Changed() const { return changed_.load(); }
    std::int32_t FailureCode() const { return failureCode_.load(); }
    const std::atomic<bool>& CancelFlag() const { return cancel_.Flag(); }
    AbortList& Aborts() { return aborts_; }

    // The pause before attempt number failures + 1: 0.25 s doubling to 8 s. False when the
    // run was cancelled meanwhile.
    bool WaitBackoff(int failures) {
        auto wait = std::chrono::milliseconds(250LL << std::clamp(failures, 0, 5));
        return !cancel_.WaitFor(wait);
    }
    // A short pause that ends with the run.
    bool Pause(std::chrono::milliseconds duration) { return !cancel_.WaitFor(duration); }

  private:
    CancelSignal cancel_;
    AbortList aborts_;
    std::atomic<bool> failed_{false};
    std::atomic<std::int32_t> failureCode_{kFailureOther};
    std::atomic<bool> changed_{false};
};

}  // namespace korvane::xldl
