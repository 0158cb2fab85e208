// morvel-cli explain: classifies files as classify does and tells, per
// target, how its method reached the value: the ID3 walk step by step, or
// each class's Bayes score with the attributes that lowered it most.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unordered_map>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "core/attributes/AttributeMeaning.h"
#include "core/attributes/FileExaminer.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"

namespace morvel {
namespace {

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

// Everything the classifiers report while one target is classified.
class Recorder : public ClassifierTrace {
  public:
    struct BayesClassTrace {
        double start = 0;
        double score = 0;
        std::vector<BayesFactor> factors;
    };

    void Id3Walk(const Id3Step& step) override { steps.push_back(step); }
    void BayesClass(const std::string& classValue, double start) override {
        current = &bayes[classValue];
        *current = BayesClassTrace{start, 0, {}};
    }
    void BayesSlot(const BayesFactor& factor) override { current->factors.push_back(factor); }
    void BayesScore(double score) override { current->score = score; }

    std::vector<Id3Step> steps;
    std::unordered_map<std::string, BayesClassTrace> bayes;  // by class value as the table spells it

  private:
    BayesClassTrace* current = nullptr;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void ExplainId3(const Recorder& trace, const ConfigTables& state, const AttributeSlots& vector,
                std::ostream& out) {
    const auto& steps = trace.steps;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& step = steps[i];
        // Once one class is left, every later step takes the next attribute
        // with gain 0 and cannot change the value: they are told in one line.
        if (i > 0 && steps[i - 1].classes <= 1 && step.classes <= 1) {
            std::size_t last = i;
            while (last + 1 < steps.size() && steps[last + 1].classes <= 1) ++last;
            out << "  "
                << (last == i ? "step " + std::to_string(i + 1)
                              : "steps " + std::to_string(i + 1) + " to " + std::to_string(last + 1))
                << ": one class left; each step takes the next attribute with gain 0"
                << (steps[last].slot == 0 ? " until none is left" : "") << "; the last subset holds "
                << steps[last].subset << (steps[last].subset == 1 ? " example\n" : " examples\n");
            i = last;
            continue;
        }
        out << "  step " << i + 1 << ": " << step.subset << (step.subset == 1 ? " example" : " examples")
            << " of " << step.classes << (step.classes == 1 ? " class" : " classes") << ", majority "
            << Quoted(step.majority);
        if (step.slot == 0) {
            out << "; no attribute left to choose, the walk ends\n";
            continue;
        }
        const std::int32_t value = vector[step.slot];
        out << "; chose " << DescribeSlotValue(state.AttributeNames[step.slot], step.slot, value) << ", gain "
            << Number(step.gain);
        if (value == 0) out << " (the file has no value here: every example stays)";
        out << "\n";
    }
    if (!steps.empty() && steps.back().slot != 0) {
        const std::int32_t slot = steps.back().slot;
        out << "  no example of the subset agrees with the file on "
            << DescribeSlotValue(state.AttributeNames[slot], slot, vector[slot])
            << ": the walk ends with the subset before\n";
    }
}

void ExplainBayes(const Recorder& trace, const ConfigTables& state, const AttributeSlots& vector,
                  const RecordingBox& box, std::ostream& out) {
    double best = 0;
    for (const auto& entry : box.list)
        if (const auto it = trace.bayes.find(entry); it != trace.bayes.end())
            best = std::max(best, it->second.score);
    bool classesBefore = false;
    for (const auto& entry : box.list) {
        const auto it = trace.bayes.find(entry);
        if (it == trace.bayes.end()) {
            // The empty entry: the classes after it score under a hundredth of the best.
            if (classesBefore) out << "  -- the classes below score under a hundredth of the best --\n";
            continue;
        }
        classesBefore = true;
        const auto& c = it->second;
        const double relative = best > 0 ? c.score / best : (c.score == best ? 1.0 : 0.0);
        out << "  " << Quoted(entry) << ": " << Number(relative) << " of the best score (score "
            << Number(c.score) << ", starting from " << Number(c.start) << ")\n";
        // The factors are at most 1; the smallest lowered the score most.
        auto factors = c.factors;
        std::stable_sort(factors.begin(), factors.end(),
                         [](const auto& a, const auto& b) { return a.factor < b.factor; });
        if (factors.size() > 3) factors.resize(3);
        for (const auto& f : factors) {
            out << "      x" << Number(f.factor) << "  "
                << DescribeSlotValue(state.AttributeNames[f.slot], f.slot, vector[f.slot]) << ": "
                << f.matches << " of " << f.known << " examples with a value match\n";
        }
    }
}

class ExplainCommand : public StoreCommand {
  public:
    explicit ExplainCommand(CLI::App& app) {
        command_ = app.add_subcommand("explain", "Classify files and tell how each target got its value");
        command_->add_option("FILE", files_, "Files to explain")->required();
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables state;
        if (Status s = LoadTables(registry, state); !s) return Report(err, s);
        HintWhenNoTargets(state, err);
        TrainingSet classes;
        std::shared_ptr<const StoredExamples> examples;
        if (Status s = ExampleStore::Read(registry, state, examples); !s) return Report(err, s);
        classes.UseExamples(examples);
        ClassificationRun run;
        FileExaminer examiner;
        int status = 0;
        for (const std::string& path : files_) {
            std::error_code ec;
            if (const Status examined = std::filesystem::is_directory(path, ec)
                                            ? Status::InvalidInput("it is a folder; explain takes files")
                                            : examiner.ComputeFileAttributes(AbsolutePath(path), state);
                !examined) {
                err << "morvel-cli: " << path << ": " << examined.message() << "\n";
                status = 1;
                continue;
            }
            const AttributeSlots& vector = examiner.AttributeVector();
            out << path << "\n";
            for (std::int32_t k = 1; k <= state.TargetCount; ++k) {
                const TargetEntry& target = state.TargetTable[k];
                Recorder trace;
                RecordingBox box;
                run.SetTrace(&trace);
                run.ClassifyTarget(classes, state, k, vector, box);
                run.SetTrace(nullptr);
                out << target.Id << " (" << target.Name << ", " << target.Method << "): " << Quoted(box.text)
                    << "\n";
                if (classes.LoadedCount() == 0) {
                    out << "  no examples for this target\n";
                    continue;
                }
                out << "  " << classes.LoadedCount() << " examples; list:";
                for (const auto& entry : box.list) out << " " << Quoted(entry);
                out << "\n";
                if (target.Method == kMethodId3) {
                    ExplainId3(trace, state, vector, out);
                    out << "  the value is the majority of the last subset\n";
                } else if (target.Method == kMethodNaiveBayes || target.Method == kMethodFreeBayes) {
                    ExplainBayes(trace, state, vector, box, out);
                } else {
                    out << "  the method is none of \"ID3-based\", \"Naive Bayes\", \"Free Bayes\": no "
                           "value\n";
                }
            }
        }
        return status;
    }

  private:
    std::vector<std::string> files_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeExplainCommand(CLI::App& app) {
    return std::make_unique<ExplainCommand>(app);
}

}  // namespace morvel
