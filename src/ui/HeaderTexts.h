// The header attributes in the interface's words: for each header slot a
// title ("Processor") and a meaning for each of its codes ("x86-64"), read
// from the "\Interface" key ("HeaderMachine" for the title, "HeaderMachine2"
// for code 2, "HeaderMachine0" for a slot that does not apply), else the
// built-in Russian text. Used on the user-interface thread.
#pragma once

#include <QString>
#include <cstdint>

#include "core/store/Registry.h"

namespace morvel {

// "Title: meaning" for header slot h (header_slot::kFormat ...) with code.
// Counting slots (sections, the linker's version) show their number.
QString HeaderSlotLine(const Registry& registry, std::int32_t h, std::int32_t code);

}  // namespace morvel
