#include "ui/core/image_decoder.h"

#include <algorithm>
#include <iterator>

#include <gtest/gtest.h>

#include "fixture_path.h"

using DuiLib::DecodedImage;
using DuiLib::DecodeImage;

namespace {

DecodedImage DecodeFixture(const std::string& name) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ui_core_test::ReadFixture(name, &bytes)) << name;
    DecodedImage image;
    std::string error;
    EXPECT_TRUE(DecodeImage(bytes.data(), bytes.size(), &image, &error)) << name << ": " << error;
    return image;
}

std::vector<uint8_t> Pixel(const DecodedImage& image, size_t frame, int x, int y) {
    const uint8_t* p = image.frames[frame].bgra.data() + (y * image.width + x) * 4;
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace

TEST(ImageDecoder, PngBecomesPremultipliedBgra) {
    DecodedImage image = DecodeFixture("rgba_3x2.png");
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    ASSERT_EQ(image.frames.size(), 1u);
    ASSERT_EQ(image.frames[0].bgra.size(), 3u * 2 * 4);
    EXPECT_EQ(Pixel(image, 0, 0, 0), (std::vector<uint8_t>{0, 0, 255, 255}));      // red
    EXPECT_EQ(Pixel(image, 0, 1, 0), (std::vector<uint8_t>{0, 255, 0, 255}));      // green
    EXPECT_EQ(Pixel(image, 0, 2, 0), (std::vector<uint8_t>{255, 0, 0, 255}));      // blue
    EXPECT_EQ(Pixel(image, 0, 0, 1), (std::vector<uint8_t>{128, 128, 128, 128}));  // half white
    EXPECT_EQ(Pixel(image, 0, 1, 1), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(Pixel(image, 0, 2, 1), (std::vector<uint8_t>{0, 0, 64, 64}));  // quarter red
}

TEST(ImageDecoder, JpegDecodesOpaque) {
    DecodedImage image = DecodeFixture("grey_8x8.jpg");
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 8);
    ASSERT_EQ(image.frames.size(), 1u);
    std::vector<uint8_t> p = Pixel(image, 0, 5, 5);
    EXPECT_NEAR(p[0], 128, 3);
    EXPECT_NEAR(p[2], 128, 3);
    EXPECT_EQ(p[3], 255);
}

TEST(ImageDecoder, GifKeepsEveryFrameAndItsDelay) {
    DecodedImage image = DecodeFixture("anim_4x4.gif");
    ASSERT_EQ(image.width, 4);
    ASSERT_EQ(image.height, 4);
    ASSERT_EQ(image.frames.size(), 3u);
    EXPECT_EQ(image.frames[0].delayMs, 200);
    EXPECT_EQ(image.frames[1].delayMs, DuiLib::kDefaultGifDelayMs);
    EXPECT_EQ(image.frames[2].delayMs, 50);
    EXPECT_EQ(Pixel(image, 0, 3, 3), (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(Pixel(image, 1, 3, 3), (std::vector<uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(Pixel(image, 2, 3, 3), (std::vector<uint8_t>{255, 0, 0, 255}));
}

TEST(ImageDecoder, RefusesBrokenAndAbsurdImages) {
    DecodedImage image;
    std::string error;
    EXPECT_FALSE(DecodeImage(nullptr, 0, &image, &error));
    const uint8_t text[] = "not an image at all";
    EXPECT_FALSE(DecodeImage(text, sizeof text, &image, &error));
    EXPECT_NE(error.find("not a PNG, JPEG or GIF"), std::string::npos) << error;

    std::vector<uint8_t> png;
    ASSERT_TRUE(ui_core_test::ReadFixture("rgba_3x2.png", &png));
    // Cut anywhere before the end chunk (stb does not need the end chunk itself).
    for (size_t cut = 1; cut < png.size() - 12; ++cut) {
        EXPECT_FALSE(DecodeImage(png.data(), cut, &image, &error)) << cut;
        EXPECT_TRUE(image.frames.empty());
    }

    // The same PNG claiming 20000 x 2 pixels: refused before any pixel is decoded.
    std::vector<uint8_t> wide = png;
    wide[16] = 0;
    wide[17] = 0;
    wide[18] = 0x4E;
    wide[19] = 0x20;
    EXPECT_FALSE(DecodeImage(wide.data(), wide.size(), &image, &error));
    EXPECT_FALSE(error.empty());

    // 8192 x 4096: each side is allowed, the pixel count is not (a 16-bit PNG that size
    // would need over a GiB to decode).
    std::vector<uint8_t> large = png;
    const uint8_t size8192x4096[] = {0, 0, 0x20, 0, 0, 0, 0x10, 0};
    std::copy(std::begin(size8192x4096), std::end(size8192x4096), large.begin() + 16);
    EXPECT_FALSE(DecodeImage(large.data(), large.size(), &image, &error));
    EXPECT_NE(error.find("8192x4096 are out of range"), std::string::npos) << error;

    std::vector<uint8_t> gif;
    ASSERT_TRUE(ui_core_test::ReadFixture("anim_4x4.gif", &gif));
    for (size_t cut = 1; cut < gif.size(); ++cut) {
        // stb accepts a GIF cut after a whole frame; whatever it returns must be consistent.
        if (DecodeImage(gif.data(), cut, &image, &error)) {
            ASSERT_FALSE(image.frames.empty());
            for (const auto& frame : image.frames)
                EXPECT_EQ(frame.bgra.size(), 4u * 4 * 4);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

// Files the fuzzer found that made the decoder write or read out of bounds, or ask for
// gigabytes; kept so the sanitizer build re-checks them.
TEST(ImageDecoder, FilesThatOnceBrokeTheDecoder) {
    for (const char* name : {"bad_huffman.jpg", "bad_huffman_fill.jpg", "bad_huffman_code.jpg",
                             "huge_chunk.png", "gif_two_back.gif", "short_code_bits.jpg",
                             "undefined_huffman_table.jpg", "dc_overflow.jpg"}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ui_core_test::ReadFixture(name, &bytes)) << name;
        DecodedImage image;
        std::string error;
        bool ok = DecodeImage(bytes.data(), bytes.size(), &image, &error);
        // These may decode to garbage pixels; what counts is that nothing is read or
        // written out of bounds (the sanitizers watch that) and the frames are whole.
        const std::string file = name;
        if (file == "gif_two_back.gif" || file == "short_code_bits.jpg" ||
            file == "undefined_huffman_table.jpg") {
            if (ok) {
                for (const auto& frame : image.frames) {
                    EXPECT_EQ(frame.bgra.size(), size_t(image.width) * image.height * 4);
                }
            }
            continue;
        }
        EXPECT_FALSE(ok) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}
