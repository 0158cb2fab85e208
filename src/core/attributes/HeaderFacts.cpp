#include "core/attributes/HeaderFacts.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/attributes/BoundedReader.h"
#include "core/attributes/ByteEntropy.h"
#include "core/attributes/PeImage.h"
#include "core/attributes/PeTables.h"

namespace morvel {
namespace {

enum Format : std::uint8_t { kDos = 1, kNe, kLe, kLx, kPe32, kPe64, kUnknownNew };

constexpr std::uint64_t kNewHeaderPointer = 0x3C;
constexpr std::uint64_t kStubStart = 0x40;
// A stub longer than this is searched in its first bytes only.
constexpr std::uint64_t kMaxStubBytes = 64 * 1024;

constexpr std::uint16_t kDllCharacteristic = 0x2000;
constexpr std::uint32_t kWritableSection = 0x80000000u;

std::uint8_t YesNo(bool yes) { return yes ? kYes : kNo; }

// The format and the new header's offset (0 for DOS) of an MZ file.
struct Layout {
    std::uint8_t format = kDos;
    std::uint64_t newHeader = 0;
};

Layout ReadLayout(const BoundedReader& file) {
    const auto pointer = file.U32(kNewHeaderPointer);
    if (!pointer || *pointer == 0) return {};
    const std::uint64_t at = *pointer;
    char sig[4] = {};
    if (file.Read(at, sig, 4) && std::memcmp(sig, "PE\0\0", 4) == 0) {
        const auto magic = ReadPeMagic(file, at);
        const std::uint8_t format = !magic                        ? kUnknownNew
                                    : *magic == PeImage::kMagic32 ? kPe32
                                    : *magic == PeImage::kMagic64 ? kPe64
                                                                  : kUnknownNew;
        return {format, at};
    }
    if (!file.Read(at, sig, 2)) return {};
    const std::string_view two(sig, 2);
    if (two == "NE") return {kNe, at};
    if (two == "LE") return {kLe, at};
    if (two == "LX") return {kLx, at};
    return {};
}

std::uint8_t StubCode(const BoundedReader& file, std::uint64_t newHeader) {
    if (newHeader <= kStubStart) return 4;
    const std::uint64_t length = std::min(newHeader - kStubStart, kMaxStubBytes);
    std::vector<char> stub(length);
    if (!file.Read(kStubStart, stub.data(), stub.size())) return 3;
    const auto has = [&stub](std::string_view text) {
        return std::search(stub.begin(), stub.end(), text.begin(), text.end()) != stub.end();
    };
    if (has("Wine builtin DLL") || has("Wine placeholder DLL")) return 2;
    if (has("This program cannot be run in DOS mode") || has("This program must be run under Win32"))
        return 1;
    return 3;
}

// NE: the module flags' library bit. LE, LX: a module type other than a program.
std::uint8_t SegmentedDllCode(const BoundedReader& file, const Layout& layout) {
    if (layout.format == kNe) {
        const auto flags = file.U16(layout.newHeader + 0x0C);
        return flags ? YesNo((*flags & 0x8000) != 0) : 0;
    }
    const auto flags = file.U32(layout.newHeader + 0x10);
    return flags ? YesNo((*flags & 0x38000) != 0) : 0;
}

std::uint8_t MachineCode(std::uint16_t machine) {
    switch (machine) {
        case 0x14C:
            return 1;
        case 0x8664:
            return 2;
        case 0x1C0:
        case 0x1C2:
        case 0x1C4:
            return 3;
        case 0xAA64:
            return 4;
        case 0x200:
            return 5;
        default:
            return 6;
    }
}

std::uint8_t SubsystemCode(std::uint16_t subsystem) {
    if (subsystem == 0) return 0;
    if (subsystem <= 3) return static_cast<std::uint8_t>(subsystem);
    if (subsystem >= 10 && subsystem <= 13) return 4;
    return 5;
}

// Where the image's headers and section data end in the file.
std::uint64_t ImageEnd(const PeImage& image) {
    std::uint64_t end = image.sizeOfHeaders;
    for (const PeSection& s : image.sections)
        if (s.rawSize > 0) end = std::max<std::uint64_t>(end, std::uint64_t{s.rawPointer} + s.rawSize);
    return end;
}

bool HasCertificateTable(const BoundedReader& file, const PeImage& image) {
    const PeDirectory& cert = image.directories[PeImage::kCertificate];
    return cert.size > 0 && file.Holds(cert.rva, cert.size);
}

std::uint8_t OverlayCode(const BoundedReader& file, const PeImage& image) {
    const std::uint64_t end = ImageEnd(image);
    if (end >= file.Size()) return 1;
    std::uint64_t overlay = file.Size() - end;
    // A signature appended after the image is not data of the program's own.
    const PeDirectory& cert = image.directories[PeImage::kCertificate];
    if (HasCertificateTable(file, image) && cert.rva >= end) overlay -= cert.size;
    if (overlay == 0) return 1;
    if (overlay < 4 * 1024) return 2;
    if (overlay < 64 * 1024) return 3;
    if (overlay < 1024 * 1024) return 4;
    return 5;
}

bool IsPackerSection(const PeSection& s) {
    static constexpr std::string_view kNames[] = {
        "UPX0",    "UPX1",     "UPX2",     ".aspack", ".adata",  ".petite",  ".nsp0",    ".nsp1", "MPRESS1",
        "MPRESS2", ".MPRESS1", ".MPRESS2", "PEC2",    ".packed", "kkrunchy", ".themida", ".vmp0", ".vmp1"};
    const std::string_view name(s.name.data(),
                                std::find(s.name.begin(), s.name.end(), '\0') - s.name.begin());
    return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

std::uint8_t PackerCode(const PeImage& image) {
    if (std::any_of(image.sections.begin(), image.sections.end(), IsPackerSection)) return 1;
    if (image.entryRva == 0) return 3;
    for (const PeSection& s : image.sections) {
        const std::uint64_t extent = std::max(s.virtualSize, s.rawSize);
        if (image.entryRva >= s.virtualAddress && image.entryRva - s.virtualAddress < extent)
            return (s.characteristics & kWritableSection) != 0 ? 2 : 3;
    }
    return 2;
}

void ReadPeCodes(const BoundedReader& file, const PeImage& image, HeaderCodes& codes) {
    const auto set = [&codes](std::int32_t slot, std::uint8_t code) { codes[slot - 1] = code; };
    set(header_slot::kMachine, MachineCode(image.machine));
    set(header_slot::kSubsystem, SubsystemCode(image.subsystem));
    set(header_slot::kDll, YesNo((image.characteristics & kDllCharacteristic) != 0));
    set(header_slot::kDotNet, YesNo(image.directories[PeImage::kClrRuntime].Present()));
    set(header_slot::kImports, ImportsCode(file, image));
    set(header_slot::kSections,
        static_cast<std::uint8_t>(std::min<std::uint32_t>(image.sectionCount, 32) + 1));
    set(header_slot::kLinker,
        static_cast<std::uint8_t>(std::min<std::uint32_t>(image.linkerMajor + 1u, 255)));
    set(header_slot::kOverlay, OverlayCode(file, image));
    set(header_slot::kSigned, YesNo(HasCertificateTable(file, image)));
    set(header_slot::kManifest, ManifestCode(file, image));
    set(header_slot::kPacker, PackerCode(image));
}

}  // namespace

HeaderCodes ReadHeaderFacts(const ReadAtFn& read, std::uint64_t size, const std::uint8_t* window,
                            std::int32_t windowLength) {
    HeaderCodes codes{};
    if (windowLength > 0)
        codes[header_slot::kEntropy - 1] = EntropyClass(WindowEntropy(window, windowLength));

    const BoundedReader file(read, size);
    char mz[2] = {};
    if (!file.Read(0, mz, 2) || mz[0] != 'M' || mz[1] != 'Z') return codes;
    const Layout layout = ReadLayout(file);
    codes[header_slot::kFormat - 1] = layout.format;
    switch (layout.format) {
        case kNe:
        case kLe:
        case kLx:
            codes[header_slot::kDll - 1] = SegmentedDllCode(file, layout);
            codes[header_slot::kStub - 1] = StubCode(file, layout.newHeader);
            break;
        case kPe32:
        case kPe64:
            codes[header_slot::kStub - 1] = StubCode(file, layout.newHeader);
            if (const auto image = ReadPeImage(file, layout.newHeader)) ReadPeCodes(file, *image, codes);
            break;
        default:
            break;
    }
    return codes;
}

}  // namespace morvel
