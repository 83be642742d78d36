#include "ui/swap_damage.h"

#include "ui/core/pixel_diff.h"
#include "ui/render.h"

namespace DuiLib {

namespace {

// Tiles of 16 pixels: a turning logo's two frames differ along a thin arc, and finer tiles
// would give the window more rectangles to repaint than they save.
constexpr int kTile = 16;
// Pairs remembered at most: an animation has a few dozen; a program that keeps swapping
// ever-new pictures starts over instead of growing.
constexpr size_t kMaxPairs = 256;

// The picture file of an attribute that names a file and nothing else (no key='value'
// pairs): drawn 1:1 when the control has the picture's size. Empty otherwise. Read here
// rather than through the paint's parsed-attribute cache, which belongs to the UI thread.
std::wstring PlainFile(const std::wstring& attribute) {
    bool plain = !attribute.empty() && attribute.find_first_of(L"='") == std::wstring::npos;
    return plain ? attribute : std::wstring();
}

}  // namespace

bool SwapDamage::Find(const std::wstring& from, const std::wstring& to, SIZE size,
                      std::vector<RECT>* tiles) {
    if (from == to || PlainFile(from).empty() || PlainFile(to).empty())
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    auto known = m_known.find(Pair(from, to));
    if (known == m_known.end()) {
        if (m_wanted.size() < kMaxPairs)
            m_wanted.insert(Pair(from, to));
        return false;
    }
    if (known->second.size.cx != size.cx || known->second.size.cy != size.cy)
        return false;
    *tiles = known->second.rects;
    return true;
}

void SwapDamage::Learn(const ImageCache& images) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto it = m_wanted.begin(); it != m_wanted.end();) {
        const ImageData* a = images.Find(PlainFile(it->first));
        const ImageData* b = images.Find(PlainFile(it->second));
        if (a == nullptr || b == nullptr) {
            ++it;  // not drawn yet
            continue;
        }
        if (m_known.size() >= kMaxPairs)
            m_known.clear();
        Tiles& tiles = m_known[*it];
        tiles.size = SIZE{-1, -1};  // no control has this size: the whole control is drawn
        if (a->ok && b->ok && a->FrameCount() == 1 && b->FrameCount() == 1 &&
            a->width == b->width && a->height == b->height) {
            tiles.size = SIZE{a->width, a->height};
            for (const PixelRect& r : DifferingTiles(a->bits, b->bits, a->width, a->height, kTile))
                tiles.rects.push_back(RECT{r.left, r.top, r.right, r.bottom});
        }
        it = m_wanted.erase(it);
    }
}

}  // namespace DuiLib
