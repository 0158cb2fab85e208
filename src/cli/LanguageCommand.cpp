// morvel-cli language import: imports a language file into the "\Interface"
// key; the lines it skipped go to standard error.
#include "cli/Commands.h"
#include "core/exchange/LanguageFile.h"

namespace morvel {
namespace {

class LanguageCommand : public StoreCommand {
  public:
    explicit LanguageCommand(CLI::App& app) {
        command_ = app.add_subcommand("language", "Interface languages");
        command_->require_subcommand(1);
        import_ = command_->add_subcommand(
            "import", "Import a language file (.lng) into the store; skipped lines are listed");
        import_->add_option("FILE", file_, "The language file")->required();
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        if (const std::string why = UnreadableInput(file_); !why.empty()) {
            err << "morvel-cli: cannot read " << file_ << ": " << why << "; nothing was imported\n";
            return 1;
        }
        ParsedLanguage parsed;
        const Status s = ImportLanguageFile(registry, file_, parsed);
        for (const auto& p : parsed.problems) err << file_ << ":" << p.line << ": " << p.message << "\n";
        if (parsed.skippedLines > parsed.problems.size())
            err << file_ << ": " << parsed.skippedLines - parsed.problems.size() << " more lines skipped\n";
        if (!s) {
            err << "morvel-cli: " << file_ << ": " << s.message() << "; nothing was imported\n";
            return 1;
        }
        done_ = std::to_string(parsed.texts.size()) + " texts imported, " +
                std::to_string(parsed.skippedLines) + " lines skipped";
        out << done_ << "\n";
        return parsed.skippedLines == 0 ? 0 : 1;
    }

  private:
    CLI::App* import_ = nullptr;
    std::string file_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeLanguageCommand(CLI::App& app) {
    return std::make_unique<LanguageCommand>(app);
}

}  // namespace morvel
