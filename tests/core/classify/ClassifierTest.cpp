// The worked examples of the two classifiers and the edges of the walk.
#include <gtest/gtest.h>

#include "core/classify/BayesClassifier.h"
#include "core/classify/Id3Classifier.h"
#include "core/classify/TrainingSet.h"

namespace morvel {
namespace {

using List = std::vector<std::string>;

AttributeSlots File(std::vector<std::uint8_t> values) {
    AttributeSlots v{};
    for (std::size_t i = 0; i < values.size(); ++i) v[i + 1] = values[i];
    return v;
}

class Id3Test : public ::testing::Test {
  protected:
    void Run(const AttributeSlots& file, int attributeCount) {
        ASSERT_TRUE(id3.Run(classes, file, attributeCount, box));
    }
    TrainingSet classes;
    Id3Classifier id3;
    RecordingBox box;
};

TEST_F(Id3Test, TwoRecordsNarrowToTheOneThatMatchesTheFile) {
    classes.AddExample({1}, "A");
    classes.AddExample({2}, "B");
    Run(File({1}), 1);
    EXPECT_EQ(box.texts, (List{"B", "A"}));  // the tie is met as B first
    EXPECT_EQ(box.text, "A");
    EXPECT_EQ(box.list, (List{"A", "B", ""}));
    EXPECT_EQ(box.yields, 2);
    EXPECT_TRUE(classes.Record(2).Active);  // every record is active again
}

TEST_F(Id3Test, ASlotOfNegativeGainIsNotChosen) {
    // H0 = 0.9464; slot 1 leaves entropy 1 for both values: gain -0.0536.
    classes.AddExample({1}, "a");
    classes.AddExample({2}, "a");
    classes.AddExample({1}, "b");
    classes.AddExample({2}, "c");
    Run(File({1}), 1);
    EXPECT_EQ(box.texts, (List{"a"}));
    EXPECT_EQ(box.list, (List{"a", "", "b", "c"}));
}

TEST_F(Id3Test, APureSubsetGoesOnThroughEverySlotAndZerosMatchEverything) {
    classes.AddExample({1, 0, 3}, "x");
    classes.AddExample({2, 5, 3}, "y");
    classes.AddExample({1, 7, 0}, "X ");
    // Slot 1 = 1 keeps "x" and "X "; slot 2 is 0 in the file; slot 3 keeps the
    // record with 0. The majority keeps the spelling of the highest record.
    Run(File({1, 0, 3}), 3);
    EXPECT_EQ(box.texts, (List{"X ", "X ", "X ", "X "}));
    EXPECT_EQ(box.list, (List{"X ", "", "y"}));
}

TEST_F(Id3Test, NarrowingToNothingEndsTheWalkWithTheMajorityFoundBefore) {
    classes.AddExample({2, 1}, "a");
    classes.AddExample({3, 1}, "b");
    classes.AddExample({3, 2}, "b");
    // Slot 1 separates best; the file's 9 matches no record.
    Run(File({9, 1}), 2);
    EXPECT_EQ(box.texts, (List{"b"}));
    EXPECT_EQ(box.text, "b");
    EXPECT_EQ(box.list, (List{"b", "", "a"}));
}

TEST_F(Id3Test, ValuesOutsideTheByteRangeAreSkippedSafely) {
    classes.AddExample({-5, 1}, "a");
    classes.AddExample({300, 2}, "b");
    classes.AddExample({1, 1}, "a");
    // Slot 1 is chosen; -5 and 300 match neither the file's 1 nor 0.
    Run(File({1, 2}), 2);
    EXPECT_EQ(box.texts, (List{"a", "a"}));
    EXPECT_EQ(box.list, (List{"a", "", "b"}));
}

TEST_F(Id3Test, NoExamplesLeaveTheBoxAlone) {
    Run(File({1}), 1);
    EXPECT_TRUE(box.texts.empty());
    EXPECT_TRUE(box.list.empty());
    EXPECT_EQ(box.yields, 0);
}

TEST_F(Id3Test, ABlankClassIsTheEmptyEntry) {
    classes.AddExample({1}, "a");
    classes.AddExample({2}, "   ");
    classes.AddExample({1}, "a");
    Run(File({1}), 1);
    EXPECT_EQ(box.list, (List{"a", ""}));
}

class BayesTest : public ::testing::Test {
  protected:
    TrainingSet classes;
    BayesClassifier bayes;
    RecordingBox box;
};

TEST_F(BayesTest, NaiveBayesListsClassesWithinAHundredthBeforeTheEmptyEntry) {
    classes.AddExample({1}, "A");
    classes.AddExample({1}, "A");
    classes.AddExample({2}, "B");
    ASSERT_TRUE(bayes.Run(classes, File({1}), 1, false, box));
    EXPECT_EQ(bayes.ClassScore[1], (0.1 / 1 + 2) * (2.0 / 3) / (2 - 0 + 0.1));
    EXPECT_NEAR(bayes.ClassScore[1], 0.6667, 1e-4);
    EXPECT_NEAR(bayes.ClassScore[2], 0.0303, 1e-4);
    EXPECT_EQ(box.texts, (List{"A", "B"}));  // each class is shown while it is scored
    EXPECT_EQ(box.list, (List{"A", "B", ""}));
    EXPECT_EQ(box.text, "A");
}

TEST_F(BayesTest, FreeBayesPutsTheEmptyEntryBeforeAClassUnderAHundredth) {
    for (int i = 0; i < 3; ++i) classes.AddExample({1, 1}, "A");
    classes.AddExample({2, 2}, "B");
    ASSERT_TRUE(bayes.Run(classes, File({1, 1}), 2, true, box));
    EXPECT_NEAR(bayes.ClassScore[1], 1.0, 1e-12);
    EXPECT_NEAR(bayes.ClassScore[2], 0.00826, 1e-5);
    EXPECT_EQ(box.list, (List{"A", "", "B"}));
    EXPECT_EQ(box.text, "A");
}

TEST_F(BayesTest, OnlyRecordsSpelledLikeTheClassFeedItsCounters) {
    // "a" and "A" are one class of frequency 2, spelled "A"; only the "A"
    // record counts: one match, no zero, one distinct value.
    classes.AddExample({5}, "a");
    classes.AddExample({1}, "A");
    ASSERT_TRUE(bayes.Run(classes, File({1}), 1, true, box));
    EXPECT_EQ(bayes.ClassScore[1], (0.1 / 1 + 1) * 1.0 / (2 - 0 + 0.1));
    EXPECT_EQ(box.list, (List{"A", ""}));
}

TEST_F(BayesTest, NoExamplesListOnlyTheSelectedEmptyEntry) {
    box.SetText("typed");
    ASSERT_TRUE(bayes.Run(classes, File({1}), 1, false, box));
    EXPECT_EQ(box.list, (List{""}));
    EXPECT_EQ(box.text, "");
}

// A box whose window closes at the first yield.
class ClosingBox : public RecordingBox {
  public:
    bool Yield() override {
        ++yields;
        return false;
    }
};

TEST(ClassifierStopTest, AClosedWindowEndsBothClassifiersAtTheirFirstYield) {
    TrainingSet classes;
    classes.AddExample({1}, "A");
    classes.AddExample({2}, "B");
    ClosingBox box;
    Id3Classifier id3;
    EXPECT_FALSE(id3.Run(classes, File({1}), 1, box));
    BayesClassifier bayes;
    EXPECT_FALSE(bayes.Run(classes, File({1}), 1, false, box));
    EXPECT_EQ(box.yields, 2);
    EXPECT_TRUE(box.list.empty());
}

}  // namespace
}  // namespace morvel
