// Decodes arbitrary bytes as an image: the software catalogue's pictures come from the
// network and go through the same decoder as the skin's.
#include <cstddef>
#include <cstdint>

#include "ui/core/image_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DuiLib::DecodedImage image;
    std::string error;
    if (!DuiLib::DecodeImage(data, size, &image, &error)) {
        if (error.empty() || !image.frames.empty())
            __builtin_trap();
        return 0;
    }
    size_t bytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
    for (const DuiLib::DecodedFrame& frame : image.frames) {
        if (frame.bgra.size() != bytes || frame.delayMs < 0)
            __builtin_trap();
    }
    return 0;
}
