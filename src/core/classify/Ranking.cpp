#include "core/classify/Ranking.h"

#include <algorithm>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/ClassifierTrace.h"
#include "core/classify/Id3Classifier.h"
#include "core/classify/ValueBox.h"

namespace morvel {
namespace {

// Keeps the gains of the first step of an ID3 walk and stops the walk there.
class FirstStepGains : public ClassifierTrace, public RecordingBox {
  public:
    explicit FirstStepGains(std::int32_t slots) : gains(slots + 1, 0.0) {}
    void Id3Gain(std::int32_t slot, double gain) override {
        if (steps == 0) gains[slot] = gain;
    }
    void Id3Walk(const Id3Step&) override { ++steps; }
    bool Yield() override { return steps == 0; }

    std::vector<double> gains;  // per slot; 0 where a subset of one class left it unexamined
    int steps = 0;
};

}  // namespace

TargetRanking RankAttributes(TrainingSet& classes, const ConfigTables& tables, std::int32_t k) {
    TargetRanking ranking;
    classes.LoadExamples(tables, k);
    const std::int32_t n = classes.LoadedCount();
    ranking.examples = n;
    if (n == 0) return ranking;

    const std::int32_t slots = tables.AttributeCount;
    FirstStepGains first(slots);
    Id3Classifier id3;
    id3.trace = &first;
    id3.Run(classes, AttributeSlots{}, slots, first);

    for (std::int32_t s = 1; s <= slots; ++s) {
        AttributeRank rank{s, first.gains[s], AttributeRank::Coverage::kMixed};
        if (IsSequenceSlot(s)) {
            std::int32_t found = 0, absent = 0;
            for (std::int32_t r = 1; r <= n; ++r) {
                found += classes.Value(r, s) == kYes;
                absent += classes.Value(r, s) == kNo;
            }
            if (found == 0 && absent == 0) {
                rank.coverage = AttributeRank::Coverage::kNeverSearched;
            } else if (found == 0) {
                rank.coverage = AttributeRank::Coverage::kNeverFound;
            } else if (absent == 0) {
                rank.coverage = AttributeRank::Coverage::kAlwaysFound;
            }
        }
        ranking.attributes.push_back(rank);
    }
    std::stable_sort(ranking.attributes.begin(), ranking.attributes.end(),
                     [](const AttributeRank& a, const AttributeRank& b) { return a.gain > b.gain; });
    return ranking;
}

}  // namespace morvel
