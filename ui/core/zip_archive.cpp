#include "ui/core/zip_archive.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <zlib.h>

namespace DuiLib {
namespace {

constexpr uint32_t kEndOfCentralDirSig = 0x06054b50;
constexpr uint32_t kZip64LocatorSig = 0x07064b50;
constexpr uint32_t kCentralHeaderSig = 0x02014b50;
constexpr uint32_t kLocalHeaderSig = 0x04034b50;
constexpr size_t kEndOfCentralDirSize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kMaxCommentSize = 0xFFFF;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kMethodAes = 99;

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

char FoldChar(char c) {
    if (c == '\\')
        return '/';
    if (c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}

// A name we would never hand out for a lookup: it could mean a place outside the skin
// (absolute, drive-relative, parent references) or cut a C string short.
bool IsHostileName(std::string_view name) {
    if (name.empty())
        return true;
    if (name.find('\0') != std::string_view::npos)
        return true;
    if (name[0] == '/' || name[0] == '\\')
        return true;
    if (name.find(':') != std::string_view::npos)
        return true;  // "C:x", streams
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && name[end] != '/' && name[end] != '\\')
            ++end;
        if (name.substr(start, end - start) == "..")
            return true;
        start = end + 1;
    }
    return false;
}

std::string MakeKey(std::string_view name) {
    std::string key(name);
    for (char& c : key)
        c = FoldChar(c);
    return key;
}

// Orders a stored key against a lookup name folded on the fly, so lookups allocate nothing.
int CompareKey(std::string_view key, std::string_view name) {
    size_t n = std::min(key.size(), name.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(key[i]);
        unsigned char b = static_cast<unsigned char>(FoldChar(name[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (key.size() == name.size())
        return 0;
    return key.size() < name.size() ? -1 : 1;
}

std::string Quoted(std::string_view name) {
    std::string text = "\"";
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            static const char kHex[] = "0123456789abcdef";
            text += "\\x";
            text += kHex[u >> 4];
            text += kHex[u & 15];
        } else {
            text += c;
        }
    }
    text += '"';
    return text;
}

void SetError(std::string* error, std::string message) {
    if (error)
        *error = std::move(message);
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        uInt chunk = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, data, chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(crc);
}

}  // namespace

std::unique_ptr<ZipArchive> ZipArchive::Open(std::vector<uint8_t> bytes, std::string* error) {
    std::unique_ptr<ZipArchive> archive(new ZipArchive());
    archive->bytes_ = std::move(bytes);
    if (!archive->ParseCentralDirectory(error))
        return nullptr;
    if (error)
        error->clear();
    return archive;
}

bool ZipArchive::ParseCentralDirectory(std::string* error) {
    const uint8_t* data = bytes_.data();
    const size_t size = bytes_.size();
    if (size < kEndOfCentralDirSize) {
        SetError(error, "not a zip archive: " + std::to_string(size) +
                            " bytes is too short for an end-of-central-directory record");
        return false;
    }

    // The end record sits at the very end, followed only by its comment. Search backwards
    // and take the first record whose comment length fits the bytes that follow it.
    size_t eocd = SIZE_MAX;
    size_t last = size - kEndOfCentralDirSize;
    size_t first = last > kMaxCommentSize ? last - kMaxCommentSize : 0;
    for (size_t pos = last + 1; pos-- > first;) {
        if (data[pos] != 0x50 || Get32(data + pos) != kEndOfCentralDirSig)
            continue;
        size_t commentSize = Get16(data + pos + 20);
        if (pos + kEndOfCentralDirSize + commentSize <= size) {
            eocd = pos;
            break;
        }
    }
    if (eocd == SIZE_MAX) {
        SetError(error, "not a zip archive: no end-of-central-directory record");
        return false;
    }

    const uint8_t* end = data + eocd;
    uint16_t diskNumber = Get16(end + 4);
    uint16_t centralDisk = Get16(end + 6);
    uint16_t entriesOnDisk = Get16(end + 8);
    uint16_t entryCount = Get16(end + 10);
    uint32_t centralSize = Get32(end + 12);
    uint32_t centralOffset = Get32(end + 16);

    if (eocd >= kZip64LocatorSize && Get32(data + eocd - kZip64LocatorSize) == kZip64LocatorSig) {
        SetError(error, "zip64 archives are not supported");
        return false;
    }
    if (entryCount == 0xFFFF || centralSize == 0xFFFFFFFFu || centralOffset == 0xFFFFFFFFu) {
        SetError(error, "zip64 archives are not supported");
        return false;
    }
    if (diskNumber != 0 || centralDisk != 0 || entriesOnDisk != entryCount) {
        SetError(error, "multi-volume zip archives are not supported");
        return false;
    }
    if (static_cast<uint64_t>(centralOffset) + centralSize > eocd) {
        SetError(error, "corrupt zip archive: central directory (offset " +
                            std::to_string(centralOffset) + ", " + std::to_string(centralSize) +
                            " bytes) runs past the end record");
        return false;
    }

    entries_.reserve(entryCount);
    size_t pos = centralOffset;
    const size_t centralEnd = static_cast<size_t>(centralOffset) + centralSize;
    for (uint32_t i = 0; i < entryCount; ++i) {
        std::string where = "corrupt zip archive: central directory entry " + std::to_string(i);
        if (centralEnd - pos < kCentralHeaderSize) {
            SetError(error, where + " is truncated");
            return false;
        }
        const uint8_t* h = data + pos;
        if (Get32(h) != kCentralHeaderSig) {
            SetError(error, where + " has a bad signature");
            return false;
        }
        size_t nameSize = Get16(h + 28);
        size_t extraSize = Get16(h + 30);
        size_t commentSize = Get16(h + 32);
        size_t recordSize = kCentralHeaderSize + nameSize + extraSize + commentSize;
        if (centralEnd - pos < recordSize) {
            SetError(error, where + " runs past the central directory");
            return false;
        }
        Entry entry;
        entry.name.assign(reinterpret_cast<const char*>(h + kCentralHeaderSize), nameSize);
        entry.flags = Get16(h + 8);
        entry.method = Get16(h + 10);
        entry.crc = Get32(h + 16);
        entry.compressedSize = Get32(h + 20);
        entry.uncompressedSize = Get32(h + 24);
        entry.localHeaderOffset = Get32(h + 42);
        if (!IsHostileName(entry.name))
            entry.key = MakeKey(entry.name);
        entries_.push_back(std::move(entry));
        pos += recordSize;
    }

    MarkOverlaps(centralOffset);

    sortedByKey_.reserve(entries_.size());
    for (uint32_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].key.empty())
            sortedByKey_.push_back(i);
    }
    // Stable: with duplicate names the first one in the directory wins.
    std::stable_sort(sortedByKey_.begin(), sortedByKey_.end(),
                     [this](uint32_t a, uint32_t b) { return entries_[a].key < entries_[b].key; });
    return true;
}

