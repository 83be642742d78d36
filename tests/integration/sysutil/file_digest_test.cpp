// The image check's SHA-256 against digests worked out elsewhere (FIPS 180's "abc", the empty
// file, and a file of two and a half blocks and a few bytes made the same way by Python's
// hashlib), with the progress it reports and the stop it obeys.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sysutil/file_digest.h"
#include "tests/support/test_paths.h"

namespace korvane {
namespace {

std::wstring TempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

// Bytes (i * 31 + 7) mod 251: no block repeats another, so a block hashed twice or skipped
// changes the digest.
std::string PatternBytes(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>((i * 31 + 7) % 251);
    }
    return bytes;
}

TEST(FileDigest, MatchesDigestsWorkedOutElsewhere) {
    const std::wstring path = TempFile(L"korvane-digest.bin");
    ASSERT_TRUE(testing::WriteFileBytes(path, ""));
    EXPECT_EQ(FileSha256(path), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    ASSERT_TRUE(testing::WriteFileBytes(path, "abc"));
    EXPECT_EQ(FileSha256(path), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    ASSERT_TRUE(testing::WriteFileBytes(path, PatternBytes(2 * 1048576 + 524288 + 7)));
    EXPECT_EQ(FileSha256(path), "e0344d5c073ff5a845088475a7b085eae143a79eb3a7870cdc86269c7295e9e1");
    EXPECT_EQ(FileSha256(TempFile(L"korvane-no-such-file.bin")), "");
    testing::RemoveFile(path);
}

TEST(FileDigest, ReportsEachBlockAndStopsWhenTold) {
    const std::wstring path = TempFile(L"korvane-digest-progress.bin");
    const std::uint64_t size = 2 * 1048576 + 524288 + 7;
    ASSERT_TRUE(testing::WriteFileBytes(path, PatternBytes(size)));
    std::vector<std::uint64_t> seen;
    EXPECT_FALSE(FileSha256(path, [&](std::uint64_t done, std::uint64_t total) {
                     EXPECT_EQ(total, size);
                     seen.push_back(done);
                     return true;
                 }).empty());
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{1048576, 2 * 1048576, size}));

    int calls = 0;
    EXPECT_EQ(FileSha256(path, [&](std::uint64_t, std::uint64_t) { return ++calls < 2; }), "");
    EXPECT_EQ(calls, 2) << "no block is read or hashed after the stop";
    EXPECT_TRUE(DeleteFileW(path.c_str())) << "a stopped check leaves the file free";
}

}  // namespace
}  // namespace korvane
