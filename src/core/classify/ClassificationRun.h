// ClassificationRun: classifies one target after another for one file, as the
// classification window's run does, writing each target's result into a box.
//
// The window shows a row's label and yields before each target; the rest of a
// row's work is ClassifyTarget. Each target's method is looked up in the table
// of methods. One object belongs to one thread and keeps each method's
// classifier, with its buffers, between targets.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "core/classify/ClassificationMethods.h"
#include "core/classify/ClassifierTrace.h"
#include "core/classify/TrainingSet.h"
#include "core/classify/ValueBox.h"
#include "core/config/ConfigTables.h"

namespace morvel {

class ClassificationRun {
  public:
    // Loads the examples of target k (1..TargetCount of state) from what
    // classes.ReadExamples read, empties box and disables it, runs the
    // target's method (a method that is none of the table's runs nothing and
    // leaves the box empty), then enables the box and yields. Returns false
    // when box.Yield asked to stop; the box must not be used after that.
    bool ClassifyTarget(TrainingSet& classes, const ConfigTables& state, std::int32_t k,
                        const AttributeSlots& vector, ValueBox& box);

    // The same for the examples already loaded in classes and the method
    // named: what ClassifyTarget does after loading.
    bool ClassifyLoaded(TrainingSet& classes, std::string_view method, std::int32_t attributeCount,
                        const AttributeSlots& vector, ValueBox& box);
    // The same with the method's entry already found (nullptr: no method).
    bool ClassifyLoaded(TrainingSet& classes, const ClassificationMethod* method, std::int32_t attributeCount,
                        const AttributeSlots& vector, ValueBox& box);

    // Tells trace (or nobody, for nullptr) what the classifiers compute from now on.
    void SetTrace(ClassifierTrace* trace) { trace_ = trace; }

  private:
    MethodClassifier& ClassifierOf(const ClassificationMethod& method);

    std::vector<std::pair<const ClassificationMethod*, std::unique_ptr<MethodClassifier>>> classifiers_;
    ClassifierTrace* trace_ = nullptr;
};

}  // namespace morvel
