// morvel-cli import: appends the rows of a CSV (as export writes it) as new
// examples, all in one write group.
#include "cli/Commands.h"
#include "core/examples/ExampleCsv.h"
#include "core/platform/WholeFile.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

class ImportCommand : public StoreCommand {
  public:
    explicit ImportCommand(CLI::App& app) {
        command_ =
            app.add_subcommand("import", "Append the rows of a CSV file (as export writes it) as examples");
        command_->add_option("--format", format_, "csv")->required()->check(CLI::IsMember({"csv"}));
        command_->add_option("FILE", file_, "The CSV file (- for standard input)")->required();
    }

    int Run(Registry& registry, std::istream& in, std::ostream& out, std::ostream& err) override {
        const std::string shown = file_ == "-" ? std::string("standard input") : file_;
        std::string text;
        if (file_ != "-") {
            if (Status s = RefuseOpenStoreFile(file_); !s) {
                err << "morvel-cli: " << file_ << ": " << s.message() << "; nothing was imported\n";
                return 1;
            }
            if (const std::string why = UnreadableInput(file_); !why.empty()) {
                err << "morvel-cli: cannot read " << file_ << ": " << why << "; nothing was imported\n";
                return 1;
            }
        }
        if (const Status s = file_ == "-" ? ReadWholeStream(in, kMaxCsvImportBytes, text)
                                          : ReadWholeFile(file_, kMaxCsvImportBytes, text);
            !s) {
            err << "morvel-cli: cannot read " << shown << ": " << s.message() << "; nothing was imported\n";
            return 1;
        }
        ExampleStore store(registry);
        std::int32_t first = 0, count = 0;
        if (Status s = ImportExamplesCsv(store, text, &first, &count); !s) {
            err << "morvel-cli: " << shown << ": " << s.message() << "; nothing was imported\n";
            return 1;
        }
        done_ = "imported " + std::to_string(count) + (count == 1 ? " example" : " examples");
        if (count > 0) done_ += ": Example" + std::to_string(first);
        if (count > 1) done_ += " to Example" + std::to_string(first + count - 1);
        out << done_ << "\n";
        return 0;
    }

  private:
    std::string format_;
    std::string file_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeImportCommand(CLI::App& app) {
    return std::make_unique<ImportCommand>(app);
}

}  // namespace morvel
