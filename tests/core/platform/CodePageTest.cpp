#include <gtest/gtest.h>

#include "core/platform/CodePage.h"

namespace morvel::codepage {
namespace {

TEST(CodePageTest, CyrillicRoundTripsThroughWindows1251) {
    const std::string text = "Привет, Ёлка! № 5 — «ок»";
    const std::string ansi = ToAnsi(text);
    EXPECT_EQ(ansi.size(), 24u);                           // one byte per character
    EXPECT_EQ(static_cast<unsigned char>(ansi[0]), 0xCF);  // П
    EXPECT_EQ(FromAnsi(ansi), text);
}

TEST(CodePageTest, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
}

TEST(CodePageTest, MissingCharactersAndMalformedUtf8BecomeQuestionMarks) {
    EXPECT_EQ(ToAnsi("a日b"), "a?b");
    EXPECT_EQ(ToAnsi("x\xFFy"), "x?y");
    EXPECT_EQ(ToAnsi("\xC3"), "?");            // truncated sequence
    EXPECT_EQ(ToAnsi("\xC0\xAF"), "??");       // overlong "/"
    EXPECT_EQ(ToAnsi("\xED\xA0\x80"), "???");  // surrogate
}

TEST(CodePageTest, LoweringTableFollowsTheCodePage) {
    EXPECT_EQ(LowerByte('A'), 'a');
    EXPECT_EQ(LowerByte('Z'), 'z');
    EXPECT_EQ(LowerByte('['), '[');
    EXPECT_EQ(LowerByte(0xC0), 0xE0);  // А -> а
    EXPECT_EQ(LowerByte(0xDF), 0xFF);  // Я -> я
    EXPECT_EQ(LowerByte(0xA8), 0xB8);  // Ё -> ё
    EXPECT_EQ(LowerByte(0x80), 0x90);  // Ђ -> ђ
    EXPECT_EQ(LowerByte(0xA5), 0xB4);  // Ґ -> ґ
    EXPECT_EQ(LowerByte(0xCD), 0xED);  // every byte is lowered, not only text
    EXPECT_EQ(LowerByte(0), 0);
    EXPECT_EQ(LowerByte(0xE0), 0xE0);
    EXPECT_EQ(LowerByte(0xB8), 0xB8);
    int changed = 0;
    for (int b = 0; b < 256; ++b) changed += LowerByte(static_cast<std::uint8_t>(b)) != b;
    EXPECT_EQ(changed, 26 + 32 + 15);
}

TEST(CodePageTest, LoweredAnsiIgnoresCase) {
    EXPECT_EQ(LoweredAnsi("This PROGRAM"), LoweredAnsi("this program"));
    EXPECT_EQ(LoweredAnsi("ПРОГРАММА"), LoweredAnsi("программа"));
    EXPECT_NE(LoweredAnsi("е"), LoweredAnsi("ё"));
}

}  // namespace
}  // namespace morvel::codepage
