#include "engine/transfer_run.h"

#include <algorithm>

#include "engine/local_file.h"
#include "engine/segment_worker.h"
#include "engine/task_params.h"
#include "sysutil/no_throw.h"

namespace korvane::xldl {

namespace {

constexpr std::int64_t kSegmentMinBytes = 4 << 20;  // no segment smaller than this at start
// The program reports no failure but a local one and never retries a task, so a network
// that is away for a while is waited for: about five minutes without any progress.
constexpr int kProbeConnectPatience = 40;
constexpr int kMaxServerErrorRetries = 3;
constexpr auto kMonitorTick = std::chrono::milliseconds(50);

bool SameValidators(const std::string& a, const std::string& b) {
    return a.empty() || b.empty() || a == b;
}

std::string HeaderOr(const ResponseHead& head, const char* name) {
    const std::string* v = head.Find(name);
    return v != nullptr ? *v : std::string();
}

}  // namespace

TransferRun::TransferRun(const RunSetup& setup, LocalFiles& files, TaskProgress& progress,
                         RunControl& control, SpeedLimiter& limiter, std::uint64_t& recordSequence,
                         const std::atomic<bool>& stop)
    : setup_(setup),
      files_(files),
      progress_(progress),
      control_(control),
      limiter_(limiter),
      recordSequence_(recordSequence),
      stop_(stop),
      growth_(setup.connections, kMaxConnections) {}

RunOutcome TransferRun::Run(const ResumeRecord* kept) {
    kept_ = kept;
    ParseUrl(setup_.url, &url_);
    if (kept_ != nullptr) {
        progress_.total = kept_->total;
        progress_.downloaded = kept_->total - MissingBytes(kept_->remaining);
        if (kept_->remaining.empty()) {
            total_ = kept_->total;
            return Finish();  // every byte was written before the last run ended
        }
    } else {
        progress_.downloaded = 0;
        progress_.total = -1;
    }
    std::unique_ptr<HttpStream> probe;
    if (std::optional<RunOutcome> ended = Probe(&probe)) {
        return *ended;
    }
    if (!PlanSegments()) {
        return RunOutcome::kFailed;
    }
    if (total_ == 0) {
        return Finish();
    }
    return RunConnections(std::move(probe));
}

// The first request learns the size, range support and validators. Answers an outcome
// when the run ends here.
std::optional<RunOutcome> TransferRun::Probe(std::unique_ptr<HttpStream>* probe) {
    std::int64_t first = kept_ != nullptr ? kept_->remaining[0].first : 0;
    std::int64_t last = kept_ != nullptr ? kept_->remaining[0].end - 1 : -1;
    for (int failures = 0;; ++failures) {
        if (stop_) {
            return RunOutcome::kStopped;
        }
        std::string error;
        *probe = OpenFollowing(first, last, true, &error);
        int status = *probe ? (*probe)->Head().status : 0;
        if (status == 200 || status == 206) {
            return LearnFile((*probe)->Head(), first);
        }
        if (status == 416) {
            if (kept_ != nullptr) {
                return RunOutcome::kRestart;  // the file shrank on the server
            }
            first = -1;  // an empty file answers 416 to "bytes=0-"
            last = -1;
            continue;
        }
        // A server error may pass; a missing file will not. Connection failures get the
        // most patience.
        bool retry = status == 0 || status >= 500 || status == 408 || status == 429;
        int patience = status == 0 ? kProbeConnectPatience : kMaxServerErrorRetries;
        if (stop_) {
            return RunOutcome::kStopped;
        }
        if (!retry || failures >= patience || !control_.WaitBackoff(failures)) {
            return stop_ ? RunOutcome::kStopped : RunOutcome::kFailed;
        }
    }
}

// The probe's answer: length, ranges and validators, checked against what was kept.
std::optional<RunOutcome> TransferRun::LearnFile(const ResponseHead& head, std::int64_t first) {
    std::string etag = HeaderOr(head, "ETag");
    std::string lastModified = HeaderOr(head, "Last-Modified");
    std::int64_t total = -1;
    if (head.status == 206) {
        std::int64_t f = 0, l = 0;
        const std::string* cr = head.Find("Content-Range");
        if (cr == nullptr || !ParseContentRange(*cr, &f, &l, &total) || f != first || total < 0) {
            return RunOutcome::kFailed;
        }
        ranges_ = true;
        if (kept_ != nullptr && (total != kept_->total || !SameValidators(etag, kept_->etag) ||
                                 !SameValidators(lastModified, kept_->lastModified))) {
            return RunOutcome::kRestart;
        }
    } else {
        ranges_ = false;
        total = IsChunked(head) ? -1 : ContentLength(head);
        kept_ = nullptr;  // without ranges every run starts at byte 0
        progress_.downloaded = 0;
    }
    if (setup_.expectedSize >= 0 && total >= 0 && total != setup_.expectedSize) {
        return RunOutcome::kFailed;
    }
    etag_ = etag;
    lastModified_ = lastModified;
    total_ = total;
    progress_.total = total;
    return std::nullopt;
}

// Splits what is missing among the connections. A fresh start claims the whole length
// first, so a full disk or a 4 GiB volume limit shows before any transfer; some file
// systems extend a file without reserving its clusters, so the free space is asked too.
bool TransferRun::PlanSegments() {
    if (kept_ != nullptr) {
        segments_.PlanRemaining(kept_->remaining);
        return true;
    }
    HANDLE partial = files_.partial.Get();
    if (!SetFileLength(partial, 0) || (total_ > 0 && (!VolumeCanHold(files_.folder, total_) ||
                                                      !SetFileLength(partial, total_)))) {
        control_.Fail(kFailureLocalFile);
        return false;
    }
    if (ranges_ && total_ > 0) {
        std::int64_t count =
            std::clamp<std::int64_t>(total_ / kSegmentMinBytes, 1, setup_.connections);
        segments_.PlanEven(total_, static_cast<int>(count));
    } else {
        segments_.PlanWhole(total_);
    }
    return true;
}

RunOutcome TransferRun::RunConnections(std::unique_ptr<HttpStream> probe) {
    RecordIdentity identity{setup_.url, total_, etag_, lastModified_, setup_.bootStamp};
    DiskWriter disk(files_.partial.Get(), files_.state.Get(), segments_, control_,
                    progress_.downloaded, recordSequence_, identity, ranges_ && total_ >= 0);
    disk_ = &disk;
    // Within the same boot the last run's writes are in the system's cache; the first
    // flush puts them on the disk.
    disk.Begin(kept_ != nullptr ? kept_->remaining : segments_.Remaining());
    disk.Start();
    int count = ranges_ ? setup_.connections : 1;
    if (!ranges_) {
        growth_ = ConnectionGrowth(1, kMaxConnections);  // one stream, nothing to grow
    }
    wanted_ = count;
    started_ = Clock::now();
    try {
        StartConnection(std::move(probe), segments_.Claim(false));
        for (int i = 1; i < count; ++i) {
            StartConnection(nullptr, -1);
        }
    } catch (...) {
        // A thread that could not be started: the ones that run end on the cancel below,
        // and are joined as always.
        control_.Fail(kFailureOther);
    }
    Monitor();
    for (std::thread& t : connections_) {
        t.join();
    }
    disk.Finish();
    disk_ = nullptr;
    return Decide();
}

void TransferRun::StartConnection(std::unique_ptr<HttpStream> stream, int segment) {
    int index = static_cast<int>(connections_.size());
    ++activeConnections_;
    try {
        connections_.emplace_back(&TransferRun::Connection, this, std::move(stream), segment,
                                  index);
    } catch (...) {
        --activeConnections_;
        throw;
    }
}

// A connection thread's entry.
void TransferRun::Connection(std::unique_ptr<HttpStream> stream, int segment, int index) {
    GuardedRun(
        [this, &stream, segment, index] {
            SegmentWorker worker(*this, index);
            worker.Run(std::move(stream), segment);
        },
        [this] { control_.Fail(kFailureOther); });
    --activeConnections_;
}

// Reports the speed and adjusts the connections while they run; ends the run on a stop,
// a failure or a changed file.
void TransferRun::Monitor() {
    samples_.clear();
    while (control_.Pause(kMonitorTick) && activeConnections_ > 0) {
        SampleSpeed();
        AdjustConnections();
    }
    control_.Cancel();  // every connection has ended, or all of them must now
}

void TransferRun::AdjustConnections() {
    if (growth_.Settled() && wanted_ == growth_.Connections()) {
        return;
    }
    ConnectionGrowth::Sample now;
    now.seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    now.received = received_.load();
    now.waited = static_cast<double>(waitedMicroseconds_.load()) / 1e6;
    now.running = activeConnections_.load();
    now.receiving = receiving_.load();
    growth_.Update(now);
    wanted_ = growth_.Connections();
    try {
        while (static_cast<int>(connections_.size()) < wanted_) {
            StartConnection(nullptr, -1);
        }
    } catch (...) {
        wanted_ = static_cast<int>(connections_.size());  // the ones that run will do
    }
}

RunOutcome TransferRun::Decide() {
    if (control_.Changed() && !stop_) {
        return RunOutcome::kRestart;
    }
    if (control_.Failed()) {
        return RunOutcome::kFailed;
    }
    if (stop_) {
        return RunOutcome::kStopped;
    }
    if (!segments_.AllWritten()) {
        return RunOutcome::kFailed;
    }
    return Finish();
}

RunOutcome TransferRun::Finish() {
    std::int64_t length = progress_.downloaded.load();
    if (total_ < 0) {
        total_ = length;  // the body ended with the connection
        progress_.total = length;
    }
    HANDLE partial = files_.partial.Get();
    if (length != total_ || !SetFileLength(partial, total_) || !FlushFileBuffers(partial)) {
        control_.Fail(kFailureLocalFile);
        return RunOutcome::kFailed;
    }
    files_.partial.Reset();
    // The final name appears only now, complete and on the disk.
    if (!MoveFileExW(files_.partialPath.c_str(), files_.finalPath.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        control_.Fail(kFailureLocalFile);
        return RunOutcome::kFailed;
    }
    files_.state.Reset();
    DeleteFileW(files_.statePath.c_str());
    progress_.downloaded = total_;
    return RunOutcome::kFinished;
}

std::unique_ptr<HttpStream> TransferRun::OpenSegment(std::int64_t from, std::int64_t end,
                                                     std::string* error) {
    return ranges_ ? OpenFollowing(from, end - 1, false, error)
                   : OpenFollowing(-1, -1, false, error);
}

bool TransferRun::SameFile(const HttpStream& stream, std::int64_t from) const {
    const ResponseHead& head = stream.Head();
    if (!ranges_) {
        return head.status == 200 && ContentLength(head) == total_;
    }
    std::int64_t f = 0, l = 0, total = -1;
    const std::string* cr = head.Find("Content-Range");
    return head.status == 206 && cr != nullptr && ParseContentRange(*cr, &f, &l, &total) &&
           f == from && total == total_ && SameValidators(HeaderOr(head, "ETag"), etag_) &&
           SameValidators(HeaderOr(head, "Last-Modified"), lastModified_);
}

std::unique_ptr<HttpStream> TransferRun::OpenFollowing(std::int64_t first, std::int64_t last,
                                                       bool remember, std::string* error) {
    Url url = url_;
    auto stream = OpenHttpFollowingRedirects(&url, first, last, setup_.net, control_.Aborts(),
                                             control_.CancelFlag(), error);
    if (stream && remember) {
        url_ = url;  // the probe's target: later connections go straight there
    }
    return stream;
}

void TransferRun::SampleSpeed() {
    auto now = Clock::now();
    samples_.emplace_back(now, progress_.downloaded.load());
    while (samples_.size() > 2 && now - samples_[1].first >= std::chrono::seconds(1)) {
        samples_.erase(samples_.begin());
    }
    double seconds = std::chrono::duration<double>(now - samples_.front().first).count();
    if (seconds >= 0.2) {
        double rate =
            static_cast<double>(samples_.back().second - samples_.front().second) / seconds;
        progress_.speed = static_cast<std::int32_t>(std::clamp(rate, 0.0, 2147483647.0));
    }
}

}  // namespace korvane::xldl
