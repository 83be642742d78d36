#include "sysutil/file_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr DWORD kBlockBytes = 1 << 20;
// The XP-era headers leave SHA-256 out; the RSA/AES provider of XP SP3 and later has it.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // CALG_SHA_256

void ReleaseProvider(HCRYPTPROV provider) {
    CryptReleaseContext(provider, 0);
}
void DestroyHash(HCRYPTHASH hash) {
    CryptDestroyHash(hash);
}
using UniqueProvider = UniqueResource<HCRYPTPROV, ReleaseProvider>;
using UniqueHash = UniqueResource<HCRYPTHASH, DestroyHash>;

// One of the two blocks in flight: its buffer and its overlapped read.
struct Block {
    std::vector<BYTE> bytes = std::vector<BYTE>(kBlockBytes);
    OVERLAPPED read = {};
    UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

bool StartRead(HANDLE file, std::uint64_t offset, std::uint64_t size, Block* block) {
    block->read = {};
    block->read.Offset = static_cast<DWORD>(offset);
    block->read.OffsetHigh = static_cast<DWORD>(offset >> 32);
    block->read.hEvent = block->done.Get();
    const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(kBlockBytes, size - offset));
    return ReadFile(file, block->bytes.data(), wanted, nullptr, &block->read) ||
           GetLastError() == ERROR_IO_PENDING;
}

std::string Hex(const BYTE* bytes, DWORD count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (DWORD i = 0; i < count; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 15];
    }
    return hex;
}

}  // namespace

std::string FileSha256(const std::wstring& path, const DigestProgress& progress) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr));
    LARGE_INTEGER size = {};
    UniqueProvider provider;
    UniqueHash hash;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) ||
        !CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT) ||
        !CryptCreateHash(provider.Get(), kSha256, 0, 0, hash.Receive())) {
        return std::string();
    }
    const std::uint64_t total = static_cast<std::uint64_t>(size.QuadPart);
    Block blocks[2];
    if (!blocks[0].done.IsValid() || !blocks[1].done.IsValid()) {
        return std::string();
    }
    // The block being read into must outlive its read: whatever ends the loop, a read still
    // on its way is cancelled and waited for.
    Block* inFlight = nullptr;
    auto endReads = [&] {
        if (inFlight) {
            DWORD ignored = 0;
            CancelIo(file.Get());
            GetOverlappedResult(file.Get(), &inFlight->read, &ignored, TRUE);
        }
    };
    int slot = 0;
    if (total > 0) {
        if (!StartRead(file.Get(), 0, total, &blocks[0])) {
            return std::string();
        }
        inFlight = &blocks[0];
    }
    // Wait for block n, start block n + 1, hash block n.
    for (std::uint64_t offset = 0; offset < total; slot ^= 1) {
        Block& current = blocks[slot];
        DWORD got = 0;
        const bool arrived = GetOverlappedResult(file.Get(), &current.read, &got, TRUE) && got > 0;
        inFlight = nullptr;
        if (!arrived) {
            return std::string();
        }
        offset += got;
        if (offset < total) {
            if (!StartRead(file.Get(), offset, total, &blocks[slot ^ 1])) {
                return std::string();
            }
            inFlight = &blocks[slot ^ 1];
        }
        if (!CryptHashData(hash.Get(), current.bytes.data(), got, 0) ||
            (progress && !progress(offset, total))) {
            endReads();
            return std::string();
        }
    }
    BYTE digest[32];
    DWORD length = sizeof(digest);
    if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &length, 0)) {
        return std::string();
    }
    return Hex(digest, length);
}

}  // namespace korvane
