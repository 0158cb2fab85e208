// Ranking the attributes for a target: the score the ID3 walk computes for
// each attribute at its first step over all the target's examples (the
// walk's own figure, which can be negative), beside the textbook information
// gain and gain ratio over the examples that have a value for the attribute,
// and how the examples cover each search sequence.
#pragma once

#include <cstdint>
#include <vector>

#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"

namespace morvel {

struct AttributeRank {
    // How a search sequence's slot is filled across the examples; a general
    // slot is always kMixed.
    enum class Coverage {
        kMixed,          // found in some examples, not found in others
        kNeverSearched,  // no example was searched for it (added later)
        kNeverFound,
        kAlwaysFound,  // found in every example searched for it
    };
    std::int32_t slot = 0;
    double gain = 0;  // the ID3 walk's score
    // Over the examples with a value (not 0) for the slot, in bits: the
    // entropy of the classes less that left once the value is known, and
    // that divided by the entropy of the values (0 when one value covers all).
    std::int32_t valued = 0;  // how many examples have a value
    double informationGain = 0;
    double gainRatio = 0;
    Coverage coverage = Coverage::kMixed;
};

struct TargetRanking {
    std::int32_t examples = 0;
    // Every attribute 1..AttributeCount, highest gain first (equal gains in
    // slot order). Empty when the target has no example.
    std::vector<AttributeRank> attributes;
};

// Ranks the attributes for target k of tables over the examples classes
// serves (TrainingSet::UseExamples); loads target k into classes.
TargetRanking RankAttributes(TrainingSet& classes, const ConfigTables& tables, std::int32_t k);

}  // namespace morvel
