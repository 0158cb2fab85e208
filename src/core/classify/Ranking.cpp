#include "core/classify/Ranking.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/ClassifierTrace.h"
#include "core/classify/Id3Classifier.h"
#include "core/classify/ValueBox.h"
#include "core/config/AttributeFamilies.h"

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

double Entropy(const std::vector<std::int32_t>& counts, std::int32_t total) {
    double h = 0;
    for (const std::int32_t c : counts)
        if (c > 0) h -= static_cast<double>(c) / total * std::log2(static_cast<double>(c) / total);
    return h;
}

// The information gain and gain ratio of slot s over the examples with a value for it.
void TextbookGains(const TrainingSet& classes, std::int32_t s, AttributeRank& rank) {
    std::int32_t classCount = 0;
    for (std::int32_t r = 1; r <= classes.LoadedCount(); ++r)
        classCount = std::max(classCount, classes.ClassOf(r) + 1);
    std::map<std::int32_t, std::vector<std::int32_t>> byValue;  // value -> examples per class
    std::vector<std::int32_t> byClass(static_cast<std::size_t>(classCount), 0);
    for (std::int32_t r = 1; r <= classes.LoadedCount(); ++r) {
        const std::int32_t value = classes.Value(r, s);
        if (value == 0) continue;
        auto& counts = byValue[value];
        counts.resize(static_cast<std::size_t>(classCount), 0);
        ++counts[static_cast<std::size_t>(classes.ClassOf(r))];
        ++byClass[static_cast<std::size_t>(classes.ClassOf(r))];
        ++rank.valued;
    }
    if (rank.valued == 0) return;
    double remaining = 0;
    std::vector<std::int32_t> valueCounts;
    for (const auto& [value, counts] : byValue) {
        std::int32_t n = 0;
        for (const std::int32_t c : counts) n += c;
        valueCounts.push_back(n);
        remaining += static_cast<double>(n) / rank.valued * Entropy(counts, n);
    }
    rank.informationGain = std::max(0.0, Entropy(byClass, rank.valued) - remaining);
    const double split = Entropy(valueCounts, rank.valued);
    rank.gainRatio = split > 0 ? rank.informationGain / split : 0;
}

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
        AttributeRank rank;
        rank.slot = s;
        rank.gain = first.gains[s];
        TextbookGains(classes, s, rank);
        if (const NamedAttribute a = AttributeNamed(tables.AttributeNames[s]);
            a.family != nullptr && a.family->id == AttributeFamily::Id::kSequence) {
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
