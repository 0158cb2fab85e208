#include "cli/Cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "attributes/FileExaminer.h"
#include "shell/LanguageFile.h"
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
    std::vector<std::string> files;
    bool json = false;
    std::string languageFile;
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

// A relative path is taken from the current folder, since the examination
// needs the file's folder; the output keeps the path as given.
std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.string();
}

int Attributes(const Options& opts, std::ostream& out, std::ostream& err) {
    Registry registry;
    if (!OpenStore(opts, registry, err)) return 2;
    modMain state;
    state.PlatformVersion = modMain::kNtPlatformVersion;
    LoadConfigurationTables(registry, state);
    FileExaminer examiner;
    const int slots = modMain::kGeneralSlots + state.SequenceCount;
    int status = 0;
    for (const auto& path : opts.files) {
        const bool ok = examiner.ComputeFileAttributes(AbsolutePath(path), state);
        if (!ok) {
            status = 1;
            err << "morvel-cli: " << path << ": " << examiner.LastError() << "\n";
        }
        if (opts.json) {
            nlohmann::ordered_json line = {{"path", path}, {"ok", ok}};
            if (ok) {
                line["size"] = examiner.CappedFileSize;
                line["window"] = examiner.WindowLength;
                line["vector"] = std::vector<int>(examiner.AttributeVector.begin() + 1,
                                                  examiner.AttributeVector.begin() + 1 + slots);
            } else {
                line["error"] = examiner.LastError();
            }
            out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
        } else if (ok) {
            out << path << '\t';
            for (int s = 1; s <= slots; ++s) out << (s > 1 ? " " : "") << int{examiner.AttributeVector[s]};
            out << "\n";
        } else {
            out << path << "\terror: " << examiner.LastError() << "\n";
        }
    }
    return status;
}

// Imports a language file into the "\Interface" key; the lines it skipped go to err.
int LanguageImport(const Options& opts, std::ostream& out, std::ostream& err) {
    Registry registry;
    if (!OpenStore(opts, registry, err)) return 2;
    ParsedLanguage parsed;
    const Status s = ImportLanguageFile(registry, opts.languageFile, parsed);
    for (const auto& p : parsed.problems)
        err << opts.languageFile << ":" << p.line << ": " << p.message << "\n";
    if (parsed.skippedLines > parsed.problems.size())
        err << opts.languageFile << ": " << parsed.skippedLines - parsed.problems.size()
            << " more lines skipped\n";
    if (!s) {
        err << "morvel-cli: " << opts.languageFile << ": " << s.message() << "; nothing was imported\n";
        return 1;
    }
    out << parsed.texts.size() << " texts imported, " << parsed.skippedLines << " lines skipped\n";
    return parsed.skippedLines == 0 ? 0 : 1;
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

    auto* attributes =
        app.add_subcommand("attributes", "Print the attribute vector of each file, one line each");
    attributes->add_flag("--json", opts.json, "JSON Lines: path, ok, size, window, vector (or error)");
    attributes->add_option("FILE", opts.files, "Files to examine")->required();
    auto* language = app.add_subcommand("language", "Interface languages");
    language->require_subcommand(1);
    auto* languageImport = language->add_subcommand(
        "import", "Import a language file (.lng) into the store; skipped lines are listed");
    languageImport->add_option("FILE", opts.languageFile, "The language file")->required();

    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? 0 : 2;
    }

    if (attributes->parsed()) return Attributes(opts, out, err);
    if (dump->parsed()) return Dump(opts, out, err);
    if (sequences->parsed()) return Sequences(opts, sequencesSet->parsed(), out, err);
    if (languageImport->parsed()) return LanguageImport(opts, out, err);
    return 2;
}

}  // namespace morvel
