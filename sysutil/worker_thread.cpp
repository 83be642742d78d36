#include "sysutil/worker_thread.h"

#include <windows.h>

#include <memory>
#include <new>

#include "sysutil/no_throw.h"

namespace korvane {

namespace {

struct WorkerStart {
    std::function<void()> body;
    std::function<void()> onFailure;
};

// 32-bit Windows starts a thread with a 4-byte-aligned stack; the compiler assumes 16 for
// SSE operands kept on the stack, so the job's stack is realigned here once.
__attribute__((force_align_arg_pointer)) DWORD WINAPI WorkerEntry(void* parameter) {
    std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    GuardedRun(start->body, start->onFailure);
    return 0;
}

}  // namespace

bool StartWorkerThread(std::function<void()> body, std::function<void()> onFailure) {
    auto* start = new (std::nothrow) WorkerStart{std::move(body), std::move(onFailure)};
    if (!start) {
        return false;
    }
    HANDLE thread = CreateThread(nullptr, 0, WorkerEntry, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace korvane
