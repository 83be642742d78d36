#include "ui/core/pixel_diff.h"

#include <algorithm>
#include <cstring>

namespace DuiLib {

namespace {

// Which tiles of the row of tiles starting at pixel row top differ.
std::vector<bool> DifferingTilesOfRow(const uint32_t* a, const uint32_t* b, int width, int top,
                                      int bottom, int tile) {
    const int columns = (width + tile - 1) / tile;
    std::vector<bool> differs(static_cast<size_t>(columns), false);
    for (int y = top; y < bottom; ++y) {
        const size_t row = static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int column = 0; column < columns; ++column) {
            if (differs[static_cast<size_t>(column)])
                continue;
            const int x = column * tile;
            const size_t bytes = static_cast<size_t>(std::min(tile, width - x)) * 4;
            differs[static_cast<size_t>(column)] = memcmp(a + row + x, b + row + x, bytes) != 0;
        }
    }
    return differs;
}

}  // namespace

std::vector<PixelRect> DifferingTiles(const uint32_t* a, const uint32_t* b, int width, int height,
                                      int tile) {
    std::vector<PixelRect> rects;
    if (a == nullptr || b == nullptr || width <= 0 || height <= 0 || tile <= 0)
        return rects;
    for (int top = 0; top < height; top += tile) {
        const int bottom = std::min(top + tile, height);
        const std::vector<bool> differs = DifferingTilesOfRow(a, b, width, top, bottom, tile);
        const int columns = static_cast<int>(differs.size());
        for (int column = 0; column < columns;) {
            if (!differs[static_cast<size_t>(column)]) {
                ++column;
                continue;
            }
            const int first = column;
            while (column < columns && differs[static_cast<size_t>(column)])
                ++column;
            const PixelRect run = {first * tile, top, std::min(column * tile, width), bottom};
            auto above = std::find_if(rects.begin(), rects.end(), [&](const PixelRect& r) {
                return r.bottom == top && r.left == run.left && r.right == run.right;
            });
            if (above != rects.end())
                above->bottom = bottom;
            else
                rects.push_back(run);
        }
    }
    return rects;
}

}  // namespace DuiLib
