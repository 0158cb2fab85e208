// morvel-cli dump: the store, or one key below the program's key, as
// registry-editor text for reading on a terminal.
#include <algorithm>

#include "cli/Commands.h"
#include "core/exchange/RegFileWriter.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

class DumpCommand : public StoreCommand {
  public:
    explicit DumpCommand(CLI::App& app) {
        command_ =
            app.add_subcommand("dump", "Print the store, or one key below the base key, as REGEDIT4 text");
        command_->add_option("KEYPATH", key_,
                             "A key below SOFTWARE\\Norwick\\Morvel, e.g. Attributes\\Contain");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        std::string key = key_;
        std::replace(key.begin(), key.end(), '/', '\\');
        while (!key.empty() && key.front() == '\\') key.erase(key.begin());
        const std::string path = std::string(kBaseKey) + (key.empty() ? "" : "\\" + key);
        // A key that does not exist gives no output at all.
        if (const Status s = DumpRegText(registry, key_.empty() ? "" : path, out); s.IsNotFound()) {
            err << "morvel-cli: no key " << path << " in the store\n";
            return 1;
        } else if (!s) {
            return Report(err, s);
        }
        return 0;
    }

  private:
    std::string key_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeDumpCommand(CLI::App& app) { return std::make_unique<DumpCommand>(app); }

}  // namespace morvel
