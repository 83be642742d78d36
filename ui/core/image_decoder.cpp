#include "ui/core/image_decoder.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#define STBI_NO_STDIO
#include <stb_image.h>

namespace DuiLib {
namespace {

// The most pixel bytes all frames of one image may take together.
constexpr uint64_t kMaxDecodedBytes = 128ull * 1024 * 1024;

struct StbFree {
    void operator()(void* p) const { stbi_image_free(p); }
};

bool IsGif(const uint8_t* data, size_t size) {
    return size >= 6 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F' && data[3] == '8' &&
           (data[4] == '7' || data[4] == '9') && data[5] == 'a';
}

// Counts the image descriptors of a GIF without decoding it, so that a file with a
// huge number of frames is refused before stb allocates them all. Returns -1 when the
// block structure is broken.
long long CountGifFrames(const uint8_t* data, size_t size) {
    if (size < 13)
        return -1;
    size_t pos = 13;
    uint8_t packed = data[10];
    if (packed & 0x80)
        pos += 3u * (2u << (packed & 7));
    auto skipSubBlocks = [&]() {
        while (pos < size) {
            uint8_t n = data[pos++];
            if (n == 0)
                return true;
            pos += n;
        }
        return false;
    };
    long long frames = 0;
    while (pos < size) {
        uint8_t tag = data[pos++];
        if (tag == 0x3B)
            return frames;  // trailer
        if (tag == 0x21) {  // extension: label, then sub-blocks
            if (pos >= size)
                return -1;
            ++pos;
            if (!skipSubBlocks())
                return -1;
        } else if (tag == 0x2C) {  // image descriptor
            if (size - pos < 9)
                return -1;
            uint8_t local = data[pos + 8];
            pos += 9;
            if (local & 0x80)
                pos += 3u * (2u << (local & 7));
            if (pos >= size)
                return -1;
            ++pos;  // LZW minimum code size
            if (!skipSubBlocks())
                return -1;
            ++frames;
        } else {
            return -1;
        }
    }
    return frames;  // no trailer: stb accepts that, so do we
}

bool IsPng(const uint8_t* data, size_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, kSignature, 8) == 0;
}

// stb sizes its buffer from a chunk's declared length before reading the chunk, so a
// small file claiming a 2 GiB chunk costs 2 GiB. Refuse chunks that run past the data.
bool PngChunksFit(const uint8_t* data, size_t size) {
    size_t pos = 8;
    while (size - pos >= 8) {
        uint32_t length = (static_cast<uint32_t>(data[pos]) << 24) | (data[pos + 1] << 16) |
                          (data[pos + 2] << 8) | data[pos + 3];
        if (length > size - pos - 8 || size - pos - 8 - length < 4)
            return false;
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0)
            return true;
        pos += 12 + static_cast<size_t>(length);
    }
    return true;  // ends without IEND: stb decides
}

// RGBA as stb gives it -> premultiplied BGRA.
void ToPremultipliedBgra(const uint8_t* rgba, size_t pixels, std::vector<uint8_t>* out) {
    out->resize(pixels * 4);
    uint8_t* d = out->data();
    for (size_t i = 0; i < pixels; ++i, rgba += 4, d += 4) {
        unsigned a = rgba[3];
        if (a == 255) {
            d[0] = rgba[2];
            d[1] = rgba[1];
            d[2] = rgba[0];
        } else {
            // (x * a + 127) / 255, exact rounding without a division
            auto mul = [a](unsigned x) {
                unsigned t = x * a + 128;
                return static_cast<uint8_t>((t + (t >> 8)) >> 8);
            };
            d[0] = mul(rgba[2]);
            d[1] = mul(rgba[1]);
            d[2] = mul(rgba[0]);
        }
        d[3] = static_cast<uint8_t>(a);
    }
}

bool Fail(std::string* error, std::string message) {
    if (error)
        *error = std::move(message);
    return false;
}

}  // namespace

static bool DecodeImageOrThrow(const uint8_t* data, size_t size, DecodedImage* image,
                               std::string* error);

bool DecodeImage(const uint8_t* data, size_t size, DecodedImage* image, std::string* error) {
    // The frame buffers are large; in a 32-bit process their allocation can fail.
    try {
        return DecodeImageOrThrow(data, size, image, error);
    } catch (const std::bad_alloc&) {
        *image = DecodedImage();
        if (error)
            *error = "not enough memory to decode the image";
        return false;
    }
}

static bool DecodeImageOrThrow(const uint8_t* data, size_t size, DecodedImage* image,
                               std::string* error) {
    *image = DecodedImage();
    if (!data || size == 0)
        return Fail(error, "empty image data");
    if (size > INT_MAX)
        return Fail(error, "image data too large");
    const int length = static_cast<int>(size);

    if (IsPng(data, size) && !PngChunksFit(data, size))
        return Fail(error, "corrupt PNG: a chunk runs past the end of the data");

    int width = 0, height = 0, components = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &components)) {
        const char* reason = stbi_failure_reason();
        return Fail(error, std::string("not a PNG, JPEG or GIF image") +
                               (reason ? std::string(" (") + reason + ")" : std::string()));
    }
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide ||
        static_cast<int64_t>(width) * height > kMaxImagePixels) {
        return Fail(error, "image dimensions " + std::to_string(width) + "x" +
                               std::to_string(height) + " are out of range");
    }
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);

    if (IsGif(data, size)) {
        long long frameCount = CountGifFrames(data, size);
        if (frameCount < 0)
            return Fail(error, "corrupt GIF: broken block structure");
        if (static_cast<uint64_t>(frameCount) * pixels * 4 > kMaxDecodedBytes) {
            return Fail(error, "GIF with " + std::to_string(frameCount) + " frames of " +
                                   std::to_string(width) + "x" + std::to_string(height) +
                                   " is too large to decode");
        }
        int* delays = nullptr;
        int w = 0, h = 0, frames = 0, comp = 0;
        std::unique_ptr<uint8_t, StbFree> pixelsRgba(
            stbi_load_gif_from_memory(data, length, &delays, &w, &h, &frames, &comp, 4));
        std::unique_ptr<int, StbFree> delayHolder(delays);
        if (!pixelsRgba || frames <= 0) {
            const char* reason = stbi_failure_reason();
            return Fail(error, std::string("cannot decode GIF") +
                                   (reason ? std::string(": ") + reason : std::string()));
        }
        if (w != width || h != height)
            return Fail(error, "GIF dimensions changed while decoding");
        image->width = w;
        image->height = h;
        image->frames.resize(static_cast<size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            DecodedFrame& frame = image->frames[static_cast<size_t>(i)];
            ToPremultipliedBgra(pixelsRgba.get() + static_cast<size_t>(i) * pixels * 4, pixels,
                                &frame.bgra);
            int delay = delays ? delays[i] : 0;
            frame.delayMs = delay > 0 ? delay : kDefaultGifDelayMs;
        }
        return true;
    }

    int w = 0, h = 0, comp = 0;
    std::unique_ptr<uint8_t, StbFree> rgba(stbi_load_from_memory(data, length, &w, &h, &comp, 4));
    if (!rgba) {
        const char* reason = stbi_failure_reason();
        return Fail(error, std::string("cannot decode image") +
                               (reason ? std::string(": ") + reason : std::string()));
    }
    if (w != width || h != height)
        return Fail(error, "image dimensions changed while decoding");
    image->width = w;
    image->height = h;
    image->frames.resize(1);
    ToPremultipliedBgra(rgba.get(), pixels, &image->frames[0].bgra);
    return true;
}

}  // namespace DuiLib
