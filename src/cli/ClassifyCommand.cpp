// morvel-cli classify: for each file its vector, then every target in table
// order as the classification window runs them. The examples are read once;
// each worker has its own examiner and classifiers over that one read.
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "cli/JsonPath.h"
#include "core/attributes/FileExaminer.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/TrainingSet.h"
#include "core/examples/ExampleStore.h"

namespace morvel {
namespace {

std::string Joined(const std::vector<std::string>& entries) {
    std::string line;
    for (std::size_t i = 0; i < entries.size(); ++i) line += (i ? " | " : "") + entries[i];
    return line;
}

// The line of one file: its path, then fields.
std::string JsonLine(const std::string& path, const nlohmann::ordered_json& fields) {
    nlohmann::ordered_json json = JsonPath(path);
    json.update(fields);
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

class ClassifyCommand : public StoreCommand {
  public:
    explicit ClassifyCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "classify",
            "Predict every target for each file: its text and list, as the classification window shows");
        command_->add_flag("--json", json_, "JSON Lines: path, ok, targets (id, name, method, text, list)");
        command_->add_flag("--taught", taught_,
                           "Also say which files a stored example holds (reads each file whole): "
                           "\"taught as example N\" (JSON: taught)");
        AddBatchOptions(command_, batch_);
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        std::vector<std::string> files;
        if (const int status = CollectBatchFiles(batch_, "classify", in, files, err)) return status;
        HintWhenNoTargets(tables, err);
        // Once for all files: nothing writes examples meanwhile.
        std::shared_ptr<const StoredExamples> examples;
        if (Status s = ExampleStore::Read(registry, tables, examples); !s) return Report(err, s);
        std::unordered_map<std::string, std::int32_t> fingerprints;
        if (taught_)
            if (Status s = ExampleStore::ReadFingerprints(registry, fingerprints); !s) return Report(err, s);

        struct Worker {
            FileExaminer examiner;
            TrainingSet classes;
            ClassificationRun run;
        };
        const auto matcher = std::make_shared<const SequenceMatcher>(SequenceList(tables));
        std::vector<std::unique_ptr<Worker>> workers(BatchWorkers(batch_));
        return RunBatch(batch_, files, out, err, [&](std::size_t i, unsigned w) {
            auto& worker = workers[w];
            if (!worker) {
                worker = std::make_unique<Worker>();
                worker->examiner.UseMatcher(matcher);
                worker->classes.UseExamples(examples);
                worker->examiner.TakeFingerprints(taught_);
            }
            const std::string& path = files[i];
            FileExaminer& examiner = worker->examiner;
            FileResult result;
            if (const Status examined = ExamineInput(examiner, path, tables); !examined) {
                result.error = "morvel-cli: " + path + ": " + examined.message();
                result.output = json_ ? JsonLine(path, {{"ok", false}, {"error", examined.message()}})
                                      : path + "\terror: " + examined.message() + "\n";
                return result;
            }
            nlohmann::ordered_json targets = nlohmann::ordered_json::array();
            std::string text = path + "\n";
            std::int32_t taughtAs = 0;
            if (const auto it = fingerprints.find(examiner.Fingerprint()); it != fingerprints.end()) {
                taughtAs = it->second;
                text += "taught as example " + std::to_string(taughtAs) + "\n";
            }
            for (std::int32_t k = 1; k <= tables.TargetCount; ++k) {
                RecordingBox box;
                worker->run.ClassifyTarget(worker->classes, tables, k, examiner.AttributeVector(), box);
                const TargetEntry& target = tables.TargetTable[k];
                if (json_) {
                    targets.push_back({{"id", target.Id},
                                       {"name", target.Name},
                                       {"method", target.Method},
                                       {"text", box.text},
                                       {"list", box.list}});
                } else {
                    text += target.Id + "\t" + box.text + "\t" + Joined(box.list) + "\n";
                }
            }
            nlohmann::ordered_json fields = {{"ok", true}};
            if (taught_) fields["taught"] = taughtAs;
            fields["targets"] = targets;
            result.output = json_ ? JsonLine(path, fields) : text;
            return result;
        });
    }

  private:
    BatchOptions batch_;
    bool json_ = false;
    bool taught_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeClassifyCommand(CLI::App& app) {
    return std::make_unique<ClassifyCommand>(app);
}

}  // namespace morvel
