// Shortening a text for a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvel {

// At most 80 characters of a text from a file (UTF-8, cut between whole
// characters, "..." when cut), to quote in a message about it.
inline std::string Excerpt(std::string_view text) {
    if (text.size() <= 80) return std::string(text);
    std::size_t cut = 77;
    while (cut > 0 && (static_cast<std::uint8_t>(text[cut]) & 0xC0) == 0x80) --cut;  // whole characters
    return std::string(text.substr(0, cut)) + "...";
}

}  // namespace morvel
