#include "core/attributes/AttributeMeaning.h"

#include <array>
#include <string_view>

#include "core/store/modMain.h"

namespace morvel {
namespace {

constexpr std::array<std::string_view, modMain::kGeneralSlots + 1> kTitles = {
    "",
    "extension",
    "name length",
    "first symbol",
    "has digit",
    "has Russian letter",
    "has special character",
    "has Latin letter",
    "size class",
    "executable type",
    "day",
    "month",
    "year",
    "weekday",
    "system attribute",
    "time of day",
    "INT 33h marker",
};

// Codes 1..n of the slots whose codes are a closed list.
template <std::size_t N>
std::string Pick(const std::array<std::string_view, N>& names, std::int32_t value) {
    if (value < 1 || static_cast<std::size_t>(value) > N) return "unknown code";
    return std::string(names[value - 1]);
}

constexpr std::array<std::string_view, 2> kYesNo = {"yes", "no"};

}  // namespace

std::string SlotTitle(std::int32_t slot) {
    if (slot < 1 || slot > modMain::kGeneralSlots) return {};
    return std::string(kTitles[slot]);
}

std::string ValueMeaning(std::int32_t slot, std::int32_t value) {
    if (value == 0) return slot == 9 ? "not determined" : "not available";
    if (slot > modMain::kGeneralSlots && slot <= modMain::kMaxAttributes)
        return Pick(std::array<std::string_view, 2>{"found", "not found"}, value);
    switch (slot) {
        case 1:
            return Pick(std::array<std::string_view, 4>{"exe", "com", "scr", "other"}, value);
        case 2:
            return value > 0 && value <= 255 ? std::string() : "unknown code";
        case 3:
            return Pick(std::array<std::string_view, 6>{"Latin letter other than s and i", "Russian letter",
                                                        "digit", "s or i", "~", "other"},
                        value);
        case 4:
        case 5:
        case 6:
        case 7:
        case 14:
        case 16:
            return Pick(kYesNo, value);
        case 8:
            return Pick(
                std::array<std::string_view, 8>{"under 1 KiB", "1 KiB to 10 KiB", "10 KiB to 100 KiB",
                                                "100 KiB to 1 MiB", "1 MiB to 10 MiB", "10 MiB to 100 MiB",
                                                "100 MiB to 1 GiB", "1 GiB or more"},
                value);
        case 9:
            return Pick(
                std::array<std::string_view, 7>{"32-bit Windows", "DOS", "16-bit Windows", "PIF or unknown",
                                                "POSIX", "16-bit OS/2", "64-bit Windows"},
                value);
        case 10:
            return value > 0 && value <= 31 ? std::string() : "unknown code";
        case 11:
            return Pick(std::array<std::string_view, 12>{"January", "February", "March", "April", "May",
                                                         "June", "July", "August", "September", "October",
                                                         "November", "December"},
                        value);
        case 12:
            return value > 0 && value <= 255 ? std::to_string(1900 + value) : "unknown code";
        case 13:
            return Pick(std::array<std::string_view, 7>{"Monday", "Tuesday", "Wednesday", "Thursday",
                                                        "Friday", "Saturday", "Sunday"},
                        value);
        case 15:
            return Pick(std::array<std::string_view, 4>{"night, 22:00 to 03:59", "morning, 04:00 to 09:59",
                                                        "day, 10:00 to 15:59", "evening, 16:00 to 21:59"},
                        value);
        default:
            return "unknown code";
    }
}

std::string DescribeSlotValue(const std::string& name, std::int32_t slot, std::int32_t value) {
    std::string text = name;
    if (const std::string title = SlotTitle(slot); !title.empty()) text += " " + title;
    text += " = " + std::to_string(value);
    if (const std::string meaning = ValueMeaning(slot, value); !meaning.empty()) text += " (" + meaning + ")";
    return text;
}

}  // namespace morvel
