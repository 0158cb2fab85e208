// The start of a batch command's JSON line: the path of its file.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace morvel {

// {"path": path}, and when path's bytes are not UTF-8 (JSON holds only text,
// so "path" shows U+FFFD in their place) also "path_hex": every byte of the
// path as two hexadecimal digits, from which the exact path is read back.
inline nlohmann::ordered_json JsonPath(const std::string& path) {
    nlohmann::ordered_json json = {{"path", path}};
    try {
        (void)json.dump();
    } catch (const nlohmann::json::type_error&) {
        std::string hex;
        char digits[3];
        for (const char c : path) {
            std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(c));
            hex += digits;
        }
        json["path_hex"] = hex;
    }
    return json;
}

}  // namespace morvel
