// The classifiers' trace: it changes no result, and what it reports adds up
// to the results.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "RandomExamples.h"
#include "core/classify/BayesClassifier.h"
#include "core/classify/Id3Classifier.h"

namespace morvel {
namespace {

struct Recorded : ClassifierTrace {
    struct Step {
        Id3Step step;
        std::vector<std::pair<std::int32_t, double>> gains;
    };
    struct Scored {
        double start = 0, score = 0;
        std::vector<BayesFactor> factors;
    };
    void Id3Gain(std::int32_t slot, double gain) override { pending.emplace_back(slot, gain); }
    void Id3Walk(const Id3Step& step) override {
        steps.push_back({step, std::move(pending)});
        pending.clear();
    }
    void BayesClass(const std::string& value, double start) override {
        order.push_back(value);
        classes[value].start = start;
    }
    void BayesSlot(const BayesFactor& f) override { classes[order.back()].factors.push_back(f); }
    void BayesScore(double score) override { classes[order.back()].score = score; }

    std::vector<std::pair<std::int32_t, double>> pending;
    std::vector<Step> steps;
    std::vector<std::string> order;
    std::map<std::string, Scored> classes;
};

void Fill(TrainingSet& classes, const test::ExampleSet& set) {
    classes.ClearExamples();
    for (std::size_t r = 0; r < set.values.size(); ++r) classes.AddExample(set.values[r], set.texts[r]);
}

TEST(ClassifierTraceTest, Id3StepsAndGainsAreThoseOfTheWalk) {
    std::mt19937 random(61);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test::ExampleSetShape shape;
        shape.records = 1 + static_cast<std::int32_t>(random() % 80);
        shape.attributeCount = 1 + static_cast<std::int32_t>(random() % 40);
        shape.classes = 1 + static_cast<std::int32_t>(random() % 6);
        shape.oddValues = round % 3 == 0;
        const auto set = test::MakeExampleSet(shape, random);
        TrainingSet plain, traced;
        Fill(plain, set);
        Fill(traced, set);
        Id3Classifier quiet, told;
        Recorded trace;
        told.trace = &trace;
        RecordingBox quietBox, toldBox;
        ASSERT_TRUE(quiet.Run(plain, set.file, set.attributeCount, quietBox));
        ASSERT_TRUE(told.Run(traced, set.file, set.attributeCount, toldBox));
        EXPECT_EQ(toldBox.texts, quietBox.texts);
        EXPECT_EQ(toldBox.list, quietBox.list);

        ASSERT_EQ(trace.steps.size(), told.Steps.size());
        std::int32_t subset = traced.LoadedCount();
        for (std::size_t i = 0; i < trace.steps.size(); ++i) {
            const auto& [step, gains] = trace.steps[i];
            EXPECT_EQ(step.slot, told.Steps[i].slot);
            EXPECT_EQ(step.gain, told.Steps[i].gain);
            EXPECT_LE(step.subset, subset);
            subset = step.subset;
            EXPECT_EQ(step.majority, toldBox.texts[i]);  // what the box showed at that step
            // The chosen slot is the first with the highest gain told.
            if (step.slot != 0 && step.classes >= 2) {
                double best = -1e-100;
                std::int32_t first = 0;
                for (const auto& [slot, gain] : gains)
                    if (gain > best) best = gain, first = slot;
                EXPECT_EQ(first, step.slot);
                EXPECT_EQ(best, step.gain);
            }
        }
        if (!trace.steps.empty()) {
            EXPECT_EQ(trace.steps[0].step.subset, traced.LoadedCount());
        }
    }
}

TEST(ClassifierTraceTest, BayesFactorsMultiplyToTheScores) {
    std::mt19937 random(67);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test::ExampleSetShape shape;
        shape.records = 1 + static_cast<std::int32_t>(random() % 60);
        shape.attributeCount = 1 + static_cast<std::int32_t>(random() % 30);
        shape.classes = 1 + static_cast<std::int32_t>(random() % 6);
        shape.oddValues = round % 3 == 0;
        const auto set = test::MakeExampleSet(shape, random);
        const bool freeBayes = round % 2 == 1;
        TrainingSet plain, traced;
        Fill(plain, set);
        Fill(traced, set);
        BayesClassifier quiet, told;
        Recorded trace;
        told.trace = &trace;
        RecordingBox quietBox, toldBox;
        ASSERT_TRUE(quiet.Run(plain, set.file, set.attributeCount, freeBayes, quietBox));
        ASSERT_TRUE(told.Run(traced, set.file, set.attributeCount, freeBayes, toldBox));
        EXPECT_EQ(toldBox.list, quietBox.list);
        EXPECT_EQ(told.ClassScore, quiet.ClassScore);

        std::size_t valued = 0;
        for (std::int32_t s = 1; s <= set.attributeCount; ++s) valued += set.file[s] != 0;
        ASSERT_EQ(trace.classes.size(), static_cast<std::size_t>(traced.ClassCount()));
        for (std::int32_t c = 1; c <= traced.ClassCount(); ++c) {
            const auto& scored = trace.classes.at(traced.ClassTable()[c].ClassValue);
            EXPECT_EQ(scored.score, told.ClassScore[c]);
            EXPECT_EQ(scored.start, freeBayes ? 1.0
                                              : static_cast<double>(traced.ClassTable()[c].Frequency) /
                                                    traced.LoadedCount());
            ASSERT_EQ(scored.factors.size(), valued);
            double product = scored.start;
            for (const auto& f : scored.factors) {
                EXPECT_NE(set.file[f.slot], 0);
                EXPECT_LE(f.factor, 1.0);
                EXPECT_LE(f.matches, f.known);
                product *= f.factor;
            }
            EXPECT_NEAR(product, scored.score, 1e-9 * scored.score);
        }
    }
}

}  // namespace
}  // namespace morvel
