// The tiles to draw again when one picture replaces another of the same size.
#include <gtest/gtest.h>

#include <vector>

#include "ui/core/pixel_diff.h"

namespace DuiLib {
namespace {

bool Covers(const std::vector<PixelRect>& rects, int x, int y) {
    for (const PixelRect& r : rects) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return true;
    }
    return false;
}

TEST(PixelDiff, EqualPicturesNeedNothing) {
    std::vector<uint32_t> a(30 * 20, 0xFF102030u);
    EXPECT_TRUE(DifferingTiles(a.data(), a.data(), 30, 20, 8).empty());
}

// A 50 x 37 picture in tiles of 16: the last column and row of tiles are cut at the edges.
TEST(PixelDiff, EveryChangedPixelIsInATileAndTilesStayInsideThePicture) {
    const int width = 50, height = 37;
    std::vector<uint32_t> a(width * height, 0xFF000000u), b = a;
    const int changed[][2] = {{0, 0}, {49, 36}, {17, 3}, {33, 20}, {48, 0}};
    for (const auto& p : changed)
        b[p[1] * width + p[0]] ^= 0x00000100u;  // one channel step: still a difference
    std::vector<PixelRect> rects = DifferingTiles(a.data(), b.data(), width, height, 16);
    for (const auto& p : changed)
        EXPECT_TRUE(Covers(rects, p[0], p[1])) << p[0] << "," << p[1];
    int area = 0;
    for (const PixelRect& r : rects) {
        EXPECT_GE(r.left, 0);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.right, width);
        EXPECT_LE(r.bottom, height);
        area += (r.right - r.left) * (r.bottom - r.top);
    }
    // Tiles (0,0), (1,0) and (2,1) whole; (3,0) cut to 2 x 16 and (3,2) to 2 x 5 pixels.
    EXPECT_EQ(area, 16 * 16 * 3 + 2 * 16 + 2 * 5);
    EXPECT_FALSE(Covers(rects, 20, 36)) << "an unchanged tile is drawn again";
}

TEST(PixelDiff, NeighbouringTilesJoinAcrossAndDown) {
    const int width = 64, height = 64;
    std::vector<uint32_t> a(width * height, 0u), b = a;
    // A 20 x 40 block from (8, 8): tiles of 16 in columns 0 and 1, rows 0 to 2.
    for (int y = 8; y < 48; ++y)
        for (int x = 8; x < 28; ++x)
            b[y * width + x] = 0xFFFFFFFFu;
    std::vector<PixelRect> rects = DifferingTiles(a.data(), b.data(), width, height, 16);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].left, 0);
    EXPECT_EQ(rects[0].top, 0);
    EXPECT_EQ(rects[0].right, 32);
    EXPECT_EQ(rects[0].bottom, 48);
}

}  // namespace
}  // namespace DuiLib
