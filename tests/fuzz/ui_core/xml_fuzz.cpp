// Parses arbitrary bytes as a page.
#include <cstddef>
#include <cstdint>

#include "ui/core/xml_document.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DuiLib::XmlElement root;
    DuiLib::XmlError error;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    bool ok = DuiLib::ParseXml(text, &root, &error);
    if (ok && root.name.empty())
        __builtin_trap();
    if (!ok && (error.message.empty() || error.line < 1 || error.column < 1))
        __builtin_trap();
    return 0;
}
