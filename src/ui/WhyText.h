// Why a target's value came out, in the interface's words: what the
// classification window shows on a row's name and on F1. A WhyTrace is given
// to the row's run and records what the method computed (the same trace
// morvel-cli explain prints); WhyText writes it for a person.
#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/ClassifierTrace.h"
#include "core/config/ConfigTables.h"
#include "core/store/Registry.h"

namespace morvel {

class WhyTrace : public ClassifierTrace {
  public:
    // One step of a walk, from either walking method.
    struct Step {
        std::int32_t subset = 0;
        std::int32_t classes = 0;
        std::string majority;
        std::int32_t majorityCount = 0;
        std::int32_t slot = 0;  // 0: the walk ended here
    };
    // One class of a Bayes run.
    struct BayesClassTrace {
        std::string value;
        double score = 0;
        std::vector<BayesFactor> factors;
    };

    void Id3Walk(const Id3Step& step) override {
        steps.push_back({step.subset, step.classes, step.majority, step.majorityCount, step.slot});
    }
    void TreeWalk(const TreeStep& step) override {
        steps.push_back({step.subset, step.classes, step.majority, step.majorityCount, step.slot});
    }
    void BayesClass(const std::string& classValue, double) override { bayes.push_back({classValue, 0, {}}); }
    void BayesSlot(const BayesFactor& factor) override {
        if (!bayes.empty()) bayes.back().factors.push_back(factor);
    }
    void BayesScore(double score) override {
        if (!bayes.empty()) bayes.back().score = score;
    }

    std::vector<Step> steps;
    std::vector<BayesClassTrace> bayes;
};

// The why of one row: its target's method, how many examples it learned
// from (examples), how many entries its list has (listed), and what the run
// recorded, for the file's vector under tables.
QString WhyText(const Registry& registry, const ConfigTables& tables, const AttributeSlots& vector,
                const std::string& method, std::int32_t examples, std::int32_t listed, const WhyTrace& trace);

}  // namespace morvel
