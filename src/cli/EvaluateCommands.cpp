#include "cli/EvaluateCommands.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <unordered_map>

#include "core/attributes/AttributeMeaning.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/Id3Classifier.h"
#include "cli/Batch.h"
#include "cli/ExplainCommand.h"

namespace morvel {
namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Percent(std::int32_t part, std::int32_t whole) {
    return whole > 0 ? Fixed(100.0 * part / whole, 1) + "%" : "-";
}

// Characters of UTF-8 text (for lining up columns).
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string PadRight(const std::string& text, std::size_t width) {
    return text + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return std::string(width > Width(text) ? width - Width(text) : 0, ' ') + text;
}

std::string TargetHeading(const TargetEntry& target) {
    return target.Id + " (" + target.Name + ", " + target.Method + ")";
}

// The slot values of a stored example as a file's vector: values a file can
// have (0..255) as they are, any other (a hand-edited store) as not available.
AttributeSlots VectorOf(const ExampleRecord& record) {
    AttributeSlots vector{};
    for (std::size_t s = 1; s < vector.size(); ++s) {
        const std::int32_t v = record.AttributeValues[s];
        vector[s] = v >= 0 && v <= 255 ? static_cast<std::uint8_t>(v) : 0;
    }
    return vector;
}

// ---- evaluate ----

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
        modMain state;
        LoadTables(registry, state);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, options_.target, targets, err)) return 1;
        if (targets.empty()) {
            err << "morvel-cli: no targets are defined\n";
            return 1;
        }
        modClass reader;
        reader.ReadExamples(registry, state);
        const unsigned jobs = options_.jobs > 0 ? options_.jobs : DefaultJobs();
        for (const std::int32_t k : targets) {
            const auto e = EvaluateTarget(reader.Examples(), state, k, options_.loo ? 0 : options_.folds,
                                          options_.seed, jobs);
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

// ---- rank ----

// Keeps the gains of the first step of an ID3 walk and stops the walk there.
class FirstStepGains : public ClassifierTrace, public RecordingBox {
  public:
    explicit FirstStepGains(std::int32_t slots) : gains(slots + 1, 0.0) {}
    void Id3Gain(std::int32_t slot, double gain) override {
        if (steps == 0) gains[slot] = gain;
    }
    void Id3Walk(const Id3Step&) override { ++steps; }
    bool Yield() override { return steps == 0; }

    std::vector<double> gains;  // per slot; 0 where a subset of one class left it unexamined
    int steps = 0;
};

class RankCommand : public StoreCommand {
  public:
    explicit RankCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "rank", "The information gain of every attribute for each target, highest first");
        command_->add_option("--target", target_, "Only the target with this identifier");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        modMain state;
        LoadTables(registry, state);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, target_, targets, err)) return 1;
        if (targets.empty()) {
            err << "morvel-cli: no targets are defined\n";
            return 1;
        }
        modClass classes;
        classes.ReadExamples(registry, state);
        const std::int32_t slots = state.AttributeCount;
        for (const std::int32_t k : targets) {
            out << TargetHeading(state.TargetTable[k]) << "\n";
            classes.LoadExamples(state, k);
            const std::int32_t n = classes.LoadedCount;
            if (n == 0) {
                out << "  no examples\n";
                continue;
            }
            // The gains the ID3 walk computes at its first step, over every example.
            FirstStepGains first(slots);
            Id3Classifier id3;
            id3.trace = &first;
            id3.Run(classes, AttributeSlots{}, slots, first);

            std::vector<std::int32_t> order(slots);
            for (std::int32_t s = 1; s <= slots; ++s) order[s - 1] = s;
            std::stable_sort(order.begin(), order.end(),
                             [&](std::int32_t a, std::int32_t b) { return first.gains[a] > first.gains[b]; });
            out << "  " << n << " examples; the gain each attribute has at the first step of the ID3 walk\n";
            for (const std::int32_t s : order) {
                std::string line =
                    "  " + PadLeft(Fixed(first.gains[s], 4), 8) + "  " + state.AttributeNames[s];
                if (const std::string title = SlotTitle(s); !title.empty()) line += " (" + title + ")";
                if (s > modMain::kGeneralSlots) {
                    std::int32_t found = 0, absent = 0;
                    for (std::int32_t r = 1; r <= n; ++r) {
                        found += classes.ExampleTable[r].AttributeValues[s] == 1;
                        absent += classes.ExampleTable[r].AttributeValues[s] == 2;
                    }
                    if (found == 0 && absent == 0) {
                        line += "  [no example was searched for it]";
                    } else if (found == 0) {
                        line += "  [never found]";
                    } else if (absent == 0) {
                        line += "  [found in every example searched for it]";
                    }
                }
                out << line << "\n";
            }
        }
        return 0;
    }

  private:
    std::string target_;
};

}  // namespace

