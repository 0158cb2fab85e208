// ClassifierTrace: what a classifier computed on its way to a result, for
// explaining the result and ranking attributes.
//
// A classifier calls its trace only when one is set (a null pointer costs one
// test per step or class), in the order it computes; what it reports is what
// it used, so an explanation built from it matches the result exactly. The
// trace belongs to the classifier's thread and must outlive the run.
#pragma once

#include <cstdint>
#include <string>

namespace morvel {

class ClassifierTrace {
  public:
    virtual ~ClassifierTrace() = default;

    // ID3: the gain of one available slot in the current step (not called for
    // the slots a subset of one class leaves unexamined: their gain is 0).
    virtual void Id3Gain(std::int32_t /*slot*/, double /*gain*/) {}
    // ID3: one step of the walk over a subset of `subset` active records of
    // `classes` classes, whose majority class is majority. slot is the slot
    // chosen (0 when none is left; the walk ends) with its gain.
    struct Id3Step {
        std::int32_t subset = 0;
        std::int32_t classes = 0;
        std::string majority;
        std::int32_t slot = 0;
        double gain = 0;
        std::int32_t majorityCount = 0;  // records of the majority class in the subset
    };
    virtual void Id3Walk(const Id3Step& /*step*/) {}

    // Decision tree: one step of the walk over a subset of `subset` active
    // records of `classes` classes, whose majority class is majority. slot is
    // the slot of highest gain ratio chosen, with its ratio; 0 with ratio 0
    // when the walk ends there (one class left, or no slot left with a
    // positive gain ratio).
    struct TreeStep {
        std::int32_t subset = 0;
        std::int32_t classes = 0;
        std::string majority;
        std::int32_t slot = 0;
        double ratio = 0;
        std::int32_t majorityCount = 0;  // records of the majority class in the subset
    };
    virtual void TreeWalk(const TreeStep& /*step*/) {}

    // Bayes: a class is scored from start (its share, or 1). For each slot
    // where the file has a value, one factor: (matches + 0.1 / distinct) /
    // (known + 0.1), where known is the class's frequency less its records
    // without a value in the slot (the denominator the score divides by).
    // Then the class's final score.
    virtual void BayesClass(const std::string& /*classValue*/, double /*start*/) {}
    struct BayesFactor {
        std::int32_t slot = 0;
        std::int32_t matches = 0;
        std::int32_t known = 0;
        std::int32_t distinct = 0;
        double factor = 0;
    };
    virtual void BayesSlot(const BayesFactor& /*factor*/) {}
    virtual void BayesScore(double /*score*/) {}
};

}  // namespace morvel
