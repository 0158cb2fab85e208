#include "core/attributes/AttributeMeaning.h"

#include <array>
#include <string_view>
#include <vector>

#include "core/attributes/AttributeSlots.h"

namespace morvel {
namespace {

// One general slot: its title, and how its codes read.
struct SlotInfo {
    enum class Codes {
        kNamed,    // codes 1..n, each with the name in names
        kNumbers,  // codes 1..limit that speak for themselves
        kYears,    // years since 1900: 1..255 read as 1901..2155
    };
    std::string_view title;
    Codes codes = Codes::kNamed;
    std::vector<std::string_view> names = {};
    std::int32_t limit = 0;  // kNumbers: the largest code; 0 when the list is open
};

const std::vector<std::string_view> kYesNo = {"yes", "no"};

const std::array<SlotInfo, ConfigTables::kGeneralSlots + 1>& Slots() {
    using C = SlotInfo::Codes;
    static const std::array<SlotInfo, ConfigTables::kGeneralSlots + 1> table = {{
        {},
        {"extension", C::kNamed, {"exe", "com", "scr", "other"}},
        {"name length", C::kNumbers, {}, 0},
        {"first symbol",
         C::kNamed,
         {"Latin letter other than s and i", "Russian letter", "digit", "s or i", "~", "other"}},
        {"has digit", C::kNamed, kYesNo},
        {"has Russian letter", C::kNamed, kYesNo},
        {"has special character", C::kNamed, kYesNo},
        {"has Latin letter", C::kNamed, kYesNo},
        {"size class",
         C::kNamed,
         {"under 1 KiB", "1 KiB to 10 KiB", "10 KiB to 100 KiB", "100 KiB to 1 MiB", "1 MiB to 10 MiB",
          "10 MiB to 100 MiB", "100 MiB to 1 GiB", "1 GiB or more"}},
        {"executable type",
         C::kNamed,
         {"32-bit Windows", "DOS", "16-bit Windows", "PIF or unknown", "POSIX", "16-bit OS/2",
          "64-bit Windows"}},
        {"day", C::kNumbers, {}, 31},
        {"month",
         C::kNamed,
         {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
          "November", "December"}},
        {"year", C::kYears},
        {"weekday",
         C::kNamed,
         {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}},
        {"system attribute", C::kNamed, kYesNo},
        {"time of day",
         C::kNamed,
         {"night, 22:00 to 03:59", "morning, 04:00 to 09:59", "day, 10:00 to 15:59",
          "evening, 16:00 to 21:59"}},
        {"INT 33h marker", C::kNamed, kYesNo},
    }};
    return table;
}

bool IsGeneralSlot(std::int32_t s) { return s >= 1 && s <= ConfigTables::kGeneralSlots; }

}  // namespace

std::string SlotTitle(std::int32_t s) {
    return IsGeneralSlot(s) ? std::string(Slots()[s].title) : std::string();
}

std::int32_t ClosedCodeCount(std::int32_t s) {
    if (IsSequenceSlot(s)) return 2;
    if (!IsGeneralSlot(s)) return 0;
    const SlotInfo& info = Slots()[s];
    switch (info.codes) {
        case SlotInfo::Codes::kNamed:
            return static_cast<std::int32_t>(info.names.size());
        case SlotInfo::Codes::kNumbers:
            return info.limit;
        case SlotInfo::Codes::kYears:
            return 0;
    }
    return 0;
}

std::string ValueMeaning(std::int32_t s, std::int32_t value) {
    if (value == 0) return s == slot::kExecutableType ? "not determined" : "not available";
    if (IsSequenceSlot(s)) return value == kYes ? "found" : value == kNo ? "not found" : "unknown code";
    if (!IsGeneralSlot(s)) return "unknown code";
    const SlotInfo& info = Slots()[s];
    switch (info.codes) {
        case SlotInfo::Codes::kNamed:
            if (value < 1 || static_cast<std::size_t>(value) > info.names.size()) return "unknown code";
            return std::string(info.names[value - 1]);
        case SlotInfo::Codes::kNumbers:
            return value > 0 && value <= (info.limit > 0 ? info.limit : 255) ? std::string() : "unknown code";
        case SlotInfo::Codes::kYears:
            return value > 0 && value <= 255 ? std::to_string(1900 + value) : "unknown code";
    }
    return "unknown code";
}

std::string DescribeSlotValue(const std::string& name, std::int32_t slot, std::int32_t value) {
    std::string text = name;
    if (const std::string title = SlotTitle(slot); !title.empty()) text += " " + title;
    text += " = " + std::to_string(value);
    if (const std::string meaning = ValueMeaning(slot, value); !meaning.empty()) text += " (" + meaning + ")";
    return text;
}

}  // namespace morvel
