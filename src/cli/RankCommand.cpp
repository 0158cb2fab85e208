// morvel-cli rank: for each target, every attribute with the score the ID3
// walk computes for it at its first step, highest first, and beside it the
// textbook information gain and gain ratio that other tools report.
#include "cli/Commands.h"
#include "cli/Printing.h"
#include "core/classify/Ranking.h"
#include "core/config/AttributeFamilies.h"
#include "core/examples/ExampleStore.h"

namespace morvel {
namespace {

class RankCommand : public StoreCommand {
  public:
    explicit RankCommand(CLI::App& app) {
        command_ = app.add_subcommand(
            "rank",
            "Every attribute's score at the ID3 walk's first step for each target, highest first, with its "
            "information gain and gain ratio");
        command_->add_option("--target", target_, "Only the target with this identifier");
    }

    int Run(Registry& registry, std::istream&, std::ostream& out, std::ostream& err) override {
        ConfigTables state;
        if (Status s = LoadTables(registry, state); !s) return Report(err, s);
        std::vector<std::int32_t> targets;
        if (!ChooseTargets(state, target_, targets, err)) return 1;
        if (targets.empty()) {
            err << "morvel-cli: no targets are defined\n";
            return 1;
        }
        TrainingSet classes;
        std::shared_ptr<const StoredExamples> examples;
        if (Status s = ExampleStore::Read(registry, state, examples); !s) return Report(err, s);
        classes.UseExamples(examples);
        for (const std::int32_t k : targets) {
            out << TargetHeading(state.TargetTable[k]) << "\n";
            const TargetRanking ranking = RankAttributes(classes, state, k);
            if (ranking.examples == 0) {
                out << "  no examples\n";
                continue;
            }
            out << "  " << ranking.examples
                << " examples; columns: the score at the ID3 walk's first step (the walk's own figure, which"
                   " can be negative), the information gain and the gain ratio (bits, over the examples that"
                   " have a value)\n";
            for (const AttributeRank& rank : ranking.attributes) {
                const bool valued = rank.valued > 0;
                std::string line = "  " + PadLeft(Fixed(rank.gain, 4), 8) + "  " +
                                   PadLeft(valued ? Fixed(rank.informationGain, 4) : "-", 6) + "  " +
                                   PadLeft(valued ? Fixed(rank.gainRatio, 4) : "-", 6) + "  " +
                                   state.AttributeNames[rank.slot];
                if (const std::string title = SlotTitle(state.AttributeNames[rank.slot]); !title.empty())
                    line += " (" + title + ")";
                switch (rank.coverage) {
                    case AttributeRank::Coverage::kNeverSearched:
                        line += "  [no example was searched for it]";
                        break;
                    case AttributeRank::Coverage::kNeverFound:
                        line += "  [never found]";
                        break;
                    case AttributeRank::Coverage::kAlwaysFound:
                        line += "  [found in every example searched for it]";
                        break;
                    case AttributeRank::Coverage::kMixed:
                        break;
                }
                out << line << "\n";
            }
        }
        return 0;
    }

  private:
    std::string target_;
};

}  // namespace

std::unique_ptr<StoreCommand> MakeRankCommand(CLI::App& app) { return std::make_unique<RankCommand>(app); }

}  // namespace morvel
