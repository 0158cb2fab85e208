// The gain-ratio walk: against a plain reference on random example sets, and
// on small sets built to show how it chooses and when it stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "LiteralClassify.h"
#include "RandomExamples.h"
#include "core/classify/DecisionTreeClassifier.h"
#include "core/classify/Id3Classifier.h"

namespace morvel {
namespace {

double Entropy(const std::vector<std::string>& texts) {
    std::vector<std::pair<std::string, std::int32_t>> counts;
    for (const std::string& t : texts) {
        auto it = std::find_if(counts.begin(), counts.end(),
                               [&](const auto& c) { return literal::SameClass(c.first, t); });
        if (it == counts.end()) {
            counts.emplace_back(t, 1);
        } else {
            ++it->second;
        }
    }
    std::vector<std::int32_t> frequencies;
    for (const auto& c : counts) frequencies.push_back(c.second);
    std::sort(frequencies.begin(), frequencies.end(), std::greater<>());
    const auto n = static_cast<double>(texts.size());
    double h = 0;
    for (const std::int32_t f : frequencies) h -= f / n * std::log2(f / n);
    return h;
}

// Gain ratio of slot over the active records that hold a value in it, as
// defined: values taken in increasing order.
double LiteralGainRatio(const literal::Classes& set, std::int32_t slot) {
    std::map<std::int32_t, std::vector<std::string>> byValue;
    std::vector<std::string> all;
    for (std::int32_t r = 1; r <= set.LoadedCount; ++r) {
        const ExampleRecord& record = set.ExampleTable[r];
        if (!record.Active || record.AttributeValues[slot] == 0) continue;
        byValue[record.AttributeValues[slot]].push_back(record.TargetValue);
        all.push_back(record.TargetValue);
    }
    if (all.size() < 2 || byValue.size() < 2) return 0;
    const auto n = static_cast<double>(all.size());
    double within = 0, split = 0;
    for (const auto& [value, texts] : byValue) {
        const double share = static_cast<double>(texts.size()) / n;
        within += share * Entropy(texts);
        split -= share * std::log2(share);
    }
    return (Entropy(all) - within) / split;
}

// The walk written out plainly; fills steps and box as the classifier does.
void LiteralTree(literal::Classes& set, const AttributeSlots& file, std::int32_t attributeCount,
                 std::vector<DecisionTreeClassifier::Step>& steps, ValueBox& box) {
    steps.clear();
    if (set.LoadedCount <= 0) return;
    std::vector<bool> used(attributeCount + 1);
    std::vector<std::string> met;
    auto known = [&](const std::string& s) {
        return std::any_of(met.begin(), met.end(), [&](const auto& m) { return literal::SameClass(m, s); });
    };
    auto anyActive = [&] {
        for (std::int32_t r = 1; r <= set.LoadedCount; ++r)
            if (set.ExampleTable[r].Active) return true;
        return false;
    };
    while (anyActive()) {
        set.CountClasses(0, 0);
        const std::string majority = set.ClassTable[1].ClassValue;
        box.SetText(majority);
        if (!known(majority)) met.push_back(majority);
        box.Yield();
        DecisionTreeClassifier::Step step;
        for (std::int32_t s = 1; s <= attributeCount && set.ClassCount > 1; ++s) {
            if (used[s]) continue;
            bool shared = file[s] == 0;
            for (std::int32_t r = 1; r <= set.LoadedCount; ++r)
                shared = shared ||
                         (set.ExampleTable[r].Active && set.ExampleTable[r].AttributeValues[s] == file[s]);
            if (!shared) continue;
            const double ratio = LiteralGainRatio(set, s);
            if (ratio > 1e-12 && ratio > step.ratio) step = {s, ratio};
        }
        steps.push_back(step);
        if (step.slot == 0) break;
        const std::int32_t f = file[step.slot];
        for (std::int32_t r = 1; r <= set.LoadedCount; ++r) {
            const std::int32_t v = set.ExampleTable[r].AttributeValues[step.slot];
            if (f != 0 && v != 0 && v != f) set.ExampleTable[r].Active = false;
        }
        used[step.slot] = true;
    }
    std::reverse(met.begin(), met.end());
    met.emplace_back();
    for (std::int32_t r = 1; r <= set.LoadedCount; ++r) set.ExampleTable[r].Active = true;
    set.CountClasses(0, 0);
    for (std::int32_t c = 1; c <= set.ClassCount; ++c)
        if (!known(set.ClassTable[c].ClassValue)) met.push_back(set.ClassTable[c].ClassValue);
    for (const std::string& entry : met) box.AddItem(entry);
}

class StepRecorder : public ClassifierTrace {
  public:
    void TreeWalk(const TreeStep& step) override { steps.push_back(step); }
    std::vector<TreeStep> steps;
};

TEST(DecisionTreeTest, WalkMatchesThePlainProcedureOnRandomSets) {
    std::mt19937 random(31);
    DecisionTreeClassifier tree;  // one object for all rounds, as a run reuses it
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test::ExampleSetShape shape;
        shape.records = round % 20 == 7 ? 0 : static_cast<std::int32_t>(random() % 150);
        shape.attributeCount = 1 + static_cast<std::int32_t>(random() % (round % 4 == 0 ? 116 : 20));
        shape.classes = 1 + static_cast<std::int32_t>(random() % 8);
        shape.spellingVariants = random() % 3 != 0;
        shape.oddValues = random() % 3 == 0;
        const auto set = test::MakeExampleSet(shape, random);
        TrainingSet fast;
        literal::Classes slow;
        fast.ClearExamples();
        for (std::size_t r = 0; r < set.values.size(); ++r) {
            fast.AddExample(set.values[r], set.texts[r]);
            slow.Add(set.values[r], set.texts[r]);
        }
        StepRecorder recorder;
        tree.trace = &recorder;
        RecordingBox fastBox, slowBox;
        std::vector<DecisionTreeClassifier::Step> slowSteps;
        ASSERT_TRUE(tree.Run(fast, set.file, set.attributeCount, fastBox));
        LiteralTree(slow, set.file, set.attributeCount, slowSteps, slowBox);
        EXPECT_EQ(tree.Steps, slowSteps);
        EXPECT_EQ(fastBox.texts, slowBox.texts);
        EXPECT_EQ(fastBox.list, slowBox.list);
        EXPECT_EQ(fastBox.yields, slowBox.yields);
        ASSERT_EQ(recorder.steps.size(), tree.Steps.size());
        for (std::size_t i = 0; i < tree.Steps.size(); ++i) {
            EXPECT_EQ(recorder.steps[i].slot, tree.Steps[i].slot);
            EXPECT_EQ(recorder.steps[i].ratio, tree.Steps[i].ratio);
        }
        for (std::int32_t r = 1; r <= fast.LoadedCount(); ++r) EXPECT_TRUE(fast.Active(r));
    }
}

struct Walks {
    DecisionTreeClassifier tree;
    RecordingBox box;
};

void RunTree(Walks& w, const std::vector<std::pair<std::vector<std::int32_t>, std::string>>& examples,
             const AttributeSlots& file) {
    TrainingSet classes;
    classes.ClearExamples();
    for (const auto& [values, text] : examples) classes.AddExample(values, text);
    const auto slots = static_cast<std::int32_t>(examples.front().first.size());
    ASSERT_TRUE(w.tree.Run(classes, file, slots, w.box));
}

TEST(DecisionTreeTest, GainRatioPrefersFewValuesWhereTheId3ScoreTiesToTheLowerSlot) {
    // Slot 1 names each example apart, slot 2 tells the classes apart with two
    // values: both separate the classes fully.
    std::vector<std::pair<std::vector<std::int32_t>, std::string>> examples;
    for (int r = 0; r < 8; ++r) examples.push_back({{r + 1, r % 2 + 1}, r % 2 == 0 ? "even" : "odd"});
    AttributeSlots file{};
    file[1] = 3;
    file[2] = 1;
    Walks w;
    RunTree(w, examples, file);
    ASSERT_FALSE(w.tree.Steps.empty());
    EXPECT_EQ(w.tree.Steps[0].slot, 2);
    EXPECT_DOUBLE_EQ(w.tree.Steps[0].ratio, 1.0);
    EXPECT_EQ(w.box.text, "even");

    TrainingSet classes;
    for (const auto& [values, text] : examples) classes.AddExample(values, text);
    Id3Classifier id3;
    RecordingBox box;
    ASSERT_TRUE(id3.Run(classes, file, 2, box));
    ASSERT_FALSE(id3.Steps.empty());
    EXPECT_EQ(id3.Steps[0].slot, 1);

    // Two equal slots: the lower one is taken.
    Walks twins;
    AttributeSlots twinFile{};
    twinFile[1] = twinFile[2] = 1;
    RunTree(twins, {{{1, 1}, "a"}, {{1, 1}, "a"}, {{2, 2}, "b"}}, twinFile);
    ASSERT_FALSE(twins.tree.Steps.empty());
    EXPECT_EQ(twins.tree.Steps[0].slot, 1);
}

TEST(DecisionTreeTest, WalkStopsAtOneClassAndWhereNoSlotGains) {
    AttributeSlots file{};
    file[1] = 1;
    file[2] = 2;
    // One class in several spellings: no slot is weighed.
    Walks pure;
    RunTree(pure, {{{1, 2}, "Tool"}, {{2, 1}, " tool"}, {{1, 1}, "TOOL"}}, file);
    EXPECT_EQ(pure.tree.Steps, (std::vector<DecisionTreeClassifier::Step>{{0, 0}}));
    EXPECT_EQ(pure.box.list.size(), 2u);  // the class and the empty entry

    // Each value holds both classes in equal shares: nothing to gain (the
    // example without values only makes "a" the majority).
    Walks flat;
    RunTree(flat, {{{1, 1}, "a"}, {{1, 1}, "b"}, {{2, 2}, "a"}, {{2, 2}, "b"}, {{0, 0}, "a"}}, file);
    EXPECT_EQ(flat.tree.Steps, (std::vector<DecisionTreeClassifier::Step>{{0, 0}}));
    EXPECT_EQ(flat.box.text, "a");
    EXPECT_EQ(flat.box.list, (std::vector<std::string>{"a", "", "b"}));

    // Slot 1 separates the classes, then the subset is pure.
    Walks split;
    RunTree(split, {{{1, 5}, "a"}, {{1, 6}, "a"}, {{2, 5}, "b"}, {{2, 6}, "b"}, {{2, 7}, "b"}}, file);
    ASSERT_EQ(split.tree.Steps.size(), 2u);
    EXPECT_EQ(split.tree.Steps[0].slot, 1);
    EXPECT_EQ(split.tree.Steps[1].slot, 0);
    EXPECT_EQ(split.box.texts, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(split.box.list, (std::vector<std::string>{"a", "b", ""}));
}

TEST(DecisionTreeTest, ExamplesWithoutAValueDoNotWeighInTheRatio) {
    AttributeSlots file{};
    file[1] = 1;
    const std::vector<std::pair<std::vector<std::int32_t>, std::string>> valued = {
        {{1}, "a"}, {{1}, "a"}, {{2}, "b"}, {{2}, "a"}};
    auto withZeros = valued;
    for (const char* text : {"b", "b", "c", "c", "c"}) withZeros.push_back({{0}, text});
    Walks plain, zeros;
    RunTree(plain, valued, file);
    RunTree(zeros, withZeros, file);
    ASSERT_FALSE(plain.tree.Steps.empty());
    ASSERT_FALSE(zeros.tree.Steps.empty());
    EXPECT_EQ(zeros.tree.Steps[0].slot, 1);
    EXPECT_GT(plain.tree.Steps[0].ratio, 0);
    EXPECT_EQ(zeros.tree.Steps[0].ratio, plain.tree.Steps[0].ratio);
    // The zeros agree with the file's 1 and outnumber its "a"s.
    EXPECT_EQ(zeros.box.text, "c");
}

// A slot in which no example of the subset shares the file's value cannot
// narrow the file's branch: the walk takes the best slot that can.
TEST(DecisionTreeTest, ASlotWhoseValueForTheFileNoExampleHoldsIsPassedOver) {
    // Slot 1 splits the classes perfectly, but the file's 7 is in no example;
    // slot 2 splits them less well, with the file's value among them.
    AttributeSlots file{};
    file[1] = 7;
    file[2] = 1;
    Walks w;
    RunTree(w, {{{1, 1}, "a"}, {{1, 1}, "a"}, {{2, 1}, "b"}, {{2, 2}, "b"}, {{2, 2}, "b"}}, file);
    ASSERT_FALSE(w.tree.Steps.empty());
    EXPECT_EQ(w.tree.Steps[0].slot, 2);
    EXPECT_EQ(w.box.text, "a");
}

}  // namespace
}  // namespace morvel
