// Premultiplied "over": what the back buffer shows where a kept text or image is blended.
#include <gtest/gtest.h>

#include <vector>

#include "ui/core/pixel_blend.h"

namespace DuiLib {
namespace {

TEST(PixelBlend, OverFollowsThePremultipliedFormulaRoundedPerChannel) {
    EXPECT_EQ(BlendPixelOver(0xFF123456, 0x00000000), 0xFF123456u);  // transparent: unchanged
    EXPECT_EQ(BlendPixelOver(0xFF123456, 0xFF00FF00), 0xFF00FF00u);  // opaque: replaced
    // Half-transparent red (premultiplied 0x80) over opaque white: 0x80 + 255 * 127 / 255.
    EXPECT_EQ(BlendPixelOver(0xFFFFFFFF, 0x80800000), 0xFFFF7F7Fu);
    // Over a transparent pixel the source stays as it is.
    EXPECT_EQ(BlendPixelOver(0x00000000, 0x40201008), 0x40201008u);
    // Every destination and alpha: the nearest value to d * (255 - a) / 255, never above 255.
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t d = 0; d < 256; ++d) {
            uint32_t got = BlendPixelOver(d << 8, a << 24) >> 8 & 0xFF;
            uint32_t want = (d * (255 - a) * 2 + 255) / 510;
            ASSERT_EQ(got, want) << "a=" << a << " d=" << d;
        }
    }
    // A source that is not properly premultiplied saturates instead of spilling over.
    EXPECT_EQ(BlendPixelOver(0xFFFFFFFF, 0x10FF0000) >> 16 & 0xFF, 0xFFu);
}

TEST(PixelBlend, BlendOverTouchesOnlyTheBlockAndHonoursBothStrides) {
    // A 4 x 3 destination; a 2 x 2 block of a 3-wide source lands at (1, 1).
    std::vector<uint32_t> dst(12, 0xFF0000FF);
    const uint32_t src[] = {0xFFFF0000, 0x00000000, 0xDEADBEEF,  // third column unused
                            0x80800000, 0xFF00FF00, 0xDEADBEEF};
    BlendOver(dst.data() + 4 + 1, 4, src, 3, 2, 2);
    std::vector<uint32_t> want = {0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF,  //
                                  0xFF0000FF, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF,  //
                                  0xFF0000FF, 0xFF80007F, 0xFF00FF00, 0xFF0000FF};
    EXPECT_EQ(dst, want);
}

// A picture with every kind of run: clear margins, an opaque middle, soft edges, and rows
// of one kind only.
std::vector<uint32_t> MixedPicture(int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245 + 12345;
            uint32_t alpha = (x < 3 || y == 0)           ? 0
                             : (x > width - 4 || y == 5) ? (seed >> 8) & 0xFF
                                                         : 255;
            uint32_t c = alpha * ((seed >> 16) & 0xFF) / 255;
            pixels[static_cast<size_t>(y) * width + x] = alpha << 24 | c << 16 | c / 2 << 8 | c / 3;
        }
    }
    return pixels;
}

TEST(PixelBlend, RunsGiveWhatThePerPixelBlendGivesForEveryBlockOfThePicture) {
    const int w = 23, h = 9;
    std::vector<uint32_t> picture = MixedPicture(w, h);
    AlphaRuns runs;
    runs.Build(picture.data(), w, h);
    std::vector<uint32_t> background(40 * 12);
    for (size_t i = 0; i < background.size(); ++i)
        background[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    // Blocks starting inside runs, on run edges, one pixel wide, the whole picture.
    const int blocks[][4] = {{0, 0, w, h},  {2, 1, 5, 3},   {3, 0, 1, h},
                             {19, 4, 4, 5}, {10, 5, 13, 1}, {0, 8, w, 1}};
    for (auto& b : blocks) {
        std::vector<uint32_t> viaRuns = background, perPixel = background;
        BlendOverRuns(viaRuns.data() + 40 + 2, 40, picture.data(), w, runs, b[0], b[1], b[2], b[3]);
        BlendOver(perPixel.data() + 40 + 2, 40, picture.data() + b[1] * w + b[0], w, b[2], b[3]);
        EXPECT_EQ(viaRuns, perPixel) << b[0] << "," << b[1] << " " << b[2] << "x" << b[3];
    }
}

}  // namespace
}  // namespace DuiLib
