#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "core/attributes/SequenceSearch.h"
#include "core/platform/CodePage.h"

namespace morvel {
namespace {

// The reference search: the first byte, then the rest from left to right.
std::int32_t LiteralFind(const std::string& pattern, const std::uint8_t* window, std::int32_t m) {
    const auto n = static_cast<std::int32_t>(pattern.size());
    if (n == 0 || m - n < 0) return -1;
    for (std::int32_t i = 0; i <= m - n; ++i) {
        if (window[i] != static_cast<std::uint8_t>(pattern[0])) continue;
        std::int32_t k = 1;
        while (k < n && window[i + k] == static_cast<std::uint8_t>(pattern[k])) ++k;
        if (k == n) return i;
    }
    return -1;
}

const std::vector<std::string> kAlphabets = {
    "ab", "abc", "MZmz\x90", "xyzXYZ", "абвАБВ", "\xCD\x33\xED\xB8\x00", "ёЁеЕ", "\x01\x80\x90\xFF"};

// A random window over a small alphabet, so that matches, overlaps and prefixes are common.
std::vector<std::uint8_t> RandomWindow(std::mt19937& rng, const std::string& alphabet, std::size_t length) {
    const std::string ansi = codepage::ToAnsi(alphabet);
    std::vector<std::uint8_t> w(length);
    for (auto& b : w) b = static_cast<std::uint8_t>(ansi[rng() % ansi.size()]);
    return w;
}

std::string RandomText(std::mt19937& rng, const std::string& alphabet, std::size_t length) {
    std::vector<std::string> chars;  // UTF-8 characters of the alphabet
    for (std::size_t i = 0; i < alphabet.size();) {
        const auto c = static_cast<unsigned char>(alphabet[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        chars.push_back(alphabet.substr(i, len));
        i += len;
    }
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += chars[rng() % chars.size()];
    return text;
}

TEST(SequenceSearchTest, PatternBytesAreLoweredWindows1251) {
    EXPECT_EQ(PatternBytes("MZ"), "mz");
    EXPECT_EQ(PatternBytes("Вирус"), "\xE2\xE8\xF0\xF3\xF1");
    EXPECT_EQ(PatternBytes("日"), "?");
    EXPECT_EQ(PatternBytes(""), "");
}

TEST(SequenceSearchTest, FindPatternEdges) {
    const std::uint8_t w[] = {'m', 'z', 'm', 'z', 'q'};
    EXPECT_EQ(FindPattern("mz", w, 5), 0);
    EXPECT_EQ(FindPattern("zq", w, 5), 3);
    EXPECT_EQ(FindPattern("q", w, 5), 4);   // the last byte
    EXPECT_EQ(FindPattern("q", w, 4), -1);  // beyond the window length
    EXPECT_EQ(FindPattern("mzmzq!", w, 5), -1);
    EXPECT_EQ(FindPattern("", w, 5), -1);
    EXPECT_EQ(FindPattern("m", w, 0), -1);
}

// Randomized: FindPattern and the one-pass matcher agree with the reference
// search on every result.
TEST(SequenceSearchTest, AgreesWithTheReferenceSearch) {
    std::mt19937 rng(20261207);
    SequenceMatcher::Scratch scratch;
    std::vector<bool> found;
    for (int round = 0; round < 400; ++round) {
        const std::string& alphabet = kAlphabets[rng() % kAlphabets.size()];
        auto window = RandomWindow(rng, alphabet, 1 + rng() % (round % 10 == 0 ? 20000 : 300));
        const auto m = static_cast<std::int32_t>(window.size());
        std::vector<std::string> texts;
        const int count = 1 + static_cast<int>(rng() % 100);
        for (int k = 0; k < count; ++k) {
            switch (rng() % 5) {
                case 0: {  // a piece of the window itself, often at its ends
                    const std::size_t len = 1 + rng() % std::min<std::size_t>(20, window.size());
                    const std::size_t at = rng() % 3 == 0   ? 0
                                           : rng() % 3 == 0 ? window.size() - len
                                                            : rng() % (window.size() - len + 1);
                    texts.push_back(
                        codepage::FromAnsi(std::string(window.begin() + at, window.begin() + at + len)));
                    break;
                }
                case 1:
                    texts.push_back(texts.empty()
                                        ? "a"
                                        : texts.back().substr(0, 1 + texts.back().size() / 2));  // a prefix
                    break;
                default:
                    texts.push_back(RandomText(rng, alphabet, 1 + rng() % 6));
            }
        }
        // The window is searched lowered, as the examiner does.
        std::vector<std::uint8_t> lowered(window.size());
        codepage::LowerBytes(window.data(), lowered.data(), window.size());

        SequenceMatcher matcher(texts);
        matcher.Scan(lowered.data(), m, scratch, found);
        ASSERT_EQ(found.size(), texts.size());
        for (std::size_t k = 0; k < texts.size(); ++k) {
            const std::string pattern = PatternBytes(texts[k]);
            const std::int32_t expected = LiteralFind(pattern, lowered.data(), m);
            ASSERT_EQ(FindPattern(pattern, lowered.data(), m), expected)
                << "round " << round << " text " << texts[k];
            ASSERT_EQ(found[k], expected >= 0) << "round " << round << " text " << texts[k];
            // The raw window too, as the marker search uses it.
            ASSERT_EQ(FindPattern(pattern, window.data(), m), LiteralFind(pattern, window.data(), m));
        }
    }
}

// Pins a fault of the multi-pattern library: texts that end alike, found in
// the last bytes of a window, were missed for most starting addresses of
// the window.
TEST(SequenceSearchTest, TextsNearTheEndAreFoundWhereverTheWindowStarts) {
    const std::string contents = "mz" + std::string(100, '\0') + "zeta alpha beta";
    SequenceMatcher matcher({"zeta", "gamma", "Alpha", "beta", "delta"});
    SequenceMatcher::Scratch scratch;
    std::vector<bool> found;
    std::vector<std::uint8_t> memory(3 * 4096);
    std::uint8_t* page = memory.data() + (4096 - reinterpret_cast<std::uintptr_t>(memory.data()) % 4096);
    for (std::size_t start = 0; start < 4096; ++start) {
        std::fill(memory.begin(), memory.end(), 0);
        std::copy(contents.begin(), contents.end(), page + start);
        matcher.Scan(page + start, static_cast<std::int32_t>(contents.size()), scratch, found);
        ASSERT_EQ(found, (std::vector<bool>{true, false, true, true, false}))
            << "window at page offset " << start;
    }
}

TEST(SequenceSearchTest, AMatcherWithoutSearchableTextsFindsNothing) {
    SequenceMatcher::Scratch scratch;
    std::vector<bool> found;
    const std::uint8_t w[] = {'a'};
    SequenceMatcher({}).Scan(w, 1, scratch, found);
    EXPECT_TRUE(found.empty());
    SequenceMatcher({"", ""}).Scan(w, 1, scratch, found);
    EXPECT_EQ(found, (std::vector<bool>{false, false}));
    // One scratch serves matchers of different sizes.
    SequenceMatcher({"a", "", "b"}).Scan(w, 1, scratch, found);
    EXPECT_EQ(found, (std::vector<bool>{true, false, false}));
}

}  // namespace
}  // namespace morvel