// Entries whose data overlap each other (or the directory) are how the worst zip bombs
// multiply one compressed block into many files; no honest writer produces them. They are
// refused when read, and the rest of the archive stays readable. The span checked is a
// lower bound (header, name and data, without the local extra field, which we haven't
// read yet), so an honest archive always passes.
void ZipArchive::MarkOverlaps(uint32_t centralOffset) {
    struct Span {
        uint64_t start, end;
        size_t entry;
    };
    std::vector<Span> spans;
    spans.reserve(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.compressedSize == 0xFFFFFFFFu || e.localHeaderOffset == 0xFFFFFFFFu)
            continue;  // zip64 entry: refused when read
        uint64_t start = e.localHeaderOffset;
        spans.push_back({start, start + kLocalHeaderSize + e.name.size() + e.compressedSize, i});
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.start < b.start; });
    for (size_t i = 0; i < spans.size(); ++i) {
        uint64_t limit = i + 1 < spans.size() ? spans[i + 1].start : centralOffset;
        if (spans[i].end > limit)
            entries_[spans[i].entry].overlaps = true;
    }
}

const ZipArchive::Entry* ZipArchive::Find(std::string_view name) const {
    if (IsHostileName(name))
        return nullptr;
    auto it = std::lower_bound(sortedByKey_.begin(), sortedByKey_.end(), name,
                               [this](uint32_t index, std::string_view n) {
                                   return CompareKey(entries_[index].key, n) < 0;
                               });
    if (it == sortedByKey_.end() || CompareKey(entries_[*it].key, name) != 0)
        return nullptr;
    return &entries_[*it];
}

bool ZipArchive::Contains(std::string_view name) const {
    return Find(name) != nullptr;
}

std::vector<std::string> ZipArchive::Names() const {
    std::vector<std::string> names;
    names.reserve(entries_.size());
    for (const Entry& entry : entries_)
        names.push_back(entry.name);
    return names;
}

