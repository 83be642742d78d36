// One connection of a transfer run: takes a segment, fetches it into its receive buffers
// and hands them to the disk writer, continues after a drop where it stopped, and takes
// more work until none is left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/http_connection.h"
#include "engine/receive_buffers.h"

namespace korvane::xldl {

class TransferRun;

class SegmentWorker {
  public:
    // `index`: the connection's number in the run, in starting order.
    SegmentWorker(TransferRun& run, int index);
    ~SegmentWorker();
    SegmentWorker(const SegmentWorker&) = delete;
    SegmentWorker& operator=(const SegmentWorker&) = delete;

    // Starts with `segment` (-1: claims one) and `stream` (null: opens one).
    void Run(std::unique_ptr<HttpStream> stream, int segment);

  private:
    enum class Opened { kUsable, kRetry, kEnd };
    bool ClaimSegment();
    void ReleaseSegment();
    Opened Open();
    bool Receive();
    std::size_t Fill(char* buffer, std::size_t want, bool* failed, bool* ended);
    void Count(long long bytes);
    bool BackOff();

    TransferRun& run_;
    const int index_;
    bool receiving_ = false;  // counted among the run's receiving connections
    // Destroyed before the thread leaves: waits until the writer gave both back.
    ReceiveBuffers buffers_;
    std::unique_ptr<HttpStream> stream_;
    int segment_ = -1;
    int failures_ = 0;  // attempts in a row without a byte
};

}  // namespace korvane::xldl
