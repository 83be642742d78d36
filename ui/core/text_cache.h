// Texts of one window as drawn once, kept so that a repaint blends the kept pixels instead
// of laying the text out and rasterising its glyphs again (which, under Wine, goes through
// FreeType on every draw and was the largest cost of a repaint). UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace DuiLib {

// A text drawn into a transparent block of the layout's size (premultiplied pixels), with
// the part that holds ink.
struct TextPicture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    int inkLeft = 0, inkTop = 0, inkRight = 0, inkBottom = 0;  // empty when nothing shows
    uint64_t lastUse = 0;

    // Finds the ink box after drawing.
    void MeasureInk();
};

struct TextKey {
    std::wstring text;
    const void* font = nullptr;
    uint32_t argb = 0;
    unsigned align = 0;
    int width = 0;
    int height = 0;

    bool operator==(const TextKey& other) const = default;
};

struct TextKeyHash {
    size_t operator()(const TextKey& key) const;
};

class TextCache {
  public:
    // Kept pixels beyond this are dropped, least recently used first.
    static constexpr size_t kByteBudget = 16u << 20;

    TextCache() = default;
    TextCache(const TextCache&) = delete;
    TextCache& operator=(const TextCache&) = delete;

    // The kept picture of key, or null when there is none yet.
    const TextPicture* Find(const TextKey& key);
    // Keeps a picture just drawn for key and returns it.
    const TextPicture& Keep(const TextKey& key, TextPicture picture);
    // Forgets every picture (a font they were drawn with may be gone).
    void Clear();
    size_t Bytes() const { return m_bytes; }
    size_t Count() const { return m_pictures.size(); }

  private:
    void Trim();

    std::unordered_map<TextKey, std::unique_ptr<TextPicture>, TextKeyHash> m_pictures;
    size_t m_bytes = 0;
    uint64_t m_clock = 0;
};

}  // namespace DuiLib
