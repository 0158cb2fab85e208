// StoreCommand: one morvel-cli command. Each command is a class in a file of
// its own (see Commands.h): made with the parser, it adds its subcommand and
// options; when the user chose it, RunCli opens the store and calls Run.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/config/ConfigTables.h"
#include "core/platform/Status.h"
#include "core/store/Registry.h"

namespace morvel {

class StoreCommand {
  public:
    virtual ~StoreCommand() = default;
    // Whether the parsed command line chose this command.
    bool Chosen() const { return command_ != nullptr && command_->parsed(); }
    // Runs on the open store; returns the exit status (see Cli.h), output on out,
    // messages on err. in is what "-" reads.
    virtual int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) = 0;
    // What the last Run changed in the store, in a few words ("stored FILE as
    // example 5"); empty when it changed nothing. When the output then cannot
    // be written, this is what tells the user the work was done all the same.
    const std::string& Done() const { return done_; }

  protected:
    CLI::App* command_ = nullptr;
    std::string done_;
};

using StoreCommands = std::vector<std::unique_ptr<StoreCommand>>;

// Loads the configuration tables as the program does at start-up; fails
// when the store could not be read.
Status LoadTables(const Registry& registry, ConfigTables& tables);

// The positions (1..TargetCount) of the targets a command works on: every
// target when id is empty, else those whose identifier is id exactly. Returns
// false, with a message on err, when id names no target.
bool ChooseTargets(const ConfigTables& tables, const std::string& id, std::vector<std::int32_t>& targets,
                   std::ostream& err);

// On a store with no target attribute, says on err in one line how to add
// one (what classify and explain would print is only the files' paths).
void HintWhenNoTargets(const ConfigTables& tables, std::ostream& err);

// Why the input file at path cannot be read ("No such file or directory",
// "it is a folder"), or empty when it opens for reading (a pipe included).
std::string UnreadableInput(const std::string& path);

// Writes "morvel-cli: " and the status's message (with what went before it,
// when given) on a line of err, and returns 1.
int Report(std::ostream& err, const Status& status, const std::string& context = {});

}  // namespace morvel
