#include "core/attributes/BoundedReader.h"

namespace morvel {

bool BoundedReader::Read(std::uint64_t offset, void* buf, std::size_t n) const {
    if (!Holds(offset, n)) return false;
    if (n == 0) return true;
    return read_(offset, buf, n) == n;
}

std::optional<std::uint16_t> BoundedReader::U16(std::uint64_t offset) const {
    std::uint8_t b[2];
    if (!Read(offset, b, sizeof b)) return std::nullopt;
    return LoadU16(b);
}

std::optional<std::uint32_t> BoundedReader::U32(std::uint64_t offset) const {
    std::uint8_t b[4];
    if (!Read(offset, b, sizeof b)) return std::nullopt;
    return LoadU32(b);
}

}  // namespace morvel
