// Opens arbitrary bytes as an archive and reads every entry, by its stored name and
// folded variants, as the skin loader and the software catalogue would.
#include <cstddef>
#include <cstdint>

#include "ui/core/zip_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    auto zip = DuiLib::ZipArchive::Open(std::vector<uint8_t>(data, data + size), &error);
    if (!zip) {
        if (error.empty())
            __builtin_trap();
        return 0;
    }
    for (const std::string& name : zip->Names()) {
        std::vector<uint8_t> out;
        bool ok = zip->Read(name, &out, &error);
        if (!ok && (error.empty() || !out.empty()))
            __builtin_trap();
        if (ok && !zip->Contains(name))
            __builtin_trap();
        if (ok && out.size() > DuiLib::ZipArchive::kMaxEntrySize)
            __builtin_trap();
    }
    return 0;
}
