#include "ui/core/pixel_blend.h"

#include <algorithm>
#include <cstring>

namespace DuiLib {

void BlendOver(uint32_t* dst, size_t dstStride, const uint32_t* src, size_t srcStride, int width,
               int height) {
    for (int y = 0; y < height; ++y) {
        uint32_t* d = dst + static_cast<size_t>(y) * dstStride;
        const uint32_t* s = src + static_cast<size_t>(y) * srcStride;
        for (int x = 0; x < width; ++x) {
            uint32_t alpha = s[x] >> 24;
            if (alpha == 0)
                continue;
            d[x] = alpha == 255 ? s[x] : BlendPixelOver(d[x], s[x]);
        }
    }
}

namespace {

AlphaRuns::Kind KindOf(uint32_t pixel) {
    uint32_t alpha = pixel >> 24;
    return alpha == 0 ? AlphaRuns::kClear : alpha == 255 ? AlphaRuns::kOpaque : AlphaRuns::kMixed;
}

}  // namespace

void AlphaRuns::Build(const uint32_t* pixels, int width, int height) {
    m_runs.clear();
    m_rowStart.clear();
    for (int y = 0; y < height; ++y) {
        m_rowStart.push_back(m_runs.size());
        const uint32_t* row = pixels + static_cast<size_t>(y) * width;
        int x = 0;
        while (x < width) {
            Kind kind = KindOf(row[x]);
            int start = x;
            while (x < width && KindOf(row[x]) == kind)
                ++x;
            m_runs.push_back(Run{start, x, kind});
        }
    }
    m_rowStart.push_back(m_runs.size());
}

void AlphaRuns::BlendRow(uint32_t* dst, const uint32_t* row, int y, int x0, int x1) const {
    auto first = m_runs.begin() + static_cast<std::ptrdiff_t>(m_rowStart[y]);
    auto last = m_runs.begin() + static_cast<std::ptrdiff_t>(m_rowStart[y + 1]);
    // The run holding x0: the last one starting at or before it.
    auto run = std::upper_bound(first, last, x0, [](int x, const Run& r) { return x < r.start; });
    if (run != first)
        --run;
    for (; run != last && run->start < x1; ++run) {
        int from = std::max(run->start, x0), to = std::min(run->end, x1);
        if (from >= to || run->kind == kClear)
            continue;
        if (run->kind == kOpaque) {
            memcpy(dst + (from - x0), row + from, static_cast<size_t>(to - from) * 4);
        } else {
            BlendOver(dst + (from - x0), 0, row + from, 0, to - from, 1);
        }
    }
}

void BlendOverRuns(uint32_t* dst, size_t dstStride, const uint32_t* pixels, int pictureWidth,
                   const AlphaRuns& runs, int srcX, int srcY, int width, int height) {
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(srcY + y) * pictureWidth;
        runs.BlendRow(dst + static_cast<size_t>(y) * dstStride, row, srcY + y, srcX, srcX + width);
    }
}

}  // namespace DuiLib
