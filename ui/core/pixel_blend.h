// Compositing of the framework's pixels: 32-bit 0xAARRGGBB with premultiplied alpha, the
// format of every back buffer and decoded image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace DuiLib {

// One premultiplied pixel over another: src + dst * (255 - src alpha) / 255, each channel
// rounded to the nearest value.
inline uint32_t BlendPixelOver(uint32_t dst, uint32_t src) {
    uint32_t inverse = 255 - (src >> 24);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        uint32_t scaled = ((dst >> shift) & 0xFF) * inverse + 128;
        uint32_t channel = ((src >> shift) & 0xFF) + ((scaled + (scaled >> 8)) >> 8);
        out |= (channel > 255 ? 255 : channel) << shift;
    }
    return out;
}

// Blends a width x height block of premultiplied pixels over another; strides are in
// pixels. Fully transparent source pixels leave the destination as it is, opaque ones
// replace it.
void BlendOver(uint32_t* dst, size_t dstStride, const uint32_t* src, size_t srcStride, int width,
               int height);

// The rows of a picture cut into runs of fully transparent, opaque and partly transparent
// pixels, found once when the picture is decoded: blending then skips the transparent runs
// and copies the opaque ones whole, which leaves a per-pixel blend only at soft edges.
class AlphaRuns {
  public:
    enum Kind : uint8_t { kClear, kOpaque, kMixed };
    struct Run {
        int start;
        int end;
        Kind kind;
    };

    void Build(const uint32_t* pixels, int width, int height);
    bool Empty() const { return m_rowStart.empty(); }
    // Blends columns [x0, x1) of row y of the picture (whose pixels start at row) over dst,
    // which holds the destination of column x0.
    void BlendRow(uint32_t* dst, const uint32_t* row, int y, int x0, int x1) const;

  private:
    std::vector<Run> m_runs;
    std::vector<size_t> m_rowStart;  // first run of each row, and one past the last row's
};

// BlendOver for a block of a picture whose runs are known: srcX and srcY place the block
// in the picture.
void BlendOverRuns(uint32_t* dst, size_t dstStride, const uint32_t* pixels, int pictureWidth,
                   const AlphaRuns& runs, int srcX, int srcY, int width, int height);

}  // namespace DuiLib
