#include <gtest/gtest.h>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

using Rows = std::vector<std::string>;

TEST(DistinctSequencesTest, DropsEmptyRowsAndCaseInsensitiveRepeatsKeepingTheFirstSpelling) {
    EXPECT_EQ(DistinctSequences({"MZ", "PE", "mz"}), (Rows{"MZ", "PE"}));
    EXPECT_EQ(DistinctSequences({"ab", "cd", "AB"}), (Rows{"ab", "cd"}));
    EXPECT_EQ(DistinctSequences({"", "Вирус", " ", "ВИРУС", "  "}), (Rows{"Вирус", " ", "  "}));
}

class SaveSequenceTableTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(registry.Open(dir.Store()).ok()); }
    test::TempDir dir;
    Registry registry;
    ConfigTables state;
};

TEST_F(SaveSequenceTableTest, WritesCountAndValuesAndLeavesHigherValuesInPlace) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"a", "b", "c", "d"}).ok());
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"x", "", "X", "y"}).ok());
    EXPECT_EQ(state.SequenceCount, 2);
    EXPECT_EQ(state.SequenceTable[2], "y");
    const std::string key = ContainKeyPath();
    EXPECT_EQ(test::Number(registry, key, "Count"), 2);
    std::string text;
    registry.GetKeyText(key, "Value2", text);
    EXPECT_EQ(text, "y");
    registry.GetKeyText(key, "Value4", text);
    EXPECT_EQ(text, "d");
}

TEST_F(SaveSequenceTableTest, TheAttributeNamesFollowTheSavedTable) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"MZ", "PE"}).ok());
    EXPECT_EQ(state.AttributeCount, 18);
    EXPECT_EQ(state.AttributeNames[16], "Standard16");
    EXPECT_EQ(state.AttributeNames[18], "ContainPE");
    // A vector computed with the new table must not be stored under the old names.
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"pe", "Вирус", "PE"}).ok());
    EXPECT_EQ(state.AttributeCount, 18);
    EXPECT_EQ(state.AttributeNames[17], "Containpe");
    EXPECT_EQ(state.AttributeNames[18], "ContainВирус");
    // A refused save leaves them as they were.
    EXPECT_FALSE(SaveSequenceTable(registry, state, {"x", std::string(1100, 'y')}).ok());
    EXPECT_EQ(state.AttributeNames[17], "Containpe");
    ASSERT_TRUE(SaveSequenceTable(registry, state, {}).ok());
    EXPECT_EQ(state.AttributeCount, 16);
}

TEST_F(SaveSequenceTableTest, AnEmptyListWritesCountZero) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {}).ok());
    EXPECT_EQ(state.SequenceCount, 0);
    EXPECT_TRUE(test::Exists(registry, ContainKeyPath()));
    EXPECT_EQ(test::Number(registry, ContainKeyPath(), "Count"), 0);
}

TEST_F(SaveSequenceTableTest, MoreThanAHundredDistinctTextsAreRefusedAndNothingChanges) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"keep"}).ok());
    Rows rows;
    for (int i = 0; i < 101; ++i) rows.push_back("s" + std::to_string(i));
    rows.push_back("S0");  // a repeat does not count
    const Status s = SaveSequenceTable(registry, state, rows);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("100"), std::string::npos);
    EXPECT_EQ(state.SequenceCount, 1);
    EXPECT_EQ(test::Number(registry, ContainKeyPath(), "Count"), 1);
    rows.resize(100);
    EXPECT_TRUE(SaveSequenceTable(registry, state, rows).ok());
    EXPECT_EQ(state.SequenceCount, 100);
}

TEST_F(SaveSequenceTableTest, AFailedWriteLeavesTheTableInMemoryAsItWas) {
    ASSERT_TRUE(SaveSequenceTable(registry, state, {"MZ"}).ok());
    const Status s = SaveSequenceTable(registry, state, {"PE", std::string(1100, 'x')});
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(state.SequenceCount, 1);
    EXPECT_EQ(state.SequenceTable[1], "MZ");
    std::string text;
    registry.GetKeyText(ContainKeyPath(), "Value1", text);
    EXPECT_EQ(text, "MZ");
}

}  // namespace
}  // namespace morvel
