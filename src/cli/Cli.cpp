#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "store/ConfigTables.h"
#include "store/RegExport.h"
#include "store/Registry.h"
#include "store/modMain.h"

namespace morvel {
namespace {

struct Options {
    std::string store;
    std::string dumpKey;
    std::vector<std::string> sequenceTexts;
};

// Opens the store named by --store, $MORVEL_STORE or the default; reports on err.
bool OpenStore(const Options& opts, Registry& registry, std::ostream& err) {
    const std::string path = opts.store.empty() ? Registry::DefaultPath() : opts.store;
    if (Status s = registry.Open(path); !s) {
        err << "morvel-cli: " << s.message() << "\n";
        return false;
    }
    return true;
}

int Dump(const Options& opts, std::ostream& out, std::ostream& err) {
    Registry registry;
    if (!OpenStore(opts, registry, err)) return 2;
    std::string key = opts.dumpKey;
    std::replace(key.begin(), key.end(), '/', '\\');
    while (!key.empty() && key.front() == '\\') key.erase(key.begin());
    const std::string path = std::string(Registry::kBaseKey) + (key.empty() ? "" : "\\" + key);
    if (!ExportRegedit4(registry, opts.dumpKey.empty() ? "" : path, out)) {
        err << "morvel-cli: no key " << path << " in the store\n";
        return 1;
    }
    return 0;
}

int Sequences(const Options& opts, bool set, std::ostream& out, std::ostream& err) {
    Registry registry;
    if (!OpenStore(opts, registry, err)) return 2;
    modMain state;
    LoadConfigurationTables(registry, state);
    if (set) {
        if (Status s = SaveSequenceTable(registry, state, opts.sequenceTexts); !s) {
            err << "morvel-cli: " << s.message() << "\n";
            return 1;
        }
    }
    for (int i = 1; i <= state.SequenceCount; ++i) out << state.SequenceTable[i] << "\n";
    return 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options opts;
    CLI::App app("Morvel classifies executable files: attributes, examples, predictions.", "morvel-cli");
    app.set_version_flag("--version", std::string("morvel-cli ") + MORVEL_VERSION);
    app.add_option("--store", opts.store,
                   "The store file (default: $MORVEL_STORE, else ~/.local/share/morvel/store.sqlite)");
    app.require_subcommand(1);
    app.fallthrough();

    auto* dump =
        app.add_subcommand("dump", "Print the store, or one key below the base key, as REGEDIT4 text");
    dump->add_option("KEYPATH", opts.dumpKey,
                     "A key below SOFTWARE\\Norwick\\Morvel, e.g. Attributes\\Contain");

    auto* sequences = app.add_subcommand("sequences", "Print the search sequences, one per line");
    auto* sequencesSet =
        sequences->add_subcommand("set", "Replace the search sequences (empty and repeated texts dropped)");
    sequencesSet->add_option("TEXT", opts.sequenceTexts, "The new sequences, in order");

    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? 0 : 2;
    }

    if (dump->parsed()) return Dump(opts, out, err);
    if (sequences->parsed()) return Sequences(opts, sequencesSet->parsed(), out, err);
    return 2;
}

}  // namespace morvel
