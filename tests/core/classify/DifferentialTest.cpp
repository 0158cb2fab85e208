// The fast class count, ID3 walk and Bayes scoring against the plain
// procedures of LiteralClassify.h, on random example sets: results must be
// equal exactly, tie orders, spellings and floating-point values included.
#include <gtest/gtest.h>

#include <map>

#include "LiteralClassify.h"
#include "RandomExamples.h"
#include "core/classify/BayesClassifier.h"
#include "core/classify/Id3Classifier.h"

namespace morvel {
namespace {

struct Pair {
    TrainingSet fast;
    literal::Classes slow;
};

void Fill(Pair& p, const test::ExampleSet& set) {
    p.fast.ClearExamples();
    for (std::size_t r = 0; r < set.values.size(); ++r) {
        p.fast.AddExample(set.values[r], set.texts[r]);
        p.slow.Add(set.values[r], set.texts[r]);
    }
}

void ExpectSameClassTables(const TrainingSet& fast, const literal::Classes& slow) {
    ASSERT_EQ(fast.ClassCount(), slow.ClassCount);
    for (int i = 1; i <= fast.ClassCount(); ++i) {
        EXPECT_EQ(fast.ClassTable()[i].ClassValue, slow.ClassTable[i].ClassValue) << "entry " << i;
        EXPECT_EQ(fast.ClassTable()[i].Frequency, slow.ClassTable[i].Frequency) << "entry " << i;
    }
}

void ExpectSameBoxes(const RecordingBox& fast, const RecordingBox& slow) {
    EXPECT_EQ(fast.texts, slow.texts);
    EXPECT_EQ(fast.text, slow.text);
    EXPECT_EQ(fast.list, slow.list);
    EXPECT_EQ(fast.yields, slow.yields);
}

// The shapes the random sets take: sizes, slot counts, class counts (beyond
// 100 included), spelling variants, odd values.
test::ExampleSetShape RandomShape(std::mt19937& random, int round) {
    test::ExampleSetShape shape;
    shape.records = static_cast<std::int32_t>(random() % 120);
    shape.attributeCount = round % 4 == 0 ? 116 : 1 + static_cast<std::int32_t>(random() % 40);
    shape.classes = round % 10 == 0 ? 150 : 1 + static_cast<std::int32_t>(random() % 12);
    if (shape.classes > 100) shape.records = 200 + static_cast<std::int32_t>(random() % 100);
    if (round % 25 == 3) shape.records = 0;  // a target with no examples
    shape.spellingVariants = random() % 4 != 0;
    shape.oddValues = random() % 3 == 0;
    return shape;
}

TEST(DifferentialTest, CountClassesOverRandomSubsetsAndSlotValues) {
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto set = test::MakeExampleSet(RandomShape(random, round), random);
        Pair p;
        Fill(p, set);
        for (int r = 1; r <= p.fast.LoadedCount(); ++r) {
            const bool active = random() % 3 != 0;
            p.fast.SetActive(r, active);
            p.slow.ExampleTable[r].Active = active;
        }
        for (int call = 0; call < 6; ++call) {
            const int slot = call == 0 ? 0 : static_cast<int>(random() % (set.attributeCount + 1));
            const int value = call == 0 ? 0 : static_cast<int>(random() % 6);
            ASSERT_EQ(p.fast.CountClasses(slot, value), p.slow.CountClasses(slot, value))
                << "slot " << slot << " value " << value;
            ExpectSameClassTables(p.fast, p.slow);
        }
    }
}

TEST(DifferentialTest, Id3WalkOverRandomSets) {
    std::mt19937 random(23);
    Id3Classifier id3;  // one object for all rounds, as a run reuses it
    for (int round = 0; round < 250; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        auto shape = RandomShape(random, round);
        if (shape.classes > 100) shape.attributeCount = std::min(shape.attributeCount, 8);
        const auto set = test::MakeExampleSet(shape, random);
        Pair p;
        Fill(p, set);
        RecordingBox fastBox, slowBox;
        ASSERT_TRUE(id3.Run(p.fast, set.file, set.attributeCount, fastBox));
        p.slow.Id3(set.file, set.attributeCount, slowBox);
        ASSERT_EQ(id3.Steps.size(), p.slow.Steps.size());
        for (std::size_t i = 0; i < id3.Steps.size(); ++i) {
            EXPECT_EQ(id3.Steps[i].slot, p.slow.Steps[i].slot) << "step " << i;
            EXPECT_EQ(id3.Steps[i].gain, p.slow.Steps[i].gain) << "step " << i;
        }
        ExpectSameBoxes(fastBox, slowBox);
        ExpectSameClassTables(p.fast, p.slow);
    }
}

TEST(DifferentialTest, NaiveAndFreeBayesOverRandomSets) {
    std::mt19937 random(37);
    BayesClassifier bayes;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const auto set = test::MakeExampleSet(RandomShape(random, round), random);
        const bool freeBayes = round % 2 == 1;
        Pair p;
        Fill(p, set);
        RecordingBox fastBox, slowBox;
        ASSERT_TRUE(bayes.Run(p.fast, set.file, set.attributeCount, freeBayes, fastBox));
        p.slow.Bayes(set.file, set.attributeCount, freeBayes, slowBox);
        ExpectSameBoxes(fastBox, slowBox);
        ExpectSameClassTables(p.fast, p.slow);
        ASSERT_EQ(bayes.ClassScore.size(), p.slow.ClassScore.size());
        for (std::size_t c = 1; c < bayes.ClassScore.size(); ++c)
            EXPECT_EQ(bayes.ClassScore[c], p.slow.ClassScore[c]) << "class " << c;
    }
}

