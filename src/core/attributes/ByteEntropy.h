// ByteEntropy: how evenly the byte values of a window are spread, as the
// Shannon entropy in bits per byte, and its class for the entropy slot.
//
// Windows longer than kFullCountLimit are sampled, not counted whole: the
// histogram takes every kSampleStride-th byte. The examined window is at most
// 1 MiB, so a sample still holds over 100,000 bytes, enough to tell packed or
// compressed data (near 8 bits) from code and text within a class boundary,
// at a fraction of the cost of a full count. Pure functions; thread-safe.
#pragma once

#include <cstdint>

namespace morvel {

inline constexpr std::int32_t kFullCountLimit = 1 << 16;
inline constexpr std::int32_t kSampleStride = 8;

// Bits per byte, 0..8, of window[0, length) (sampled as above); 0 when empty.
double WindowEntropy(const std::uint8_t* window, std::int32_t length);

// The entropy slot's class of bits (1 under 2 ... 8 for 7.5 or more).
std::uint8_t EntropyClass(double bits);

}  // namespace morvel
