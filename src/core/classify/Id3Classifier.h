// Id3Classifier: predicts a target by walking the one branch of an ID3
// decision tree that the file follows.
//
// Each step takes the majority class of the working subset (the active
// records), then picks the available slot of highest information gain and
// keeps only the records that agree with the file on it (a 0 on either side
// agrees with everything). The box's text follows the majority class; its
// list holds the majority classes met, most specific first, an empty entry,
// then every other class by overall frequency (WalkAlternatives).
//
// The gains are counted from one contingency table per slot and step (values
// by class over the active records) instead of a class count per (slot,
// value); the results, floating-point values included, are those of counting
// class by class. The object keeps its scratch buffers between targets; one
// object belongs to one thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/classify/ClassifierTrace.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"
#include "core/classify/WalkAlternatives.h"

namespace morvel {

// The name the target table stores for this method (see ClassificationMethods.h).
inline constexpr std::string_view kMethodId3 = "ID3-based";

class Id3Classifier {
  public:
    // Runs the walk over the examples loaded in classes (records 1..LoadedCount
    // with their Active flags) for slots 1..attributeCount of the file's
    // vector, and writes into box: its text (once per step, and the majority
    // of the last subset at the end) and its list. With no loaded example the
    // box is left alone. Leaves every record active and ClassTable counted
    // over all records. Returns false when box.Yield asked to stop; the walk
    // then ends at once.
    bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount, ValueBox& box);

    // Slots not yet used by a step.
    std::array<bool, ConfigTables::kMaxAttributes + 1> AttributeAvailable{};
    // Per step of the last walk, the slot chosen (0 for none) and its gain.
    struct Step {
        std::int32_t slot = 0;
        double gain = 0;
        bool operator==(const Step&) const = default;
    };
    std::vector<Step> Steps;

    // When set, told every gain and every step of the walks that follow.
    ClassifierTrace* trace = nullptr;

  private:
    double Gain(std::int32_t slot, double h0);
    double PLogP(std::int32_t frequency);
    double LogOf(std::int32_t classCount);

    WalkAlternatives alternatives_;
    std::int32_t loaded_ = 0;
    std::vector<std::uint8_t> columns_;    // per slot and record: its code (0 for a value outside 0..255)
    std::vector<std::int32_t> histogram_;  // per slot, 256 counters over all loaded records
    std::vector<std::int32_t> classOf_;    // per record (0-based)
    std::vector<std::int32_t> active_;     // active records (0-based)
    std::vector<std::int32_t> bucket_;     // classes of the active records, grouped by value
    std::vector<std::uint32_t> seenIn_;    // per class, the count that last met it
    std::vector<std::int32_t> frequencyIndex_;
    std::vector<std::int32_t> frequencies_;
    std::uint32_t pass_ = 0;
    std::vector<double> plogp_;
    std::vector<char> plogpKnown_;
    std::vector<double> logs_;
};

}  // namespace morvel
