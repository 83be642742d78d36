// Which bytes of the file each connection fetches. A segment is one stretch of the file:
// bytes below `written` are on the disk, bytes below `fetched` are fetched or being fetched
// (a split never cuts below it), and one connection at a time owns it. Portable (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/resume_record.h"

namespace korvane::xldl {

class SegmentTable {
  public:
    // A fresh file of `total` bytes in `count` segments of even, 64 KiB-aligned size.
    void PlanEven(std::int64_t total, int count);
    // One segment for the whole body; total < 0: it ends with the connection.
    void PlanWhole(std::int64_t total);
    // A resumed file: one segment per missing range.
    void PlanRemaining(const std::vector<ByteRange>& remaining);

    // An unowned segment with bytes left to fetch; else, when `maySplit`, a new segment of
    // the upper half of the largest unfetched stretch, so every connection stays busy until
    // the end. -1 when there is nothing left to take.
    int Claim(bool maySplit);
    void Release(int segment);

    // The segment's first byte not yet fetched, and one past its last byte.
    std::int64_t NextToFetch(int segment) const;
    std::int64_t End(int segment) const;
    // Reserves the next stretch of at most maxBytes; answers its first byte and sets *size
    // (0 when the segment is fetched).
    std::int64_t Reserve(int segment, std::size_t maxBytes, std::size_t* size);
    // What a reservation really got: the segment is fetched up to `upTo`.
    void FetchedTo(int segment, std::int64_t upTo);
    // A body without a length ended: the segment ends where it is fetched.
    void EndAtFetched(int segment);
    // The disk writer put the bytes below `upTo` on the disk.
    void WrittenTo(int segment, std::int64_t upTo);

    bool AllWritten() const;
    // The ranges not yet on the disk, in file order.
    std::vector<ByteRange> Remaining() const;

  private:
    struct Segment {
        std::int64_t written = 0;
        std::int64_t fetched = 0;
        std::int64_t end = 0;  // one past the last byte
        bool owned = false;
    };
    int SplitLargest();

    mutable std::mutex mutex_;
    std::vector<Segment> segments_;
};

}  // namespace korvane::xldl
