#include "ui/core/zip_archive.h"

#include <thread>

#include <gtest/gtest.h>

#include "fixture_path.h"
#include "zip_writer.h"

using DuiLib::ZipArchive;
using ui_core_test::Bytes;
using ui_core_test::EntryOf;
using ui_core_test::ZipEntrySpec;
using ui_core_test::ZipWriter;

namespace {

std::string Text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::unique_ptr<ZipArchive> OpenOk(std::vector<uint8_t> bytes) {
    std::string error;
    auto zip = ZipArchive::Open(std::move(bytes), &error);
    EXPECT_TRUE(zip) << error;
    return zip;
}

// Reads one entry and expects failure with a message containing `expected`.
void ExpectReadError(const ZipArchive& zip, const std::string& name, const std::string& expected) {
    std::vector<uint8_t> out{1, 2, 3};
    std::string error;
    EXPECT_FALSE(zip.Read(name, &out, &error)) << name;
    EXPECT_TRUE(out.empty());
    EXPECT_NE(error.find(expected), std::string::npos) << "error was: " << error;
}

ZipWriter SmallArchive() {
    ZipWriter w;
    w.Add("UIQV_MainFrame.xml", "<Window size=\"818,579\"/>");
    w.Add("images/close_1.png", std::string(300, 'x'), false);
    w.Add("empty-stored.txt", "", false);
    w.Add("empty-deflated.txt", "", true);
    w.Add("images/", "", false);
    w.comment = "skin archive";
    return w;
}

}  // namespace

TEST(ZipArchive, ReadsStoredAndDeflatedEntriesWithFoldedNames) {
    auto zip = OpenOk(SmallArchive().Build());
    ASSERT_TRUE(zip);
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(zip->Read("uiqv_mainframe.XML", &out, &error)) << error;
    EXPECT_EQ(Text(out), "<Window size=\"818,579\"/>");
    ASSERT_TRUE(zip->Read("IMAGES\\close_1.png", &out, &error)) << error;
    EXPECT_EQ(Text(out), std::string(300, 'x'));
    ASSERT_TRUE(zip->Read("empty-stored.txt", &out, &error)) << error;
    EXPECT_TRUE(out.empty());
    ASSERT_TRUE(zip->Read("empty-deflated.txt", &out, &error)) << error;
    EXPECT_TRUE(out.empty());

    EXPECT_TRUE(zip->Contains("Images/Close_1.PNG"));
    EXPECT_FALSE(zip->Contains("images/close_1.pn"));
    EXPECT_FALSE(zip->Contains("close_1.png"));
    ExpectReadError(*zip, "missing.xml", "no entry");
    EXPECT_EQ(zip->Names().size(), 5u);
    EXPECT_EQ(zip->Names()[1], "images/close_1.png");
}

TEST(ZipArchive, ReadsAnArchiveWrittenByTheZipTool) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ui_core_test::ReadFixture("sample.zip", &bytes));
    auto zip = OpenOk(bytes);
    ASSERT_TRUE(zip);
    std::vector<uint8_t> page, png, expectedPng;
    std::string error;
    ASSERT_TRUE(zip->Read("skin/page.xml", &page, &error)) << error;
    EXPECT_NE(Text(page).find("<Label text=\"ok\"/>"), std::string::npos);
    ASSERT_TRUE(zip->Read("skin/images/rgba_3x2.png", &png, &error)) << error;
    ASSERT_TRUE(ui_core_test::ReadFixture("rgba_3x2.png", &expectedPng));
    EXPECT_EQ(png, expectedPng);
}

TEST(ZipArchive, EveryTruncationFailsCleanly) {
    std::vector<uint8_t> full = SmallArchive().Build();
    std::vector<uint8_t> fixture;
    ASSERT_TRUE(ui_core_test::ReadFixture("sample.zip", &fixture));
    for (const std::vector<uint8_t>* source : {&full, &fixture}) {
        for (size_t cut = 0; cut < source->size(); ++cut) {
            std::vector<uint8_t> bytes(source->begin(), source->begin() + cut);
            std::string error;
            auto zip = ZipArchive::Open(bytes, &error);
            if (!zip) {
                EXPECT_FALSE(error.empty()) << "cut at " << cut;
                continue;
            }
            // Only a cut inside the trailing comment may leave a readable directory; then
            // every entry must still read back whole or fail with a message.
            for (const std::string& name : zip->Names()) {
                std::vector<uint8_t> out;
                if (!zip->Read(name, &out, &error)) {
                    EXPECT_FALSE(error.empty());
                }
            }
        }
    }
}

