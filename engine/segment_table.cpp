#include "engine/segment_table.h"

#include <algorithm>
#include <limits>

namespace korvane::xldl {

namespace {

constexpr std::int64_t kAlign = 64 * 1024;
constexpr std::int64_t kSplitMinBytes = 256 << 10;  // a split leaves both halves this big
constexpr std::int64_t kUnknownEnd = std::numeric_limits<std::int64_t>::max();

}  // namespace

void SegmentTable::PlanEven(std::int64_t total, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    segments_.clear();
    std::int64_t step = (total / count) / kAlign * kAlign;
    for (int i = 0; i < count; ++i) {
        Segment s;
        s.written = s.fetched = i * step;
        s.end = (i + 1 == count) ? total : (i + 1) * step;
        segments_.push_back(s);
    }
}

void SegmentTable::PlanWhole(std::int64_t total) {
    std::lock_guard<std::mutex> lock(mutex_);
    segments_.clear();
    Segment s;
    s.end = total >= 0 ? total : kUnknownEnd;
    segments_.push_back(s);
}

void SegmentTable::PlanRemaining(const std::vector<ByteRange>& remaining) {
    std::lock_guard<std::mutex> lock(mutex_);
    segments_.clear();
    for (const ByteRange& r : remaining) {
        Segment s;
        s.written = s.fetched = r.first;
        s.end = r.end;
        segments_.push_back(s);
    }
}

int SegmentTable::Claim(bool maySplit) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        if (!segments_[i].owned && segments_[i].fetched < segments_[i].end) {
            segments_[i].owned = true;
            return static_cast<int>(i);
        }
    }
    return maySplit ? SplitLargest() : -1;
}

int SegmentTable::SplitLargest() {
    int best = -1;
    std::int64_t bestLeft = 0;
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        std::int64_t left = s.end - std::max(s.written, s.fetched);
        if (left > bestLeft) {
            bestLeft = left;
            best = static_cast<int>(i);
        }
    }
    if (best < 0 || bestLeft < 2 * kSplitMinBytes) {
        return -1;
    }
    Segment& victim = segments_[best];
    std::int64_t from = std::max(victim.written, victim.fetched);
    std::int64_t mid = (from + bestLeft / 2) / kAlign * kAlign;
    if (mid <= from) {
        return -1;
    }
    Segment taken;
    taken.written = taken.fetched = mid;
    taken.end = victim.end;
    taken.owned = true;
    victim.end = mid;
    segments_.push_back(taken);
    return static_cast<int>(segments_.size() - 1);
}

void SegmentTable::Release(int segment) {
    std::lock_guard<std::mutex> lock(mutex_);
    segments_[segment].owned = false;  // what it fetched may still be on its way to the disk
}

std::int64_t SegmentTable::NextToFetch(int segment) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return segments_[segment].fetched;
}

std::int64_t SegmentTable::End(int segment) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return segments_[segment].end;
}

std::int64_t SegmentTable::Reserve(int segment, std::size_t maxBytes, std::size_t* size) {
    std::lock_guard<std::mutex> lock(mutex_);
    Segment& s = segments_[segment];
    std::int64_t from = s.fetched;
    *size = static_cast<std::size_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(maxBytes), s.end - s.fetched));
    s.fetched += static_cast<std::int64_t>(*size);  // no split below this
    return from;
}

void SegmentTable::FetchedTo(int segment, std::int64_t upTo) {
    std::lock_guard<std::mutex> lock(mutex_);
    segments_[segment].fetched = upTo;
}

void SegmentTable::EndAtFetched(int segment) {
    std::lock_guard<std::mutex> lock(mutex_);
    segments_[segment].end = segments_[segment].fetched;
}

void SegmentTable::WrittenTo(int segment, std::int64_t upTo) {
    std::lock_guard<std::mutex> lock(mutex_);
    Segment& s = segments_[segment];
    s.written = std::max(s.written, upTo);
}

bool SegmentTable::AllWritten() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::all_of(segments_.begin(), segments_.end(),
                       [](const Segment& s) { return s.written >= s.end; });
}

std::vector<ByteRange> SegmentTable::Remaining() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<ByteRange> remaining;
    for (const Segment& s : segments_) {
        if (s.written < s.end) {
            remaining.push_back({s.written, s.end == kUnknownEnd ? s.written + 1 : s.end});
        }
    }
    std::sort(remaining.begin(), remaining.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
    return remaining;
}

}  // namespace korvane::xldl
