// The segment table driven by connections and a disk writer in any order the input picks:
// no byte is ever handed to two connections, and every byte of the file is either written
// or still listed as missing, so a resumed download can never skip one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "engine/segment_table.h"

using namespace korvane::xldl;

namespace {

// Disjoint byte ranges [first, end), kept merged.
class RangeSet {
  public:
    bool Overlaps(std::int64_t first, std::int64_t end) const {
        auto it = ranges_.upper_bound(first);
        if (it != ranges_.begin() && std::prev(it)->second > first) {
            return true;
        }
        return it != ranges_.end() && it->first < end;
    }
    void Add(std::int64_t first, std::int64_t end) {
        if (first >= end) {
            return;
        }
        auto it = ranges_.upper_bound(first);
        if (it != ranges_.begin() && std::prev(it)->second >= first) {
            --it;
            first = it->first;
            end = std::max(end, it->second);
            it = ranges_.erase(it);
        }
        while (it != ranges_.end() && it->first <= end) {
            end = std::max(end, it->second);
            it = ranges_.erase(it);
        }
        ranges_[first] = end;
    }
    void Remove(std::int64_t first, std::int64_t end) {
        std::vector<std::pair<std::int64_t, std::int64_t>> keep;
        for (auto it = ranges_.begin(); it != ranges_.end();) {
            if (it->second <= first || it->first >= end) {
                ++it;
                continue;
            }
            if (it->first < first) {
                keep.push_back({it->first, first});
            }
            if (it->second > end) {
                keep.push_back({end, it->second});
            }
            it = ranges_.erase(it);
        }
        for (auto& r : keep) {
            ranges_[r.first] = r.second;
        }
    }
    const std::map<std::int64_t, std::int64_t>& Ranges() const { return ranges_; }

  private:
    std::map<std::int64_t, std::int64_t> ranges_;
};

struct Connection {
    int segment = -1;
    std::int64_t at = 0;
    std::size_t size = 0;  // reserved and not yet fetched
};

struct Write {
    int segment;
    std::int64_t first;
    std::int64_t end;
};

// Every byte is written or listed missing; the list is sorted, disjoint and in the file.
void CheckCovered(const SegmentTable& table, const RangeSet& written, std::int64_t total) {
    RangeSet all = written;
    std::int64_t last = -1;
    for (const ByteRange& r : table.Remaining()) {
        if (r.first < 0 || r.end > total || r.first >= r.end || r.first < last) {
            __builtin_trap();
        }
        last = r.end;
        all.Add(r.first, r.end);
    }
    const auto& ranges = all.Ranges();
    if (total > 0 &&
        (ranges.size() != 1 || ranges.begin()->first != 0 || ranges.begin()->second != total)) {
        __builtin_trap();  // a byte neither written nor missing
    }
    if (table.AllWritten() != (table.Remaining().empty())) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::int64_t total = 1 + (static_cast<std::int64_t>(data[0]) << 18) + data[1] * 4099;
    SegmentTable table;
    table.PlanEven(total, 1 + data[2] % 16);
    Connection connections[4];
    std::deque<Write> queue;  // fetched, on its way to the disk in fetch order
    RangeSet taken;           // reserved or fetched by some connection
    RangeSet written;
    for (std::size_t i = 3; i < size; ++i) {
        Connection& c = connections[data[i] & 3];
        std::uint8_t arg = data[i] >> 2;
        switch (arg % 5) {
            case 0:  // take work, as a connection that has none does
                if (c.segment < 0) {
                    c.segment = table.Claim(true);
                }
                break;
            case 1:  // reserve the next stretch
                if (c.segment >= 0 && c.size == 0) {
                    std::size_t want = static_cast<std::size_t>(1 + arg * 40000);
                    c.at = table.Reserve(c.segment, want, &c.size);
                    if (c.size > 0 &&
                        taken.Overlaps(c.at, c.at + static_cast<std::int64_t>(c.size))) {
                        __builtin_trap();  // a byte handed out twice
                    }
                    taken.Add(c.at, c.at + static_cast<std::int64_t>(c.size));
                }
                break;
            case 2:  // a read brought part of the reservation
                if (c.segment >= 0 && c.size > 0) {
                    std::int64_t got = static_cast<std::int64_t>(c.size) * (arg % 4) / 3;
                    std::int64_t end = c.at + static_cast<std::int64_t>(c.size);
                    table.FetchedTo(c.segment, c.at + got);
                    taken.Remove(c.at + got, end);
                    if (got > 0) {
                        queue.push_back({c.segment, c.at, c.at + got});
                    }
                    c.size = 0;
                }
                break;
            case 3:  // the writer puts the oldest buffer on the disk
                if (!queue.empty()) {
                    Write w = queue.front();
                    queue.pop_front();
                    table.WrittenTo(w.segment, w.end);
                    written.Add(w.first, w.end);
                }
                break;
            case 4:  // the connection lets its segment go
                if (c.segment >= 0 && c.size == 0) {
                    table.Release(c.segment);
                    c.segment = -1;
                }
                break;
        }
        CheckCovered(table, written, total);
    }
    return 0;
}
