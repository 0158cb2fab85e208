// ByteEntropy: how evenly the byte values of a window are spread, as the
// Shannon entropy in bits per byte, and its class for the entropy slot.
//
// Windows longer than kFullCountLimit are sampled, not counted whole: the
// histogram takes the first kSampleBlock bytes of every kSampleSpan. The
// examined window is at most 1 MiB, so the sample still holds 128 KiB, enough
// to place packed or compressed data (near 8 bits) and code or text in their
// class, at an eighth of the cost of a full count (which would add a tenth to
// the whole examination of a file). Contiguous blocks, unlike every n-th byte,
// do not alias with tables of fixed-size records. Pure functions; thread-safe.
#pragma once

#include <cstdint>

namespace morvel {

inline constexpr std::int32_t kFullCountLimit = 1 << 16;
inline constexpr std::int32_t kSampleBlock = 512;
inline constexpr std::int32_t kSampleSpan = 4096;

// Bits per byte, 0..8, of window[0, length) (sampled as above); 0 when empty.
double WindowEntropy(const std::uint8_t* window, std::int32_t length);

// The entropy slot's class of bits (1 under 2 ... 8 for 7.5 or more).
std::uint8_t EntropyClass(double bits);

}  // namespace morvel
