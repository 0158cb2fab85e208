// Opening the desktop program's store at start, and telling the user when it
// cannot be used. Used on the user-interface thread, before any window opens.
#pragma once

#include <string>

#include "core/store/Registry.h"

namespace morvel {

// The longest the interface thread waits for a store that another program
// holds, in milliseconds.
inline constexpr int kInterfaceBusyTimeout = 100;

// Opens registry on the store at path. A file there that cannot be opened as
// this program's store is left exactly as it is: a message names it and why
// (in Russian, as no interface text can be read without the store) and the
// result is false, on which the program stops. A store that opens for
// reading only is used after a message that says so; the result is true.
// Afterwards the store waits at most kInterfaceBusyTimeout for another program.
bool OpenProgramStore(Registry& registry, const std::string& path);

}  // namespace morvel
