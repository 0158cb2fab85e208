// The attributes in the interface's words: for any slot of a vector its
// title and the meaning of its value ("Размер: от 100 КиБ до 1 МиБ"), read
// from the "\Interface" key with built-in Russian texts. The general
// attributes are named by their value names ("Standard8" the title,
// "Standard8_4" the meaning of code 4), the search texts by a message and
// the header attributes as HeaderTexts names them. Used on the
// user-interface thread.
#pragma once

#include <QString>
#include <cstdint>

#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

namespace morvel {

// "Title: meaning" of slot (1..ExampleSlotCount of tables) holding code.
QString SlotLine(const Registry& registry, const ConfigTables& tables, std::int32_t slot, std::int32_t code);

}  // namespace morvel
