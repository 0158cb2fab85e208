// morvel-cli backup: a consistent copy of the store, also while the window or
// another morvel-cli is writing to it.
#include "cli/Commands.h"
#include "core/store/StoreBackup.h"

namespace morvel {
namespace {

class BackupCommand : public StoreCommand {
  public:
    explicit BackupCommand(CLI::App& app) {
        command_ = app.add_subcommand("backup", "Write a consistent copy of the store to FILE (mode 0600)");
        command_->add_option("FILE", file_, "The copy; an existing file is refused unless --force")
            ->required();
        command_->add_flag("--force", force_, "Replace FILE when it exists");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        if (Status s = BackupStore(registry.Path(), file_, force_); !s) {
            err << "morvel-cli: " << s.message()
                << (s.message().ends_with(" exists") ? " (--force replaces it)" : "")
                << "; no copy was written\n";
            return 1;
        }
        done_ = "copied the store " + registry.Path() + " to " + file_;
        out << done_ << "\n";
        return 0;
    }

  private:
    std::string file_;
    bool force_ = false;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeBackupCommand(CLI::App& app) {
    return std::make_unique<BackupCommand>(app);
}

}  // namespace morvel
