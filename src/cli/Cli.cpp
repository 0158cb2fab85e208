#include "cli/Cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "core/attributes/FileExaminer.h"
#include "cli/BackupCommand.h"
#include "cli/Batch.h"
#include "cli/ClassifyCommands.h"
#include "cli/EvaluateCommands.h"
#include "cli/ExchangeCommands.h"
#include "cli/LoadCommand.h"
#include "cli/ProgressLine.h"
#include "core/store/LanguageFile.h"
#include "core/store/ConfigTables.h"
#include "core/store/RegExport.h"
#include "core/store/Registry.h"
#include "core/store/modMain.h"

namespace morvel {
namespace {

struct Options {
    std::string store;
    std::string dumpKey;
    std::vector<std::string> sequenceTexts;
    InputOptions inputs;
    unsigned jobs = 0;
    bool json = false;
    bool quiet = false;
    std::string rememberFile;
    std::vector<std::string> assignments;
    std::string targetId, targetName, targetMethod;
    std::string languageFile;
};

// Options that choose the files of a batch command.
void AddInputOptions(CLI::App* command, Options& opts) {
    command->add_option("PATH", opts.inputs.paths, "Files and folders to examine");
    command->add_flag("-r,--recursive", opts.inputs.recursive, "Descend into subfolders");
    command->add_option("--from", opts.inputs.from,
                        "Read paths from FILE, one per line (- for standard input)");
    command->add_option("--ext", opts.inputs.ext,
                        "Extensions to take, e.g. exe,com,scr (the default for folders); * for all");
    command->add_option("--max-size", opts.inputs.maxSize, "Skip files larger than BYTES");
    command->add_option("-j,--jobs", opts.jobs, "Parallel workers (default: the number of cores)");
    command->add_flag("-q,--quiet", opts.quiet, "No progress line");
}

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

int Attributes(const Options& opts, std::istream& in, std::ostream& out, std::ostream& err) {
    Registry registry;
    if (!OpenStore(opts, registry, err)) return 2;
    modMain state;
    state.PlatformVersion = modMain::kNtPlatformVersion;
    LoadConfigurationTables(registry, state);
    std::vector<std::string> files;
    if (!CollectInputs(opts.inputs, in, files, err)) return 2;

    const unsigned jobs = opts.jobs > 0 ? opts.jobs : DefaultJobs();
    const auto matcher = std::make_shared<const SequenceMatcher>(SequenceList(state));
    std::vector<std::unique_ptr<FileExaminer>> examiners(jobs);
    std::vector<std::string> errors(files.size());
    const int slots = modMain::kGeneralSlots + state.SequenceCount;

    auto examine = [&](std::size_t i, unsigned worker) {
        auto& examiner = examiners[worker];
        if (!examiner) {
            examiner = std::make_unique<FileExaminer>();
            examiner->UseMatcher(matcher);
        }
        const std::string& path = files[i];
        const bool ok = examiner->ComputeFileAttributes(AbsolutePath(path), state);
        if (!ok) errors[i] = "morvel-cli: " + path + ": " + examiner->LastError() + "\n";
        std::string line;
        if (opts.json) {
            nlohmann::ordered_json json = {{"path", path}, {"ok", ok}};
            if (ok) {
                json["size"] = examiner->CappedFileSize;
                json["window"] = examiner->WindowLength;
                json["vector"] = std::vector<int>(examiner->AttributeVector.begin() + 1,
                                                  examiner->AttributeVector.begin() + 1 + slots);
            } else {
                json["error"] = examiner->LastError();
            }
            line = json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        } else if (ok) {
            line = path + '\t';
            for (int s = 1; s <= slots; ++s) {
                if (s > 1) line += ' ';
                line += std::to_string(examiner->AttributeVector[s]);
            }
        } else {
            line = path + "\terror: " + examiner->LastError();
        }
        return line + "\n";
    };
    int status = 0;
    ProgressLine progress(err, IsTerminal(err) && !opts.quiet, files.size());
    RunOrdered(
        files.size(), jobs, examine,
        [&](std::size_t i, const std::string& line) {
            out << line;
            if (!errors[i].empty()) {
                status = 1;
                err << (IsTerminal(err) && !opts.quiet ? "\r\033[K" : "") << errors[i];
            }
        },
        [&](std::size_t done) { progress.Update(done, done < files.size() ? files[done] : std::string()); });
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
    return RunCli(args, std::cin, out, err);
}

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
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
    AddInputOptions(attributes, opts);

