#include "sysutil/file_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "sysutil/sha256_blocks.h"
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

// The digest so far, on the processor's SHA extensions or through the CryptoAPI.
class RunningSha256 {
  public:
    explicit RunningSha256(DigestEngine engine)
        : native_(engine == DigestEngine::kFastest && HaveShaExtensions()) {
        if (!native_ && CryptAcquireContextW(provider_.Receive(), nullptr, nullptr, PROV_RSA_AES,
                                             CRYPT_VERIFYCONTEXT)) {
            CryptCreateHash(provider_.Get(), kSha256, 0, 0, hash_.Receive());
        }
    }
    bool IsValid() const { return native_ || hash_.IsValid(); }

    bool Add(const BYTE* data, DWORD size) {
        if (!native_) {
            return CryptHashData(hash_.Get(), data, size, 0) != FALSE;
        }
        length_ += size;
        if (pendingSize_ > 0) {
            const DWORD taken = std::min<DWORD>(size, 64 - pendingSize_);
            std::copy(data, data + taken, pending_ + pendingSize_);
            pendingSize_ += taken;
            data += taken;
            size -= taken;
            if (pendingSize_ < 64) {
                return true;
            }
            Sha256Blocks(state_, pending_, 1);
            pendingSize_ = 0;
        }
        Sha256Blocks(state_, data, size / 64);
        pendingSize_ = size % 64;
        std::copy(data + size - pendingSize_, data + size, pending_);
        return true;
    }

    // The digest's 32 bytes; the running state is used up.
    bool Finish(BYTE digest[32]) {
        if (!native_) {
            DWORD length = 32;
            return CryptGetHashParam(hash_.Get(), HP_HASHVAL, digest, &length, 0) && length == 32;
        }
        // The padding: 0x80, zeros up to 56 bytes in the last block, the length in bits.
        BYTE tail[128] = {};
        std::copy(pending_, pending_ + pendingSize_, tail);
        tail[pendingSize_] = 0x80;
        const size_t tailSize = pendingSize_ < 56 ? 64 : 128;
        const std::uint64_t bits = length_ * 8;
        for (int i = 0; i < 8; ++i) {
            tail[tailSize - 1 - i] = static_cast<BYTE>(bits >> (8 * i));
        }
        Sha256Blocks(state_, tail, tailSize / 64);
        for (int i = 0; i < 32; ++i) {
            digest[i] = static_cast<BYTE>(state_[i / 4] >> (24 - 8 * (i % 4)));
        }
        return true;
    }

  private:
    const bool native_;
    std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    BYTE pending_[64] = {};
    DWORD pendingSize_ = 0;
    std::uint64_t length_ = 0;
    UniqueProvider provider_;
    UniqueHash hash_;
};

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

std::string FileSha256(const std::wstring& path, const DigestProgress& progress,
                       DigestEngine engine) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr));
    LARGE_INTEGER size = {};
    RunningSha256 hash(engine);
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || !hash.IsValid()) {
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
        if (!hash.Add(current.bytes.data(), got) || (progress && !progress(offset, total))) {
            endReads();
            return std::string();
        }
    }
    BYTE digest[32];
    return hash.Finish(digest) ? Hex(digest, sizeof(digest)) : std::string();
}

}  // namespace korvane
