// DecisionTreeClassifier: predicts a target by walking the one branch of a
// decision tree chosen by gain ratio that the file follows.
//
// Each step takes the majority class of the working subset (the active
// records) for the box's text, then picks the available slot of highest gain
// ratio and keeps only the records that agree with the file on it (a 0 on
// either side agrees with everything). A slot in which the file has a value
// that no record of the subset holds is passed over: it cannot narrow the
// file's branch, and in a small subset it would often split it best by chance. A slot's gain ratio is counted
// over the subset's records that hold a value in it (not 0): the entropy of their classes less the entropy
// within each value, weighted by the value's share, divided by the entropy of the values' shares (logarithms
// to the base 2). The walk ends when the subset holds one class, when no available slot has a positive ratio,
// or when no record is left. The box's list is built as WalkAlternatives builds it. The object keeps its
// scratch buffers between targets; one object belongs to one thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/ClassifierTrace.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"
#include "core/classify/WalkAlternatives.h"

namespace morvel {

// The name the target table stores for this method (see ClassificationMethods.h).
inline constexpr std::string_view kMethodDecisionTree = "Decision tree";

class DecisionTreeClassifier {
  public:
    // Runs the walk over the examples loaded in classes (records 1..LoadedCount
    // with their Active flags) for slots 1..attributeCount of the file's
    // vector, and writes into box: its text (once per step) and its list. With
    // no loaded example the box is left alone. Leaves every record active and
    // ClassTable counted over all records. Returns false when box.Yield asked
    // to stop; the walk then ends at once.
    bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount, ValueBox& box);

    // Per step of the last walk, the slot chosen (0 when the walk ended there)
    // and its gain ratio.
    struct Step {
        std::int32_t slot = 0;
        double ratio = 0;
        bool operator==(const Step&) const = default;
    };
    std::vector<Step> Steps;

    // When set, told every step of the walks that follow.
    ClassifierTrace* trace = nullptr;

  private:
    // The value record r holds in slot (0 past the records' slots).
    std::int32_t ValueOf(const TrainingSet& classes, std::int32_t r, std::int32_t slot) const;
    // Fills bucket_ with the classes of the active records that hold a value
    // in slot, grouped by value in increasing value order, and groupEnd_ with
    // where each group ends.
    void GroupByValue(const TrainingSet& classes, std::int32_t slot);
    // The entropy (base 2) of the classes in bucket_[begin, end).
    double Entropy(std::size_t begin, std::size_t end);
    // The gain ratio of slot over the active records; 0 when fewer than two of
    // them hold a value or all those hold one value.
    double GainRatio(const TrainingSet& classes, std::int32_t slot);
    // Keeps the active records that agree with value in slot.
    void Narrow(TrainingSet& classes, std::int32_t slot, std::int32_t value);

    std::int32_t slotCount_ = 0;
    std::array<bool, ConfigTables::kMaxAttributes + 1> available_{};
    std::vector<std::int32_t> active_;                         // active records (1-based)
    std::vector<std::int32_t> bucket_;                         // classes grouped by value
    std::vector<std::size_t> groupEnd_;                        // per group, its end in bucket_
    std::vector<std::pair<std::int32_t, std::int32_t>> wide_;  // (value, class) outside 0..255
    std::vector<std::int32_t> count_;                          // per class, in Entropy
    std::vector<std::int32_t> met_;                            // classes Entropy counted
    std::vector<std::int32_t> frequencies_;
    WalkAlternatives alternatives_;
};

}  // namespace morvel
