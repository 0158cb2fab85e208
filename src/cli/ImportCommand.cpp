// morvel-cli import: appends the rows of a CSV (as export writes it) as new
// examples, all in one write group.
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli/Commands.h"
#include "core/examples/ExampleCsv.h"
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
        std::string text;
        if (file_ == "-") {
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } else {
            if (Status s = RefuseOpenStoreFile(file_); !s) {
                err << "morvel-cli: " << file_ << ": " << s.message() << "; nothing was imported\n";
                return 1;
            }
            std::ifstream file(file_, std::ios::binary);
            if (const std::string why = UnreadableInput(file_); !why.empty() || !file) {
                err << "morvel-cli: cannot read " << file_ << ": " << (why.empty() ? "it does not open" : why)
                    << "; nothing was imported\n";
                return 1;
            }
            std::ostringstream content;
            content << file.rdbuf();
            text = std::move(content).str();
            if (file.bad()) {
                err << "morvel-cli: cannot read " << file_ << "\n";
                return 1;
            }
        }
        ExampleStore store(registry);
        std::int32_t first = 0, count = 0;
        if (Status s = ImportExamplesCsv(store, text, &first, &count); !s) {
            err << "morvel-cli: " << (file_ == "-" ? std::string("standard input") : file_) << ": "
                << s.message() << "; nothing was imported\n";
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
