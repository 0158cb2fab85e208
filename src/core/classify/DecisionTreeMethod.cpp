// The "Decision tree" entry of the table of methods: the walk of
// DecisionTreeClassifier, and its explanation step by step.
#include <vector>

#include "core/classify/ClassificationMethods.h"
#include "core/classify/DecisionTreeClassifier.h"
#include "core/config/AttributeFamilies.h"

namespace morvel {
namespace {

class DecisionTreeRun : public MethodClassifier {
  public:
    bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount,
             ClassifierTrace* trace, ValueBox& box) override {
        tree_.trace = trace;
        return tree_.Run(classes, vector, attributeCount, box);
    }

  private:
    DecisionTreeClassifier tree_;
};

class DecisionTreeExplainer : public MethodExplainer {
  public:
    void TreeWalk(const TreeStep& step) override { steps_.push_back(step); }
    void Print(const ConfigTables& tables, const AttributeSlots& vector, const RecordingBox& box,
               std::ostream& out) const override;

  private:
    std::vector<TreeStep> steps_;
};

void DecisionTreeExplainer::Print(const ConfigTables& tables, const AttributeSlots& vector,
                                  const RecordingBox&, std::ostream& out) const {
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        const TreeStep& step = steps_[i];
        out << "  step " << i + 1 << ": " << step.subset << (step.subset == 1 ? " example" : " examples")
            << " of " << step.classes << (step.classes == 1 ? " class" : " classes") << ", majority "
            << Quoted(step.majority);
        if (step.slot == 0) {
            out << (step.classes <= 1 ? "; one class left, the walk ends\n"
                                      : "; no attribute left has a positive gain ratio, the walk ends\n");
            continue;
        }
        const std::int32_t value = vector[step.slot];
        out << "; chose " << DescribeSlotValue(tables.AttributeNames[step.slot], value) << ", gain ratio "
            << TraceNumber(step.ratio);
        if (value == 0) out << " (the file has no value here: every example stays)";
        out << "\n";
    }
    if (!steps_.empty() && steps_.back().slot != 0) {
        const std::int32_t slot = steps_.back().slot;
        out << "  no example of the subset agrees with the file on "
            << DescribeSlotValue(tables.AttributeNames[slot], vector[slot])
            << ": the walk ends with the subset before\n";
    }
    out << "  the value is the majority of the last subset\n";
}

}  // namespace

extern const ClassificationMethod kDecisionTreeMethod;
const ClassificationMethod kDecisionTreeMethod = {
    kMethodDecisionTree,
    [] { return std::unique_ptr<MethodClassifier>(std::make_unique<DecisionTreeRun>()); },
    [] { return std::unique_ptr<MethodExplainer>(std::make_unique<DecisionTreeExplainer>()); },
};

}  // namespace morvel
