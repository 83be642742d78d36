// One download: its parameters, its transfer threads and the numbers a query reports.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/http_connection.h"
#include "engine/resume_record.h"
#include "engine/speed_limiter.h"
#include "sysutil/unique_handle.h"

namespace korvane::xldl {

struct TaskParams {
    std::wstring url;
    std::wstring fileName;
    std::wstring folder;
    int connections = 0;  // 0: the default
    bool resume = true;   // continue partial data kept from before
};

// Reads the task parameter record; false when it is unusable (then the task fails).
bool ReadTaskParams(const unsigned char* record, TaskParams* params);

// What a task needs from the engine around it.
class TaskHost {
  public:
    virtual ~TaskHost() = default;
    virtual NetSettings CurrentNetSettings() = 0;
    virtual SpeedLimiter& Limiter() = 0;
    // A partial file that could not be removed now; removed by MiniTPFw at the next start.
    virtual void RecordLeftover(const std::wstring& path) = 0;
};

// The partial data and resume state of a download kept beside the final file.
std::wstring PartialPathFor(const std::wstring& finalPath);
std::wstring StatePathFor(const std::wstring& finalPath);
// folder + "\" + name; empty when the name could leave the folder or is not a file name.
std::wstring FinalPathFor(const std::wstring& folder, const std::wstring& fileName);

class DownloadTask {
  public:
    DownloadTask(std::uint32_t number, TaskParams params, bool paramsValid, TaskHost& host);
    ~DownloadTask();
    DownloadTask(const DownloadTask&) = delete;
    DownloadTask& operator=(const DownloadTask&) = delete;

    std::uint32_t Number() const { return number_; }
    const std::wstring& FinalPath() const { return finalPath_; }
    bool IsRunning() const;

    void Start();
    // Returns once no byte of this task moves any more.
    void Stop();
    // Removes partial data and resume state (the task must be stopped). A finished file
    // stays.
    bool DeleteData();
    void SetExpectedSize(std::int64_t size) { expectedSize_ = size; }
    void FillInfo(unsigned char* record) const;

  private:
    struct Segment {
        std::int64_t pos = 0;       // bytes below this are written to the file
        std::int64_t reserved = 0;  // bytes below this are fetched (or being fetched)
        std::int64_t end = 0;       // one past the last byte
        bool owned = false;
    };
    enum class Outcome { kFinished, kStopped, kFailed, kRestart };
    // A filled buffer on its way to the disk; the buffer goes back to its worker after.
    struct WriteJob {
        int segment = 0;
        std::int64_t pos = 0;
        const char* data = nullptr;
        std::size_t size = 0;
        class BufferPair* pool = nullptr;
        int slot = 0;
    };

    void Run();
    Outcome Transfer();
    Outcome TransferOnce(ResumeRecord* kept, bool* haveKept);
    Outcome Finish();
    // GET with redirects followed; `remember` (the probe only, before any worker runs)
    // keeps the final URL for every later connection.
    std::unique_ptr<HttpStream> OpenFollowing(std::int64_t first, std::int64_t last, bool remember,
                                              std::string* error);
    void Worker(std::unique_ptr<HttpStream> stream, int segment);
    // Writes what the workers fetched, in the order they fetched it, while they read on.
    void Writer();
    void RecordWritten(const WriteJob& job);
    void QueueWrite(const WriteJob& job);
    void StopWriter();
    // Puts what the writer wrote on the disk while the transfer goes on, and records what
    // is durable then.
    void Flusher();
    void FlushWritten();
    int ClaimSegment();
    void ReleaseSegment(int segment);
    bool CheckRangeResponse(const HttpStream& stream, std::int64_t from) const;
    std::vector<ByteRange> SnapshotRemaining();
    void SaveRecord(bool force);
    bool WaitBackoff(int failures);
    void Fail(std::int32_t code);
    void SampleSpeed();

    const std::uint32_t number_;
    const TaskParams params_;
    const bool paramsValid_;
    TaskHost& host_;
    std::wstring finalPath_;
    std::wstring partialPath_;
    std::wstring statePath_;

    std::mutex lifecycleMutex_;  // Start/Stop/Delete
    std::thread controller_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};

    std::atomic<std::int32_t> state_{2};
    std::atomic<std::int32_t> failure_{0};
    std::atomic<std::int64_t> total_{-1};
    std::atomic<std::int64_t> downloaded_{0};
    std::atomic<std::int32_t> speed_{0};
    std::atomic<std::int64_t> expectedSize_{-1};

    // One transfer run; touched by the controller and its workers only.
    NetSettings net_;
    Url url_;              // after redirects
    std::string urlText_;  // as created
    bool ranges_ = false;
    std::string etag_;
    std::string lastModified_;
    UniqueHandle partial_;
    UniqueHandle stateFile_;
    AbortList aborts_;
    std::atomic<bool> cancelRun_{false};  // stop, failure or restart of this run
    std::atomic<bool> changed_{false};
    std::atomic<bool> fatal_{false};
    std::atomic<std::int32_t> fatalCode_{0};
    std::mutex segMutex_;
    std::vector<Segment> segments_;
    std::mutex saveMutex_;
    std::uint64_t sequence_ = 0;
    std::vector<ByteRange> durable_;
    std::atomic<std::int64_t> unsaved_{0};
    std::atomic<int> activeWorkers_{0};
    std::mutex writeMutex_;
    std::condition_variable writeReady_;
    std::deque<WriteJob> writeQueue_;
    bool writerDone_ = false;
    bool writeFailed_ = false;  // writer thread only
    std::mutex flushMutex_;
    std::condition_variable flushWake_;
    bool flusherDone_ = false;
    std::atomic<std::int64_t> unflushed_{0};
    std::int64_t bootStamp_ = 0;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::int64_t>> samples_;
};

}  // namespace korvane::xldl
