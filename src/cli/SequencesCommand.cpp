// morvel-cli sequences: prints the search sequences, or replaces them as the
// search-sequence editor's OK does.
#include "cli/Commands.h"

namespace morvel {
namespace {

class SequencesCommand : public StoreCommand {
  public:
    explicit SequencesCommand(CLI::App& app) {
        command_ = app.add_subcommand("sequences", "Print the search sequences, one per line");
        set_ = command_->add_subcommand("set",
                                        "Replace the search sequences (empty and repeated texts dropped)");
        set_->add_option("TEXT", texts_, "The new sequences, in order");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables tables;
        if (Status s = LoadTables(registry, tables); !s) return Report(err, s);
        if (set_->parsed()) {
            // The search texts are listed one per line.
            for (const std::string& text : texts_)
                if (text.find_first_of("\r\n") != std::string::npos) {
                    err << "morvel-cli: a search text holds a line break; the search texts were not "
                           "changed\n";
                    return 1;
                }
            if (Status s = SaveSequenceTable(registry, tables, texts_); !s) return Report(err, s);
            done_ = "replaced the search texts";
        }
        for (int i = 1; i <= tables.SequenceCount; ++i) out << tables.SequenceTable[i] << "\n";
        return 0;
    }

  private:
    CLI::App* set_ = nullptr;
    std::vector<std::string> texts_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeSequencesCommand(CLI::App& app) {
    return std::make_unique<SequencesCommand>(app);
}

}  // namespace morvel
