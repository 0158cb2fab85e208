// Opening the desktop program's store at start, and telling the user when it
// cannot be used. Used on the user-interface thread, before any window opens.
#pragma once

#include <string>

#include "core/store/Registry.h"

namespace morvel {

// Opens registry on the store at path. A file there that cannot be opened as
// this program's store is left exactly as it is: a message names it and why
// (in Russian, as no interface text can be read without the store) and the
// result is false, on which the program stops. A store that opens for
// reading only is used after a message that says so; the result is true.
bool OpenProgramStore(Registry& registry, const std::string& path);

}  // namespace morvel
