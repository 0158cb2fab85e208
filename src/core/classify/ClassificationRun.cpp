#include "core/classify/ClassificationRun.h"

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
    return ClassifyLoaded(classes, FindMethod(method), attributeCount, vector, box);
}

bool ClassificationRun::ClassifyLoaded(TrainingSet& classes, const ClassificationMethod* method,
                                       std::int32_t attributeCount, const AttributeSlots& vector,
                                       ValueBox& box) {
    box.Clear();
    box.SetText(std::string());
    box.SetEnabled(false);
    if (method != nullptr && !ClassifierOf(*method).Run(classes, vector, attributeCount, trace_, box))
        return false;
    box.SetEnabled(true);
    return box.Yield();
}

MethodClassifier& ClassificationRun::ClassifierOf(const ClassificationMethod& method) {
    for (auto& [known, classifier] : classifiers_)
        if (known == &method) return *classifier;
    classifiers_.emplace_back(&method, method.makeClassifier());
    return *classifiers_.back().second;
}

}  // namespace morvel
