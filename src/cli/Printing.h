// Small helpers for the text the analysis commands print: numbers, padded
// columns of UTF-8 text, a target's heading.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/config/ConfigTables.h"

namespace morvel {

inline std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

inline std::string Percent(std::int32_t part, std::int32_t whole) {
    return whole > 0 ? Fixed(100.0 * part / whole, 1) + "%" : "-";
}

// Characters of UTF-8 text (for lining up columns).
inline std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

inline std::string PadRight(const std::string& text, std::size_t width) {
    return text + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

inline std::string PadLeft(const std::string& text, std::size_t width) {
    return std::string(width > Width(text) ? width - Width(text) : 0, ' ') + text;
}

inline std::string TargetHeading(const TargetEntry& target) {
    return target.Id + " (" + target.Name + ", " + target.Method + ")";
}

}  // namespace morvel
