// Writes keys of the store in the registry editor's REGEDIT4 text form.
#pragma once

#include <ostream>
#include <string_view>

#include "core/store/Registry.h"

namespace morvel {

// Writes the header "REGEDIT4" and then the key at path (relative to the root;
// empty for the whole store) with every key below it, depth first. Text values
// are written as "name"="text" (one trailing zero byte dropped, \ and "
// escaped), 4-byte numbers as dword:, anything else as hex(type):. NotFound
// when path names a key that does not exist (only the header is written);
// a failed read of the store fails it, after the lines before it.
Status ExportRegedit4(const Registry& registry, std::string_view path, std::ostream& out);

}  // namespace morvel
