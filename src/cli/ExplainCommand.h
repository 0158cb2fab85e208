// morvel-cli explain: classifies files as classify does and tells, per
// target, how its method reached the value: the ID3 walk step by step, or
// each class's Bayes score with the attributes that lowered it most.
#pragma once

#include <memory>

#include "cli/StoreCommand.h"

namespace morvel {

// The explain subcommand, added to app.
std::unique_ptr<StoreCommand> MakeExplainCommand(CLI::App& app);

}  // namespace morvel
