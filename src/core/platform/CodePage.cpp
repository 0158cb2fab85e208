#include "core/platform/CodePage.h"

#include <algorithm>

namespace morvel::codepage {
namespace {

// Unicode code points of the bytes 0x80 to 0xFF.
constexpr std::array<char32_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F};

char32_t Decode(std::uint8_t b) { return b < 0x80 ? char32_t{b} : kHighHalf[b - 0x80]; }

// The small form of every capital letter that Windows-1251 can hold.
char32_t LowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c >= 0x0400 && c <= 0x040F) return c + 0x50;  // Ё, Ђ, Є, Ѕ, І, Ї, Ј, Љ, Њ, Ћ, Ќ, Ў, Џ
    if (c >= 0x0410 && c <= 0x042F) return c + 0x20;  // А to Я
    if (c == 0x0490) return 0x0491;                   // Ґ
    return c;
}

// The byte of each code point the code page has, for every code point below
// the highest one it has (U+2122): a flat table, as this runs for every
// character of every text the program converts. 0 stands for "none" (the
// byte 0 is only ever U+0000, below the table's use).
constexpr char32_t kEncodeLimit = 0x2123;

const std::array<std::uint8_t, kEncodeLimit>& EncodeTable() {
    static const auto* table = [] {
        auto* t = new std::array<std::uint8_t, kEncodeLimit>{};
        for (int b = 0x80; b < 0x100; ++b) (*t)[kHighHalf[b - 0x80]] = static_cast<std::uint8_t>(b);
        return t;
    }();
    return *table;
}

// The byte of code point cp (0x80 and above), or 0 when the code page lacks it.
std::uint8_t EncodeHigh(char32_t cp) { return cp < kEncodeLimit ? EncodeTable()[cp] : 0; }

// The UTF-8 form of each byte of the code page.
struct Utf8Form {
    char bytes[3];
    std::uint8_t size;
};
const std::array<Utf8Form, 256>& DecodeTable() {
    static const auto* table = [] {
        auto* t = new std::array<Utf8Form, 256>{};
        for (int b = 0; b < 256; ++b) {
            std::string utf8;
            AppendUtf8(utf8, b < 0x80 ? char32_t(b) : kHighHalf[b - 0x80]);
            auto& form = (*t)[b];
            form.size = static_cast<std::uint8_t>(utf8.size());
            std::copy(utf8.begin(), utf8.end(), form.bytes);
        }
        return t;
    }();
    return *table;
}

// Decodes one UTF-8 sequence at s[i]; returns its length, or 0 when malformed
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<std::uint8_t>(s[i]);
    std::size_t len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<std::uint8_t>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool ToAnsiExact(std::string_view utf8, std::string& out) {
    out.clear();
    out.reserve(utf8.size());
    bool exact = true;
    for (std::size_t i = 0; i < utf8.size();) {
        if (static_cast<std::uint8_t>(utf8[i]) < 0x80) {  // the common case: a run of plain ASCII
            std::size_t end = i + 1;
            while (end < utf8.size() && static_cast<std::uint8_t>(utf8[end]) < 0x80) ++end;
            out.append(utf8.data() + i, end - i);
            i = end;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) {
            out.push_back('?');
            exact = false;
            ++i;
            continue;
        }
        i += len;
        if (const std::uint8_t b = EncodeHigh(cp); b != 0) {
            out.push_back(static_cast<char>(b));
        } else {
            out.push_back('?');
            exact = false;
        }
    }
    return exact;
}

std::string ToAnsi(std::string_view utf8) {
    std::string out;
    ToAnsiExact(utf8, out);
    return out;
}

std::vector<std::string> MissingCharacters(std::string_view utf8) {
    std::vector<std::string> missing;
    auto note = [&](char32_t cp) {
        std::string character;
        AppendUtf8(character, cp);
        if (std::find(missing.begin(), missing.end(), character) == missing.end())
            missing.push_back(character);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8(utf8, i, cp);
        if (len == 0) {
            note(U'\uFFFD');
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x80 && EncodeHigh(cp) == 0) note(cp);
    }
    return missing;
}

std::string FromAnsi(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() * 2);
    const auto& table = DecodeTable();
    for (std::size_t i = 0; i < ansi.size();) {
        if (static_cast<std::uint8_t>(ansi[i]) < 0x80) {  // a run of plain ASCII, the same in both
            std::size_t end = i + 1;
            while (end < ansi.size() && static_cast<std::uint8_t>(ansi[end]) < 0x80) ++end;
            out.append(ansi.data() + i, end - i);
            i = end;
            continue;
        }
        const Utf8Form& form = table[static_cast<std::uint8_t>(ansi[i++])];
        out.append(form.bytes, form.size);
    }
    return out;
}

const std::array<std::uint8_t, 256>& LowerTable() {
    static const std::array<std::uint8_t, 256> table = [] {
        std::array<std::uint8_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const char32_t lower = LowerCodePoint(Decode(static_cast<std::uint8_t>(b)));
            if (lower < 0x80) {
                t[b] = static_cast<std::uint8_t>(lower);
            } else {
                const std::uint8_t encoded = EncodeHigh(lower);
                t[b] = encoded != 0 ? encoded : static_cast<std::uint8_t>(b);
            }
        }
        return t;
    }();
    return table;
}

void LowerBytes(const std::uint8_t* src, std::uint8_t* dst, std::size_t n) {
    const auto& t = LowerTable();
    for (std::size_t i = 0; i < n; ++i) dst[i] = t[src[i]];
}

std::string LowerAnsi(std::string_view ansi) {
    std::string out(ansi);
    auto* p = reinterpret_cast<std::uint8_t*>(out.data());
    LowerBytes(p, p, out.size());
    return out;
}

}  // namespace morvel::codepage
