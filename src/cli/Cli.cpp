#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
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
          MakeRememberCommand, MakeTargetsCommand, MakeHeaderAttributesCommand, MakeLanguageCommand,
          MakeEvaluateCommand, MakeRankCommand, MakeExplainCommand, MakeReviewCommand, MakeExportCommand,
          MakeImportCommand, MakeLoadCommand, MakeBackupCommand})
        commands.push_back(make(app));
    return commands;
}

// The message for a command line whose first word that is not a program-wide
// option names no command, or that gives an option the program does not
// have before its command; empty when it has neither. The parser's own
// message would only say that a command is required.
std::string UnknownWord(const std::vector<std::string>& args, CLI::App& app) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--store") {
            ++i;
        } else if (word.starts_with("--store=") || word == "--read-only" || word == "--version" ||
                   word == "--help" || word == "-h") {
        } else if (word.starts_with("-") && word != "-") {
            return "unknown option \"" + word + "\"";
        } else {
            const auto named = app.get_subcommands([&](CLI::App* c) { return c->check_name(word); });
            if (named.empty()) return "unknown command \"" + word + "\"";
            return {};
        }
    }
    return {};
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
    bool readOnly = false;
    app.add_option("--store", storePath,
                   "The store file (default: $MORVEL_STORE, else $XDG_DATA_HOME/morvel/store.sqlite,"
                   " else ~/.local/share/morvel/store.sqlite)")
        // An empty path is a mistake (an unset variable), never the default store.
        ->check([](const std::string& path) { return path.empty() ? "the store path is empty" : ""; });
    app.add_flag("--read-only", readOnly,
                 "Only read the store: a missing store is an error, never created, and writes are refused");
    app.require_subcommand(1);
    app.fallthrough();
    // Parser errors read as the program's other messages: one line, prefixed,
    // in sentence case.
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        std::string message = e.what();
        if (message.size() > 1 && std::isupper(static_cast<unsigned char>(message[0])) &&
            std::islower(static_cast<unsigned char>(message[1])))
            message[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(message[0])));
        return "morvel-cli: " + message + " (--help lists the commands and options)\n";
    });
    const StoreCommands commands = MakeCommands(app);

    if (const std::string unknown = UnknownWord(args, app); !unknown.empty()) {
        err << "morvel-cli: " << unknown << " (morvel-cli --help lists the commands and options)\n";
        return 2;
    }
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
        if (Status s = registry.Open(storePath.empty() ? Registry::DefaultPath() : storePath,
                                     readOnly ? Registry::Access::kReadOnly : Registry::Access::kReadWrite);
            !s) {
            err << "morvel-cli: " << s.message() << "\n";
            return 2;
        }
        const int status = command->Run(registry, in, out, err);
        // What the user asked for is the output: a full disk or a closed file
        // must not pass for success. A change to the store was made all the
        // same: say what it was, so that a script does not make it twice.
        if (!out.flush()) {
            if (command->Done().empty()) return OutputFailed(err, std::max(status, 1));
            err << "morvel-cli: " << command->Done() << ", but the output could not be written"
                << (errno ? std::string(": ") + std::strerror(errno) : "") << "\n";
            return status == 0 ? kDoneOutputLost : status;
        }
        return status;
    }
    return 2;
}

}  // namespace morvel
