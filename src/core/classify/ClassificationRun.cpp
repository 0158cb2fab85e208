#include "core/classify/ClassificationRun.h"

#include "core/config/ConfigTables.h"

namespace morvel {

bool ClassificationRun::ClassifyTarget(TrainingSet& classes, const ConfigTables& state, std::int32_t k,
                                       const AttributeSlots& vector, ValueBox& box) {
    classes.LoadExamples(state, k);
    const std::string& method =
        k >= 1 && k <= state.TargetCount ? state.TargetTable[k].Method : std::string();
    return ClassifyLoaded(classes, method, state.AttributeCount, vector, box);
}

bool ClassificationRun::ClassifyLoaded(TrainingSet& classes, std::string_view method,
                                       std::int32_t attributeCount, const AttributeSlots& vector,
                                       ValueBox& box) {
    box.Clear();
    box.SetText(std::string());
    box.SetEnabled(false);
    bool going = true;
    if (method == kMethodId3) {
        going = id3_.Run(classes, vector, attributeCount, box);
    } else if (method == kMethodNaiveBayes || method == kMethodFreeBayes) {
        going = bayes_.Run(classes, vector, attributeCount, method == kMethodFreeBayes, box);
    }
    if (!going) return false;
    box.SetEnabled(true);
    return box.Yield();
}

}  // namespace morvel
