// Cross-validation of a target's method over the stored examples: every
// example is held out once and classified from the others.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/attributes/AttributeSlots.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"

namespace morvel {

// The fold (0..folds-1) of each record for cross-validation stratified by
// class: classOf[r] is record r's class (0..classes-1). The records of each
// class, in record order, are shuffled by a generator seeded with seed, and
// the classes, one after another, deal their records to the folds in turn,
// so every fold holds its share of every class. The same arguments give the
// same folds on every machine. folds must be 1 or more.
std::vector<std::int32_t> StratifiedFolds(const std::vector<std::int32_t>& classOf, std::int32_t classes,
                                          std::int32_t folds, std::uint32_t seed);

// The cross-validation of one target: every loaded example is held out once,
// classified by the target's method from the examples of the other folds
// with its stored attribute values as the file's vector, and counts as right
// when the box's text is the same class as its stored value.
struct TargetEvaluation {
    std::int32_t examples = 0;
    std::int32_t folds = 0;
    std::int32_t correct = 0;
    // The classes, most frequent first, spelled as the class count spells
    // them, with their frequencies.
    std::vector<std::string> classes;
    std::vector<std::int32_t> frequencies;
    // confusion[stored class][predicted class]; the last column counts the
    // examples whose value is none of the classes (the empty text: no value).
    std::vector<std::vector<std::int32_t>> confusion;
};

// Evaluates target k of tables over examples. folds 0 means leave-one-out;
// more folds than examples give one fold per example. Runs the folds on
// `jobs` threads; the result does not depend on their number.
TargetEvaluation EvaluateTarget(const std::shared_ptr<const StoredExamples>& examples,
                                const ConfigTables& tables, std::int32_t k, std::int32_t folds,
                                std::uint32_t seed, unsigned jobs);

// The slot values of loaded record r as a file's vector: values a file can
// have (0..255) as they are, any other (a hand-edited store) as not available.
AttributeSlots VectorOf(const TrainingSet& classes, std::int32_t r);

}  // namespace morvel
