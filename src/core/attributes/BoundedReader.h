// BoundedReader: reads of a file's bytes that never reach past its end. A
// read succeeds only when every byte it asks for lies inside the file and the
// underlying read returns them all (a short read means the bytes are not
// there). Offsets and lengths are checked without overflow, so any value a
// hostile file gives may be passed. Holds a reference to the read function,
// which must outlive it; safe to use on one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/platform/ExecutableType.h"

namespace morvel {

class BoundedReader {
  public:
    BoundedReader(const ReadAtFn& read, std::uint64_t size) : read_(read), size_(size) {}

    std::uint64_t Size() const { return size_; }

    // True when [offset, offset + length) lies inside the file.
    bool Holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    // Reads exactly n bytes at offset into buf; false (buf's contents then
    // unspecified) when they are not all inside the file or not all read.
    bool Read(std::uint64_t offset, void* buf, std::size_t n) const;

    // Little-endian numbers at offset; empty when not all their bytes are there.
    std::optional<std::uint16_t> U16(std::uint64_t offset) const;
    std::optional<std::uint32_t> U32(std::uint64_t offset) const;

  private:
    const ReadAtFn& read_;
    std::uint64_t size_;
};

// Little-endian numbers in memory.
inline std::uint16_t LoadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace morvel
