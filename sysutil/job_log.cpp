#include "sysutil/job_log.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sysutil/no_throw.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

// A dead or stalled disk must not eat memory: beyond these, new lines are dropped.
constexpr size_t kMaxPendingLines = 4096;
constexpr size_t kMaxPendingBytes = 4 * kJobLogLimit;
// A line is cut here (UTF-16 units), so that one line alone never takes a file past its limit.
constexpr size_t kMaxLineUnits = 8192;

struct PendingLine {
    std::shared_ptr<const std::wstring> folder;  // the folder the log had when it was logged
    std::string bytes;                           // stamped UTF-8, ending CR LF
};

struct JobLogState {
    std::mutex mutex;
    std::condition_variable wake;     // lines queued for the writer
    std::condition_variable handled;  // the writer finished a batch
    std::shared_ptr<const std::wstring> folder;
    std::vector<PendingLine> queue;
    size_t queuedBytes = 0;
    uint64_t accepted = 0;  // lines queued since the start
    uint64_t done = 0;      // of those, lines the writer wrote or gave up
    bool writerStarted = false;
};

// Lives for the whole process and is never destroyed: the writer thread may still be
// waiting on it while static destructors run at exit.
JobLogState& State() {
    static JobLogState* state = new JobLogState;
    return *state;
}

std::string StampedUtf8(const std::wstring& line) {
    std::wstring text = line.substr(0, kMaxLineUnits);
    if (!text.empty() && text.size() < line.size() && IS_HIGH_SURROGATE(text.back())) {
        text.pop_back();  // do not leave half a surrogate pair at the cut
    }
    for (wchar_t& c : text) {
        if (c == L'\r' || c == L'\n') {
            c = L' ';
        }
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char stamp[32] = {};
    snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
             now.wDay, now.wHour, now.wMinute, now.wSecond);
    return stamp + WideToUtf8(text) + "\r\n";
}

std::wstring InFolder(const std::wstring& folder, const wchar_t* name) {
    bool separated = folder.back() == L'\\' || folder.back() == L'/';
    return folder + (separated ? L"" : L"\\") + name;
}

// The log opened for appending (others may read, write and rename it meanwhile), and its
// size; nothing held when it cannot be opened.
UniqueHandle OpenForAppend(const std::wstring& path, uint64_t* size) {
    UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length = {};
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &length)) {
        return UniqueHandle();
    }
    *size = static_cast<uint64_t>(length.QuadPart);
    return file;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size());
}

// Appends lines [first, last), all of one folder, rotating the file before a line that
// would take it past its limit. What cannot be written is given up: the log never holds
// a job back.
void WriteRun(const std::wstring& folder, const PendingLine* first, const PendingLine* last) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring path = InFolder(folder, kJobLogName);
    uint64_t size = 0;
    UniqueHandle file = OpenForAppend(path, &size);
    if (!file.IsValid()) {
        return;
    }
    std::string chunk;
    for (const PendingLine* line = first; line != last; ++line) {
        if (size + line->bytes.size() > kJobLogLimit && size > 0) {
            if (!WriteAll(file.Get(), chunk)) {
                return;
            }
            chunk.clear();
            file.Reset();
            // A file someone holds without delete sharing cannot be rotated; rather than
            // grow past the limit, its lines are given up until it is released.
            if (!MoveFileExW(path.c_str(), InFolder(folder, kOldJobLogName).c_str(),
                             MOVEFILE_REPLACE_EXISTING)) {
                return;
            }
            file = OpenForAppend(path, &size);
            if (!file.IsValid()) {
                return;
            }
        }
        chunk += line->bytes;
        size += line->bytes.size();
    }
    WriteAll(file.Get(), chunk);
}

void WriteBatch(const std::vector<PendingLine>& batch) {
    size_t runStart = 0;
    for (size_t i = 1; i <= batch.size(); ++i) {
        if (i == batch.size() || batch[i].folder != batch[runStart].folder) {
            WriteRun(*batch[runStart].folder, batch.data() + runStart, batch.data() + i);
            runStart = i;
        }
    }
}

void WriterLoop(JobLogState& state) {
    for (;;) {
        std::vector<PendingLine> batch;
        {
            std::unique_lock<std::mutex> lock(state.mutex);
            state.wake.wait(lock, [&] { return !state.queue.empty(); });
            batch.swap(state.queue);
            state.queuedBytes = 0;
        }
        GuardedRun([&] { WriteBatch(batch); }, [] {});
        uint64_t count = batch.size();
        batch.clear();
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            state.done += count;
        }
        state.handled.notify_all();
    }
}

// Called with the mutex held. The thread is detached: it waits for lines as long as the
// process lives, and process exit ends it wherever it is.
void EnsureWriter(JobLogState& state) {
    if (!state.writerStarted) {
        std::thread([&state] { GuardedRun([&] { WriterLoop(state); }, [] {}); }).detach();
        state.writerStarted = true;
    }
}

}  // namespace

void OpenJobLog(const std::wstring& folder) {
    GuardedRun(
        [&] {
            auto shared = folder.empty() ? nullptr : std::make_shared<const std::wstring>(folder);
            JobLogState& state = State();
            std::lock_guard<std::mutex> lock(state.mutex);
            state.folder = std::move(shared);
            EnsureWriter(state);
        },
        [] {});
}

void LogJob(const std::wstring& line) {
    GuardedRun(
        [&] {
            JobLogState& state = State();
            {
                std::lock_guard<std::mutex> lock(state.mutex);
                if (!state.folder) {
                    return;
                }
            }
            PendingLine pending{nullptr, StampedUtf8(line)};
            {
                std::lock_guard<std::mutex> lock(state.mutex);
                if (!state.folder || state.queue.size() >= kMaxPendingLines ||
                    state.queuedBytes + pending.bytes.size() > kMaxPendingBytes) {
                    return;
                }
                EnsureWriter(state);
                pending.folder = state.folder;
                size_t bytes = pending.bytes.size();
                state.queue.push_back(std::move(pending));
                state.queuedBytes += bytes;
                ++state.accepted;
            }
            state.wake.notify_one();
        },
        [] {});
}

bool FlushJobLog(unsigned long timeoutMs) {
    return Guarded(false, [&] {
        JobLogState& state = State();
        std::unique_lock<std::mutex> lock(state.mutex);
        uint64_t target = state.accepted;
        return state.handled.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return state.done >= target; });
    });
}

}  // namespace korvane
