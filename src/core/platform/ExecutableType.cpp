#include "core/platform/ExecutableType.h"

#include <array>
#include <cctype>
#include <string>

namespace morvel {
namespace {

enum BinaryType { kWin32 = 0, kDos = 1, kWow = 2, kPif = 3, kPosix = 4, kOs2 = 5, kWin64 = 6, kFailed = -1 };

// Little-endian field reads; false when the bytes lie past the end.
struct Reader {
    const ReadAtFn& read;
    bool U8(std::uint64_t at, std::uint32_t& v) const {
        std::uint8_t b;
        if (read(at, &b, 1) != 1) return false;
        v = b;
        return true;
    }
    bool U16(std::uint64_t at, std::uint32_t& v) const {
        std::uint8_t b[2];
        if (read(at, b, 2) != 2) return false;
        v = b[0] | (b[1] << 8);
        return true;
    }
    bool U32(std::uint64_t at, std::uint32_t& v) const {
        std::uint8_t b[4];
        if (read(at, b, 4) != 4) return false;
        v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
        return true;
    }
};

// True when the NE file imports a module named KERNEL (any letter case).
bool ImportsKernel(const Reader& r, std::uint64_t ne) {
    std::uint32_t count, refTable, namesTable;
    if (!r.U16(ne + 0x1E, count) || !r.U16(ne + 0x28, refTable) || !r.U16(ne + 0x2A, namesTable))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameOffset, length;
        if (!r.U16(ne + refTable + 2 * i, nameOffset)) return false;
        const std::uint64_t at = ne + namesTable + nameOffset;
        if (!r.U8(at, length) || length != 6) continue;
        std::array<char, 6> name;
        if (r.read(at + 1, name.data(), 6) != 6) continue;
        std::string upper(name.begin(), name.end());
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper == "KERNEL") return true;
    }
    return false;
}

}  // namespace

int QueryBinaryType(const ReadAtFn& read, std::uint64_t size, std::string_view lowerExtension) {
    if (size == 0) return kFailed;
    const Reader r{read};
    std::uint8_t mz[2] = {0, 0};
    if (size < 64 || read(0, mz, 2) != 2 || mz[0] != 'M' || mz[1] != 'Z') {
        if (lowerExtension == "com") return kDos;
        if (lowerExtension == "pif") return kPif;
        return kFailed;
    }
    std::uint32_t e32;
    if (!r.U32(0x3C, e32)) return kDos;
    const auto e = static_cast<std::int32_t>(e32);
    std::array<std::uint8_t, 24> header;
    if (e < 0 || read(static_cast<std::uint64_t>(e), header.data(), header.size()) != header.size())
        return kDos;
    const std::uint64_t at = static_cast<std::uint64_t>(e);

    if (header[0] == 'P' && header[1] == 'E' && header[2] == 0 && header[3] == 0) {
        const std::uint32_t characteristics = header[22] | (header[23] << 8);
        if (characteristics & 0x2000) return kFailed;  // a DLL
        std::uint32_t subsystem = 0, magic = 0;
        if (r.U16(at + 24 + 68, subsystem) && subsystem == 7) return kPosix;
        if (!r.U16(at + 24, magic)) return kFailed;
        if (magic == 0x10B) return kWin32;
        if (magic == 0x20B) return kWin64;
        return kFailed;
    }
    if (header[0] == 'N' && header[1] == 'E') {
        std::uint32_t target = 0xFF;
        r.U8(at + 0x36, target);
        if (target == 2) return kWow;
        if (target == 5) return kDos;
        if (target == 0) return ImportsKernel(r, at) ? kWow : kOs2;
        return kOs2;
    }
    return kDos;
}

}  // namespace morvel
