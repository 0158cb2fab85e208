// morvel-cli load: reads a registry-editor file (an export of this or another
// store, the starter configuration, a file written by hand or by a registry
// editor) into the program's key.
#pragma once

#include "cli/StoreCommand.h"

namespace morvel {

// Adds the subcommand load to app.
std::unique_ptr<StoreCommand> AddLoadCommand(CLI::App& app);

}  // namespace morvel
