#include "ui/core/attribute_text.h"

#include <gtest/gtest.h>

using namespace DuiLib;

TEST(AttributeText, Colors) {
    uint32_t c = 0;
    EXPECT_TRUE(ParseColor("#FF1E90FF", &c));
    EXPECT_EQ(c, 0xFF1E90FFu);
    EXPECT_TRUE(ParseColor("#801e90ff", &c));
    EXPECT_EQ(c, 0x801E90FFu);
    EXPECT_TRUE(ParseColor(" #123456 ", &c));
    EXPECT_EQ(c, 0xFF123456u);
    c = 7;
    for (const char* bad : {"", "#", "FF123456", "#12345", "#1234567", "#123456789", "#GG123456"}) {
        EXPECT_FALSE(ParseColor(bad, &c)) << bad;
    }
    EXPECT_EQ(c, 7u);
}

TEST(AttributeText, RectsSizesIntsBools) {
    Rect r;
    EXPECT_TRUE(ParseRect("10, 20,-30 ,40", &r));
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, -30);
    EXPECT_EQ(r.bottom, 40);
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,,3,4", "a,2,3,4", "1,2,3,99999999999"}) {
        EXPECT_FALSE(ParseRect(bad, &r)) << bad;
    }
    Size s;
    EXPECT_TRUE(ParseSize("818,579", &s));
    EXPECT_EQ(s.cx, 818);
    EXPECT_EQ(s.cy, 579);
    EXPECT_FALSE(ParseSize("818", &s));
    int v = 0;
    EXPECT_TRUE(ParseInt("-2147483648", &v));
    EXPECT_EQ(v, -2147483647 - 1);
    EXPECT_FALSE(ParseInt("2147483648", &v));
    EXPECT_FALSE(ParseInt("-", &v));
    bool b = false;
    EXPECT_TRUE(ParseBool("true", &b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(ParseBool("FALSE", &b));
    EXPECT_FALSE(b);
    EXPECT_FALSE(ParseBool("1", &b));
}

TEST(AttributeText, Align) {
    unsigned f = 0;
    EXPECT_TRUE(ParseAlign("center", &f));
    EXPECT_EQ(f, kAlignCenter | kAlignVCenter);
    EXPECT_TRUE(ParseAlign("right,bottom", &f));
    EXPECT_EQ(f, kAlignRight | kAlignBottom);
    EXPECT_TRUE(ParseAlign("top left wrap", &f));
    EXPECT_EQ(f, kAlignLeft | kAlignTop | kAlignWrap);
    EXPECT_TRUE(ParseAlign("centerwrap", &f));
    EXPECT_EQ(f, kAlignCenter | kAlignVCenter | kAlignWrap);
    EXPECT_TRUE(ParseAlign("left, right", &f));  // the later word wins
    EXPECT_EQ(f, kAlignRight | kAlignVCenter);
    EXPECT_FALSE(ParseAlign("middle", &f));
    EXPECT_FALSE(ParseAlign(" , ", &f));
    Rect pad;
    EXPECT_TRUE(ParseTextPadding("2,0,2,0", &pad));
    EXPECT_EQ(pad.left, 2);
}

TEST(AttributeText, ImageDescriptions) {
    ImageDescription image;
    std::string error;
    ASSERT_TRUE(ParseImageDescription("close_1.png", &image, &error)) << error;
    EXPECT_EQ(image.file, "close_1.png");
    EXPECT_FALSE(image.hasDest || image.hasSource || image.hasCorner);

    ASSERT_TRUE(ParseImageDescription(
        "file='btn.png' source='0,0,90,30' dest='1,2,91,32' corner='4,4,4,4' fade='128' "
        "hole='true' xtiled='true'",
        &image, &error))
        << error;
    EXPECT_EQ(image.file, "btn.png");
    EXPECT_TRUE(image.hasSource && image.hasDest && image.hasCorner);
    EXPECT_EQ(image.source.right, 90);
    EXPECT_EQ(image.dest.bottom, 32);
    EXPECT_EQ(image.corner.left, 4);
    EXPECT_EQ(image.fade, 128);
    EXPECT_TRUE(image.hole);
    EXPECT_TRUE(image.xtiled);
    EXPECT_FALSE(image.ytiled);

    ASSERT_TRUE(ParseImageDescription("file='dir/a b.png'", &image, &error)) << error;
    EXPECT_EQ(image.file, "dir/a b.png");

    for (const char* bad :
         {"", "file='a.png", "file=a.png", "dest='1,2,3,4'", "file='a.png' corner='1,2'",
          "file='a.png' fade='300'", "file='a.png' colour='red'", "file=''", "a'.png"}) {
        error.clear();
        EXPECT_FALSE(ParseImageDescription(bad, &image, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_TRUE(image.file.empty()) << bad;
    }
}
