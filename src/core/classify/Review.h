// Review: how much a file would teach a target if the user taught it next.
//
// Two things make a file worth teaching: the store is unsure of its value
// (certainty), and it is unlike every example taught so far (novelty). A
// file unsure but like a taught one mostly sits on a known boundary; a file
// sure but new may be wrong in a way no example shows. Ranking by the two
// together reached a given accuracy with fewer taught files than either alone
// on our corpus (bench/active_teaching.sh), so worth is their even mean.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/ClassifierTrace.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"

namespace morvel {

struct ReviewFigures {
    std::string value;          // the predicted value, as classify gives it
    std::int32_t examples = 0;  // examples the target has
    // 0..1. Bayes methods: the best class's share of the summed scores less
    // the second's. Walking methods: m / (n + 1) for the last subset of the
    // walk, n records of which m hold its majority class. 0 without examples.
    double certainty = 0;
    // 0..1: to the nearest example of the target, the share of the slots
    // that either holds a value in where the two differ. 1 without examples.
    double novelty = 1;
    // 0..1: (1 - certainty + novelty) / 2; 1 without examples, so that such
    // files come first.
    double worth = 1;
};

// Reviews files target by target on one thread, keeping the classifiers'
// buffers between calls.
class FileReview {
  public:
    FileReview();
    ~FileReview();
    FileReview(const FileReview&) = delete;
    FileReview& operator=(const FileReview&) = delete;

    // Classifies target k (1..TargetCount) of tables for vector from the
    // examples classes was given (UseExamples), as classify does, and
    // figures how much the file would teach it.
    ReviewFigures Review(TrainingSet& classes, const ConfigTables& tables, std::int32_t k,
                         const AttributeSlots& vector);

  private:
    class Certainty;
    ClassificationRun run_;
    std::unique_ptr<Certainty> certainty_;
};

// The novelty of vector against the records classes has loaded, over slots
// 1..slots (see ReviewFigures); 1 when none is loaded.
double Novelty(const TrainingSet& classes, std::int32_t slots, const AttributeSlots& vector);

}  // namespace morvel