TEST(ZipArchive, RefusesWhatItCannotOpen) {
    std::string error;
    EXPECT_FALSE(ZipArchive::Open({}, &error));
    EXPECT_NE(error.find("too short"), std::string::npos) << error;
    EXPECT_FALSE(ZipArchive::Open(Bytes(std::string(100, 'A')), &error));
    EXPECT_NE(error.find("no end-of-central-directory"), std::string::npos) << error;

    // The end record claims more entries than the directory holds.
    std::vector<uint8_t> bytes = SmallArchive().Build();
    size_t end = bytes.size() - 22 - 12;
    bytes[end + 8] = bytes[end + 10] = 9;
    EXPECT_FALSE(ZipArchive::Open(bytes, &error));
    EXPECT_NE(error.find("central directory entry 5"), std::string::npos) << error;

    // Directory offset pointing past the end record.
    bytes = SmallArchive().Build();
    bytes[end + 16] = 0xF0;
    bytes[end + 17] = 0xFF;
    EXPECT_FALSE(ZipArchive::Open(bytes, &error));
    EXPECT_NE(error.find("runs past"), std::string::npos) << error;

    // A zip64 locator in front of the end record.
    bytes = SmallArchive().Build();
    std::vector<uint8_t> locator = {0x50, 0x4b, 0x06, 0x07};
    locator.resize(20);
    bytes.insert(bytes.end() - 22 - 12, locator.begin(), locator.end());
    EXPECT_FALSE(ZipArchive::Open(bytes, &error));
    EXPECT_NE(error.find("zip64"), std::string::npos) << error;
}

TEST(ZipArchive, ReportsBadEntriesClearly) {
    ZipWriter w;
    ZipEntrySpec badCrc = EntryOf("bad-crc.xml", Bytes("<Window/>"));
    badCrc.crc = 0x12345678;
    w.Add(badCrc);
    ZipEntrySpec encrypted = EntryOf("secret.xml", Bytes("<Window/>"));
    encrypted.flags = 1;
    w.Add(encrypted);
    ZipEntrySpec bzip2 = EntryOf("bzip2.xml", Bytes("<Window/>"));
    bzip2.method = 12;
    w.Add(bzip2);
    ZipEntrySpec storedMismatch = EntryOf("stored.xml", Bytes("abc"));
    storedMismatch.deflate = false;
    storedMismatch.uncompressedSize = 4;
    w.Add(storedMismatch);
    ZipEntrySpec zip64 = EntryOf("zip64.bin", Bytes("abc"));
    zip64.compressedSize = 0xFFFFFFFF;
    w.Add(zip64);
    ZipEntrySpec pastEnd = EntryOf("past-end.bin", Bytes("abc"), false);
    pastEnd.compressedSize = pastEnd.uncompressedSize = 100000;
    w.Add(pastEnd);
    w.Add("good.xml", "<Window/>");
    auto zip = OpenOk(w.Build());
    ASSERT_TRUE(zip);
    ExpectReadError(*zip, "bad-crc.xml", "CRC-32");
    ExpectReadError(*zip, "secret.xml", "encrypted");
    ExpectReadError(*zip, "bzip2.xml", "compression method 12");
    ExpectReadError(*zip, "stored.xml", "sizes differ");
    ExpectReadError(*zip, "zip64.bin", "zip64");
    ExpectReadError(*zip, "past-end.bin", "past the end");
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(zip->Read("good.xml", &out, &error)) << error;
}

TEST(ZipArchive, StopsAtTheDeclaredSizeAndRefusesBombs) {
    std::vector<uint8_t> zeros(4 * 1024 * 1024, 0);
    ZipWriter w;
    // Real data much longer than declared: inflate must stop, not overrun.
    ZipEntrySpec longer = EntryOf("longer.bin", zeros);
    longer.uncompressedSize = 1000;
    w.Add(longer);
    ZipEntrySpec shorter = EntryOf("shorter.bin", Bytes("0123456789"));
    shorter.uncompressedSize = 11;
    w.Add(shorter);
    // Declared sizes beyond the limit, and beyond what deflate can reach from its input.
    ZipEntrySpec huge = EntryOf("huge.bin", Bytes("x"), false);
    huge.compressedSize = 1;
    huge.uncompressedSize = ZipArchive::kMaxEntrySize + 1;
    w.Add(huge);
    ZipEntrySpec ratio = EntryOf("ratio.bin", Bytes("tiny"));
    ratio.uncompressedSize = 200 * 1024 * 1024;
    w.Add(ratio);
    auto zip = OpenOk(w.Build());
    ASSERT_TRUE(zip);
    ExpectReadError(*zip, "longer.bin", "more than its declared 1000 bytes");
    ExpectReadError(*zip, "shorter.bin", "fewer than its declared 11 bytes");
    ExpectReadError(*zip, "huge.bin", "limit");
    ExpectReadError(*zip, "ratio.bin", "compression ratio");

    // A real 4 MiB bomb with honest headers is simply data: it reads back.
    ZipWriter honest;
    honest.Add(EntryOf("zeros.bin", zeros));
    auto bomb = OpenOk(honest.Build());
    ASSERT_TRUE(bomb);
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(bomb->Read("zeros.bin", &out, &error)) << error;
    EXPECT_EQ(out, zeros);
}