// The examples as a read of the store gives them (a byte per slot, the
// values outside 0..255 aside), for target "k"; the texts in order of first use.
std::shared_ptr<const StoredExamples> AsRead(const test::ExampleSet& set) {
    auto read = std::make_shared<StoredExamples>();
    read->attributeCount = set.attributeCount;
    read->storedCount = static_cast<std::int32_t>(set.values.size());
    read->targetColumns.emplace("targetk", 0);
    read->columns.emplace_back();
    std::map<std::string, std::int32_t> textIndex;
    for (std::size_t r = 0; r < set.values.size(); ++r) {
        const auto row = static_cast<std::int32_t>(r);
        read->numbers.push_back(row + 1);
        read->order.push_back(row);
        for (std::int32_t s = 1; s <= set.attributeCount; ++s) {
            const std::int32_t v = set.values[r][s - 1];
            read->codes.push_back(v >= 0 && v <= 255 ? static_cast<std::uint8_t>(v) : 0);
            if (v < 0 || v > 255) read->wide.push_back({row, s, v});
        }
        auto [it, added] = textIndex.emplace(set.texts[r], static_cast<std::int32_t>(read->texts.size()));
        if (added) read->texts.push_back(set.texts[r]);
        read->columns[0].push_back(it->second);
    }
    return read;
}

// Examples read for fewer slots than the file has (a sequence added since):
// the slots past them read 0, and values outside 0..255 come from aside.
TEST(DifferentialTest, ClassifiersOverAReadOfTheStoreWithFewerSlotsThanTheFile) {
    std::mt19937 random(53);
    Id3Classifier id3;
    BayesClassifier bayes;
    ConfigTables tables;
    tables.TargetCount = 1;
    tables.TargetTable[1].Id = "k";
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        auto shape = RandomShape(random, round);
        shape.classes = std::min(shape.classes, 20);
        shape.oddValues = round % 2 == 0;
        const auto set = test::MakeExampleSet(shape, random);
        const std::int32_t fileSlots = std::min(
            set.attributeCount + 1 + static_cast<std::int32_t>(random() % 5), ConfigTables::kMaxAttributes);
        AttributeSlots file = set.file;
        for (std::int32_t s = set.attributeCount + 1; s <= fileSlots; ++s)
            file[s] = static_cast<std::uint8_t>(random() % 3);

        TrainingSet fast;
        fast.UseExamples(AsRead(set));
        literal::Classes slow;
        for (std::size_t r = 0; r < set.values.size(); ++r) slow.Add(set.values[r], set.texts[r]);
        RecordingBox fastBox, slowBox;
        const std::string method = std::string(round % 3 == 0 ? kMethodId3 : kMethodNaiveBayes);
        fast.LoadExamples(tables, 1);
        ASSERT_EQ(fast.LoadedCount(), slow.LoadedCount);
        if (method == kMethodId3) {
            ASSERT_TRUE(id3.Run(fast, file, fileSlots, fastBox));
            slow.Id3(file, fileSlots, slowBox);
        } else {
            ASSERT_TRUE(bayes.Run(fast, file, fileSlots, round % 2 == 1, fastBox));
            slow.Bayes(file, fileSlots, round % 2 == 1, slowBox);
        }
        ExpectSameBoxes(fastBox, slowBox);
        ExpectSameClassTables(fast, slow);
    }
}

}  // namespace
}  // namespace morvel
