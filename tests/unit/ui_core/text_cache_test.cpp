// The window's kept texts: found again by every part of their key, and trimmed to the
// budget by least recent use.
#include <gtest/gtest.h>

#include "ui/core/text_cache.h"

namespace DuiLib {
namespace {

TextPicture Picture(int width, int height) {
    TextPicture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(static_cast<size_t>(width) * height, 0u);
    return p;
}

TEST(TextCache, EveryPartOfTheKeyCounts) {
    TextCache cache;
    TextKey key{L"下一步", reinterpret_cast<void*>(1), 0xFF000000, 0, 120, 40};
    cache.Keep(key, Picture(120, 40));
    EXPECT_NE(cache.Find(key), nullptr);
    TextKey others[] = {key, key, key, key, key, key};
    others[0].text = L"上一步";
    others[1].font = reinterpret_cast<void*>(2);
    others[2].argb = 0xFFFF0000;
    others[3].align = 1;
    others[4].width = 121;
    others[5].height = 41;
    for (const TextKey& other : others)
        EXPECT_EQ(cache.Find(other), nullptr) << &other - others;
}

TEST(TextCache, OverTheBudgetTheLeastRecentlyUsedGoFirst) {
    TextCache cache;
    // Each picture is a sixteenth of the budget.
    const int side = 512;
    auto key = [](int i) { return TextKey{std::to_wstring(i), nullptr, 0, 0, 512, 512}; };
    for (int i = 0; i < 16; ++i)
        cache.Keep(key(i), Picture(side, side));
    EXPECT_EQ(cache.Count(), 16u);
    EXPECT_NE(cache.Find(key(0)), nullptr);  // used again: now the most recent but one
    cache.Keep(key(16), Picture(side, side));
    EXPECT_LE(cache.Bytes(), TextCache::kByteBudget);
    EXPECT_NE(cache.Find(key(0)), nullptr);
    EXPECT_NE(cache.Find(key(16)), nullptr);
    EXPECT_EQ(cache.Find(key(1)), nullptr);  // the oldest untouched one
    // A picture larger than the whole budget is still kept, alone.
    cache.Keep(key(99), Picture(2048, 2049));
    EXPECT_EQ(cache.Count(), 1u);
    EXPECT_NE(cache.Find(key(99)), nullptr);
}

}  // namespace
}  // namespace DuiLib
