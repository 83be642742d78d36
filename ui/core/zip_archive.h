#pragma once
// Reader for the zip archives the program carries (skin pages and images, the software
// catalogue). Built on zlib's raw inflate; only what those archives need: stored and
// deflated entries, no zip64, no encryption. Every offset and size in the file is
// checked before use, since the catalogue archive comes from the network.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

class ZipArchive {
  public:
    // Largest uncompressed entry we agree to produce.
    static constexpr uint64_t kMaxEntrySize = 256u * 1024u * 1024u;
    // Largest believable deflate ratio; anything beyond is treated as a bomb.
    static constexpr uint64_t kMaxCompressionRatio = 1032;  // deflate's own ceiling
    static constexpr size_t kMaxEntries = 65535;

    // Takes the whole archive. Returns null and a message when the central directory
    // cannot be read.
    static std::unique_ptr<ZipArchive> Open(std::vector<uint8_t> bytes, std::string* error);

    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Names compare ASCII-case-insensitively, '/' and '\\' alike.
    bool Contains(std::string_view name) const;
    // Safe to call from several threads at once.
    bool Read(std::string_view name, std::vector<uint8_t>* out, std::string* error) const;
    // Entry names as stored (directories included, hostile names included verbatim).
    std::vector<std::string> Names() const;

  private:
    struct Entry {
        std::string name;  // as stored
        std::string key;   // lower-case, '/' separators; empty when the name is refused
        uint16_t flags = 0;
        uint16_t method = 0;
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t uncompressedSize = 0;
        uint32_t localHeaderOffset = 0;
        bool overlaps = false;  // shares bytes with another entry: refused when read
    };

    ZipArchive() = default;
    bool ParseCentralDirectory(std::string* error);
    void MarkOverlaps(uint32_t centralOffset);
    const Entry* Find(std::string_view name) const;

    std::vector<uint8_t> bytes_;
    std::vector<Entry> entries_;
    std::vector<uint32_t> sortedByKey_;  // indexes into entries_, sorted by key
};

}  // namespace DuiLib
