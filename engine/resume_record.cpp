#include "engine/resume_record.h"

#include <cstring>

namespace korvane::xldl {

namespace {

constexpr char kMagic[8] = {'K', 'V', 'D', 'L', 'S', 'T', '0', '1'};
constexpr std::size_t kHeaderBytes = 16;  // magic, payload length, crc
constexpr std::size_t kMaxRanges = 256;

void PutU32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

std::uint32_t GetU32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    }
    return v;
}

// Header values may not hold line breaks: they would split the record's lines.
bool IsSingleLine(const std::string& s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

std::string FormatRanges(const std::vector<ByteRange>& ranges) {
    std::string out;
    for (const ByteRange& r : ranges) {
        if (!out.empty()) {
            out += ',';
        }
        out += std::to_string(r.first) + "-" + std::to_string(r.end);
    }
    return out;
}

bool ParseNumber(const std::string& s, std::int64_t* v) {
    if (s.empty() || s.size() > 19) {
        return false;
    }
    bool negative = s[0] == '-';
    std::size_t i = negative ? 1 : 0;
    if (i == s.size() || s.size() - i > 18) {
        return false;
    }
    std::int64_t n = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        n = n * 10 + (s[i] - '0');
    }
    *v = negative ? -n : n;
    return true;
}

bool ParseRanges(const std::string& s, std::int64_t total, std::vector<ByteRange>* ranges) {
    ranges->clear();
    if (s.empty()) {
        return true;
    }
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t comma = s.find(',', start);
        std::string item = s.substr(start, comma == std::string::npos ? comma : comma - start);
        std::size_t dash = item.find('-');
        ByteRange r;
        if (dash == std::string::npos || !ParseNumber(item.substr(0, dash), &r.first) ||
            !ParseNumber(item.substr(dash + 1), &r.end) || r.first < 0 || r.end <= r.first ||
            (total >= 0 && r.end > total) || ranges->size() >= kMaxRanges) {
            return false;
        }
        ranges->push_back(r);
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size) {
    static std::uint32_t table[256];
    static const bool ready = [] {
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[i] = c;
        }
        return true;
    }();
    (void)ready;
    std::uint32_t crc = 0xFFFFFFFFu;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

std::int64_t MissingBytes(const std::vector<ByteRange>& ranges) {
    std::int64_t n = 0;
    for (const ByteRange& r : ranges) {
        n += r.end - r.first;
    }
    return n;
}

bool EncodeResumeSlot(const ResumeRecord& record, std::string* slot) {
    if (!IsSingleLine(record.url) || !IsSingleLine(record.etag) ||
        !IsSingleLine(record.lastModified)) {
        return false;
    }
    std::string payload;
    payload += "seq=" + std::to_string(record.sequence) + "\n";
    payload += "url=" + record.url + "\n";
    payload += "total=" + std::to_string(record.total) + "\n";
    payload += "etag=" + record.etag + "\n";
    payload += "lastmod=" + record.lastModified + "\n";
    payload += "boot=" + std::to_string(record.bootStamp) + "\n";
    payload += "remaining=" + FormatRanges(record.remaining) + "\n";
    payload += "durable=" + FormatRanges(record.durableRemaining) + "\n";
    if (kHeaderBytes + payload.size() > kResumeSlotBytes) {
        return false;
    }
    slot->assign(kHeaderBytes + payload.size(), '\0');
    std::memcpy(slot->data(), kMagic, sizeof(kMagic));
    PutU32(slot->data() + 8, static_cast<std::uint32_t>(payload.size()));
    PutU32(slot->data() + 12, Crc32(payload.data(), payload.size()));
    std::memcpy(slot->data() + kHeaderBytes, payload.data(), payload.size());
    return true;
}

bool DecodeResumeSlot(const char* data, std::size_t size, ResumeRecord* record) {
    if (size < kHeaderBytes || std::memcmp(data, kMagic, sizeof(kMagic)) != 0) {
        return false;
    }
    std::uint32_t length = GetU32(data + 8);
    if (length > size - kHeaderBytes || Crc32(data + kHeaderBytes, length) != GetU32(data + 12)) {
        return false;
    }
    std::string payload(data + kHeaderBytes, length);
    ResumeRecord r;
    std::string remaining;
    std::string durable;
    bool haveSeq = false;
    bool haveTotal = false;
    std::size_t start = 0;
    while (start < payload.size()) {
        std::size_t end = payload.find('\n', start);
        if (end == std::string::npos) {
            return false;
        }
        std::string line = payload.substr(start, end - start);
        start = end + 1;
        std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            return false;
        }
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        std::int64_t n = 0;
        if (key == "seq") {
            if (!ParseNumber(value, &n) || n < 0) {
                return false;
            }
            r.sequence = static_cast<std::uint64_t>(n);
            haveSeq = true;
        } else if (key == "url") {
            r.url = value;
        } else if (key == "total") {
            if (!ParseNumber(value, &r.total) || r.total < -1) {
                return false;
            }
            haveTotal = true;
        } else if (key == "etag") {
            r.etag = value;
        } else if (key == "lastmod") {
            r.lastModified = value;
        } else if (key == "boot") {
            if (!ParseNumber(value, &r.bootStamp)) {
                return false;
            }
        } else if (key == "remaining") {
            remaining = value;
        } else if (key == "durable") {
            durable = value;
        }
    }
    if (!haveSeq || !haveTotal || r.url.empty() || !ParseRanges(remaining, r.total, &r.remaining) ||
        !ParseRanges(durable, r.total, &r.durableRemaining)) {
        return false;
    }
    *record = std::move(r);
    return true;
}

}  // namespace korvane::xldl
