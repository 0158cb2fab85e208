// The program's start: everything before the first window opens.
#pragma once

#include <string>
#include <vector>

#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

namespace morvel {

// Takes the platform version, loads the configuration tables, takes the
// arguments after the program's name (joined by one blank, quotes kept) as
// CurrentFile and computes its attributes into AttributesValid. Fails when
// the store could not be read; the tables must not be used then.
Status StartUp(const Registry& registry, ConfigTables& state, FileExaminer& examiner,
               const std::vector<std::string>& args);

}  // namespace morvel
