#include <gtest/gtest.h>

#include <string>

#include "core/platform/DosAttributes.h"

namespace morvel {
namespace {

TEST(DosAttributesTest, SambaTextAndBinaryRecords) {
    EXPECT_EQ(ParseSambaDosAttrib("0x24"), 0x24u);
    EXPECT_EQ(ParseSambaDosAttrib(std::string("0x4\0", 4)), 0x4u);
    EXPECT_EQ(ParseSambaDosAttrib("0X20"), 0x20u);
    // No usable text: the binary record after the NUL decides.
    EXPECT_EQ(ParseSambaDosAttrib(std::string("\0\x01\x00\x04\x00\x00\x00", 7)), 0x4u);
    EXPECT_EQ(ParseSambaDosAttrib(std::string("\0\x03\x00\xFF\xFF\xFF\xFF\x26\x00\x00\x00", 11)), 0x26u);
    EXPECT_EQ(ParseSambaDosAttrib(std::string("\0\x09\x00\x04\x00\x00\x00", 7)), std::nullopt);
    EXPECT_EQ(ParseSambaDosAttrib(std::string("\0\x03\x00\x04", 4)), std::nullopt);  // truncated
    EXPECT_EQ(ParseSambaDosAttrib("junk"), std::nullopt);
    EXPECT_EQ(ParseSambaDosAttrib(""), std::nullopt);
}

}  // namespace
}  // namespace morvel
