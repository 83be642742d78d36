#include "engine/segment_worker.h"

#include <chrono>

#include "engine/transfer_run.h"

namespace korvane::xldl {

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;  // one write per MiB
// Slow links still show steady progress: what came within this time is written. It is
// also what a killed process may have fetched and not yet written, on every connection of
// a capped server at once.
constexpr auto kPartialWriteAfter = std::chrono::milliseconds(50);
// About five minutes of back-offs without any progress fail the task.
constexpr int kMaxFailuresWithoutProgress = 40;

}  // namespace

SegmentWorker::SegmentWorker(TransferRun& run, int index)
    : run_(run), index_(index), buffers_(kBufferBytes) {}

SegmentWorker::~SegmentWorker() {
    if (receiving_) {
        run_.CountReceiving(-1);
    }
}

void SegmentWorker::Run(std::unique_ptr<HttpStream> stream, int segment) {
    stream_ = std::move(stream);
    if (stream_) {
        stream_->CountWaitsIn(&run_.WaitedMicroseconds());
    }
    segment_ = segment;
    RunControl& control = run_.Control();
    while (!control.Cancelled() && run_.Keeps(index_)) {
        if (segment_ < 0 && !ClaimSegment()) {
            break;  // nothing left to take
        }
        SegmentTable& segments = run_.Segments();
        if (segments.NextToFetch(segment_) >= segments.End(segment_)) {
            ReleaseSegment();
            continue;
        }
        if (!stream_) {
            Opened opened = Open();
            if (opened == Opened::kEnd) {
                break;
            }
            if (opened == Opened::kRetry) {
                continue;
            }
        }
        bool cutShort = Receive();
        stream_.reset();
        if (!run_.Keeps(index_)) {
            break;  // the run wants fewer connections: the segment goes back
        }
        if (!cutShort) {
            ReleaseSegment();
            continue;
        }
        if (control.Cancelled()) {
            break;
        }
        // Continue at the last byte fetched; without ranges, from byte 0 in a new run.
        if (!run_.Ranges()) {
            control.MarkChanged();
            break;
        }
        if (!BackOff()) {
            break;
        }
    }
    ReleaseSegment();
}

bool SegmentWorker::ClaimSegment() {
    stream_.reset();
    segment_ = run_.Segments().Claim(run_.Ranges());
    return segment_ >= 0;
}

void SegmentWorker::ReleaseSegment() {
    if (segment_ >= 0) {
        run_.Segments().Release(segment_);
        segment_ = -1;
    }
    stream_.reset();
}

// A stream for the rest of the segment. A response of another file (other length or
// validators, or no range where one was asked) ends the run, which starts over.
SegmentWorker::Opened SegmentWorker::Open() {
    SegmentTable& segments = run_.Segments();
    std::int64_t from = segments.NextToFetch(segment_);
    std::string error;
    std::unique_ptr<HttpStream> stream = run_.OpenSegment(from, segments.End(segment_), &error);
    if (stream) {
        if (run_.SameFile(*stream, from)) {
            stream_ = std::move(stream);
            stream_->CountWaitsIn(&run_.WaitedMicroseconds());
            return Opened::kUsable;
        }
        int status = stream->Head().status;
        if (status == 200 || status == 206 || status == 416) {
            run_.Control().MarkChanged();
            return Opened::kEnd;
        }
    }
    return BackOff() ? Opened::kRetry : Opened::kEnd;
}

// Reads the stream into the receive buffers and queues them for the disk. True when the
// stream ended or failed before the segment did.
bool SegmentWorker::Receive() {
    SegmentTable& segments = run_.Segments();
    bool failed = false;
    bool ended = false;
    while (!run_.Control().Cancelled() && !failed && !ended && run_.Keeps(index_)) {
        std::size_t want = 0;
        std::int64_t at = segments.Reserve(segment_, kBufferBytes, &want);
        if (want == 0) {
            break;
        }
        int slot = buffers_.Take();
        char* buffer = buffers_.Data(slot);
        std::size_t filled = Fill(buffer, want, &failed, &ended);
        segments.FetchedTo(segment_, at + static_cast<std::int64_t>(filled));
        if (filled > 0) {
            run_.Disk().Queue({segment_, at, buffer, filled, &buffers_, slot});
            failures_ = 0;
        } else {
            buffers_.Give(slot);
        }
    }
    if (ended && !run_.Ranges() && run_.Total() < 0) {
        segments.EndAtFetched(segment_);  // a body without a length ends with the connection
    }
    return segments.NextToFetch(segment_) < segments.End(segment_);
}

// Reads up to `want` bytes within the speed limit; stops early after a moment.
std::size_t SegmentWorker::Fill(char* buffer, std::size_t want, bool* failed, bool* ended) {
    RunControl& control = run_.Control();
    SpeedLimiter& limiter = run_.Limiter();
    std::size_t filled = 0;
    auto started = std::chrono::steady_clock::now();
    while (filled < want && !control.Cancelled()) {
        std::size_t grant = limiter.Acquire(want - filled, control.CancelFlag());
        if (grant == 0) {
            break;
        }
        long long n = stream_->Read(buffer + filled, grant);
        limiter.Refund(n > 0 ? grant - static_cast<std::size_t>(n) : grant);
        Count(n);
        if (n < 0) {
            *failed = true;
            break;
        }
        if (n == 0) {
            *ended = true;
            break;
        }
        filled += static_cast<std::size_t>(n);
        if (std::chrono::steady_clock::now() - started >= kPartialWriteAfter) {
            break;
        }
    }
    return filled;
}

// Tells the run what came.
void SegmentWorker::Count(long long bytes) {
    if (bytes <= 0) {
        return;
    }
    run_.CountReceived(bytes);
    if (!receiving_) {
        receiving_ = true;
        run_.CountReceiving(1);
    }
}

// After an attempt that brought nothing: waits, or gives up (which fails the run) after
// too many in a row. False when the connection ends.
bool SegmentWorker::BackOff() {
    RunControl& control = run_.Control();
    if (control.Cancelled()) {
        return false;
    }
    if (++failures_ > kMaxFailuresWithoutProgress) {
        control.Fail(kFailureOther);
        return false;
    }
    control.WaitBackoff(failures_ - 1);
    return true;
}

}  // namespace korvane::xldl
