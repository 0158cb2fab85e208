#include "core/config/AttributeFamilies.h"

#include <algorithm>
#include <array>

#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

using K = SlotCodes::Kind;

constexpr std::array<std::string_view, 2> kYesNo = {"yes", "no"};
constexpr std::array<std::string_view, 4> kExtensions = {"exe", "com", "scr", "other"};
constexpr std::array<std::string_view, 6> kFirstSymbols = {
    "Latin letter other than s and i", "Russian letter", "digit", "s or i", "~", "other"};
constexpr std::array<std::string_view, 8> kSizeClasses = {
    "under 1 KiB",     "1 KiB to 10 KiB",   "10 KiB to 100 KiB", "100 KiB to 1 MiB",
    "1 MiB to 10 MiB", "10 MiB to 100 MiB", "100 MiB to 1 GiB",  "1 GiB or more"};
constexpr std::array<std::string_view, 7> kExecutableTypes = {
    "32-bit Windows", "DOS", "16-bit Windows", "PIF or unknown", "POSIX", "16-bit OS/2", "64-bit Windows"};
constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kWeekdays = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                       "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 4> kTimesOfDay = {"night, 22:00 to 03:59", "morning, 04:00 to 09:59",
                                                         "day, 10:00 to 15:59", "evening, 16:00 to 21:59"};

// The general slots, in the order of the slot enum.
constexpr std::array<SlotCodes, ConfigTables::kGeneralSlots> kGeneral = {{
    {"extension", K::kNamed, kExtensions},
    {"name length", K::kNumbers},
    {"first symbol", K::kNamed, kFirstSymbols},
    {"has digit", K::kNamed, kYesNo},
    {"has Russian letter", K::kNamed, kYesNo},
    {"has special character", K::kNamed, kYesNo},
    {"has Latin letter", K::kNamed, kYesNo},
    {"size class", K::kNamed, kSizeClasses},
    {"executable type", K::kNamed, kExecutableTypes, 0, "not determined"},
    {"day", K::kNumbers, {}, 31},
    {"month", K::kNamed, kMonths},
    {"year", K::kYears},
    {"weekday", K::kNamed, kWeekdays},
    {"system attribute", K::kNamed, kYesNo},
    {"time of day", K::kNamed, kTimesOfDay},
    {"INT 33h marker", K::kNamed, kYesNo},
}};
static_assert(slot::kInt33Marker == kGeneral.size(), "one entry per general slot");

constexpr std::array<std::string_view, 2> kFound = {"found", "not found"};

constexpr std::array<std::string_view, 7> kFormats = {
    "DOS", "NE (16-bit Windows or OS/2)", "LE", "LX", "PE32", "PE32+", "MZ with an unknown new header"};
constexpr std::array<std::string_view, 6> kMachines = {"x86", "x86-64", "ARM", "ARM64", "Itanium", "other"};
constexpr std::array<std::string_view, 5> kSubsystems = {"native (driver or system)", "Windows GUI",
                                                         "Windows console", "EFI", "other"};
constexpr std::array<std::string_view, 4> kStubs = {"the usual DOS stub", "Wine's builtin stub",
                                                    "another stub", "no stub"};
constexpr std::array<std::string_view, 6> kImports = {
    "no imports", ".NET runtime (mscoree)", "kernel (ntoskrnl, hal)",
    "msvcrt",     "Visual C++ runtime",     "other libraries only"};
constexpr std::array<std::string_view, 5> kOverlays = {"none", "under 4 KiB", "4 KiB to 64 KiB",
                                                       "64 KiB to 1 MiB", "1 MiB or more"};
constexpr std::array<std::string_view, 4> kManifests = {"no resources", "resources without a manifest",
                                                        "a manifest", "a manifest asking for elevation"};
constexpr std::array<std::string_view, 3> kPackers = {
    "a known packer's sections", "entry point writable or outside the sections", "neither"};
constexpr std::array<std::string_view, 8> kEntropies = {
    "under 2 bits per byte", "2 to 4", "4 to 5", "5 to 6", "6 to 6.5", "6.5 to 7", "7 to 7.5", "7.5 or more"};

