#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

#include "core/classify/SwapSort.h"
#include "core/classify/TrainingSet.h"

namespace morvel {
namespace {

// The exchange sort as the procedure states it, on indices.
std::vector<std::int32_t> ExchangeSorted(const std::vector<int>& keys) {
    std::vector<std::int32_t> order(keys.size());
    std::iota(order.begin(), order.end(), 0);
    for (std::size_t i = 1; i < keys.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (keys[order[j]] < keys[order[i]]) std::swap(order[i], order[j]);
    return order;
}

TEST(SwapSortOrderTest, EqualsTheExchangeSortOnEveryShortSequenceAndOnLongRandomOnes) {
    // Every sequence of length 1..7 over the keys 0..3.
    for (int length = 1; length <= 7; ++length) {
        std::vector<int> keys(length, 0);
        while (true) {
            ASSERT_EQ(SwapSortOrder(keys), ExchangeSorted(keys)) << "length " << length;
            int i = 0;
            while (i < length && ++keys[i] == 4) keys[i++] = 0;
            if (i == length) break;
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<int> keys(1 + random() % 400);
        const int range = 1 + static_cast<int>(random() % 40);
        for (auto& k : keys) k = static_cast<int>(random() % range);
        ASSERT_EQ(SwapSortOrder(keys), ExchangeSorted(keys)) << "round " << round;
    }
}

class CountClassesTest : public ::testing::Test {
  protected:
    void Add(const std::string& text, std::vector<std::int32_t> values = {}) {
        classes.AddExample(values, text);
    }
    std::vector<std::pair<std::string, int>> Table() const {
        std::vector<std::pair<std::string, int>> t;
        for (int i = 1; i <= classes.ClassCount(); ++i)
            t.emplace_back(classes.ClassTable()[i].ClassValue, classes.ClassTable()[i].Frequency);
        return t;
    }
    using Table_t = std::vector<std::pair<std::string, int>>;
    TrainingSet classes;
};

TEST_F(CountClassesTest, NoRecordsGiveNoClassesAndZero) {
    EXPECT_EQ(classes.CountClasses(0, 0), 0.0);
    EXPECT_EQ(classes.ClassCount(), 0);
}

TEST_F(CountClassesTest, ValuesDifferingInBlanksAndCaseAreOneClassSpelledAsTheLaterRecord) {
    Add(" Вирус");
    Add("вирус");
    Add("Clean  ");
    EXPECT_EQ(classes.CountClasses(0, 0), 0.0 - (2.0 / 3) * std::log(2.0 / 3) / std::log(2) -
                                              (1.0 / 3) * std::log(1.0 / 3) / std::log(2));
    EXPECT_EQ(Table(), (Table_t{{"вирус", 2}, {"Clean  ", 1}}));
    EXPECT_TRUE(SameClassValue("  ABC ", "abc"));
    EXPECT_FALSE(SameClassValue("a b", "ab"));
    EXPECT_TRUE(SameClassValue("   ", ""));
}

TEST_F(CountClassesTest, EqualFrequenciesFollowTheExchangeSort) {
    for (const char* t : {"a", "b", "b", "a"}) Add(t);
    classes.CountClasses(0, 0);
    EXPECT_EQ(Table(), (Table_t{{"a", 2}, {"b", 2}}));  // a is met first and is never swapped

    classes.ClearExamples();
    for (const char* t : {"c", "b", "a", "a"}) Add(t);  // met as a, b, c: frequencies 2, 1, 1
    classes.CountClasses(0, 0);
    EXPECT_EQ(Table(), (Table_t{{"a", 2}, {"b", 1}, {"c", 1}}));

    classes.ClearExamples();
    for (const char* t : {"x", "x", "b", "a"}) Add(t);  // met as a, b, x: frequencies 1, 1, 2
    classes.CountClasses(0, 0);
    EXPECT_EQ(Table(), (Table_t{{"x", 2}, {"b", 1}, {"a", 1}}));
}

TEST_F(CountClassesTest, EntropyDividesByAllLoadedRecordsAndCanExceedOne) {
    Add("A", {1});
    Add("B", {2});
    EXPECT_EQ(classes.CountClasses(0, 0), 1.0);
    Add("C", {3});
    classes.SetActive(3, false);
    const double h = classes.CountClasses(0, 0);
    EXPECT_EQ(
        h, 0.0 - (1.0 / 3) * std::log(1.0 / 3) / std::log(2) - (1.0 / 3) * std::log(1.0 / 3) / std::log(2));
    EXPECT_NEAR(h, 1.0566, 1e-4);
    // Only active records whose slot holds the value are counted.
    EXPECT_EQ(classes.CountClasses(1, 2), 0.0);
    EXPECT_EQ(Table(), (Table_t{{"B", 1}}));
    EXPECT_EQ(classes.CountClasses(1, 3), 0.0);
    EXPECT_EQ(classes.ClassCount(), 0);
}

TEST_F(CountClassesTest, MoreThanAHundredClassesAreAllKept) {
    for (int i = 0; i < 250; ++i) Add("class " + std::to_string(i % 150));
    classes.CountClasses(0, 0);
    ASSERT_EQ(classes.ClassCount(), 150);
    int total = 0;
    for (int i = 1; i <= 150; ++i) total += classes.ClassTable()[i].Frequency;
    EXPECT_EQ(total, 250);
    EXPECT_EQ(classes.ClassTable()[1].Frequency, 2);
    EXPECT_EQ(classes.ClassTable()[150].Frequency, 1);
}

}  // namespace
}  // namespace morvel
