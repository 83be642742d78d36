#pragma once
// Decodes the skin's PNG, JPEG and GIF images into premultiplied BGRA, the layout
// AlphaBlend and 32-bit DIB sections want.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace DuiLib {

struct DecodedFrame {
    std::vector<uint8_t> bgra;  // premultiplied alpha, top-down rows, width * height * 4 bytes
    int delayMs = 0;
};

struct DecodedImage {
    int width = 0, height = 0;
    std::vector<DecodedFrame> frames;  // one for PNG and JPEG, every frame for GIF
};

// Skin pictures and catalogue icons are far smaller. The cap keeps one decode (stb's
// 16-bit rows, its RGBA result and our BGRA copy) to a few hundred MiB, which a 32-bit
// process can still find room for.
constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = 16ll * 1024 * 1024;
// Browsers show a GIF frame without a delay for this long.
constexpr int kDefaultGifDelayMs = 100;

bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* image, std::string* error);

}  // namespace DuiLib
