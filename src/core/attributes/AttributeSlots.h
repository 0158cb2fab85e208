// The attribute vector: one small category code per slot, 0 meaning not
// available. Slots 1..16 are the general attributes of a file (named in
// AttributeFamilies.h, with what their codes mean); slot 16 + k says whether
// search sequence k occurs.
#pragma once

#include <array>
#include <cstdint>

#include "core/config/AttributeFamilies.h"
#include "core/config/ConfigTables.h"

namespace morvel {

// Slot 1..116 of an attribute vector; element 0 is unused.
using AttributeSlots = std::array<std::uint8_t, ConfigTables::kMaxAttributes + 1>;

// The slot of search sequence k (1..100).
constexpr std::int32_t SequenceSlot(std::int32_t k) { return ConfigTables::kGeneralSlots + k; }

}  // namespace morvel
