#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/platform/ExecutableType.h"

namespace morvel {
namespace {

// An in-memory file with little-endian field writers.
class Image {
  public:
    explicit Image(std::size_t size) : bytes_(size, '\0') {}
    Image& Text(std::size_t at, std::string_view s) {
        Grow(at + s.size());
        bytes_.replace(at, s.size(), s);
        return *this;
    }
    Image& U8(std::size_t at, std::uint8_t v) { return Text(at, std::string(1, static_cast<char>(v))); }
    Image& U16(std::size_t at, std::uint16_t v) {
        return Text(at, std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)});
    }
    Image& U32(std::size_t at, std::uint32_t v) { return U16(at, v & 0xFFFF).U16(at + 2, v >> 16); }
    int Type(std::string_view extension = "exe") const {
        const ReadAtFn read = [this](std::uint64_t offset, void* buf, std::size_t n) -> std::size_t {
            if (offset >= bytes_.size()) return 0;
            const std::size_t take = std::min<std::size_t>(n, bytes_.size() - offset);
            std::memcpy(buf, bytes_.data() + offset, take);
            return take;
        };
        return QueryBinaryType(read, bytes_.size(), extension);
    }

  private:
    void Grow(std::size_t size) {
        if (bytes_.size() < size) bytes_.resize(size, '\0');
    }
    std::string bytes_;
};

constexpr std::uint32_t kE = 0x80;

Image Mz(std::size_t size = 0x200) { return std::move(Image(size).Text(0, "MZ").U32(0x3C, kE)); }
Image Pe(std::uint16_t magic, std::uint16_t characteristics = 0x0102, std::uint16_t subsystem = 2) {
    return std::move(Mz().Text(kE, std::string("PE\0\0", 4))
                         .U16(kE + 22, characteristics)
                         .U16(kE + 24, magic)
                         .U16(kE + 24 + 68, subsystem));
}
Image Ne(std::uint8_t target) { return std::move(Mz().Text(kE, "NE").U8(kE + 0x36, target)); }

TEST(ExecutableTypeTest, PortableExecutables) {
    EXPECT_EQ(Pe(0x10B).Type(), 0);
    EXPECT_EQ(Pe(0x20B).Type(), 6);
    EXPECT_EQ(Pe(0x10B, 0x2102).Type(), -1);    // a DLL
    EXPECT_EQ(Pe(0x10B, 0x0102, 7).Type(), 4);  // POSIX subsystem
    EXPECT_EQ(Pe(0x20B, 0x0102, 7).Type(), 4);
    EXPECT_EQ(Pe(0x107).Type(), -1);
}

TEST(ExecutableTypeTest, NewExecutables) {
    EXPECT_EQ(Ne(2).Type(), 2);
    EXPECT_EQ(Ne(5).Type(), 1);
    EXPECT_EQ(Ne(1).Type(), 5);
    EXPECT_EQ(Ne(0).Type(), 5);
    // Target 0 importing KERNEL is 16-bit Windows: two module references, the second KERNEL.
    Image kernel = Ne(0);
    kernel.U16(kE + 0x1E, 2).U16(kE + 0x28, 0x40).U16(kE + 0x2A, 0x50);
    kernel.U16(kE + 0x40, 1).U16(kE + 0x42, 6);
    kernel.Text(kE + 0x51, "\x04USER\x06kernel");
    EXPECT_EQ(kernel.Type(), 2);
    kernel.Text(kE + 0x57, "KERNAL");
    EXPECT_EQ(kernel.Type(), 5);
}

TEST(ExecutableTypeTest, OtherMzFilesAreDos) {
    EXPECT_EQ(Mz().Text(kE, "LE").Type(), 1);
    EXPECT_EQ(Mz().Text(kE, "LX").Type(), 1);
    EXPECT_EQ(Mz().Type(), 1);
    EXPECT_EQ(Image(0x200).Text(0, "MZ").U32(0x3C, 0x1F0).Type(), 1);       // fewer than 24 bytes at e
    EXPECT_EQ(Image(0x200).Text(0, "MZ").U32(0x3C, 0xFFFFFFF0).Type(), 1);  // negative e
}

TEST(ExecutableTypeTest, ShortOrNonMzFilesGoByExtension) {
    EXPECT_EQ(Image(0).Type("com"), -1);
    EXPECT_EQ(Image(63).Text(0, "MZ").Type("exe"), -1);
    EXPECT_EQ(Image(63).Text(0, "MZ").Type("com"), 1);
    EXPECT_EQ(Image(100).Type("com"), 1);
    EXPECT_EQ(Image(100).Type("pif"), 3);
    EXPECT_EQ(Image(100).Type("scr"), -1);
    EXPECT_EQ(Image(0x200).Text(0, "ZM").Type("exe"), -1);
}

}  // namespace
}  // namespace morvel
