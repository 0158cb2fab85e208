#include "core/classify/WalkAlternatives.h"

#include <algorithm>

namespace morvel {

void WalkAlternatives::Start() {
    met_.clear();
    keys_.clear();
}

void WalkAlternatives::Meet(const std::string& majority) {
    if (keys_.insert(ClassKey(majority)).second) met_.push_back(majority);
}

void WalkAlternatives::Write(TrainingSet& classes, ValueBox& box) {
    std::reverse(met_.begin(), met_.end());
    met_.emplace_back();
    keys_.insert(std::string());
    classes.ActivateAll();
    classes.CountClasses(0, 0);
    for (std::int32_t c = 1; c <= classes.ClassCount(); ++c) {
        const std::string& value = classes.ClassTable()[c].ClassValue;
        if (keys_.insert(ClassKey(value)).second) met_.push_back(value);
    }
    for (const std::string& entry : met_) box.AddItem(entry);
}

}  // namespace morvel
