// morvel-cli load: reads a registry-editor file (an export of this or another
// store, the starter configuration, a file written by hand or by a registry
// editor) into the program's key.
#include <fstream>

#include "cli/Commands.h"
#include "core/exchange/RegLoad.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

class LoadCommand : public StoreCommand {
  public:
    explicit LoadCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "load", "Load a registry-editor file (REGEDIT4 or version 5.00) into SOFTWARE\\Norwick\\Morvel");
        command_->add_option("FILE", file_, "The .reg file (- for standard input)")->required();
        auto* replace =
            command_->add_flag("--replace", replace_,
                               "Make the program's key exactly the file's content (its examples included)");
        command_
            ->add_flag("--append-examples", append_,
                       "Add only the file's examples, numbered after the store's (same tables needed)")
            ->excludes(replace);
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        const std::string shown = file_ == "-" ? std::string("standard input") : file_;
        std::string bytes;
        if (const std::string why = file_ == "-" ? "" : UnreadableInput(file_); !why.empty()) {
            err << "morvel-cli: cannot read " << shown << ": " << why << "; nothing was loaded\n";
            return 1;
        }
        if (!Read(in, bytes)) {
            err << "morvel-cli: cannot read " << shown << "\n";
            return 1;
        }
        LoadPlan plan;
        Status s = PlanLoad(bytes, plan);
        for (const auto& p : plan.problems) err << shown << ":" << p.line << ": " << p.message << "\n";
        if (plan.problemCount > plan.problems.size())
            err << shown << ": " << plan.problemCount - plan.problems.size() << " more lines refused\n";
        const LoadMode mode = replace_  ? LoadMode::kReplace
                              : append_ ? LoadMode::kAppendExamples
                                        : LoadMode::kIntoStoreWithoutExamples;
        LoadOutcome outcome;
        if (s) s = ApplyLoad(registry, plan, mode, outcome);
        if (!s) {
            err << "morvel-cli: " << shown << ": " << s.message();
            if (outcome.storeHasExamples)
                err << " (--replace makes the program's key the file's content, --append-examples adds the "
                       "file's examples after them)";
            err << "; nothing was loaded\n";
            return 1;
        }
        if (mode == LoadMode::kAppendExamples) {
            done_ = "appended " + std::to_string(outcome.exampleCount) +
                    (outcome.exampleCount == 1 ? " example" : " examples");
            if (outcome.exampleCount > 0) done_ += ": Example" + std::to_string(outcome.firstExample);
            if (outcome.exampleCount > 1)
                done_ += " to Example" + std::to_string(outcome.firstExample + outcome.exampleCount - 1);
        } else {
            done_ = "loaded " + std::to_string(outcome.values) +
                    (outcome.values == 1 ? " value" : " values") + " into " + std::to_string(outcome.keys) +
                    (outcome.keys == 1 ? " key" : " keys") +
                    (mode == LoadMode::kReplace ? ", in place of everything the store held" : "");
        }
        out << done_ << "\n";
        return 0;
    }

  private:
    // Reads the file (one byte more than a load takes, so that PlanLoad can refuse it).
    bool Read(std::istream& in, std::string& bytes) const {
        std::ifstream file;
        if (file_ != "-") {
            file.open(file_, std::ios::binary);
            if (!file) return false;
        }
        std::istream& source = file_ == "-" ? in : file;
        char buffer[1 << 16];
        while (bytes.size() <= kMaxLoadFileBytes) {
            source.read(buffer, sizeof buffer);
            bytes.append(buffer, static_cast<std::size_t>(source.gcount()));
            if (!source) break;
        }
        return !source.bad();
    }

    std::string file_;
    bool replace_ = false;
    bool append_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeLoadCommand(CLI::App& app) { return std::make_unique<LoadCommand>(app); }

}  // namespace morvel
