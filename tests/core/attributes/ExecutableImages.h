// Small executables built in memory for the header reader's tests and the
// fuzz seeds: an MZ header with a stub, and a PE, NE, LE or LX header after
// it. Offsets and field places are those of the file formats; everything
// else (sizes, alignment, where tables go) is this builder's own choice.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace morvel::test {

inline void Put16(std::string& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 2) b.resize(at + 2, '\0');
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
inline void PutText(std::string& b, std::size_t at, const std::string& text) {
    if (b.size() < at + text.size()) b.resize(at + text.size(), '\0');
    b.replace(at, text.size(), text);
}

inline constexpr const char* kDosStubText = "This program cannot be run in DOS mode.\r\r\n$";

// An MZ header whose new header is at newHeader, with stub text after the
// 64-byte header.
inline std::string MzHeader(std::uint32_t newHeader, const std::string& stub = kDosStubText) {
    std::string b(0x40, '\0');
    PutText(b, 0, "MZ");
    Put32(b, 0x3C, newHeader);
    PutText(b, 0x40, stub);
    if (b.size() < newHeader) b.resize(newHeader, '\0');
    return b;
}

// An NE, LE or LX executable: signature and the module flags word (NE, at
// 0x0C) or the module type flags (LE/LX, at 0x10).
inline std::string SegmentedImage(const std::string& signature, std::uint32_t flags) {
    std::string b = MzHeader(0x80);
    PutText(b, 0x80, signature);
    if (signature == "NE")
        Put16(b, 0x80 + 0x0C, flags);
    else
        Put32(b, 0x80 + 0x10, flags);
    b.resize(0x200, '\0');
    return b;
}

struct SectionSpec {
    std::string name = ".text";
    std::uint32_t characteristics = 0x60000020;  // code, readable, executable
    std::uint32_t rawSize = 0x200;
};

struct PeSpec {
    bool pe64 = false;
    std::uint16_t machine = 0x14C;
    std::uint16_t subsystem = 3;
    std::uint16_t characteristics = 0x0102;  // executable, 32-bit
    std::uint8_t linkerMajor = 14;
    std::uint32_t entryRva = 0x1000;  // the first section
    std::uint32_t newHeader = 0x80;
    std::string stub = kDosStubText;
    std::vector<SectionSpec> sections = {SectionSpec{}};
    std::vector<std::string> imports;  // library names, in an import section
    bool resources = false;            // a resource section
    std::string manifest;              // its manifest (type 24), when not empty
    bool clrHeader = false;            // a .NET runtime header in its own section
    std::uint32_t overlay = 0;         // bytes after the image
    std::uint32_t certificate = 0;     // bytes of a certificate table after the overlay
};

// Where the builder put things, for tests that then damage them.
struct PeLayout {
    std::uint32_t optionalHeader = 0;
    std::uint32_t sectionTable = 0;
    std::uint32_t importRva = 0, importOffset = 0;
    std::uint32_t resourceRva = 0, resourceOffset = 0;
};

