#include "core/attributes/ByteEntropy.h"

#include <array>
#include <cmath>

namespace morvel {

double WindowEntropy(const std::uint8_t* window, std::int32_t length) {
    if (window == nullptr || length <= 0) return 0.0;
    const std::int64_t stride = length > kFullCountLimit ? kSampleStride : 1;
    // Four interleaved tables: consecutive equal bytes would otherwise wait
    // on each other's increment of one counter.
    std::array<std::array<std::uint32_t, 256>, 4> counts{};
    std::int64_t i = 0;
    const std::int64_t step = 4 * stride;
    for (; length - i > 3 * stride; i += step) {
        ++counts[0][window[i]];
        ++counts[1][window[i + stride]];
        ++counts[2][window[i + 2 * stride]];
        ++counts[3][window[i + 3 * stride]];
    }
    for (; i < length; i += stride) ++counts[0][window[i]];
    std::uint64_t total = 0;
    std::array<std::uint32_t, 256> merged{};
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
    return bits < 0.0 ? 0.0 : bits;
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
