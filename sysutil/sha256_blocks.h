// SHA-256's compression of whole 64-byte blocks on the processor's SHA extensions, which
// hash several times faster than the CryptoAPI's provider under Wine (and most CPUs of the
// last years have them). Only the block function: padding and the digest are the caller's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvane {

// True when the processor has the SHA extensions and SSE4.1 that Sha256Blocks needs.
bool HaveShaExtensions();

// The state after hashing `blocks` 64-byte blocks at data (state: H0..H7, as the standard
// numbers them). Call only when HaveShaExtensions().
void Sha256Blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

}  // namespace korvane
