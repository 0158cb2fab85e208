// The "Naive Bayes" and "Free Bayes" entries of the table of methods: the
// scores of BayesClassifier, and their explanation class by class.
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "core/classify/BayesClassifier.h"
#include "core/classify/ClassificationMethods.h"
#include "core/config/AttributeFamilies.h"

namespace morvel {
namespace {

template <bool kFree>
class BayesRun : public MethodClassifier {
  public:
    bool Run(TrainingSet& classes, const AttributeSlots& vector, std::int32_t attributeCount,
             ClassifierTrace* trace, ValueBox& box) override {
        bayes_.trace = trace;
        return bayes_.Run(classes, vector, attributeCount, kFree, box);
    }

  private:
    BayesClassifier bayes_;
};

// Each class's score with the three attributes that lowered it most, best
// class first, as the list shows them.
class BayesExplainer : public MethodExplainer {
  public:
    void BayesClass(const std::string& classValue, double start) override {
        current_ = &classes_[classValue];
        *current_ = ClassTrace{start, 0, {}};
    }
    void BayesSlot(const BayesFactor& factor) override { current_->factors.push_back(factor); }
    void BayesScore(double score) override { current_->score = score; }
    void Print(const ConfigTables& tables, const AttributeSlots& vector, const RecordingBox& box,
               std::ostream& out) const override;

  private:
    struct ClassTrace {
        double start = 0;
        double score = 0;
        std::vector<BayesFactor> factors;
    };
    std::unordered_map<std::string, ClassTrace> classes_;  // by class value as the table spells it
    ClassTrace* current_ = nullptr;
};

void BayesExplainer::Print(const ConfigTables& tables, const AttributeSlots& vector, const RecordingBox& box,
                           std::ostream& out) const {
    double best = 0;
    for (const auto& entry : box.list)
        if (const auto it = classes_.find(entry); it != classes_.end())
            best = std::max(best, it->second.score);
    bool classesBefore = false;
    for (const auto& entry : box.list) {
        const auto it = classes_.find(entry);
        if (it == classes_.end()) {
            // The empty entry: the classes after it score under a hundredth of the best.
            if (classesBefore) out << "  -- the classes below score under a hundredth of the best --\n";
            continue;
        }
        classesBefore = true;
        const auto& c = it->second;
        const double relative = best > 0 ? c.score / best : (c.score == best ? 1.0 : 0.0);
        out << "  " << Quoted(entry) << ": " << TraceNumber(relative) << " of the best score (score "
            << TraceNumber(c.score) << ", starting from " << TraceNumber(c.start) << ")\n";
        // The factors are at most 1; the smallest lowered the score most.
        auto factors = c.factors;
        std::stable_sort(factors.begin(), factors.end(),
                         [](const auto& a, const auto& b) { return a.factor < b.factor; });
        if (factors.size() > 3) factors.resize(3);
        for (const auto& f : factors) {
            out << "      x" << TraceNumber(f.factor) << "  "
                << DescribeSlotValue(tables.AttributeNames[f.slot], vector[f.slot]) << ": " << f.matches
                << " of " << f.known << " examples with a value match\n";
        }
    }
}

std::unique_ptr<MethodExplainer> MakeBayesExplainer() { return std::make_unique<BayesExplainer>(); }

}  // namespace

extern const ClassificationMethod kNaiveBayesMethod;
const ClassificationMethod kNaiveBayesMethod = {
    kMethodNaiveBayes,
    [] { return std::unique_ptr<MethodClassifier>(std::make_unique<BayesRun<false>>()); },
    MakeBayesExplainer,
};

extern const ClassificationMethod kFreeBayesMethod;
const ClassificationMethod kFreeBayesMethod = {
    kMethodFreeBayes,
    [] { return std::unique_ptr<MethodClassifier>(std::make_unique<BayesRun<true>>()); },
    MakeBayesExplainer,
};

}  // namespace morvel
