#include "engine/disk_writer.h"

#include <chrono>

#include "engine/local_file.h"
#include "sysutil/no_throw.h"

namespace korvane::xldl {

namespace {

constexpr std::int64_t kSaveEveryBytes = 1 << 20;  // what a crash may cost at most, roughly
// What a power cut may cost. Flushing while the transfer goes on also leaves the final
// flush before the rename only the last stretch to write.
constexpr auto kFlushEvery = std::chrono::seconds(4);
constexpr std::int64_t kFlushEveryBytes = 64 << 20;

}  // namespace

DiskWriter::DiskWriter(HANDLE data, HANDLE state, SegmentTable& segments, RunControl& control,
                       std::atomic<std::int64_t>& written, std::uint64_t& sequence,
                       const RecordIdentity& identity, bool resumable)
    : data_(data),
      state_(state),
      segments_(segments),
      control_(control),
      written_(written),
      identity_(identity),
      resumable_(resumable),
      sequence_(sequence) {}

DiskWriter::~DiskWriter() {
    Finish();
}

void DiskWriter::Begin(const std::vector<ByteRange>& durable) {
    {
        std::lock_guard<std::mutex> lock(saveMutex_);
        durable_ = durable;
    }
    FlushFileBuffers(data_);
    SaveRecord(true);
}

void DiskWriter::Start() {
    auto failed = [this] { control_.Fail(kFailureOther); };
    writer_ = std::thread([this, failed] { GuardedRun([this] { WriterLoop(); }, failed); });
    flusher_ = std::thread([this, failed] { GuardedRun([this] { FlusherLoop(); }, failed); });
}

void DiskWriter::Queue(const WriteJob& job) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    writeQueue_.push_back(job);
    writeReady_.notify_one();
}

void DiskWriter::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    {
        std::lock_guard<std::mutex> lock(writeMutex_);
        writerDone_ = true;
        writeReady_.notify_one();
    }
    if (writer_.joinable()) {
        writer_.join();
    }
    {
        std::lock_guard<std::mutex> lock(flushMutex_);
        flusherDone_ = true;
        flushWake_.notify_one();
    }
    if (flusher_.joinable()) {
        flusher_.join();
    }
    SaveRecord(true);
}

void DiskWriter::WriterLoop() {
    for (;;) {
        WriteJob job;
        {
            std::unique_lock<std::mutex> lock(writeMutex_);
            writeReady_.wait(lock, [this] { return !writeQueue_.empty() || writerDone_; });
            if (writeQueue_.empty()) {
                return;  // told to stop, and everything is written
            }
            job = writeQueue_.front();
            writeQueue_.pop_front();
        }
        bool ok = !writeFailed_ && WriteAt(data_, job.pos, job.data, job.size);
        job.buffers->Give(job.slot);
        if (!ok) {
            if (!writeFailed_) {
                writeFailed_ = true;
                control_.Fail(kFailureLocalFile);  // disk full, or the file cannot grow
            }
            continue;  // later jobs only hand their buffers back
        }
        // Every buffer must go back to its connection, so a throw while recording fails the
        // task here and the loop goes on draining the queue.
        GuardedRun([this, &job] { Written(job); }, [this] { control_.Fail(kFailureOther); });
    }
}

void DiskWriter::Written(const WriteJob& job) {
    std::int64_t size = static_cast<std::int64_t>(job.size);
    segments_.WrittenTo(job.segment, job.pos + size);
    written_ += size;
    if ((unsaved_ += size) >= kSaveEveryBytes) {
        SaveRecord(false);
    }
    if ((unflushed_ += size) >= kFlushEveryBytes) {
        std::lock_guard<std::mutex> lock(flushMutex_);
        flushWake_.notify_one();
    }
}

void DiskWriter::FlusherLoop() {
    using Clock = std::chrono::steady_clock;
    auto lastFlush = Clock::now();
    std::unique_lock<std::mutex> lock(flushMutex_);
    for (;;) {
        flushWake_.wait_until(lock, lastFlush + kFlushEvery, [this] {
            return flusherDone_ || unflushed_.load() >= kFlushEveryBytes;
        });
        if (flusherDone_) {
            return;
        }
        if (unflushed_.load() > 0) {
            lock.unlock();
            FlushWritten();
            lock.lock();
        }
        lastFlush = Clock::now();
    }
}

void DiskWriter::FlushWritten() {
    unflushed_ = 0;  // what is written from here on waits for the next flush
    std::vector<ByteRange> snapshot = segments_.Remaining();
    if (!FlushFileBuffers(data_)) {
        return;  // nothing more is known to be on the disk
    }
    {
        std::lock_guard<std::mutex> lock(saveMutex_);
        durable_ = snapshot;
    }
    SaveRecord(true);
}

void DiskWriter::SaveRecord(bool force) {
    if (!resumable_) {
        return;  // nothing could be resumed: no record to keep
    }
    std::unique_lock<std::mutex> lock(saveMutex_, std::defer_lock);
    if (force) {
        lock.lock();
    } else if (!lock.try_lock()) {
        return;  // another thread is saving right now
    }
    unsaved_ = 0;
    ResumeRecord r;
    r.sequence = ++sequence_;
    r.url = identity_.url;
    r.total = identity_.total;
    r.etag = identity_.etag;
    r.lastModified = identity_.lastModified;
    r.remaining = segments_.Remaining();
    r.durableRemaining = durable_;
    r.bootStamp = identity_.bootStamp;
    std::string slot;
    if (!EncodeResumeSlot(r, &slot)) {
        return;
    }
    WriteAt(state_, static_cast<std::int64_t>((r.sequence % 2) * kResumeSlotBytes), slot.data(),
            slot.size());
}

}  // namespace korvane::xldl
