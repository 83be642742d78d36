// The texts of the download page, the edition table and the web-address check: what the
// user reads while an image downloads, and which controls and keys each edition reaches.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "reinstall/download_texts.h"
#include "reinstall/editions.h"
#include "sysutil/web_address.h"

namespace korvane {
namespace {

std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += "\\u" + std::to_string(static_cast<unsigned>(c));
        }
    }
    return out;
}

TEST(SizeText, UnitFollowsTheBinaryBoundariesAndTwoDecimals) {
    struct Case {
        std::int64_t bytes;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, L"0.00KB"},
        {1536, L"1.50KB"},
        {1048575, L"1024.00KB"},  // one byte short of 1 MiB stays in KB, rounded up
        {1048576, L"1.00MB"},
        {-2048, L"-2.00KB"},  // a negative count is never MB or GB
        {-5000000000LL, L"-4882812.50KB"},
        {1073741823, L"1024.00MB"},  // one byte short of 1 GiB stays in MB
        {1073741824, L"1.00GB"},
        {4294967296LL, L"4.00GB"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
    }
}

TEST(SizeText, QuotientIsRoundedToFloatBeforeFormatting) {
    // Each of these prints the other way when the double quotient is formatted directly:
    // 1000.0049991... MB is 1000.0050048... as a float, 4.0049998... GB is 4.0050001...,
    // 100.0050000008 GB is 100.0049972....
    EXPECT_EQ(SizeText(1048581242), L"1000.01MB");
    EXPECT_EQ(SizeText(4300335872LL), L"4.01GB");
    EXPECT_EQ(SizeText(107379551110LL), L"100.00GB");
}

TEST(SpeedText, KbBelow1024000BytesAndMbFromThere) {
    EXPECT_EQ(SpeedText(900000), L"878.9 Kb/s");
    EXPECT_EQ(SpeedText(1023999), L"1000.0 Kb/s");
    // The boundary is 1,024,000 bytes/s, not 1 MiB/s: from there on Mb/s of 1,048,576.
    EXPECT_EQ(SpeedText(1024000), L"1.0 Mb/s");
    EXPECT_EQ(SpeedText(1048576), L"1.0 Mb/s");
    EXPECT_EQ(SpeedText(5242880), L"5.0 Mb/s");
    EXPECT_EQ(SpeedText(1), L"0.0 Kb/s");
    // A standing task shows megabits, not "0.0 Kb/s".
    EXPECT_EQ(SpeedText(0), L"0.0 Mb/s");
    EXPECT_STREQ(kPausedSpeedText, L"0 Mb/s");
}

TEST(RemainingTimeText, HoursMinutesSecondsOfWhatIsLeftAtTheCurrentSpeed) {
    const std::wstring percent = PercentText(87.54f);
    EXPECT_EQ(percent, L"87.5%");
    EXPECT_EQ(PercentText(0.0f), L"0.0%");
    EXPECT_EQ(PercentText(100.0f), L"100.0%");

    // 3725 s left: 1 h 2 min 5 s, each field two digits; four blanks before 已下载.
    const std::int64_t speed = 1000;
    EXPECT_EQ(RemainingTimeText(10000000, 10000000 - 3725 * speed, speed, percent),
              L"剩余时间：01:02:05    已下载:87.5%");
    // Integer seconds: 3725.999 s is still 3725.
    EXPECT_EQ(RemainingTimeText(3725999, 0, speed, L"1.0%"), L"剩余时间：01:02:05    已下载:1.0%");
    // Fields of ten and more carry no leading zero; hours are not cut at 99.
    EXPECT_EQ(RemainingTimeText(45296, 0, 1, L"0.0%"), L"剩余时间：12:34:56    已下载:0.0%");
    EXPECT_EQ(RemainingTimeText(360000, 0, 1, L"0.0%"), L"剩余时间：100:00:00    已下载:0.0%");
    // Less than a second left.
    EXPECT_EQ(RemainingTimeText(1500, 1000, 1000, L"66.7%"), L"剩余时间：00:00:00    已下载:66.7%");
    // A 4 GiB image at 1 MB/s: totals beyond 32 bits.
    EXPECT_EQ(RemainingTimeText(4294967296LL, 0, 1048576, L"0.0%"),
              L"剩余时间：01:08:16    已下载:0.0%");
}

TEST(RemainingTimeText, NoTimeWithoutSpeedOrWithNothingLeft) {
    EXPECT_EQ(RemainingTimeText(10000000, 5000000, 0, L"50.0%"), L"剩余时间：");
    EXPECT_EQ(RemainingTimeText(10000000, 10000000, 1000, L"100.0%"), L"剩余时间：");
    EXPECT_EQ(RemainingTimeText(0, 0, 0, L"0.0%"), L"剩余时间：");
    // A total the server never told (0) or one passed by: no wrapped-round thousand hours.
    EXPECT_EQ(RemainingTimeText(0, 5000, 1000, L"0.0%"), L"剩余时间：");
    EXPECT_EQ(RemainingTimeText(10000, 15000, 1000, L"150.0%"), L"剩余时间：");
}

