// morvel-cli review: examines files as classify does and lists them from
// the file most worth teaching to the least, per target (see Review.h for
// the figures). Files whose digest a stored example holds are taught
// already and left out.
#include <algorithm>
#include <nlohmann/json.hpp>
#include <numeric>
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "cli/JsonPath.h"
#include "cli/Printing.h"
#include "core/attributes/FileExaminer.h"
#include "core/classify/Review.h"
#include "core/classify/TrainingSet.h"
#include "core/examples/ExampleStore.h"

namespace morvel {
namespace {

class ReviewCommand : public StoreCommand {
  public:
    explicit ReviewCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "review",
            "List files from the one most worth teaching to the least, per target, with the figures");
        command_->add_option("--target", target_, "Only this target (its identifier)");
        command_->add_option("--top", top_, "At most N files per target")->check(CLI::PositiveNumber);
        command_->add_flag("--json", json_,
                           "JSON Lines: path, target, value, worth, certainty, novelty, examples");
        AddBatchOptions(command_, batch_);
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        std::vector<std::int32_t> targets;
        for (std::int32_t k = 1; k <= tables.TargetCount; ++k)
            if (target_.empty() || tables.TargetTable[k].Id == target_) targets.push_back(k);
        if (!target_.empty() && targets.empty()) {
            err << "morvel-cli: no target has the identifier \"" << target_ << "\"\n";
            return 2;
        }
        std::vector<std::string> files;
        if (const int status = CollectBatchFiles(batch_, "review", in, files, err)) return status;
        HintWhenNoTargets(tables, err);
        std::shared_ptr<const StoredExamples> examples;
        if (Status s = ExampleStore::Read(registry, tables, examples); !s) return Report(err, s);
        std::unordered_map<std::string, std::int32_t> taught;
        if (Status s = ExampleStore::ReadFingerprints(registry, taught); !s) return Report(err, s);

        struct Worker {
            FileExaminer examiner;
            TrainingSet classes;
            FileReview review;
        };
        const auto matcher = std::make_shared<const SequenceMatcher>(SequenceList(tables));
        std::vector<std::unique_ptr<Worker>> workers(BatchWorkers(batch_));
        // Per file, the figures of each target in targets; none for a file
        // that failed or was taught.
        std::vector<std::vector<ReviewFigures>> figures(files.size());
        std::vector<std::int32_t> taughtAs(files.size(), 0);
        const int status = RunBatch(batch_, files, out, err, [&](std::size_t i, unsigned w) {
            auto& worker = workers[w];
            if (!worker) {
                worker = std::make_unique<Worker>();
                worker->examiner.UseMatcher(matcher);
                worker->examiner.TakeFingerprints(!taught.empty());
                worker->classes.UseExamples(examples);
            }
            FileResult result;
            const std::string& path = files[i];
            FileExaminer& examiner = worker->examiner;
            if (const Status examined = ExamineInput(examiner, path, tables); !examined) {
                result.error = "morvel-cli: " + path + ": " + examined.message();
                return result;
            }
            if (const auto it = taught.find(examiner.Fingerprint()); it != taught.end()) {
                taughtAs[i] = it->second;
                return result;
            }
            for (const std::int32_t k : targets)
                figures[i].push_back(
                    worker->review.Review(worker->classes, tables, k, examiner.AttributeVector()));
            return result;
        });

        for (std::size_t t = 0; t < targets.size(); ++t) {
            const TargetEntry& target = tables.TargetTable[targets[t]];
            std::vector<std::size_t> order;
            for (std::size_t i = 0; i < files.size(); ++i)
                if (figures[i].size() == targets.size()) order.push_back(i);
            // Most worth first; equal worth keeps the input order.
            std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
                return figures[a][t].worth > figures[b][t].worth;
            });
            if (top_ > 0 && order.size() > static_cast<std::size_t>(top_)) order.resize(top_);
            if (!json_) out << TargetHeading(target) << "\n";
            for (const std::size_t i : order) {
                const ReviewFigures& f = figures[i][t];
                if (json_) {
                    nlohmann::ordered_json line = JsonPath(files[i]);
                    line.update({{"target", target.Id},
                                 {"value", f.value},
                                 {"worth", f.worth},
                                 {"certainty", f.certainty},
                                 {"novelty", f.novelty},
                                 {"examples", f.examples}});
                    out << line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                        << "\n";
                } else {
                    out << Fixed(f.worth, 3) << "\t" << Fixed(f.certainty, 3) << "\t" << Fixed(f.novelty, 3)
                        << "\t" << files[i] << "\t" << f.value << "\n";
                }
            }
        }
        const auto left =
            std::count_if(taughtAs.begin(), taughtAs.end(), [](std::int32_t n) { return n > 0; });
        if (left > 0)
            err << "morvel-cli: " << left << (left == 1 ? " file is" : " files are")
                << " taught already (a stored example holds its contents) and left out\n";
        return status;
    }

  private:
    BatchOptions batch_;
    std::string target_;
    int top_ = 0;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeReviewCommand(CLI::App& app) {
    return std::make_unique<ReviewCommand>(app);
}

}  // namespace morvel
