// Where two pictures of the same size differ: what must be drawn again on the screen when
// one takes the other's place.
#pragma once

#include <cstdint>
#include <vector>

namespace DuiLib {

struct PixelRect {
    int left, top, right, bottom;
};

// The square tiles of side `tile` (cut at the picture's right and bottom edges) that hold at
// least one pixel differing between a and b, both width x height pixels without padding.
// Neighbouring differing tiles of a row of tiles give one rectangle, and a rectangle with the
// same columns as one ending right above it extends that one. Empty when the pictures are
// equal.
std::vector<PixelRect> DifferingTiles(const uint32_t* a, const uint32_t* b, int width, int height,
                                      int tile);

}  // namespace DuiLib
