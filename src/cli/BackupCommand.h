// morvel-cli backup: a consistent copy of the store, also while the window or
// another morvel-cli is writing to it.
#pragma once

#include "cli/StoreCommand.h"

namespace morvel {

// Adds the subcommand backup to app.
std::unique_ptr<StoreCommand> AddBackupCommand(CLI::App& app);

}  // namespace morvel
