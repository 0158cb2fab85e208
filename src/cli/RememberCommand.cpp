// morvel-cli remember: stores a file as a new example with the values given
// as ID=VALUE (ID up to the first "=", the value after it exactly) and prints
// its number.
#include <algorithm>

#include "cli/BatchRunner.h"
#include "cli/Commands.h"
#include "core/attributes/FileExaminer.h"
#include "core/store/ExampleStore.h"

namespace morvel {
namespace {

class RememberCommand : public StoreCommand {
  public:
    explicit RememberCommand(CLI::App& app) {
        command_ = app.add_subcommand("remember", "Store a file as a new example and print its number");
        command_->add_option("FILE", file_, "The file")->required();
        command_->add_option("ID=VALUE", assignments_, "The file's value for the target ID");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        LoadTables(registry, tables);
        std::vector<RememberedValue> values;
        for (const std::string& a : assignments_) {
            const auto eq = a.find('=');
            if (eq == std::string::npos) {
                err << "morvel-cli: \"" << a << "\" is not ID=VALUE; nothing was stored\n";
                return 1;
            }
            RememberedValue v{a.substr(0, eq), a.substr(eq + 1)};
            const auto targets = TargetList(tables);
            if (std::none_of(targets.begin(), targets.end(),
                             [&](const TargetEntry& t) { return t.Id == v.Id; })) {
                err << "morvel-cli: no target has the identifier \"" << v.Id << "\"; nothing was stored\n";
                return 1;
            }
            if (std::any_of(values.begin(), values.end(),
                            [&](const RememberedValue& w) { return w.Id == v.Id; })) {
                err << "morvel-cli: a value for \"" << v.Id << "\" is given twice; nothing was stored\n";
                return 1;
            }
            values.push_back(std::move(v));
        }
        FileExaminer examiner;
        if (const Status s = examiner.ComputeFileAttributes(AbsolutePath(file_), tables); !s) {
            err << "morvel-cli: " << file_ << ": " << s.message() << "; nothing was stored\n";
            return 1;
        }
        ExampleStore store(registry);
        std::int32_t number = 0;
        if (Status s = store.Remember(tables, examiner.AttributeVector(), examiner.AttributesFresh(), values,
                                      &number);
            !s)
            return Report(err, s);
        out << number << "\n";
        return 0;
    }

  private:
    std::string file_;
    std::vector<std::string> assignments_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeRememberCommand(CLI::App& app) {
    return std::make_unique<RememberCommand>(app);
}

}  // namespace morvel
