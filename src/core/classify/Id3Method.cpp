// The "ID3-based" entry of the table of methods: the walk of Id3Classifier,
// and its explanation step by step.
#include <vector>

#include "core/classify/ClassificationMethods.h"
#include "core/classify/Id3Classifier.h"
#include "core/config/AttributeFamilies.h"

namespace morvel {
namespace {

class Id3Run : public MethodClassifier {
  public:
    bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount,
             ClassifierTrace* trace, ValueBox& box) override {
        id3_.trace = trace;
        return id3_.Run(classes, vector, attributeCount, box);
    }

  private:
    Id3Classifier id3_;
};

class Id3Explainer : public MethodExplainer {
  public:
    void Id3Walk(const Id3Step& step) override { steps_.push_back(step); }
    void Print(const ConfigTables& tables, const AttributeSlots& vector, const RecordingBox& box,
               std::ostream& out) const override;

  private:
    std::vector<Id3Step> steps_;
};

void Id3Explainer::Print(const ConfigTables& tables, const AttributeSlots& vector, const RecordingBox&,
                         std::ostream& out) const {
    const auto& steps = steps_;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& step = steps[i];
        // Once one class is left, every later step takes the next attribute
        // with gain 0 and cannot change the value: they are told in one line.
        if (i > 0 && steps[i - 1].classes <= 1 && step.classes <= 1) {
            std::size_t last = i;
            while (last + 1 < steps.size() && steps[last + 1].classes <= 1) ++last;
            out << "  "
                << (last == i ? "step " + std::to_string(i + 1)
                              : "steps " + std::to_string(i + 1) + " to " + std::to_string(last + 1))
                << ": one class left; each step takes the next attribute with gain 0"
                << (steps[last].slot == 0 ? " until none is left" : "") << "; the last subset holds "
                << steps[last].subset << (steps[last].subset == 1 ? " example\n" : " examples\n");
            i = last;
            continue;
        }
        out << "  step " << i + 1 << ": " << step.subset << (step.subset == 1 ? " example" : " examples")
            << " of " << step.classes << (step.classes == 1 ? " class" : " classes") << ", majority "
            << Quoted(step.majority);
        if (step.slot == 0) {
            out << "; no attribute left to choose, the walk ends\n";
            continue;
        }
        const std::int32_t value = vector[step.slot];
        out << "; chose " << DescribeSlotValue(tables.AttributeNames[step.slot], value) << ", gain "
            << TraceNumber(step.gain);
        if (value == 0) out << " (the file has no value here: every example stays)";
        out << "\n";
    }
    if (!steps.empty() && steps.back().slot != 0) {
        const std::int32_t slot = steps.back().slot;
        out << "  no example of the subset agrees with the file on "
            << DescribeSlotValue(tables.AttributeNames[slot], vector[slot])
            << ": the walk ends with the subset before\n";
    }
    out << "  the value is the majority of the last subset\n";
}

}  // namespace

extern const ClassificationMethod kId3Method;
const ClassificationMethod kId3Method = {
    kMethodId3,
    [] { return std::unique_ptr<MethodClassifier>(std::make_unique<Id3Run>()); },
    [] { return std::unique_ptr<MethodExplainer>(std::make_unique<Id3Explainer>()); },
};

}  // namespace morvel
