// The image check's SHA-256 against digests worked out elsewhere (FIPS 180's "abc", the empty
// file, and a file of two and a half blocks and a few bytes made the same way by Python's
// hashlib), with the progress it reports and the stop it obeys.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sysutil/file_digest.h"
#include "sysutil/sha256_blocks.h"
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

constexpr DigestEngine kEngines[] = {DigestEngine::kFastest, DigestEngine::kCryptoApi};

TEST(FileDigest, MatchesDigestsWorkedOutElsewhere) {
    std::printf("this processor %s the SHA extensions\n",
                HaveShaExtensions() ? "has" : "does not have");
    const std::wstring path = TempFile(L"korvane-digest.bin");
    for (DigestEngine engine : kEngines) {
        SCOPED_TRACE(engine == DigestEngine::kFastest ? "fastest" : "CryptoAPI");
        ASSERT_TRUE(test::WriteFileBytes(path, ""));
        EXPECT_EQ(FileSha256(path, {}, engine),
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
        ASSERT_TRUE(test::WriteFileBytes(path, "abc"));
        EXPECT_EQ(FileSha256(path, {}, engine),
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
        ASSERT_TRUE(test::WriteFileBytes(path, PatternBytes(2 * 1048576 + 524288 + 7)));
        EXPECT_EQ(FileSha256(path, {}, engine),
                  "e0344d5c073ff5a845088475a7b085eae143a79eb3a7870cdc86269c7295e9e1");
        EXPECT_EQ(FileSha256(TempFile(L"korvane-no-such-file.bin"), {}, engine), "");
    }
    test::RemoveFile(path);
}

// Every length around the padding's edges (55, 56, 63, 64 … bytes in the last block) and
// across a block boundary gives the same digest on both engines.
TEST(FileDigest, BothEnginesAgreeAtEveryPaddingEdge) {
    const std::wstring path = TempFile(L"korvane-digest-edges.bin");
    std::vector<size_t> sizes;
    for (size_t n = 0; n <= 200; ++n) {
        sizes.push_back(n);
    }
    for (size_t n : {1048575u, 1048576u, 1048577u, 1048576u + 55u, 1048576u + 56u}) {
        sizes.push_back(n);
    }
    for (size_t n : sizes) {
        ASSERT_TRUE(test::WriteFileBytes(path, PatternBytes(n)));
        const std::string fastest = FileSha256(path, {}, DigestEngine::kFastest);
        ASSERT_EQ(fastest.size(), 64u) << n;
        ASSERT_EQ(fastest, FileSha256(path, {}, DigestEngine::kCryptoApi)) << n << " bytes";
    }
    test::RemoveFile(path);
}

TEST(FileDigest, ReportsEachBlockAndStopsWhenTold) {
    const std::wstring path = TempFile(L"korvane-digest-progress.bin");
    const std::uint64_t size = 2 * 1048576 + 524288 + 7;
    ASSERT_TRUE(test::WriteFileBytes(path, PatternBytes(size)));
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
