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

constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = 64ll * 1024 * 1024;
// Browsers show a GIF frame without a delay for this long.
constexpr int kDefaultGifDelayMs = 100;

bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* image, std::string* error);

}  // namespace DuiLib
