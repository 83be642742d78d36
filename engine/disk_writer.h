// The disk side of a transfer run: one writer thread puts what the connections fetched on
// the disk in the order they fetched it, while they read on; a flusher thread puts it on
// the disk for good as the transfer goes; both keep the resume state record up to date.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/receive_buffers.h"
#include "engine/resume_record.h"
#include "engine/run_control.h"
#include "engine/segment_table.h"

namespace korvane::xldl {

// A filled receive buffer on its way to the disk; the buffer goes back to its connection
// after.
struct WriteJob {
    int segment = 0;
    std::int64_t pos = 0;
    const char* data = nullptr;
    std::size_t size = 0;
    ReceiveBuffers* buffers = nullptr;
    int slot = 0;
};

// What a resume record says about the download besides its ranges.
struct RecordIdentity {
    std::string url;  // as the task was created
    std::int64_t total = -1;
    std::string etag;
    std::string lastModified;
    std::int64_t bootStamp = 0;
};

class DiskWriter {
  public:
    // `written` counts the bytes put on the disk; `sequence` numbers the records of the
    // task across runs. Without `resumable` (no ranges, or no known length) no record is
    // kept.
    DiskWriter(HANDLE data, HANDLE state, SegmentTable& segments, RunControl& control,
               std::atomic<std::int64_t>& written, std::uint64_t& sequence,
               const RecordIdentity& identity, bool resumable);
    // Finishes first: every queued buffer is written or given back.
    ~DiskWriter();
    DiskWriter(const DiskWriter&) = delete;
    DiskWriter& operator=(const DiskWriter&) = delete;

    // Before the transfer: flushes the file and records `durable` as what survives a
    // power cut.
    void Begin(const std::vector<ByteRange>& durable);
    // Starts the writer and flusher threads.
    void Start();
    void Queue(const WriteJob& job);
    // Writes what is queued, stops both threads and saves the record a last time.
    void Finish();

  private:
    void WriterLoop();
    void Written(const WriteJob& job);
    void FlusherLoop();
    void FlushWritten();
    void SaveRecord(bool force);

    const HANDLE data_;
    const HANDLE state_;
    SegmentTable& segments_;
    RunControl& control_;
    std::atomic<std::int64_t>& written_;
    const RecordIdentity identity_;
    const bool resumable_;

    std::mutex saveMutex_;
    std::uint64_t& sequence_;
    std::vector<ByteRange> durable_;
    std::atomic<std::int64_t> unsaved_{0};

    std::mutex writeMutex_;
    std::condition_variable writeReady_;
    std::deque<WriteJob> writeQueue_;
    bool writerDone_ = false;
    bool writeFailed_ = false;  // writer thread only

    std::mutex flushMutex_;
    std::condition_variable flushWake_;
    bool flusherDone_ = false;
    std::atomic<std::int64_t> unflushed_{0};

    std::thread writer_;
    std::thread flusher_;
    bool finished_ = false;
};

}  // namespace korvane::xldl