inline std::string BuildPe(const PeSpec& shape, PeLayout* where = nullptr) {
    constexpr std::uint32_t kFileAlign = 0x200, kSectionAlign = 0x1000, kHeaders = 0x400;
    std::string b = MzHeader(shape.newHeader, shape.stub);
    const std::uint32_t pe = shape.newHeader;
    PutText(b, pe, std::string("PE\0\0", 4));
    const std::uint32_t optional = pe + 24;
    const std::uint32_t optionalSize = shape.pe64 ? 240 : 224;
    const std::uint32_t directories = optional + (shape.pe64 ? 112 : 96);

    // Sections: the caller's, then the ones the builder fills.
    struct Placed {
        SectionSpec shape;
        std::string content;
        int directory = -1;
        std::uint32_t directorySize = 0;
    };
    std::vector<Placed> placed;
    for (const auto& s : shape.sections) placed.push_back({s, std::string(s.rawSize, '\x90')});
    const auto rvaOf = [&](std::size_t index) {
        return kSectionAlign * static_cast<std::uint32_t>(index + 1);
    };
    if (!shape.imports.empty()) {
        const std::uint32_t base = rvaOf(placed.size());
        std::string idata;
        std::uint32_t names = 20 * static_cast<std::uint32_t>(shape.imports.size() + 1);
        for (std::size_t i = 0; i < shape.imports.size(); ++i) {
            Put32(idata, i * 20 + 12, base + names);
            PutText(idata, names, shape.imports[i] + '\0');
            names += static_cast<std::uint32_t>(shape.imports[i].size() + 1);
        }
        idata.resize(names, '\0');
        placed.push_back(
            {{".idata", 0xC0000040, 0}, idata, 1, 20 * static_cast<std::uint32_t>(shape.imports.size() + 1)});
    }
    if (shape.resources) {
        const std::uint32_t base = rvaOf(placed.size());
        std::string rsrc;
        // Root: one type (24 for the manifest, else 3, icons) -> name dir -> language dir -> data entry.
        Put16(rsrc, 14, 1);
        Put32(rsrc, 16, shape.manifest.empty() ? 3 : 24);
        Put32(rsrc, 20, 0x80000000u | 0x18);
        Put16(rsrc, 0x18 + 14, 1);
        Put32(rsrc, 0x18 + 16, 1);
        Put32(rsrc, 0x18 + 20, 0x80000000u | 0x30);
        Put16(rsrc, 0x30 + 14, 1);
        Put32(rsrc, 0x30 + 16, 0x409);
        Put32(rsrc, 0x30 + 20, 0x48);
        const std::string data = shape.manifest.empty() ? std::string(16, 'i') : shape.manifest;
        Put32(rsrc, 0x48, base + 0x58);
        Put32(rsrc, 0x48 + 4, static_cast<std::uint32_t>(data.size()));
        PutText(rsrc, 0x58, data);
        placed.push_back({{".rsrc", 0x40000040, 0}, rsrc, 2, static_cast<std::uint32_t>(rsrc.size())});
    }
    if (shape.clrHeader) {
        std::string clr(0x48, '\0');
        Put32(clr, 0, 0x48);
        placed.push_back({{".clr", 0x40000040, 0}, clr, 14, 0x48});
    }

    // Headers.
    Put16(b, pe + 4, shape.machine);
    Put16(b, pe + 6, static_cast<std::uint32_t>(placed.size()));
    Put16(b, pe + 20, optionalSize);
    Put16(b, pe + 22, shape.characteristics);
    Put16(b, optional, shape.pe64 ? 0x20B : 0x10B);
    Put16(b, optional + 2, shape.linkerMajor);  // and minor version 0
    Put32(b, optional + 16, shape.entryRva);
    Put32(b, optional + 32, kSectionAlign);
    Put32(b, optional + 36, kFileAlign);
    Put32(b, optional + 56, rvaOf(placed.size()));
    Put32(b, optional + 60, kHeaders);
    Put16(b, optional + 68, shape.subsystem);
    Put32(b, directories - 4, 16);
    const std::uint32_t table = optional + optionalSize;
    b.resize(std::max<std::size_t>(b.size(), kHeaders), '\0');

    PeLayout layout{optional, table};
    std::uint32_t raw = kHeaders;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        auto& p = placed[i];
        const auto rawSize =
            static_cast<std::uint32_t>((p.content.size() + kFileAlign - 1) / kFileAlign * kFileAlign);
        const std::uint32_t entry = table + 40 * static_cast<std::uint32_t>(i);
        PutText(b, entry, p.shape.name.substr(0, 8));
        Put32(b, entry + 8, static_cast<std::uint32_t>(p.content.size()));
        Put32(b, entry + 12, rvaOf(i));
        Put32(b, entry + 16, rawSize);
        Put32(b, entry + 20, raw);
        Put32(b, entry + 36, p.shape.characteristics);
        PutText(b, raw, p.content);
        b.resize(raw + rawSize, '\0');
        if (p.directory >= 0) {
            Put32(b, directories + 8 * p.directory, rvaOf(i));
            Put32(b, directories + 8 * p.directory + 4, p.directorySize);
        }
        if (p.directory == 1) {
            layout.importRva = rvaOf(i);
            layout.importOffset = raw;
        }
        if (p.directory == 2) {
            layout.resourceRva = rvaOf(i);
            layout.resourceOffset = raw;
        }
        raw += rawSize;
    }
    b.append(shape.overlay, '\x5A');
    if (shape.certificate > 0) {
        Put32(b, directories + 8 * 4, static_cast<std::uint32_t>(b.size()));
        Put32(b, directories + 8 * 4 + 4, shape.certificate);
        b.append(shape.certificate, '\x30');
    }
    if (where) *where = layout;
    return b;
}

}  // namespace morvel::test
