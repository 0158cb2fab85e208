// BayesClassifier: the "Naive Bayes" and "Free Bayes" methods.
//
// Every class of the loaded examples is scored against the file with a
// smoothed product, over the slots where the file has a value, of
// (matches + 0.1 / distinct values) / (records with a value + 0.1), starting
// from the class's share of the examples (Naive) or from 1 (Free). The
// classes are ranked by score; the list shows them best first, with an empty
// entry before the first class scoring under a hundredth of the best (or at
// the end), and the best class is selected.
//
// The counters of a class are gathered for all slots in one pass over the
// records spelled exactly as the class; scores are multiplied in slot order,
// so they equal those of counting slot by slot. One object belongs to one
// thread and keeps its buffers between targets.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/classify/ClassifierTrace.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"

namespace morvel {

// The names the target table stores for the two methods (see ClassificationMethods.h).
inline constexpr std::string_view kMethodNaiveBayes = "Naive Bayes";
inline constexpr std::string_view kMethodFreeBayes = "Free Bayes";

class BayesClassifier {
  public:
    // Scores, ranks and lists the classes of the examples loaded in classes
    // for slots 1..attributeCount of the file's vector. freeBayes starts every
    // class at 1 instead of its share. Leaves ClassTable in ranked order with
    // ClassScore beside it. Returns false when box.Yield asked to stop.
    bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount, bool freeBayes,
             ValueBox& box);

    std::vector<double> ClassScore{0.0};  // 1..ClassCount, beside ClassTable

    // When set, told each class's start, per-slot factors and score.
    ClassifierTrace* trace = nullptr;

  private:
    struct SlotCounters {
        std::int32_t matches = 0;
        std::int32_t zeros = 0;
        std::int32_t distinct = 0;
        std::array<std::uint64_t, 4> seen{};  // values 0..255 met
        std::vector<std::int32_t> others;     // values outside 0..255 met
    };
    std::vector<SlotCounters> counters_;
    std::vector<std::int32_t> groupStart_;  // records grouped by spelling
    std::vector<std::int32_t> grouped_;
};

}  // namespace morvel
