// morvel-cli targets: prints the target attributes, appends one or deletes
// one, saving the table as the target editor's Close does.
#include <algorithm>

#include "cli/Commands.h"
#include "core/classify/ClassificationMethods.h"
#include "core/platform/CodePage.h"

namespace morvel {
namespace {

class TargetsCommand : public StoreCommand {
  public:
    explicit TargetsCommand(CLI::App& app) {
        command_ = app.add_subcommand("targets", "Print the target attributes: id, name, method");
        add_ = command_->add_subcommand("add", "Append a target attribute");
        add_->add_option("ID", id_, "Identifier")->required();
        add_->add_option("NAME", name_, "Display name")->required();
        add_->add_option("METHOD", method_, QuotedMethodNames(" or "))->required();
        delete_ = command_->add_subcommand("delete", "Delete the first target with this identifier");
        delete_->add_option("ID", id_, "Identifier")->required();
        command_->require_subcommand(0, 1);
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        auto rows = TargetList(tables);
        if (add_->parsed()) {
            if (FindMethod(method_) == nullptr) {
                err << "morvel-cli: the method must be one of " << QuotedMethodNames(", ") << "\n";
                return 1;
            }
            if (const std::string why = UnusableIdentifier(rows); !why.empty()) {
                err << "morvel-cli: the identifier \"" << id_ << "\" " << why << "; no target was added\n";
                return 1;
            }
            rows.push_back({id_, name_, method_});
        } else if (delete_->parsed()) {
            const auto it =
                std::find_if(rows.begin(), rows.end(), [&](const TargetEntry& t) { return t.Id == id_; });
            if (it == rows.end()) {
                err << "morvel-cli: no target has the identifier \"" << id_ << "\"\n";
                return 1;
            }
            rows.erase(it);
        }
        if (add_->parsed() || delete_->parsed()) {
            if (Status s = SaveTargetTable(registry, tables, rows); !s) return Report(err, s);
            done_ = (add_->parsed() ? "added the target \"" : "deleted the target \"") + id_ + "\"";
        }
        for (std::int32_t k = 1; k <= tables.TargetCount; ++k) {
            const TargetEntry& t = tables.TargetTable[k];
            out << t.Id << "\t" << t.Name << "\t" << t.Method << "\n";
        }
        return 0;
    }

  private:
    // Why id_ could not name a new target (empty when it can): remember takes
    // a value as ID=VALUE, the output separates fields by tabs and records by
    // lines, and the stored values compare names ignoring case.
    std::string UnusableIdentifier(const std::vector<TargetEntry>& rows) const {
        if (id_.empty()) return "is empty";
        if (id_.find('=') != std::string::npos) return "holds \"=\", which ID=VALUE could never address";
        if (id_.find('\t') != std::string::npos) return "holds a tab, which separates the output's fields";
        if (id_.find_first_of("\r\n") != std::string::npos) return "holds a line break";
        const std::string lowered = codepage::LoweredAnsi(id_);
        for (const TargetEntry& t : rows)
            if (codepage::LoweredAnsi(t.Id) == lowered)
                return "is taken already (by \"" + t.Id + "\"; letter case does not tell identifiers apart)";
        return {};
    }

    CLI::App* add_ = nullptr;
    CLI::App* delete_ = nullptr;
    std::string id_, name_, method_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeTargetsCommand(CLI::App& app) {
    return std::make_unique<TargetsCommand>(app);
}

}  // namespace morvel
