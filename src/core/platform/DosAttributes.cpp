#include "core/platform/DosAttributes.h"

#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>

#include <cstring>
#include <string>

namespace morvel {
namespace {

// Reads an extended attribute of exactly n bytes (or up to max for text).
std::optional<std::string> Xattr(int fd, const char* name, std::size_t max = 256) {
    std::string value(max, '\0');
    const ssize_t n = fgetxattr(fd, name, value.data(), value.size());
    if (n < 0) return std::nullopt;
    value.resize(static_cast<std::size_t>(n));
    return value;
}

std::uint32_t HostU32(std::string_view v) {
    std::uint32_t x;
    std::memcpy(&x, v.data(), 4);
    return x;
}

std::uint32_t LittleU(std::string_view v, std::size_t at, std::size_t n) {
    std::uint32_t x = 0;
    for (std::size_t i = 0; i < n; ++i)
        x |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(v[at + i])) << (8 * i);
    return x;
}

}  // namespace

std::optional<std::uint32_t> ParseSambaDosAttrib(std::string_view value) {
    const std::size_t nul = value.find('\0');
    const std::string_view text = value.substr(0, nul);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::uint32_t x = 0;
        bool ok = text.size() <= 10;
        for (char c : text.substr(2)) {
            const int digit = (c >= '0' && c <= '9')   ? c - '0'
                              : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                              : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                       : -1;
            if (digit < 0) ok = false;
            x = (x << 4) | static_cast<std::uint32_t>(digit & 0xF);
        }
        if (ok) return x;
    }
    if (nul == std::string_view::npos) return std::nullopt;
    // Binary record after the text: u16 version, then the version's info.
    const std::size_t versionAt = nul + 1;
    if (value.size() < versionAt + 2) return std::nullopt;
    const std::uint32_t version = LittleU(value, versionAt, 2);
    const std::size_t info = versionAt + 2;
    std::size_t at;
    if (version == 1) {
        at = info;
    } else if (version >= 2 && version <= 5) {
        at = info + 4;
    } else {
        return std::nullopt;
    }
    if (value.size() < at + 4) return std::nullopt;
    return LittleU(value, at, 4);
}

std::optional<std::uint32_t> DosAttributes(int fd) {
    std::uint32_t fat = 0;
    if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &fat) == 0) return fat;
    if (auto v = Xattr(fd, "system.ntfs_attrib_be"); v && v->size() == 4) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(v->data());
        return (std::uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
    }
    if (auto v = Xattr(fd, "system.ntfs_attrib"); v && v->size() == 4) return HostU32(*v);
    if (auto v = Xattr(fd, "system.dos_attrib"); v && v->size() == 1)
        return static_cast<std::uint8_t>((*v)[0]);
    for (const char* name : {"user.cifs.dosattrib", "user.smb3.dosattrib"})
        if (auto v = Xattr(fd, name); v && v->size() == 4) return HostU32(*v);
    if (auto v = Xattr(fd, "user.DOSATTRIB")) return ParseSambaDosAttrib(*v);
    return std::nullopt;
}

}  // namespace morvel
