#include "core/attributes/ByteEntropy.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace morvel {
namespace {

using Histogram = std::array<std::uint32_t, 256>;

// Adds bytes [begin, end) to four interleaved tables: consecutive equal bytes
// would otherwise wait on each other's increment of one counter.
void Count(const std::uint8_t* begin, const std::uint8_t* end, std::array<Histogram, 4>& counts) {
    for (; end - begin >= 4; begin += 4) {
        ++counts[0][begin[0]];
        ++counts[1][begin[1]];
        ++counts[2][begin[2]];
        ++counts[3][begin[3]];
    }
    for (; begin < end; ++begin) ++counts[0][*begin];
}

}  // namespace

double WindowEntropy(const std::uint8_t* window, std::int32_t length) {
    if (window == nullptr || length <= 0) return 0.0;
    std::array<Histogram, 4> counts{};
    if (length <= kFullCountLimit) {
        Count(window, window + length, counts);
    } else {
        for (std::int64_t at = 0; at < length; at += kSampleSpan)
            Count(window + at, window + std::min<std::int64_t>(at + kSampleBlock, length), counts);
    }
    std::uint64_t total = 0;
    Histogram merged{};
    for (int v = 0; v < 256; ++v) {
        merged[v] = counts[0][v] + counts[1][v] + counts[2][v] + counts[3][v];
        total += merged[v];
    }
    double bits = 0.0;
    for (const std::uint32_t c : merged) {
        if (c == 0) continue;
        const double p = static_cast<double>(c) / static_cast<double>(total);
        bits -= p * std::log2(p);
    }
    return std::clamp(bits, 0.0, 8.0);
}

std::uint8_t EntropyClass(double bits) {
    static constexpr double kUpperBounds[] = {2.0, 4.0, 5.0, 6.0, 6.5, 7.0, 7.5};
    std::uint8_t code = 1;
    for (const double bound : kUpperBounds) {
        if (bits < bound) return code;
        ++code;
    }
    return code;
}

}  // namespace morvel
