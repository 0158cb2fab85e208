// What the slots of an attribute vector mean, in words for people: one table
// of the title of each general slot and of the codes it takes, and the found
// / not found of the sequence slots. The windows, explain, rank and the
// exporters all read it, so a slot's codes are listed once.
#pragma once

#include <cstdint>
#include <string>

namespace morvel {

// A short title of slot 1..16 ("size class" for slot 8); empty for a sequence
// slot (17 and above) and for any other number.
std::string SlotTitle(std::int32_t slot);

// How many codes the slot takes when they form a closed list (1..n): 4 for
// the extension, 2 for a yes/no or sequence slot; 0 for the open ones (the
// name length and the year) and for any other number.
std::int32_t ClosedCodeCount(std::int32_t slot);

// The meaning of value in slot: "100 KiB to 1 MiB" for slot 8 value 4, "found"
// for a sequence slot value 1, "not available" for 0 in any slot. Empty when
// the number speaks for itself (a name length, a day of the month); "unknown
// code" for a value the slot never takes.
std::string ValueMeaning(std::int32_t slot, std::int32_t value);

// The attribute's value name, title, value and meaning in one phrase:
// "Standard8 size class = 4 (100 KiB to 1 MiB)", "Containvirus = 1 (found)",
// "Standard2 name length = 7".
std::string DescribeSlotValue(const std::string& name, std::int32_t slot, std::int32_t value);

}  // namespace morvel
