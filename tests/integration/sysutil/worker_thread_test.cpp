// Job threads: a body that throws ends its job through the failure handler, and the
// program goes on.
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <stdexcept>

#include "sysutil/worker_thread.h"

namespace korvane {
namespace {

struct Signals {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Signals() { CloseHandle(done); }
    bool Wait() { return WaitForSingleObject(done, 10000) == WAIT_OBJECT_0; }
};

TEST(WorkerThread, RunsTheBodyOnAnotherThread) {
    Signals signals;
    DWORD bodyThread = 0;
    bool failed = false;
    ASSERT_TRUE(StartWorkerThread(
        [&] {
            bodyThread = GetCurrentThreadId();
            SetEvent(signals.done);
        },
        [&] { failed = true; }));
    ASSERT_TRUE(signals.Wait());
    EXPECT_NE(bodyThread, GetCurrentThreadId());
    EXPECT_FALSE(failed);
}

TEST(WorkerThread, AThrowingBodyEndsItsJobThroughTheFailureHandler) {
    for (int kind = 0; kind < 2; ++kind) {
        Signals signals;
        int failures = 0;
        ASSERT_TRUE(StartWorkerThread(
            [kind] {
                if (kind == 0) {
                    throw std::bad_alloc();
                }
                throw std::runtime_error("job broke");
            },
            [&] {
                ++failures;
                SetEvent(signals.done);
            }));
        ASSERT_TRUE(signals.Wait()) << "kind " << kind;
        EXPECT_EQ(failures, 1);
    }
    // A failure handler that throws in turn still does not end the program.
    Signals signals;
    ASSERT_TRUE(StartWorkerThread([] { throw std::bad_alloc(); },
                                  [&] {
                                      SetEvent(signals.done);
                                      throw std::bad_alloc();
                                  }));
    ASSERT_TRUE(signals.Wait());
    Sleep(100);  // the thread has left its handler; the process is still here
}

}  // namespace
}  // namespace korvane
