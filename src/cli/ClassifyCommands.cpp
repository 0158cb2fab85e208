#include "cli/ClassifyCommands.h"

#include <algorithm>
#include <memory>
#include <nlohmann/json.hpp>

#include "core/attributes/FileExaminer.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/modClass.h"
#include "cli/Batch.h"
#include "cli/ProgressLine.h"
#include "cli/StoreCommand.h"
#include "core/store/ConfigTables.h"
#include "core/store/modMain.h"

namespace morvel {
namespace {

std::string Joined(const std::vector<std::string>& entries) {
    std::string line;
    for (std::size_t i = 0; i < entries.size(); ++i) line += (i ? " | " : "") + entries[i];
    return line;
}

std::string JsonLine(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

int ClassifyFiles(Registry& registry, const ClassifyOptions& options, std::istream& in, std::ostream& out,
                  std::ostream& err) {
    modMain state;
    LoadTables(registry, state);
    std::vector<std::string> files;
    if (!CollectInputs(options.inputs, in, files, err)) return 2;
    std::shared_ptr<const StoredExamples> examples;
    {
        modClass reader;
        reader.ReadExamples(registry, state);  // once for all files: nothing writes examples meanwhile
        examples = reader.Examples();
    }

    struct Worker {
        FileExaminer examiner;
        modClass classes;
        ClassificationRun run;
    };
    const unsigned jobs = options.jobs > 0 ? options.jobs : DefaultJobs();
    const auto matcher = std::make_shared<const SequenceMatcher>(SequenceList(state));
    std::vector<std::unique_ptr<Worker>> workers(jobs);
    std::vector<std::string> errors(files.size());

    auto classify = [&](std::size_t i, unsigned w) -> std::string {
        auto& worker = workers[w];
        if (!worker) {
            worker = std::make_unique<Worker>();
            worker->examiner.UseMatcher(matcher);
            worker->classes.UseExamples(examples);
        }
        const std::string& path = files[i];
        FileExaminer& examiner = worker->examiner;
        if (!examiner.ComputeFileAttributes(AbsolutePath(path), state)) {
            errors[i] = "morvel-cli: " + path + ": " + examiner.LastError() + "\n";
            if (options.json)
                return JsonLine({{"path", path}, {"ok", false}, {"error", examiner.LastError()}});
            return path + "\terror: " + examiner.LastError() + "\n";
        }
        nlohmann::ordered_json targets = nlohmann::ordered_json::array();
        std::string text = path + "\n";
        for (std::int32_t k = 1; k <= state.TargetCount; ++k) {
            RecordingBox box;
            worker->run.ClassifyTarget(worker->classes, state, k, examiner.AttributeVector, box);
            const TargetEntry& target = state.TargetTable[k];
            if (options.json) {
                targets.push_back({{"id", target.Id},
                                   {"name", target.Name},
                                   {"method", target.Method},
                                   {"text", box.text},
                                   {"list", box.list}});
            } else {
                text += target.Id + "\t" + box.text + "\t" + Joined(box.list) + "\n";
            }
        }
        if (options.json) return JsonLine({{"path", path}, {"ok", true}, {"targets", targets}});
        return text;
    };

    int status = 0;
    ProgressLine progress(err, IsTerminal(err) && !options.quiet, files.size());
    RunOrdered(
        files.size(), jobs, classify,
        [&](std::size_t i, const std::string& result) {
            out << result;
            if (!errors[i].empty()) {
                status = 1;
                err << progress.Wipe() << errors[i];
            }
        },
        [&](std::size_t done) { progress.Update(done, done < files.size() ? files[done] : std::string()); });
    return status;
}

int RememberFile(Registry& registry, const std::string& file, const std::vector<std::string>& assignments,
                 std::ostream& out, std::ostream& err) {
    modMain state;
    LoadTables(registry, state);
    std::vector<RememberedValue> values;
    for (const std::string& a : assignments) {
        const auto eq = a.find('=');
        if (eq == std::string::npos) {
            err << "morvel-cli: \"" << a << "\" is not ID=VALUE; nothing was stored\n";
            return 1;
        }
        RememberedValue v{a.substr(0, eq), a.substr(eq + 1)};
        const bool known =
            std::any_of(state.TargetTable.begin() + 1, state.TargetTable.begin() + 1 + state.TargetCount,
                        [&](const TargetEntry& t) { return t.Id == v.Id; });
        if (!known) {
            err << "morvel-cli: no target has the identifier \"" << v.Id << "\"; nothing was stored\n";
            return 1;
        }
        if (std::any_of(values.begin(), values.end(),
                        [&](const RememberedValue& w) { return w.Id == v.Id; })) {
            err << "morvel-cli: a value for \"" << v.Id << "\" is given twice; nothing was stored\n";
            return 1;
        }
        values.push_back(std::move(v));
    }
    FileExaminer examiner;
    if (!examiner.ComputeFileAttributes(AbsolutePath(file), state)) {
        err << "morvel-cli: " << file << ": " << examiner.LastError() << "; nothing was stored\n";
        return 1;
    }
    modClass classes;
    std::int32_t number = 0;
    if (Status s = classes.RememberExample(registry, state, examiner.AttributeVector,
                                           examiner.AttributesFresh, values, &number);
        !s) {
        err << "morvel-cli: " << s.message() << "\n";
        return 1;
    }
    out << number << "\n";
    return 0;
}

int ListTargets(Registry& registry, std::ostream& out) {
    modMain state;
    LoadTables(registry, state);
    for (std::int32_t k = 1; k <= state.TargetCount; ++k) {
        const TargetEntry& t = state.TargetTable[k];
        out << t.Id << "\t" << t.Name << "\t" << t.Method << "\n";
    }
    return 0;
}

namespace {
int SaveTargets(Registry& registry, modMain& state, const std::vector<TargetEntry>& rows, std::ostream& out,
                std::ostream& err) {
    if (Status s = SaveTargetTable(registry, state, rows); !s) {
        err << "morvel-cli: " << s.message() << "\n";
        return 1;
    }
    return ListTargets(registry, out);
}
}  // namespace

int AddTarget(Registry& registry, const std::string& id, const std::string& name, const std::string& method,
              std::ostream& out, std::ostream& err) {
    if (std::find(kTargetMethods.begin(), kTargetMethods.end(), method) == kTargetMethods.end()) {
        err << "morvel-cli: the method must be one of \"ID3-based\", \"Naive Bayes\", \"Free Bayes\"\n";
        return 1;
    }
    modMain state;
    LoadTables(registry, state);
    auto rows = TargetList(state);
    rows.push_back({id, name, method});
    return SaveTargets(registry, state, rows, out, err);
}

int DeleteTarget(Registry& registry, const std::string& id, std::ostream& out, std::ostream& err) {
    modMain state;
    LoadTables(registry, state);
    auto rows = TargetList(state);
    const auto it = std::find_if(rows.begin(), rows.end(), [&](const TargetEntry& t) { return t.Id == id; });
    if (it == rows.end()) {
        err << "morvel-cli: no target has the identifier \"" << id << "\"\n";
        return 1;
    }
    rows.erase(it);
    return SaveTargets(registry, state, rows, out, err);
}

}  // namespace morvel
