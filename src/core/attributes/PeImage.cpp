#include "core/attributes/PeImage.h"

#include <algorithm>
#include <cstring>

namespace morvel {
namespace {

constexpr std::uint64_t kFileHeaderSize = 20;
constexpr std::uint64_t kSectionEntrySize = 40;
// The optional header's fixed part up to and including NumberOfRvaAndSizes.
constexpr std::uint64_t kFixedPart32 = 96;
constexpr std::uint64_t kFixedPart64 = 112;
constexpr std::uint64_t kDirectoryEntrySize = 8;

void ReadDirectories(const std::uint8_t* optional, std::uint64_t fixedPart, std::uint64_t optionalSize,
                     const BoundedReader& file, std::uint64_t optionalOffset, PeImage& image) {
    const std::uint32_t declared = LoadU32(optional + fixedPart - 4);
    const std::uint64_t room =
        optionalSize > fixedPart ? (optionalSize - fixedPart) / kDirectoryEntrySize : 0;
    const auto count = static_cast<int>(
        std::min<std::uint64_t>({declared, room, static_cast<std::uint64_t>(PeImage::kDirectoryCount)}));
    std::uint8_t entries[PeImage::kDirectoryCount * kDirectoryEntrySize];
    for (int i = 0; i < count; ++i) {
        std::uint8_t* entry = entries + i * kDirectoryEntrySize;
        if (!file.Read(optionalOffset + fixedPart + i * kDirectoryEntrySize, entry, kDirectoryEntrySize))
            break;
        image.directories[i] = {LoadU32(entry), LoadU32(entry + 4)};
    }
}

void ReadSections(const BoundedReader& file, std::uint64_t tableOffset, PeImage& image) {
    const std::uint32_t wanted = std::min<std::uint32_t>(image.sectionCount, PeImage::kMaxSections);
    if (!file.Holds(tableOffset, 0)) return;
    const std::uint64_t whole =
        std::min<std::uint64_t>(wanted, (file.Size() - tableOffset) / kSectionEntrySize);
    std::vector<std::uint8_t> table(whole * kSectionEntrySize);
    if (!file.Read(tableOffset, table.data(), table.size())) return;
    image.sections.reserve(whole);
    for (std::uint64_t i = 0; i < whole; ++i) {
        const std::uint8_t* e = table.data() + i * kSectionEntrySize;
        PeSection s;
        std::memcpy(s.name.data(), e, s.name.size());
        s.virtualSize = LoadU32(e + 8);
        s.virtualAddress = LoadU32(e + 12);
        s.rawSize = LoadU32(e + 16);
        s.rawPointer = LoadU32(e + 20);
        s.characteristics = LoadU32(e + 36);
        image.sections.push_back(s);
    }
}

}  // namespace

std::optional<FileSpan> PeImage::Map(std::uint32_t rva, std::uint64_t fileSize) const {
    // A loader maps a section's raw data at its virtual address; the headers
    // lie at relative address 0.
    for (const PeSection& s : sections) {
        if (s.rawSize == 0 || rva < s.virtualAddress) continue;
        // Raw bytes past the section's virtual size are not mapped.
        const std::uint64_t mapped = s.virtualSize == 0 ? s.rawSize : std::min(s.virtualSize, s.rawSize);
        const std::uint64_t into = rva - s.virtualAddress;
        if (into >= mapped) continue;
        const std::uint64_t offset = static_cast<std::uint64_t>(s.rawPointer) + into;
        if (offset >= fileSize) return std::nullopt;
        const std::uint64_t end = std::min<std::uint64_t>(s.rawPointer + mapped, fileSize);
        return FileSpan{offset, end - offset};
    }
    if (rva < sizeOfHeaders && rva < fileSize) {
        const std::uint64_t end = std::min<std::uint64_t>(sizeOfHeaders, fileSize);
        return FileSpan{rva, end - rva};
    }
    return std::nullopt;
}

std::optional<std::uint16_t> ReadPeMagic(const BoundedReader& file, std::uint64_t peOffset) {
    return file.U16(peOffset + 4 + kFileHeaderSize);
}

std::optional<PeImage> ReadPeImage(const BoundedReader& file, std::uint64_t peOffset) {
    std::uint8_t header[kFileHeaderSize];
    if (!file.Read(peOffset + 4, header, sizeof header)) return std::nullopt;
    PeImage image;
    image.machine = LoadU16(header);
    image.sectionCount = LoadU16(header + 2);
    const std::uint16_t optionalSize = LoadU16(header + 16);
    image.characteristics = LoadU16(header + 18);

    const std::uint64_t optionalOffset = peOffset + 4 + kFileHeaderSize;
    std::uint8_t optional[kFixedPart64];
    if (!file.Read(optionalOffset, optional, 2)) return std::nullopt;
    image.magic = LoadU16(optional);
    const std::uint64_t fixedPart = image.magic == PeImage::kMagic32   ? kFixedPart32
                                    : image.magic == PeImage::kMagic64 ? kFixedPart64
                                                                       : 0;
    if (fixedPart == 0 || !file.Read(optionalOffset, optional, fixedPart)) return std::nullopt;
    image.linkerMajor = optional[2];
    image.entryRva = LoadU32(optional + 16);
    image.sizeOfHeaders = LoadU32(optional + 60);
    image.subsystem = LoadU16(optional + 68);
    ReadDirectories(optional, fixedPart, optionalSize, file, optionalOffset, image);
    ReadSections(file, optionalOffset + optionalSize, image);
    return image;
}

}  // namespace morvel
