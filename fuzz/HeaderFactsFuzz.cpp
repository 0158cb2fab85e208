// The header reader on arbitrary file contents: every code must be one its
// slot has, every read inside the file, and the window may be any prefix.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/attributes/HeaderFacts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const morvel::ReadAtFn read = [&](std::uint64_t offset, void* buf, std::size_t n) -> std::size_t {
        if (offset > size || n > size - offset) std::abort();  // the reader checks before it reads
        std::memcpy(buf, data + offset, n);
        return n;
    };
    const auto window = static_cast<std::int32_t>(size < (1u << 20) ? size : (1u << 20));
    const morvel::HeaderCodes codes = morvel::ReadHeaderFacts(read, size, data, window);
    // The largest code of each slot, in slot order.
    static constexpr std::uint8_t kLargest[] = {7, 6, 5, 2, 2, 4, 6, 33, 255, 5, 2, 4, 3, 8};
    static_assert(sizeof kLargest == std::tuple_size_v<morvel::HeaderCodes>);
    for (std::size_t i = 0; i < codes.size(); ++i)
        if (codes[i] > kLargest[i]) std::abort();
    if ((size == 0) != (codes.back() == 0)) std::abort();
    return 0;
}
