// morvel-cli evaluate: cross-validates each target's own method over the
// stored examples and prints the accuracy, the majority baseline and the
// confusion matrix.
#include <nlohmann/json.hpp>

#include "cli/Commands.h"
#include "cli/Printing.h"
#include "core/classify/Evaluation.h"
#include "core/examples/ExampleStore.h"
#include "core/platform/RunOrdered.h"

namespace morvel {
namespace {

struct EvaluateOptions {
    std::string target;
    std::int32_t folds = 10;
    bool loo = false;
    std::uint32_t seed = 1;
    unsigned jobs = 0;
    bool json = false;
};

void PrintEvaluation(const TargetEntry& target, const TargetEvaluation& e, const EvaluateOptions& options,
                     std::ostream& out) {
    out << TargetHeading(target) << "\n";
    if (e.examples == 0) {
        out << "  no examples\n";
        return;
    }
    out << "  " << e.examples << " examples, ";
    if (options.loo || e.folds == e.examples) {
        out << "leave-one-out";
    } else {
        out << e.folds << " folds stratified by class, seed " << options.seed;
    }
    out << "\n  accuracy " << Percent(e.correct, e.examples) << " (" << e.correct << " of " << e.examples
        << "), majority baseline " << Percent(e.frequencies.front(), e.examples) << " (\""
        << e.classes.front() << "\")\n";

    // The confusion matrix: a row per stored class, a column per predicted
    // class, and one for "no value" when some example got none.
    const std::size_t n = e.classes.size();
    const bool unvalued = std::any_of(e.confusion.begin(), e.confusion.end(),
                                      [&](const std::vector<std::int32_t>& row) { return row[n] > 0; });
    std::vector<std::string> heads = e.classes;
    if (unvalued) heads.push_back("(no value)");
    const std::string corner = "stored \\ predicted";
    std::size_t first = Width(corner);
    for (const auto& c : e.classes) first = std::max(first, Width(c));
    out << "  " << PadRight(corner, first);
    std::vector<std::size_t> widths;
    for (const auto& head : heads) {
        widths.push_back(std::max<std::size_t>(Width(head), 5));
        out << "  " << PadLeft(head, widths.back());
    }
    out << "\n";
    for (std::size_t a = 0; a < n; ++a) {
        out << "  " << PadRight(e.classes[a], first);
        for (std::size_t p = 0; p < heads.size(); ++p)
            out << "  " << PadLeft(std::to_string(e.confusion[a][p]), widths[p]);
        out << "\n";
    }
}

nlohmann::ordered_json EvaluationJson(const TargetEntry& target, const TargetEvaluation& e,
                                      const EvaluateOptions& options) {
    nlohmann::ordered_json json = {{"id", target.Id},        {"name", target.Name}, {"method", target.Method},
                                   {"examples", e.examples}, {"folds", e.folds},    {"seed", options.seed},
                                   {"correct", e.correct}};
    json["accuracy"] = e.examples > 0 ? nlohmann::ordered_json(static_cast<double>(e.correct) / e.examples)
                                      : nlohmann::ordered_json();
    json["baseline"] = e.examples > 0
                           ? nlohmann::ordered_json(static_cast<double>(e.frequencies.front()) / e.examples)
                           : nlohmann::ordered_json();
    json["classes"] = e.classes;
    json["frequencies"] = e.frequencies;
    // The confusion rows' columns: the classes, then null for "no value".
    json["predicted"] = e.classes;
    json["predicted"].push_back(nullptr);
    json["confusion"] = e.confusion;
    return json;
}

class EvaluateCommand : public StoreCommand {
  public:
    explicit EvaluateCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "evaluate", "Cross-validated accuracy of each target's method over the stored examples");
        command_->add_option("--target", options_.target, "Only the target with this identifier");
        auto* folds =
            command_->add_option("--folds", options_.folds, "Folds, stratified by class (default 10)")
                ->check(CLI::Range(2, 1000000));
        auto* loo = command_->add_flag("--loo", options_.loo, "Leave one out: one fold per example");
        folds->excludes(loo);
        command_->add_option("--seed", options_.seed, "Seed of the fold shuffle (default 1)");
        command_->add_option("-j,--jobs", options_.jobs, "Parallel workers (default: the number of cores)");
        command_->add_flag("--json", options_.json, "One JSON object per target and line");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables state;
        if (Status s = LoadTables(registry, state); !s) return Report(err, s);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, options_.target, targets, err)) return 1;
        if (targets.empty()) {
            err << "morvel-cli: no targets are defined\n";
            return 1;
        }
        std::shared_ptr<const StoredExamples> examples;
        if (Status s = ExampleStore::Read(registry, state, examples); !s) return Report(err, s);
        const unsigned jobs = options_.jobs > 0 ? options_.jobs : DefaultJobs();
        for (const std::int32_t k : targets) {
            const auto e =
                EvaluateTarget(examples, state, k, options_.loo ? 0 : options_.folds, options_.seed, jobs);
            if (options_.json) {
                out << EvaluationJson(state.TargetTable[k], e, options_)
                           .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                    << "\n";
            } else {
                PrintEvaluation(state.TargetTable[k], e, options_, out);
            }
        }
        return 0;
    }

  private:
    EvaluateOptions options_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeEvaluateCommand(CLI::App& app) {
    return std::make_unique<EvaluateCommand>(app);
}

}  // namespace morvel