// The header slots, in the order of the header_slot enum.
constexpr std::string_view kNotApplicable = "does not apply";
constexpr std::array<SlotCodes, kHeaderSlotCount> kHeader = {{
    {"file format", K::kNamed, kFormats, 0, "not an MZ executable", "Format"},
    {"machine", K::kNamed, kMachines, 0, kNotApplicable, "Machine"},
    {"subsystem", K::kNamed, kSubsystems, 0, kNotApplicable, "Subsystem"},
    {"library", K::kNamed, kYesNo, 0, kNotApplicable, "Dll"},
    {".NET assembly", K::kNamed, kYesNo, 0, kNotApplicable, "DotNet"},
    {"DOS stub", K::kNamed, kStubs, 0, kNotApplicable, "Stub"},
    {"runtime imported", K::kNamed, kImports, 0, kNotApplicable, "Imports"},
    {"sections plus one", K::kNumbers, {}, 33, kNotApplicable, "Sections"},
    {"linker major version plus one", K::kNumbers, {}, 255, kNotApplicable, "Linker"},
    {"data after the image", K::kNamed, kOverlays, 0, kNotApplicable, "Overlay"},
    {"certificate table", K::kNamed, kYesNo, 0, kNotApplicable, "Signed"},
    {"manifest", K::kNamed, kManifests, 0, kNotApplicable, "Manifest"},
    {"packing", K::kNamed, kPackers, 0, kNotApplicable, "Packer"},
    {"entropy", K::kNamed, kEntropies, 0, "empty file", "Entropy"},
}};
static_assert(header_slot::kEntropy == kHeader.size(), "one entry per header slot");

constexpr std::array<AttributeFamily, 3> kFamilies = {{
    {AttributeFamily::Id::kGeneral, kStandardPrefix, AttributeFamily::Naming::kNumbered, kGeneral},
    {AttributeFamily::Id::kSequence,
     kContainPrefix,
     AttributeFamily::Naming::kSequenceText,
     {},
     SlotCodes{{}, K::kNamed, kFound}},
    {AttributeFamily::Id::kHeader, kHeaderPrefix, AttributeFamily::Naming::kWords, kHeader},
}};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
           });
}

// The position 1..count that text writes in decimal without a leading zero, or 0.
std::size_t Position(std::string_view text, std::size_t count) {
    if (text.empty() || text.size() > 2 || text[0] == '0' ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    std::size_t n = 0;
    for (const char c : text) n = n * 10 + static_cast<std::size_t>(c - '0');
    return n <= count ? n : 0;
}

}  // namespace

std::span<const AttributeFamily> AttributeFamilies() { return kFamilies; }

NamedAttribute AttributeNamed(std::string_view valueName) {
    NamedAttribute found;
    for (const AttributeFamily& family : kFamilies) {
        if (!StartsWithIgnoringCase(valueName, family.prefix)) continue;
        const std::string_view suffix = valueName.substr(family.prefix.size());
        switch (family.naming) {
            case AttributeFamily::Naming::kNumbered:
                if (const std::size_t n = Position(suffix, family.slotCodes.size()); n > 0)
                    found.codes = &family.slotCodes[n - 1];
                break;
            case AttributeFamily::Naming::kSequenceText:
                found.codes = &family.each;
                break;
            case AttributeFamily::Naming::kWords:
                for (const SlotCodes& codes : family.slotCodes)
                    if (suffix.size() == codes.word.size() && StartsWithIgnoringCase(suffix, codes.word))
                        found.codes = &codes;
                break;
        }
        if (found.codes == nullptr) continue;
        found.family = &family;
        found.suffix = family.naming == AttributeFamily::Naming::kWords ? found.codes->word : suffix;
        found.name = std::string(family.prefix) + found.suffix;
        return found;
    }
    return found;
}

std::string SlotTitle(std::string_view valueName) {
    const NamedAttribute a = AttributeNamed(valueName);
    return a.codes ? std::string(a.codes->title) : std::string();
}

std::int32_t ClosedCodeCount(std::string_view valueName) {
    const NamedAttribute a = AttributeNamed(valueName);
    if (a.codes == nullptr) return 0;
    switch (a.codes->kind) {
        case K::kNamed:
            return static_cast<std::int32_t>(a.codes->names.size());
        case K::kNumbers:
            return a.codes->limit;
        case K::kYears:
            return 0;
    }
    return 0;
}

std::string ValueMeaning(std::string_view valueName, std::int32_t value) {
    const NamedAttribute a = AttributeNamed(valueName);
    if (value == 0) return std::string(a.codes ? a.codes->none : SlotCodes{}.none);
    if (a.codes == nullptr) return "unknown code";
    const SlotCodes& codes = *a.codes;
    switch (codes.kind) {
        case K::kNamed:
            if (value < 1 || static_cast<std::size_t>(value) > codes.names.size()) return "unknown code";
            return std::string(codes.names[value - 1]);
        case K::kNumbers:
            return value > 0 && value <= (codes.limit > 0 ? codes.limit : 255) ? std::string()
                                                                               : "unknown code";
        case K::kYears:
            return value > 0 && value <= 255 ? std::to_string(1900 + value) : "unknown code";
    }
    return "unknown code";
}

std::string DescribeSlotValue(std::string_view valueName, std::int32_t value) {
    std::string text(valueName);
    if (const std::string title = SlotTitle(valueName); !title.empty()) text += " " + title;
    text += " = " + std::to_string(value);
    if (const std::string meaning = ValueMeaning(valueName, value); !meaning.empty())
        text += " (" + meaning + ")";
    return text;
}

}  // namespace morvel