std::vector<std::int32_t> StratifiedFolds(const std::vector<std::int32_t>& classOf, std::int32_t classes,
                                          std::int32_t folds, std::uint32_t seed) {
    std::vector<std::vector<std::int32_t>> members(static_cast<std::size_t>(std::max(classes, 0)));
    for (std::size_t r = 0; r < classOf.size(); ++r)
        members[classOf[r]].push_back(static_cast<std::int32_t>(r));
    // The engine's output is fixed by the standard; the distributions' is not,
    // so the shuffle draws from the engine itself.
    std::mt19937 random(seed);
    std::vector<std::int32_t> fold(classOf.size(), 0);
    std::size_t dealt = 0;
    for (auto& records : members) {
        for (std::size_t i = records.size(); i > 1; --i) std::swap(records[i - 1], records[random() % i]);
        for (const std::int32_t r : records) fold[r] = static_cast<std::int32_t>(dealt++ % folds);
    }
    return fold;
}

TargetEvaluation EvaluateTarget(const std::shared_ptr<const StoredExamples>& examples, const modMain& state,
                                std::int32_t k, std::int32_t folds, std::uint32_t seed, unsigned jobs) {
    TargetEvaluation result;
    modClass all;
    all.UseExamples(examples);
    all.LoadExamples(state, k);
    const std::int32_t n = all.LoadedCount;
    result.examples = n;
    if (n == 0) return result;
    const std::vector<ExampleRecord> records(all.ExampleTable.begin() + 1, all.ExampleTable.begin() + 1 + n);

    all.CountClasses(0, 0);
    std::unordered_map<std::string, std::int32_t> classIndex;
    for (std::int32_t c = 1; c <= all.ClassCount; ++c) {
        result.classes.push_back(all.ClassTable[c].ClassValue);
        result.frequencies.push_back(all.ClassTable[c].Frequency);
        classIndex.emplace(ClassKey(all.ClassTable[c].ClassValue), c - 1);
    }
    const auto classCount = static_cast<std::int32_t>(result.classes.size());
    std::vector<std::int32_t> classOf(n);
    for (std::int32_t r = 0; r < n; ++r) classOf[r] = classIndex.at(ClassKey(records[r].TargetValue));

    result.folds = folds <= 0 ? n : std::min(folds, n);
    std::vector<std::int32_t> foldOf(n);
    if (result.folds == n) {
        for (std::int32_t r = 0; r < n; ++r) foldOf[r] = r;
    } else {
        foldOf = StratifiedFolds(classOf, classCount, result.folds, seed);
    }

    struct Worker {
        modClass training;
        ClassificationRun run;
    };
    std::vector<std::unique_ptr<Worker>> workers(std::max(jobs, 1u));
    std::vector<std::string> predicted(n);
    const std::string& method = state.TargetTable[k].Method;
    RunOrdered(
        static_cast<std::size_t>(result.folds), jobs,
        [&](std::size_t f, unsigned w) {
            auto& worker = workers[w];
            if (!worker) worker = std::make_unique<Worker>();
            // The training examples keep their stored order, as a load gives them.
            worker->training.ClearExamples();
            for (std::int32_t r = 0; r < n; ++r)
                if (foldOf[r] != static_cast<std::int32_t>(f)) worker->training.AddExample(records[r]);
            for (std::int32_t r = 0; r < n; ++r) {
                if (foldOf[r] != static_cast<std::int32_t>(f)) continue;
                RecordingBox box;
                worker->run.ClassifyLoaded(worker->training, method, state.AttributeCount,
                                           VectorOf(records[r]), box);
                predicted[r] = box.text;
            }
            return std::string();
        },
        [](std::size_t, const std::string&) {});

    result.confusion.assign(classCount, std::vector<std::int32_t>(classCount + 1, 0));
    for (std::int32_t r = 0; r < n; ++r) {
        const auto p = classIndex.find(ClassKey(predicted[r]));
        const std::int32_t column = p == classIndex.end() ? classCount : p->second;
        ++result.confusion[classOf[r]][column];
        if (SameClassValue(predicted[r], records[r].TargetValue)) ++result.correct;
    }
    return result;
}

StoreCommands AddAnalysisCommands(CLI::App& app) {
    StoreCommands commands;
    commands.push_back(std::make_unique<EvaluateCommand>(app));
    commands.push_back(std::make_unique<RankCommand>(app));
    commands.push_back(MakeExplainCommand(app));
    return commands;
}

}  // namespace morvel
