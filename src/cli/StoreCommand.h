// StoreCommand: a morvel-cli command that works on the store. It adds its own
// subcommand and options to the parser when made, and runs on the opened
// store when the user chose it; RunCli needs no other line for it.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/store/Registry.h"
#include "core/store/modMain.h"

namespace morvel {

class StoreCommand {
  public:
    virtual ~StoreCommand() = default;
    // Whether the parsed command line chose this command.
    bool Chosen() const { return command_ != nullptr && command_->parsed(); }
    // Runs on the open store; returns the exit status (0 done, 1 some input
    // could not be handled, 2 a usage error), output on out, messages on err.
    virtual int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) = 0;

  protected:
    CLI::App* command_ = nullptr;
};

using StoreCommands = std::vector<std::unique_ptr<StoreCommand>>;

// Loads the configuration tables as the program does at start-up.
void LoadTables(const Registry& registry, modMain& state);

// The positions (1..TargetCount) of the targets a command works on: every
// target when id is empty, else those whose identifier is id exactly. Returns
// false, with a message on err, when id names no target.
bool ChooseTargets(const modMain& state, const std::string& id, std::vector<std::int32_t>& targets,
                   std::ostream& err);

}  // namespace morvel
