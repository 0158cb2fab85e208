// The DOS "system" attribute of an open file, where the file system keeps one
// (FAT, NTFS, SMB shares, Samba and Wine's extended attribute).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace morvel {

// The DOS attribute bits of fd, or nothing when no file system service here
// knows them. Never guessed from the mode bits.
std::optional<std::uint32_t> DosAttributes(int fd);

// Decodes the value of the "user.DOSATTRIB" extended attribute: the text
// "0x..." or, after it, Samba's binary record.
std::optional<std::uint32_t> ParseSambaDosAttrib(std::string_view value);

// 1 when fd carries the system attribute, 2 when it does not or nothing is known.
inline std::uint8_t SystemFlag(int fd) {
    const auto attributes = DosAttributes(fd);
    return attributes && (*attributes & 0x4) ? 1 : 2;
}

}  // namespace morvel
