// The slots of an attribute vector, by name. Slots 1..16 are the general
// attributes of a file; slot 16 + k says whether search sequence k occurs.
// Every slot holds a small category code, 0 meaning not available.
#pragma once

#include <array>
#include <cstdint>

#include "core/config/ConfigTables.h"

namespace morvel {

// Slot 1..116 of an attribute vector; element 0 is unused.
using AttributeSlots = std::array<std::uint8_t, ConfigTables::kMaxAttributes + 1>;

namespace slot {
enum : std::int32_t {
    kExtension = 1,  // 1 exe, 2 com, 3 scr, 4 other
    kNameLength,     // characters of the base name, at most 255
    kFirstSymbol,    // the kind of the base name's first character
    kHasDigit,       // yes/no codes: 1 yes, 2 no
    kHasRussianLetter,
    kHasSpecialCharacter,
    kHasLatinLetter,
    kSizeClass,       // 1 under 1 KiB ... 8 one GiB or more
    kExecutableType,  // the executable type plus one; 4 when unknown
    kDay,             // of the last write, in UTC
    kMonth,
    kYear,         // years since 1900
    kWeekday,      // 1 Monday ... 7 Sunday
    kSystemFlag,   // yes/no
    kTimeOfDay,    // 1 night, 2 morning, 3 day, 4 evening
    kInt33Marker,  // yes/no: the mouse-interrupt marker in the contents
};
}  // namespace slot

// The slot of search sequence k (1..100).
constexpr std::int32_t SequenceSlot(std::int32_t k) { return ConfigTables::kGeneralSlots + k; }
// Whether slot holds a search sequence.
constexpr bool IsSequenceSlot(std::int32_t s) {
    return s > ConfigTables::kGeneralSlots && s <= ConfigTables::kMaxAttributes;
}

// Yes/no codes of the yes/no slots and the sequence slots.
inline constexpr std::uint8_t kYes = 1;
inline constexpr std::uint8_t kNo = 2;

}  // namespace morvel
