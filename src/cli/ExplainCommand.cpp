// morvel-cli explain: classifies files as classify does and tells, per
// target, how its method reached the value, as the method's entry in the
// table of methods tells it (the ID3 walk step by step, each class's Bayes
// score with the attributes that lowered it most).
#include <filesystem>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "core/attributes/FileExaminer.h"
#include "core/classify/ClassificationMethods.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"

namespace morvel {
namespace {

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
                const ClassificationMethod* method = FindMethod(target.Method);
                const std::unique_ptr<MethodExplainer> trace = method ? method->makeExplainer() : nullptr;
                RecordingBox box;
                run.SetTrace(trace.get());
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
                if (trace) {
                    trace->Print(state, vector, box, out);
                } else {
                    out << "  the method is none of " << QuotedMethodNames(", ") << ": no value\n";
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
