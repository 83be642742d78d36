#include "ui/core/text_cache.h"

#include <algorithm>
#include <functional>

namespace DuiLib {

void TextPicture::MeasureInk() {
    inkLeft = width, inkTop = height, inkRight = 0, inkBottom = 0;
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            if (row[x] >> 24) {
                inkLeft = std::min(inkLeft, x);
                inkRight = std::max(inkRight, x + 1);
                inkTop = std::min(inkTop, y);
                inkBottom = y + 1;
            }
        }
    }
    if (inkRight <= inkLeft)
        inkLeft = inkTop = inkRight = inkBottom = 0;
}

size_t TextKeyHash::operator()(const TextKey& key) const {
    size_t h = std::hash<std::wstring>()(key.text);
    auto mix = [&h](size_t v) { h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2); };
    mix(std::hash<const void*>()(key.font));
    mix(key.argb);
    mix(key.align);
    mix(static_cast<size_t>(key.width) << 16 ^ static_cast<size_t>(key.height));
    return h;
}

const TextPicture* TextCache::Find(const TextKey& key) {
    auto it = m_pictures.find(key);
    if (it == m_pictures.end())
        return nullptr;
    it->second->lastUse = ++m_clock;
    return it->second.get();
}

const TextPicture& TextCache::Keep(const TextKey& key, TextPicture picture) {
    picture.lastUse = ++m_clock;
    auto kept = std::make_unique<TextPicture>(std::move(picture));
    m_bytes += kept->pixels.size() * sizeof(uint32_t);
    auto& slot = m_pictures[key];
    if (slot)
        m_bytes -= slot->pixels.size() * sizeof(uint32_t);
    slot = std::move(kept);
    const TextPicture& result = *slot;
    Trim();
    return result;
}

void TextCache::Clear() {
    m_pictures.clear();
    m_bytes = 0;
}

void TextCache::Trim() {
    if (m_bytes <= kByteBudget)
        return;
    // Down to three quarters of the budget, so that trimming is rare; the newest picture
    // (the one just kept) always stays.
    std::vector<std::pair<uint64_t, const TextKey*>> byAge;
    for (auto& entry : m_pictures)
        byAge.emplace_back(entry.second->lastUse, &entry.first);
    std::sort(byAge.begin(), byAge.end());
    std::vector<TextKey> drop;
    size_t bytes = m_bytes;
    for (size_t i = 0; i + 1 < byAge.size() && bytes > kByteBudget / 4 * 3; ++i) {
        const TextPicture& picture = *m_pictures[*byAge[i].second];
        bytes -= picture.pixels.size() * sizeof(uint32_t);
        drop.push_back(*byAge[i].second);
    }
    for (const TextKey& key : drop)
        m_pictures.erase(key);
    m_bytes = bytes;
}

}  // namespace DuiLib