    auto* classify = app.add_subcommand(
        "classify",
        "Predict every target for each file: its text and list, as the classification window shows");
    classify->add_flag("--json", opts.json, "JSON Lines: path, ok, targets (id, name, method, text, list)");
    AddInputOptions(classify, opts);

    auto* remember = app.add_subcommand("remember", "Store a file as a new example and print its number");
    remember->add_option("FILE", opts.rememberFile, "The file")->required();
    remember->add_option("ID=VALUE", opts.assignments, "The file's value for the target ID");

    auto* targets = app.add_subcommand("targets", "Print the target attributes: id, name, method");
    auto* targetsAdd = targets->add_subcommand("add", "Append a target attribute");
    targetsAdd->add_option("ID", opts.targetId, "Identifier")->required();
    targetsAdd->add_option("NAME", opts.targetName, "Display name")->required();
    targetsAdd->add_option("METHOD", opts.targetMethod, "\"ID3-based\", \"Naive Bayes\" or \"Free Bayes\"")
        ->required();
    auto* targetsDelete = targets->add_subcommand("delete", "Delete the first target with this identifier");
    targetsDelete->add_option("ID", opts.targetId, "Identifier")->required();
    targets->require_subcommand(0, 1);

    auto* language = app.add_subcommand("language", "Interface languages");
    language->require_subcommand(1);
    auto* languageImport = language->add_subcommand(
        "import", "Import a language file (.lng) into the store; skipped lines are listed");
    languageImport->add_option("FILE", opts.languageFile, "The language file")->required();

    StoreCommands storeCommands = AddAnalysisCommands(app);
    for (auto& command : AddExchangeCommands(app)) storeCommands.push_back(std::move(command));
    storeCommands.push_back(AddLoadCommand(app));
    storeCommands.push_back(AddBackupCommand(app));

    std::vector<std::string> reversed(args.rbegin(), args.rend() - (args.empty() ? 0 : 1));
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        return code == 0 ? 0 : 2;
    }

    if ((attributes->parsed() || classify->parsed()) && opts.inputs.paths.empty() &&
        opts.inputs.from.empty()) {
        err << "morvel-cli: " << (attributes->parsed() ? "attributes" : "classify")
            << " needs files, folders or --from\n";
        return 2;
    }
    if (attributes->parsed()) return Attributes(opts, in, out, err);
    if (classify->parsed() || remember->parsed() || targets->parsed()) {
        Registry registry;
        if (!OpenStore(opts, registry, err)) return 2;
        if (classify->parsed())
            return ClassifyFiles(registry, {opts.inputs, opts.jobs, opts.quiet, opts.json}, in, out, err);
        if (remember->parsed()) return RememberFile(registry, opts.rememberFile, opts.assignments, out, err);
        if (targetsAdd->parsed())
            return AddTarget(registry, opts.targetId, opts.targetName, opts.targetMethod, out, err);
        if (targetsDelete->parsed()) return DeleteTarget(registry, opts.targetId, out, err);
        return ListTargets(registry, out);
    }
    for (auto& command : storeCommands) {
        if (!command->Chosen()) continue;
        Registry registry;
        if (!OpenStore(opts, registry, err)) return 2;
        return command->Run(registry, in, out, err);
    }
    if (dump->parsed()) return Dump(opts, out, err);
    if (sequences->parsed()) return Sequences(opts, sequencesSet->parsed(), out, err);
    if (languageImport->parsed()) return LanguageImport(opts, out, err);
    return 2;
}

}  // namespace morvel
