// What the engine remembers beside a partial download so that a pause, a restart or a
// crash continues where the data on disk ends. Encoded as a checksummed slot; the state
// file holds two slots written in turn, so a write cut short by a crash leaves the other,
// older slot intact. Portable (no Win32): also fuzzed on the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::xldl {

struct ByteRange {
    std::int64_t first = 0;  // next byte to fetch
    std::int64_t end = 0;    // one past the last byte
    bool operator==(const ByteRange&) const = default;
};

struct ResumeRecord {
    std::uint64_t sequence = 0;
    std::string url;          // as the task was created (before redirects)
    std::int64_t total = -1;  // -1 while unknown
    std::string etag;
    std::string lastModified;
    std::vector<ByteRange> remaining;  // still missing, as written to the file
    // Still missing as of the last flush of the data file to the disk: what survives a
    // power cut, used when the system was restarted since the record was written.
    std::vector<ByteRange> durableRemaining;
    std::int64_t bootStamp = 0;  // seconds; when the system last started
    bool operator==(const ResumeRecord&) const = default;
};

inline constexpr std::size_t kResumeSlotBytes = 16 * 1024;

// The slot image (at most kResumeSlotBytes); false when the record does not fit.
bool EncodeResumeSlot(const ResumeRecord& record, std::string* slot);
// False for a slot that is torn, foreign or inconsistent (ranges outside the file).
bool DecodeResumeSlot(const char* data, std::size_t size, ResumeRecord* record);

std::uint32_t Crc32(const void* data, std::size_t size);

// Bytes still missing in a list of ranges.
std::int64_t MissingBytes(const std::vector<ByteRange>& ranges);

}  // namespace korvane::xldl
