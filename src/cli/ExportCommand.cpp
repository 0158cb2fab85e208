// morvel-cli export: the stored examples as CSV (RFC 4180) or as ARFF for
// Weka, or the whole store as the registry editor writes it, on standard output.
#include "cli/Commands.h"
#include "core/examples/ExampleStore.h"
#include "core/exchange/ArffWriter.h"
#include "core/exchange/CsvWriter.h"
#include "core/exchange/ExportSelection.h"
#include "core/exchange/RegFileWriter.h"

namespace morvel {
namespace {

class ExportCommand : public StoreCommand {
  public:
    explicit ExportCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "export",
            "Write the stored examples as CSV or ARFF, or the whole store as a registry-editor file");
        command_->add_option("--format", format_, "csv, arff or reg")
            ->required()
            ->check(CLI::IsMember({"csv", "arff", "reg"}));
        command_->add_option("--target", target_,
                             "Only this target's column, and only the examples that have a value for it "
                             "(csv and arff)");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        if (format_ == "reg") return WriteReg(registry, out, err);
        ConfigTables state;
        if (Status s = LoadTables(registry, state); !s) return Report(err, s);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, target_, targets, err)) return 1;
        if (!target_.empty()) targets.resize(1);
        std::shared_ptr<const StoredExamples> read;
        if (Status s = ExampleStore::Read(registry, state, read); !s) return Report(err, s);
        const ExportSelection selection = SelectForExport(state, *read, targets, !target_.empty());
        if (format_ == "csv") {
            WriteExamplesCsv(selection, out);
        } else {
            WriteExamplesArff(selection, out);
        }
        return 0;
    }

  private:
    int WriteReg(const Registry& registry, std::ostream& out, std::ostream& err) const {
        if (!target_.empty()) {
            err << "morvel-cli: --target applies to csv and arff; a reg file holds the whole store\n";
            return 2;
        }
        if (const Status s = ExportRegFile(registry, out); !s)
            return Report(err, s, "the file is incomplete");
        return 0;
    }

    std::string format_;
    std::string target_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeExportCommand(CLI::App& app) {
    return std::make_unique<ExportCommand>(app);
}

}  // namespace morvel