bool ZipArchive::Read(std::string_view name, std::vector<uint8_t>* out, std::string* error) const {
    out->clear();
    const Entry* entry = Find(name);
    if (!entry) {
        SetError(error, IsHostileName(name) ? "refused entry name " + Quoted(name)
                                            : "no entry " + Quoted(name) + " in the archive");
        return false;
    }
    const std::string what = "entry " + Quoted(entry->name);
    if ((entry->flags & (kFlagEncrypted | kFlagStrongEncryption)) || entry->method == kMethodAes) {
        SetError(error, what + " is encrypted");
        return false;
    }
    if (entry->compressedSize == 0xFFFFFFFFu || entry->uncompressedSize == 0xFFFFFFFFu ||
        entry->localHeaderOffset == 0xFFFFFFFFu) {
        SetError(error, what + " is a zip64 entry, which is not supported");
        return false;
    }
    if (entry->method != kMethodStored && entry->method != kMethodDeflated) {
        SetError(error, what + " uses compression method " + std::to_string(entry->method) +
                            ", which is not supported");
        return false;
    }
    if (entry->uncompressedSize > kMaxEntrySize) {
        SetError(error, what + " declares " + std::to_string(entry->uncompressedSize) +
                            " bytes, more than the limit of " + std::to_string(kMaxEntrySize));
        return false;
    }
    if (entry->method == kMethodStored && entry->compressedSize != entry->uncompressedSize) {
        SetError(error, what + " is stored but its sizes differ");
        return false;
    }
    if (entry->method == kMethodDeflated &&
        entry->uncompressedSize >
            static_cast<uint64_t>(entry->compressedSize) * kMaxCompressionRatio + 64) {
        SetError(error, what + " claims an impossible compression ratio (" +
                            std::to_string(entry->compressedSize) + " -> " +
                            std::to_string(entry->uncompressedSize) + " bytes)");
        return false;
    }

    const uint8_t* data = bytes_.data();
    const uint64_t size = bytes_.size();
    const uint64_t local = entry->localHeaderOffset;
    if (local + kLocalHeaderSize > size || Get32(data + local) != kLocalHeaderSig) {
        SetError(error, what + ": local header missing or outside the archive");
        return false;
    }
    const uint8_t* h = data + local;
    uint64_t dataStart = local + kLocalHeaderSize + Get16(h + 26) + Get16(h + 28);
    if (dataStart + entry->compressedSize > size) {
        SetError(error, what + ": data runs past the end of the archive");
        return false;
    }
    if (entry->overlaps) {
        SetError(error, what + " overlaps another entry or the directory (a zip bomb?)");
        return false;
    }
    const uint8_t* packed = data + dataStart;

    // Up to 256 MiB may not be available in a 32-bit process; say so instead of throwing.
    try {
        out->resize(entry->uncompressedSize);
    } catch (const std::bad_alloc&) {
        out->clear();
        SetError(error, what + ": not enough memory for " +
                            std::to_string(entry->uncompressedSize) + " bytes");
        return false;
    }
    if (entry->method == kMethodStored) {
        if (entry->uncompressedSize)
            std::memcpy(out->data(), packed, entry->uncompressedSize);
    } else {
        z_stream stream{};
        if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
            out->clear();
            SetError(error, what + ": cannot start zlib");
            return false;
        }
        uint8_t dummy = 0;
        stream.next_in = const_cast<Bytef*>(packed);
        stream.avail_in = entry->compressedSize;
        stream.next_out = out->empty() ? &dummy : out->data();
        stream.avail_out = entry->uncompressedSize;
        int rc = inflate(&stream, Z_FINISH);
        bool filled = stream.avail_out == 0;
        inflateEnd(&stream);
        if (rc != Z_STREAM_END) {
            out->clear();
            if (rc == Z_BUF_ERROR && filled && entry->uncompressedSize > 0) {
                SetError(error, what + " inflates to more than its declared " +
                                    std::to_string(entry->uncompressedSize) + " bytes");
            } else if (rc == Z_BUF_ERROR) {
                SetError(error, what + ": compressed data is truncated");
            } else {
                SetError(error, what + ": compressed data is corrupt");
            }
            return false;
        }
        if (!filled) {
            out->clear();
            SetError(error, what + " inflates to fewer than its declared " +
                                std::to_string(entry->uncompressedSize) + " bytes");
            return false;
        }
    }

    if (Crc32(out->data(), out->size()) != entry->crc) {
        out->clear();
        SetError(error, what + " fails its CRC-32 check");
        return false;
    }
    if (error)
        error->clear();
    return true;
}

}  // namespace DuiLib