TEST(ZipArchive, HostileNamesAreListedButNeverLookedUp) {
    ZipWriter w;
    const std::vector<std::string> hostile = {
        "../evil.xml",   "/etc/passwd", "\\windows\\win.ini",        "C:/boot.ini",
        "a/../../b.xml", "skin/..",     std::string("nul\0.xml", 8), ""};
    for (const std::string& name : hostile)
        w.Add(name, "bad");
    w.Add("a..b/ok..xml", "fine");
    auto zip = OpenOk(w.Build());
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->Names().size(), hostile.size() + 1);
    EXPECT_EQ(zip->Names()[6], std::string("nul\0.xml", 8));
    for (const std::string& name : hostile) {
        EXPECT_FALSE(zip->Contains(name)) << name;
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_FALSE(zip->Read(name, &out, &error)) << name;
        EXPECT_NE(error.find("refused"), std::string::npos) << error;
    }
    // "nul" must not match the name cut at its NUL either.
    EXPECT_FALSE(zip->Contains("nul"));
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(zip->Read("a..b/ok..xml", &out, &error)) << error;
    EXPECT_EQ(Text(out), "fine");
}

TEST(ZipArchive, BoundsOfHeadersAndExtraFields) {
    ZipWriter w;
    ZipEntrySpec withExtra = EntryOf("extra.xml", Bytes("<Window/>"));
    withExtra.extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    w.Add(withExtra);
    std::vector<uint8_t> bytes = w.Build();
    auto zip = OpenOk(bytes);
    ASSERT_TRUE(zip);
    std::vector<uint8_t> out;
    std::string error;
    ASSERT_TRUE(zip->Read("extra.xml", &out, &error)) << error;

    // Local extra length grown so the data would start past the end.
    bytes[28] = 0xFF;
    bytes[29] = 0xFF;
    zip = OpenOk(bytes);
    ASSERT_TRUE(zip);
    ExpectReadError(*zip, "extra.xml", "past the end");

    // Central name length reaching past the directory.
    bytes = w.Build();
    size_t central = bytes.size() - 22 - (46 + 9 + 9);
    bytes[central + 28] = 0xF0;
    std::string openError;
    EXPECT_FALSE(ZipArchive::Open(bytes, &openError));
    EXPECT_NE(openError.find("runs past the central directory"), std::string::npos) << openError;

    // Local header offset pointing outside the archive, or at something else.
    bytes = w.Build();
    bytes[central + 42] = 0xFF;
    bytes[central + 45] = 0x7F;
    zip = OpenOk(bytes);
    ASSERT_TRUE(zip);
    ExpectReadError(*zip, "extra.xml", "local header");
}

TEST(ZipArchive, ConcurrentReadsAgree) {
    ZipWriter w;
    std::vector<std::string> contents;
    for (int i = 0; i < 20; ++i) {
        contents.push_back(std::string(5000 + i * 100, static_cast<char>('a' + i)));
        w.Add("page" + std::to_string(i) + ".xml", contents.back(), i % 2 == 0);
    }
    auto zip = OpenOk(w.Build());
    ASSERT_TRUE(zip);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                for (int i = 0; i < 20; ++i) {
                    std::vector<uint8_t> out;
                    std::string error;
                    if (!zip->Read("page" + std::to_string(i) + ".xml", &out, &error) ||
                        Text(out) != contents[i]) {
                        ++failures[t];
                    }
                }
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (int f : failures)
        EXPECT_EQ(f, 0);
}

TEST(ZipArchive, OverlappingEntriesAreRefusedTheRestReads) {
    // Two directory records for one local entry, the way overlap bombs reuse one block.
    ZipWriter w;
    w.Add("kernel.bin", std::string(10000, 'k'));
    w.Add("honest.txt", "honest");
    std::vector<uint8_t> bytes = w.Build();
    size_t end = bytes.size() - 22;
    uint32_t central = bytes[end + 16] | (bytes[end + 17] << 8);
    size_t second = central + 46 + 10;  // the central record of honest.txt
    std::vector<uint8_t> copy(bytes.begin() + central, bytes.begin() + second);
    copy[46 + 0] = 'K';  // "Kernel.bin", a second name for the same data
    copy[46 + 1] = '2';
    bytes.insert(bytes.begin() + end, copy.begin(), copy.end());
    end += copy.size();
    bytes[end + 8] = bytes[end + 10] = 3;
    uint32_t size = static_cast<uint32_t>(end - central);
    bytes[end + 12] = size & 0xFF;
    bytes[end + 13] = (size >> 8) & 0xFF;
    auto zip = OpenOk(bytes);
    ASSERT_TRUE(zip);
    EXPECT_EQ(zip->Names().size(), 3u);
    std::vector<uint8_t> out;
    std::string error;
    int refused = 0;
    for (const char* name : {"kernel.bin", "K2rnel.bin"}) {
        if (!zip->Read(name, &out, &error)) {
            EXPECT_NE(error.find("overlaps"), std::string::npos) << error;
            ++refused;
        }
    }
    EXPECT_GE(refused, 1);
    ASSERT_TRUE(zip->Read("honest.txt", &out, &error)) << error;
    EXPECT_EQ(Text(out), "honest");
}