TEST(ImageFileName, WhatFollowsTheLastSlash) {
    EXPECT_EQ(ImageFileName(L"http://127.0.0.1:8080/gho/Win7_64.GHO"), L"Win7_64.GHO");
    EXPECT_EQ(ImageFileName(L"Win7_64.GHO"), L"Win7_64.GHO");
    EXPECT_EQ(ImageFileName(L"http://host/gho/"), L"");
    EXPECT_EQ(ImageFileName(L""), L"");
    // The query stays part of the name.
    EXPECT_EQ(ImageFileName(L"http://host/a.GHO?x=1"), L"a.GHO?x=1");
}

TEST(ImagePath, OneBackslashBetweenFolderAndName) {
    EXPECT_EQ(ImagePath(L"E:", L"Win7_64.GHO"), L"E:\\Win7_64.GHO");
    EXPECT_EQ(ImagePath(L"E:\\", L"Win7_64.GHO"), L"E:\\Win7_64.GHO");
    EXPECT_EQ(ImagePath(L"D:\\QMZ", L"xp.gho"), L"D:\\QMZ\\xp.gho");
    EXPECT_EQ(ImagePath(L"D:\\QMZ\\", L"xp.gho"), L"D:\\QMZ\\xp.gho");
    EXPECT_EQ(ImagePath(L"", L"xp.gho"), L"\\xp.gho");
}

TEST(Editions, EachIndexReachesItsKeyOptionBannerAndFamilyControls) {
    struct Row {
        int index;
        const wchar_t* key;
        const wchar_t* banner;
        const wchar_t* button;
        const wchar_t* familyTip;
    };
    const Row rows[] = {
        {1, L"XP_1", L"您选择的 Windows XP纯净版", L"DownloadSystem1_Btn", L"tips11_label"},
        {2, L"XP_2", L"您选择的 Windows XP装机版", L"DownloadSystem1_Btn", L"tips11_label"},
        {3, L"WIN7_32_1", L"您选择的 Windows 7纯净版", L"DownloadSystem2_Btn", L"tips12_label"},
        {4, L"WIN7_32_2", L"您选择的 Windows 7装机版", L"DownloadSystem2_Btn", L"tips12_label"},
        {5, L"WIN7_64_1", L"您选择的 Windows 7纯净版", L"DownloadSystem2_Btn", L"tips12_label"},
        {6, L"WIN7_64_2", L"您选择的 Windows 7装机版", L"DownloadSystem2_Btn", L"tips12_label"},
        {7, L"WIN10_32_1", L"您选择的 Windows 10纯净版", L"DownloadSystem3_Btn", L"tips13_label"},
        {8, L"WIN10_32_2", L"您选择的 Windows 10装机版", L"DownloadSystem3_Btn", L"tips13_label"},
        {9, L"WIN10_64_1", L"您选择的 Windows 10纯净版", L"DownloadSystem3_Btn", L"tips13_label"},
        {10, L"WIN10_64_2", L"您选择的 Windows 10装机版", L"DownloadSystem3_Btn", L"tips13_label"},
    };
    ASSERT_EQ(kEditionCount, 10);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.index);
        const Edition* edition = EditionByIndex(row.index);
        ASSERT_NE(edition, nullptr);
        const std::wstring n = std::to_wstring(row.index);
        EXPECT_EQ(edition->index, row.index);
        EXPECT_STREQ(edition->catalogueKey, row.key);
        EXPECT_EQ(std::wstring(edition->option), L"OS_Op" + n);
        EXPECT_STREQ(edition->banner, row.banner);
        EXPECT_STREQ(DownloadButtonOf(*edition), row.button);
        EXPECT_STREQ(FamilyTipLabelOf(*edition), row.familyTip);
        EXPECT_EQ(EditionTipLabelOf(*edition), L"tips" + n + L"_label");
        EXPECT_EQ(SizeKeyOf(*edition), L"Size" + n);
        // The option's name leads back to the same edition (OS_Op1 is not OS_Op10's prefix
        // match, nor the other way round).
        EXPECT_EQ(EditionByOption(edition->option), edition);
    }
    for (int index : {0, 11, -1, 100}) {
        EXPECT_EQ(EditionByIndex(index), nullptr) << index;
    }
    for (const wchar_t* name : {L"OS_Op0", L"OS_Op11", L"OS_Op", L"os_op1", L"OS_Op1 ", L""}) {
        EXPECT_EQ(EditionByOption(name), nullptr) << Utf8(name);
    }
}

TEST(IsWebAddress, HttpAndHttpsWithAHostOnly) {
    for (const wchar_t* text : {L"http://a", L"https://a", L"HTTP://127.0.0.1:8080/x.ini",
                                L"HtTpS://www.korvane.com/", L"http://a/b/c.GHO"}) {
        EXPECT_TRUE(IsWebAddress(text)) << Utf8(text);
    }
    for (const wchar_t* text :
         {L"http://", L"https://", L"https:///x", L"http:///x", L"ftp://x", L"file:///C:/x",
          L"C:\\x.gho", L"", L"httpx://a", L"http:/a", L" http://a", L"http:\\\\a"}) {
        EXPECT_FALSE(IsWebAddress(text)) << Utf8(text);
    }
}

}  // namespace
}  // namespace korvane
