// The program's single-byte code page, Windows-1251, in one place.
//
// Text is UTF-8 in memory. The store, file-name classes, search patterns and
// the lowering of file contents all work on Windows-1251 bytes, converted here.
// Every function is pure and thread-safe; the tables are built once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::codepage {

// UTF-8 -> Windows-1251. A character the code page lacks, and every byte of a
// malformed UTF-8 sequence, becomes "?".
std::string ToAnsi(std::string_view utf8);

// UTF-8 -> Windows-1251 when every character has its byte: true, and *ansi
// holds the bytes. False when a character is missing or the UTF-8 is
// malformed (*ansi then holds ToAnsi's "?" in their places).
bool ToAnsiExact(std::string_view utf8, std::string& ansi);

// The characters of utf8 that Windows-1251 lacks, each once, in the order met,
// in UTF-8 ("\uFFFD" stands for bytes that are not UTF-8). Empty when ToAnsi
// keeps every character.
std::vector<std::string> MissingCharacters(std::string_view utf8);

// Appends the UTF-8 form of code point c.
void AppendUtf8(std::string& out, char32_t c);

// Windows-1251 -> UTF-8. Every byte maps to one character (0x98, unassigned in
// the code page, maps to U+0098 so that conversion round-trips).
std::string FromAnsi(std::string_view ansi);

// The 256-entry lowering table of Windows-1251: A-Z, the Cyrillic capitals,
// and the other capitals of the code page map to their small forms; every
// other byte, 0 included, maps to itself.
const std::array<std::uint8_t, 256>& LowerTable();

inline std::uint8_t LowerByte(std::uint8_t b) { return LowerTable()[b]; }

// Lowers n bytes from src into dst through the table (src and dst may be equal).
void LowerBytes(const std::uint8_t* src, std::uint8_t* dst, std::size_t n);

// Lowers Windows-1251 bytes through the table.
std::string LowerAnsi(std::string_view ansi);

// UTF-8 text -> lowered Windows-1251 bytes: what case-insensitive comparisons
// and search patterns use.
inline std::string LoweredAnsi(std::string_view utf8) { return LowerAnsi(ToAnsi(utf8)); }

}  // namespace morvel::codepage
