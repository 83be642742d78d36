// One transfer run of a download, in the order it goes: probe the server, plan the
// segments, run the connections (with the disk writer behind them), finish the file. A
// task starts a new run after a pause or when the file changed on the server.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/connection_growth.h"
#include "engine/disk_writer.h"
#include "engine/http_connection.h"
#include "engine/resume_record.h"
#include "engine/run_control.h"
#include "engine/segment_table.h"
#include "engine/speed_limiter.h"
#include "sysutil/unique_handle.h"

namespace korvane::xldl {

// The files of a download on the local disk, held open for a whole task start.
struct LocalFiles {
    std::wstring folder;
    std::wstring finalPath;
    std::wstring partialPath;
    std::wstring statePath;
    UniqueHandle partial;  // the data as it arrives
    UniqueHandle state;    // the resume state record, held without write sharing
};

// A task's figures as a query reports them.
struct TaskProgress {
    std::atomic<std::int64_t> total{-1};  // -1 while unknown
    std::atomic<std::int64_t> downloaded{0};
    std::atomic<std::int32_t> speed{0};  // bytes per second
};

// What stays the same for every run of one task start.
struct RunSetup {
    std::string url;  // as created
    NetSettings net;
    int connections = 0;
    std::int64_t expectedSize = -1;  // -1: none declared
    std::int64_t bootStamp = 0;
};

enum class RunOutcome { kFinished, kStopped, kFailed, kRestart };

class TransferRun {
  public:
    // `stop` is the task's: a run that ends after it was raised has stopped, not failed.
    TransferRun(const RunSetup& setup, LocalFiles& files, TaskProgress& progress,
                RunControl& control, SpeedLimiter& limiter, std::uint64_t& recordSequence,
                const std::atomic<bool>& stop);
    TransferRun(const TransferRun&) = delete;
    TransferRun& operator=(const TransferRun&) = delete;

    // kept: the state the last run left behind, or null for a fresh start.
    RunOutcome Run(const ResumeRecord* kept);

    // What the connections of the run share.
    // GET of [from, end) with redirects followed (the whole body without ranges).
    std::unique_ptr<HttpStream> OpenSegment(std::int64_t from, std::int64_t end,
                                            std::string* error);
    // Whether a connection's response is the rest of the file the probe found.
    bool SameFile(const HttpStream& stream, std::int64_t from) const;
    bool Ranges() const { return ranges_; }
    std::int64_t Total() const { return total_; }
    SegmentTable& Segments() { return segments_; }
    DiskWriter& Disk() { return *disk_; }
    RunControl& Control() { return control_; }
    SpeedLimiter& Limiter() { return limiter_; }
    // Connection `index` (0, 1, ... in starting order) leaves when the run wants fewer.
    bool Keeps(int index) const { return index < wanted_.load(); }
    // What the connections read, and how long they waited for the server.
    void CountReceived(std::int64_t bytes) { received_ += bytes; }
    std::atomic<std::int64_t>& WaitedMicroseconds() { return waitedMicroseconds_; }
    void CountReceiving(int change) { receiving_ += change; }

  private:
    using Clock = std::chrono::steady_clock;

    std::optional<RunOutcome> Probe(std::unique_ptr<HttpStream>* probe);
    std::optional<RunOutcome> LearnFile(const ResponseHead& head, std::int64_t first);
    bool PlanSegments();
    RunOutcome RunConnections(std::unique_ptr<HttpStream> probe);
    void StartConnection(std::unique_ptr<HttpStream> stream, int segment);
    void Connection(std::unique_ptr<HttpStream> stream, int segment, int index);
    void Monitor();
    void AdjustConnections();
    RunOutcome Decide();
    RunOutcome Finish();
    // GET with redirects followed; `remember` (the probe only, before any connection
    // runs) keeps the final URL for every later connection.
    std::unique_ptr<HttpStream> OpenFollowing(std::int64_t first, std::int64_t last, bool remember,
                                              std::string* error);
    void SampleSpeed();

    const RunSetup& setup_;
    LocalFiles& files_;
    TaskProgress& progress_;
    RunControl& control_;
    SpeedLimiter& limiter_;
    std::uint64_t& recordSequence_;
    const std::atomic<bool>& stop_;

    // What the probe learned.
    const ResumeRecord* kept_ = nullptr;
    Url url_;  // after redirects
    bool ranges_ = false;
    std::int64_t total_ = -1;
    std::string etag_;
    std::string lastModified_;

    SegmentTable segments_;
    DiskWriter* disk_ = nullptr;  // while the connections run
    std::vector<std::thread> connections_;
    std::atomic<int> activeConnections_{0};

    // How many connections: started with the record's count, more where each is capped.
    ConnectionGrowth growth_;
    Clock::time_point started_;
    std::atomic<int> wanted_{0};
    std::atomic<std::int64_t> received_{0};
    std::atomic<std::int64_t> waitedMicroseconds_{0};
    std::atomic<int> receiving_{0};
    std::vector<std::pair<Clock::time_point, std::int64_t>> samples_;
};

}  // namespace korvane::xldl
