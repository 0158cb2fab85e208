// The executable-type reader on arbitrary file contents: it must answer with a
// known type or a failure, and read only inside the file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/platform/ExecutableType.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the extension the short-file rule looks at.
    static constexpr std::string_view kExtensions[] = {"exe", "com", "pif", "scr", ""};
    const std::string_view extension = size ? kExtensions[data[0] % 5] : "exe";
    const morvel::ReadAtFn read = [&](std::uint64_t offset, void* buf, std::size_t n) -> std::size_t {
        if (offset >= size) return 0;
        const std::size_t take = n < size - offset ? n : static_cast<std::size_t>(size - offset);
        std::memcpy(buf, data + offset, take);
        return take;
    };
    const int type = morvel::QueryBinaryType(read, size, extension);
    if (type < -1 || type > 6) std::abort();
    if (size == 0 && type != -1) std::abort();
    return 0;
}
