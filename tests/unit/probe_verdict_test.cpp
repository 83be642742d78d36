// The first-disk verdict from the partition-style probe's output rows.
#include <gtest/gtest.h>

#include <string>

#include "staging/probe_verdict.h"

namespace korvane {
namespace {

struct Case {
    const wchar_t* output;
    ProbeVerdict expected;
};

void ExpectVerdicts(std::initializer_list<Case> cases) {
    int index = 0;
    for (const Case& c : cases) {
        EXPECT_EQ(JudgeProbeOutput(c.output), c.expected) << "case " << index;
        ++index;
    }
}

TEST(ProbeVerdict, DiskZeroWithFlagZeroIsMbr) {
    ExpectVerdicts({
        {L"Disk 0 0", ProbeVerdict::kMbr},
        {L"Disk 0 0\r\n", ProbeVerdict::kMbr},
        {L"\u78c1\u76d8 0 0\r\n", ProbeVerdict::kMbr},  // 磁盘 0 0
        // Only the first row counts: a GPT second disk or a second row "Disk 1 0" does not.
        {L"Disk 0 0\r\nDisk 1 1\r\n", ProbeVerdict::kMbr},
        {L"Disk 0 0\r\nDisk 1 0\r\n", ProbeVerdict::kMbr},
        // Disk 10 has no "1 " in its row.
        {L"Disk 10 0\r\n", ProbeVerdict::kMbr},
        // A "1 " only at the very start of the row does not count.
        {L"1 0 0\r\n", ProbeVerdict::kMbr},
    });
}

TEST(ProbeVerdict, FlagOtherThanZeroOrNothingReadRefusesTheFirstDisk) {
    ExpectVerdicts({
        {L"Disk 0 1", ProbeVerdict::kFirstDiskNotMbr},
        {L"\u78c1\u76d8 0 1\r\nDisk 1 0\r\n", ProbeVerdict::kFirstDiskNotMbr},
        // Wine's cmd prints a "... 1" row before each "... 0" row.
        {L"Disk 0 1\r\nDisk 0 0\r\n", ProbeVerdict::kFirstDiskNotMbr},
        // The flag is checked before the disk number.
        {L"Disk 1 1\r\n", ProbeVerdict::kFirstDiskNotMbr},
        {L"", ProbeVerdict::kFirstDiskNotMbr},
        // The flag position holds nothing: a blank ends the text.
        {L"Disk 0 ", ProbeVerdict::kFirstDiskNotMbr},
        {L"Disk 0  0", ProbeVerdict::kFirstDiskNotMbr},
        // No blank at all: the search starts from the beginning and finds "D".
        {L"Disk", ProbeVerdict::kFirstDiskNotMbr},
    });
}

TEST(ProbeVerdict, MissingBlankSearchesFromTheBeginning) {
    ExpectVerdicts({
        {L"0", ProbeVerdict::kMbr},
        {L"Disk 0", ProbeVerdict::kMbr},
        {L"Disk 1", ProbeVerdict::kFirstDiskNotMbr},
    });
}

TEST(ProbeVerdict, FirstRowNumberedOneElevenOrTwentyOneRefusesTheList) {
    ExpectVerdicts({
        {L"Disk 1 0", ProbeVerdict::kListNotFromDiskZero},
        {L"Disk 11 0\r\nDisk 12 0\r\n", ProbeVerdict::kListNotFromDiskZero},
        {L"\u78c1\u76d8 21 0\r\n", ProbeVerdict::kListNotFromDiskZero},
        // A later "1 " counts even when the row starts with one.
        {L"1 1 0\r\n", ProbeVerdict::kListNotFromDiskZero},
        // Without a line end the whole text is the first row.
        {L"Disk 0 0 Disk 1 0", ProbeVerdict::kListNotFromDiskZero},
    });
}

TEST(ProbeVerdict, EachRefusalHasItsMessage) {
    EXPECT_STREQ(ProbeRefusalMessage(ProbeVerdict::kFirstDiskNotMbr),
                 L"检测到本机分区为非MBR分区，请使用KorvanePE重装系统！");
    EXPECT_STREQ(ProbeRefusalMessage(ProbeVerdict::kListNotFromDiskZero),
                 L"检测到本机分区为非MBR分区，请使用KorvanePE下重装系统！");
    EXPECT_EQ(ProbeRefusalMessage(ProbeVerdict::kMbr), nullptr);
}

}  // namespace
}  // namespace korvane
