#include "core/classify/Review.h"

#include <algorithm>
#include <memory>

#include "core/classify/ValueBox.h"

namespace morvel {

// Records what certainty needs of a run: the last step of a walk, or every
// class's Bayes score.
class FileReview::Certainty : public ClassifierTrace {
  public:
    void Start() {
        walked_ = false;
        subset_ = majority_ = 0;
        scores_.clear();
    }
    void Id3Walk(const Id3Step& step) override { Step(step.subset, step.majorityCount); }
    void TreeWalk(const TreeStep& step) override { Step(step.subset, step.majorityCount); }
    void BayesScore(double score) override { scores_.push_back(score); }

    double Figure() const {
        if (walked_) return subset_ > 0 ? static_cast<double>(majority_) / (subset_ + 1) : 0.0;
        double sum = 0, best = 0, second = 0;
        for (const double s : scores_) {
            sum += s;
            if (s > best) {
                second = best;
                best = s;
            } else if (s > second) {
                second = s;
            }
        }
        return sum > 0 ? (best - second) / sum : 0.0;
    }

  private:
    void Step(std::int32_t subset, std::int32_t majority) {
        walked_ = true;
        subset_ = subset;
        majority_ = majority;
    }

    bool walked_ = false;
    std::int32_t subset_ = 0;
    std::int32_t majority_ = 0;
    std::vector<double> scores_;
};

FileReview::FileReview() : certainty_(std::make_unique<Certainty>()) { run_.SetTrace(certainty_.get()); }
FileReview::~FileReview() = default;

ReviewFigures FileReview::Review(TrainingSet& classes, const ConfigTables& tables, std::int32_t k,
                                 const AttributeSlots& vector) {
    certainty_->Start();
    RecordingBox box;
    run_.ClassifyTarget(classes, tables, k, vector, box);
    ReviewFigures figures;
    figures.value = box.text;
    figures.examples = classes.LoadedCount();
    if (figures.examples == 0) return figures;
    figures.certainty = box.text.empty() ? 0.0 : certainty_->Figure();
    figures.novelty = Novelty(classes, tables.AttributeCount, vector);
    figures.worth = (1 - figures.certainty + figures.novelty) / 2;
    return figures;
}

double Novelty(const TrainingSet& classes, std::int32_t slots, const AttributeSlots& vector) {
    const std::int32_t n = classes.LoadedCount();
    if (n == 0) return 1.0;
    slots = std::clamp(slots, 0, std::min(classes.SlotCount(), ConfigTables::kMaxAttributes));
    double nearest = 1.0;
    for (std::int32_t r = 1; r <= n && nearest > 0; ++r) {
        const std::uint8_t* codes = classes.Codes(r);
        std::int32_t either = 0, differ = 0;
        for (std::int32_t s = 1; s <= slots; ++s) {
            const std::uint8_t mine = vector[s], theirs = codes[s - 1];
            if (mine == 0 && theirs == 0) continue;
            ++either;
            if (mine != theirs) ++differ;
        }
        nearest = std::min(nearest, either ? static_cast<double>(differ) / either : 0.0);
    }
    return nearest;
}

}  // namespace morvel
