// morvel-cli header-attributes: prints whether classification sees the
// header attributes, or turns them on or off as the Settings menu does.
#include "cli/Commands.h"

namespace morvel {
namespace {

class HeaderAttributesCommand : public StoreCommand {
  public:
    explicit HeaderAttributesCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "header-attributes",
            "Print whether classification uses the header attributes, or turn them on or off");
        command_->add_option("STATE", state_, "on or off")->check(CLI::IsMember({"on", "off"}));
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        if (!state_.empty()) {
            if (Status s = SaveHeaderAttributes(registry, tables, state_ == "on"); !s) return Report(err, s);
            done_ = "turned the header attributes " + state_;
        }
        out << (tables.HeaderAttributes ? "on" : "off") << "\n";
        return 0;
    }

  private:
    std::string state_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeHeaderAttributesCommand(CLI::App& app) {
    return std::make_unique<HeaderAttributesCommand>(app);
}

}  // namespace morvel
