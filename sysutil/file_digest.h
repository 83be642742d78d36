// The SHA-256 of a whole file, for checking a downloaded image against its catalogue. The
// file is read in 1 MiB blocks with the next block already on its way while the last one is
// hashed, so checking costs little more than reading.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace korvane {

// Told the bytes hashed so far and the file's size after each block; answering false stops
// the check (the result is then empty).
using DigestProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Who hashes: the processor's SHA extensions where it has them (several times faster), else
// the CryptoAPI's RSA/AES provider; or that provider always (tests compare the two).
enum class DigestEngine { kFastest, kCryptoApi };

// Lower-case hex of the file's SHA-256; empty when it cannot be read through, or when
// progress stopped it.
std::string FileSha256(const std::wstring& path, const DigestProgress& progress = {},
                       DigestEngine engine = DigestEngine::kFastest);

}  // namespace korvane
