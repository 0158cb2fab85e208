#include "core/attributes/PeTables.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace morvel {
namespace {

constexpr std::uint64_t kMaxDescriptors = 4096;
constexpr std::uint64_t kDescriptorSize = 20;
constexpr std::uint64_t kDescriptorsPerRead = 64;
constexpr std::size_t kMaxNameLength = 256;

constexpr std::uint16_t kManifestType = 24;
constexpr std::uint64_t kMaxDirectoryEntries = 4096;
constexpr std::uint64_t kMaxManifestBytes = 64 * 1024;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The lower-cased NUL-terminated name at rva, at most kMaxNameLength bytes;
// empty when it cannot be read or its end is not there (a name cut off by the
// file's end would read as another library's: "msvcrt.dll" as "msvcr").
std::string ImportedName(const BoundedReader& file, const PeImage& image, std::uint32_t rva) {
    const auto span = image.Map(rva, file.Size());
    if (!span) return {};
    std::array<char, kMaxNameLength> buf{};
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(span->length, buf.size()));
    if (!file.Read(span->offset, buf.data(), n)) return {};
    const char* end = std::find(buf.data(), buf.data() + n, '\0');
    if (end == buf.data() + n) return {};
    std::string name(static_cast<const char*>(buf.data()), end);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

// Lower codes of ImportedLibraryClass win: the kernel over .NET over the
// Visual C++ runtimes over msvcrt.
std::uint8_t Rank(std::uint8_t importClass) {
    static constexpr std::uint8_t kRanks[] = {0, 0, 1, 0, 3, 2, 4};
    return kRanks[importClass];
}

struct ResourceEntry {
    std::uint32_t name = 0;
    std::uint32_t target = 0;
    bool IsDirectory() const { return (target & 0x80000000u) != 0; }
    std::uint32_t Offset() const { return target & 0x7FFFFFFFu; }
};

// In the resource directory at offset (from the resource directory's start):
// the first entry with the id, or without an id the first entry. Empty when
// the directory or such an entry cannot be read.
std::optional<ResourceEntry> FindEntry(const BoundedReader& file, const PeImage& image, std::uint32_t rootRva,
                                       std::uint32_t offset, std::optional<std::uint16_t> id) {
    const std::uint64_t rva = static_cast<std::uint64_t>(rootRva) + offset;
    if (rva > 0xFFFFFFFFu) return std::nullopt;
    const auto span = image.Map(static_cast<std::uint32_t>(rva), file.Size());
    if (!span || span->length < 16) return std::nullopt;
    std::uint8_t head[16];
    if (!file.Read(span->offset, head, sizeof head)) return std::nullopt;
    const std::uint64_t named = LoadU16(head + 12);
    const std::uint64_t ids = LoadU16(head + 14);
    const std::uint64_t count =
        std::min<std::uint64_t>({named + ids, kMaxDirectoryEntries, (span->length - 16) / 8});
    std::vector<std::uint8_t> entries(count * 8);
    if (!file.Read(span->offset + 16, entries.data(), entries.size())) return std::nullopt;
    for (std::uint64_t i = 0; i < count; ++i) {
        const ResourceEntry e{LoadU32(&entries[i * 8]), LoadU32(&entries[i * 8 + 4])};
        if (!id) return e;
        // Named entries come first; an id entry has the name's top bit clear.
        if (i >= named && (e.name & 0x80000000u) == 0 && e.name == *id) return e;
    }
    return std::nullopt;
}

bool Contains(const std::vector<char>& bytes, std::string_view text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

}  // namespace

std::uint8_t ImportedLibraryClass(std::string_view name) {
    if (name == "ntoskrnl.exe" || name == "hal.dll") return 3;
    if (name == "mscoree.dll") return 2;
    if (name == "msvcrt.dll") return 4;
    // msvcr71.dll, msvcr100.dll, msvcp140.dll, the universal runtime's parts.
    if (StartsWith(name, "msvcr") || StartsWith(name, "msvcp") || StartsWith(name, "vcruntime") ||
        StartsWith(name, "ucrtbase") || StartsWith(name, "api-ms-win-crt-"))
        return 5;
    return 6;
}

std::uint8_t ImportsCode(const BoundedReader& file, const PeImage& image) {
    const PeDirectory& dir = image.directories[PeImage::kImport];
    if (!dir.Present()) return 1;
    const auto span = image.Map(dir.rva, file.Size());
    if (!span) return 1;
    const std::uint64_t limit = std::min(kMaxDescriptors, span->length / kDescriptorSize);
    std::uint8_t best = 0;
    std::uint64_t descriptors = 0;
    std::array<std::uint8_t, kDescriptorsPerRead * kDescriptorSize> chunk;
    for (std::uint64_t first = 0; first < limit; first += kDescriptorsPerRead) {
        const std::uint64_t n = std::min(kDescriptorsPerRead, limit - first);
        if (!file.Read(span->offset + first * kDescriptorSize, chunk.data(), n * kDescriptorSize)) break;
        for (std::uint64_t i = 0; i < n; ++i) {
            const std::uint8_t* d = chunk.data() + i * kDescriptorSize;
            // The table ends with a descriptor of zeros; one without a name ends it too.
            const std::uint32_t nameRva = LoadU32(d + 12);
            if (nameRva == 0) return descriptors == 0 ? 1 : best;
            ++descriptors;
            const std::string name = ImportedName(file, image, nameRva);
            const std::uint8_t cls = name.empty() ? 6 : ImportedLibraryClass(name);
            if (best == 0 || Rank(cls) < Rank(best)) best = cls;
        }
    }
    return descriptors == 0 ? 1 : best;
}

std::uint8_t ManifestCode(const BoundedReader& file, const PeImage& image) {
    const PeDirectory& dir = image.directories[PeImage::kResource];
    if (!dir.Present()) return 1;
    constexpr std::uint8_t kNone = 2;
    // Type, then name, then language: three levels, the last pointing to a data entry.
    const auto type = FindEntry(file, image, dir.rva, 0, kManifestType);
    if (!type || !type->IsDirectory()) return kNone;
    const auto name = FindEntry(file, image, dir.rva, type->Offset(), std::nullopt);
    if (!name || !name->IsDirectory()) return kNone;
    const auto language = FindEntry(file, image, dir.rva, name->Offset(), std::nullopt);
    if (!language || language->IsDirectory()) return kNone;

    const std::uint64_t entryRva = static_cast<std::uint64_t>(dir.rva) + language->Offset();
    if (entryRva > 0xFFFFFFFFu) return kNone;
    const auto entry = image.Map(static_cast<std::uint32_t>(entryRva), file.Size());
    std::uint8_t data[8];
    if (!entry || entry->length < sizeof data || !file.Read(entry->offset, data, sizeof data)) return kNone;
    const auto text = image.Map(LoadU32(data), file.Size());
    if (!text) return kNone;
    const std::uint64_t length =
        std::min<std::uint64_t>({LoadU32(data + 4), text->length, kMaxManifestBytes});
    std::vector<char> manifest(length);
    if (!file.Read(text->offset, manifest.data(), manifest.size())) return kNone;
    return Contains(manifest, "requireAdministrator") || Contains(manifest, "highestAvailable") ? 4 : 3;
}

}  // namespace morvel
