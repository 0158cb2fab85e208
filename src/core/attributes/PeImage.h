// PeImage: the parts of a PE32 or PE32+ image's headers that the header
// attributes read: the file header, the optional header's fixed fields, the
// data directories and the section table, and the mapping of a relative
// virtual address to a place in the file. Read through a BoundedReader, so a
// cut-off or hostile header yields a failure or a shorter table, never a read
// outside the file. A plain value; thread-safe once read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/attributes/BoundedReader.h"

namespace morvel {

struct PeSection {
    std::array<char, 8> name{};  // as stored: padded with NULs, not terminated when 8 long
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
    std::uint32_t characteristics = 0;
};

struct PeDirectory {
    std::uint32_t rva = 0;  // the certificate table's is a file offset
    std::uint32_t size = 0;
    bool Present() const { return rva != 0 && size != 0; }
};

// A place in the file: offset and how many bytes of the region it lies in
// follow it in the file (never past the file's end).
struct FileSpan {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct PeImage {
    static constexpr std::uint16_t kMagic32 = 0x10B;
    static constexpr std::uint16_t kMagic64 = 0x20B;
    // The table is read up to this many sections; later ones are ignored.
    static constexpr std::uint32_t kMaxSections = 1024;
    static constexpr int kDirectoryCount = 16;
    enum Directory { kImport = 1, kResource = 2, kCertificate = 4, kClrRuntime = 14 };

    std::uint16_t machine = 0;
    std::uint16_t sectionCount = 0;  // as the file header declares it
    std::uint16_t characteristics = 0;
    std::uint16_t magic = 0;
    std::uint8_t linkerMajor = 0;
    std::uint32_t entryRva = 0;
    std::uint32_t sizeOfHeaders = 0;
    std::uint16_t subsystem = 0;
    // Entries beyond NumberOfRvaAndSizes or the optional header's size are empty.
    std::array<PeDirectory, kDirectoryCount> directories{};
    // The sections whose entries lie wholly inside the file, in table order.
    std::vector<PeSection> sections;

    // Where the bytes at rva are in the file: inside the headers or inside a
    // section's raw data. Empty when no byte of the file backs rva.
    std::optional<FileSpan> Map(std::uint32_t rva, std::uint64_t fileSize) const;
};

// The optional header's magic of the image whose "PE\0\0" signature is at
// peOffset; empty when it lies past the end.
std::optional<std::uint16_t> ReadPeMagic(const BoundedReader& file, std::uint64_t peOffset);

// Reads the image whose signature is at peOffset. Empty when the file header
// or the optional header's fields up to the directory count are cut off, or
// the magic is neither PE32's nor PE32+'s.
std::optional<PeImage> ReadPeImage(const BoundedReader& file, std::uint64_t peOffset);

}  // namespace morvel
