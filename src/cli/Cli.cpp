#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "cli/Commands.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

// Every command, in the order --help lists them.
StoreCommands MakeCommands(CLI::App& app) {
    StoreCommands commands;
    for (auto make :
         {MakeDumpCommand, MakeSequencesCommand, MakeAttributesCommand, MakeClassifyCommand,
          MakeRememberCommand, MakeTargetsCommand, MakeLanguageCommand, MakeEvaluateCommand, MakeRankCommand,
          MakeExplainCommand, MakeExportCommand, MakeImportCommand, MakeLoadCommand, MakeBackupCommand})
        commands.push_back(make(app));
    return commands;
}

int OutputFailed(std::ostream& err, int status) {
    err << "morvel-cli: the output could not be written"
        << (errno ? std::string(": ") + std::strerror(errno) : "") << "\n";
    return status;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunCli(args, std::cin, out, err);
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    std::string storePath;
    CLI::App app("Morvel classifies executable files: attributes, examples, predictions.", "morvel-cli");
    app.set_version_flag("--version", std::string("morvel-cli ") + MORVEL_VERSION);
    app.add_option("--store", storePath,
                   "The store file (default: $MORVEL_STORE, else ~/.local/share/morvel/store.sqlite)");
    app.require_subcommand(1);
    app.fallthrough();
    const StoreCommands commands = MakeCommands(app);

    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        if (!out.flush()) return OutputFailed(err, 2);
        return code == 0 ? 0 : 2;
    }

    for (const auto& command : commands) {
        if (!command->Chosen()) continue;
        Registry registry;
        if (Status s = registry.Open(storePath.empty() ? Registry::DefaultPath() : storePath); !s) {
            err << "morvel-cli: " << s.message() << "\n";
            return 2;
        }
        const int status = command->Run(registry, in, out, err);
        // What the user asked for is the output: a full disk or a closed file
        // must not pass for success.
        if (!out.flush()) return OutputFailed(err, std::max(status, 1));
        return status;
    }
    return 2;
}

}  // namespace morvel
