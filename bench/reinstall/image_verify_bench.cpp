// The image check's cost against reading the image: one pass over the file either reading it
// in 1 MiB blocks or taking its SHA-256 as the program does before it offers a reinstall.
//   image_verify_bench read|hash|hash-cryptoapi <file>
//   prints "<mode> <bytes> <seconds> <MiB/s> [<digest>]"; hash takes the fastest engine this
//   processor has (its SHA extensions), hash-cryptoapi the CryptoAPI's provider.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "sysutil/file_digest.h"
#include "sysutil/sha256_blocks.h"
#include "sysutil/unique_handle.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

unsigned long long ReadThrough(const std::wstring& path) {
    korvane::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::vector<char> block(1 << 20);
    unsigned long long total = 0;
    DWORD got = 0;
    while (file.IsValid() &&
           ReadFile(file.Get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr) &&
           got > 0) {
        total += got;
    }
    return total;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: image_verify_bench read|hash|hash-cryptoapi <file>\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    unsigned long long bytes = 0;
    std::string digest;
    if (mode == L"read") {
        bytes = ReadThrough(argv[2]);
    } else {
        const auto engine =
            mode == L"hash" ? korvane::DigestEngine::kFastest : korvane::DigestEngine::kCryptoApi;
        digest = korvane::FileSha256(
            argv[2],
            [&](std::uint64_t done, std::uint64_t) {
                bytes = done;
                return true;
            },
            engine);
    }
    QueryPerformanceCounter(&end);
    const double seconds = Seconds(start, end);
    const bool extensions = mode == L"hash" && korvane::HaveShaExtensions();
    std::printf("%ls%s %llu %.3f %.1f %s\n", mode.c_str(), extensions ? "(sha-extensions)" : "",
                bytes, seconds, bytes / 1048576.0 / seconds, digest.c_str());
    return bytes > 0 ? 0 : 1;
}
