#pragma once
// Builds zip archives in memory for the tests, including deliberately broken ones: every
// header field can be overridden after the entry is added.

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

namespace ui_core_test {

struct ZipEntrySpec {
    std::string name;
    std::vector<uint8_t> data;
    bool deflate = true;
    std::string extra;  // extra field bytes, written to both headers
    // Overrides applied to the written headers (central and local alike).
    uint16_t flags = 0;
    int method = -1;                // -1: 0 or 8 as chosen by deflate
    int64_t crc = -1;               // -1: the real CRC
    int64_t compressedSize = -1;    // -1: the real size
    int64_t uncompressedSize = -1;  // -1: the real size
};

inline ZipEntrySpec EntryOf(const std::string& name, const std::vector<uint8_t>& data,
                            bool deflate = true) {
    ZipEntrySpec item;
    item.name = name;
    item.data = data;
    item.deflate = deflate;
    return item;
}

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

inline std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& data) {
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<uint8_t> out(deflateBound(&s, static_cast<uLong>(data.size())) + 16);
    s.next_in = const_cast<Bytef*>(data.data());
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

class ZipWriter {
  public:
    void Add(const ZipEntrySpec& item) { entries_.push_back(item); }
    void Add(const std::string& name, const std::string& text, bool deflate = true) {
        ZipEntrySpec item;
        item.name = name;
        item.data = Bytes(text);
        item.deflate = deflate;
        entries_.push_back(item);
    }
    std::string comment;

    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> out, central;
        for (const ZipEntrySpec& e : entries_) {
            std::vector<uint8_t> packed = e.deflate ? RawDeflate(e.data) : e.data;
            uint32_t crc = static_cast<uint32_t>(
                e.crc >= 0 ? e.crc : crc32(0, e.data.data(), static_cast<uInt>(e.data.size())));
            uint16_t method = static_cast<uint16_t>(e.method >= 0 ? e.method : (e.deflate ? 8 : 0));
            uint32_t csize =
                static_cast<uint32_t>(e.compressedSize >= 0 ? e.compressedSize : packed.size());
            uint32_t usize =
                static_cast<uint32_t>(e.uncompressedSize >= 0 ? e.uncompressedSize : e.data.size());
            uint32_t offset = static_cast<uint32_t>(out.size());

            Put32(&out, 0x04034b50);
            Put16(&out, 20);
            Put16(&out, e.flags);
            Put16(&out, method);
            Put32(&out, 0);  // time, date
            Put32(&out, crc);
            Put32(&out, csize);
            Put32(&out, usize);
            Put16(&out, static_cast<uint16_t>(e.name.size()));
            Put16(&out, static_cast<uint16_t>(e.extra.size()));
            out.insert(out.end(), e.name.begin(), e.name.end());
            out.insert(out.end(), e.extra.begin(), e.extra.end());
            out.insert(out.end(), packed.begin(), packed.end());

            Put32(&central, 0x02014b50);
            Put16(&central, 20);
            Put16(&central, 20);
            Put16(&central, e.flags);
            Put16(&central, method);
            Put32(&central, 0);
            Put32(&central, crc);
            Put32(&central, csize);
            Put32(&central, usize);
            Put16(&central, static_cast<uint16_t>(e.name.size()));
            Put16(&central, static_cast<uint16_t>(e.extra.size()));
            Put16(&central, 0);  // comment
            Put16(&central, 0);  // disk
            Put16(&central, 0);  // internal attributes
            Put32(&central, 0);  // external attributes
            Put32(&central, offset);
            central.insert(central.end(), e.name.begin(), e.name.end());
            central.insert(central.end(), e.extra.begin(), e.extra.end());
        }
        uint32_t centralOffset = static_cast<uint32_t>(out.size());
        out.insert(out.end(), central.begin(), central.end());
        Put32(&out, 0x06054b50);
        Put16(&out, 0);
        Put16(&out, 0);
        Put16(&out, static_cast<uint16_t>(entries_.size()));
        Put16(&out, static_cast<uint16_t>(entries_.size()));
        Put32(&out, static_cast<uint32_t>(central.size()));
        Put32(&out, centralOffset);
        Put16(&out, static_cast<uint16_t>(comment.size()));
        out.insert(out.end(), comment.begin(), comment.end());
        return out;
    }

  private:
    static void Put16(std::vector<uint8_t>* out, uint32_t v) {
        out->push_back(static_cast<uint8_t>(v));
        out->push_back(static_cast<uint8_t>(v >> 8));
    }
    static void Put32(std::vector<uint8_t>* out, uint32_t v) {
        Put16(out, v & 0xFFFF);
        Put16(out, v >> 16);
    }

    std::vector<ZipEntrySpec> entries_;
};

}  // namespace ui_core_test
