// The compact rows of the examples read exactly as the values do: after any
// write, any hand edit of the store file, on a store made before they
// existed, and for any sequence table.
#include <gtest/gtest.h>

#include <sstream>

#include "SameExamples.h"
#include "StoreReads.h"
#include "TestSupport.h"
#include "core/config/ConfigTables.h"
#include "core/examples/CompactExamples.h"
#include "core/exchange/RegFileWriter.h"
#include "core/store/KeyPaths.h"
#include "core/store/SqlStatement.h"

namespace morvel {
namespace {

class CompactExamplesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ASSERT_TRUE(SaveSequenceTable(registry, state, {"MZ", "This program", "Вирус"}).ok());
        ASSERT_TRUE(SaveTargetTable(registry, state,
                                    {{"kind", "Kind", "ID3-based"}, {"Род", "Family", "Naive Bayes"}})
                        .ok());
        test::LoadTables(registry, state);
    }
    void WriteRandom(std::int32_t first, std::int32_t n) {
        test::WriteRandomExamples(registry, state, {"kind", "Род", "gone"}, first, n, random);
    }
    // The compact read against the read of the values, for state.
    std::string Difference() {
        return test::FirstDifference(*test::CompactRead(registry, state),
                                     test::ReadFromValues(registry, state));
    }
    // Runs SQL on the store file through a connection of its own, as the
    // sqlite3 shell would.
    void Sql(const std::string& sql) { test::RunSql(dir.Store(), sql); }
    void ExpectRowsEqualValues(std::int64_t dirty) {
        const auto check = CheckCompactExamples(registry);
        EXPECT_EQ(check.stale, 0);
        EXPECT_EQ(check.dirty, dirty);
        // Rows equal to their values leave nothing to refresh: a read then writes nothing.
        bool need = true;
        ASSERT_TRUE(CompactExamplesNeedRefresh(registry, need).ok());
        EXPECT_EQ(need, dirty > 0);
    }

    test::TempDir dir;
    Registry registry;
    ConfigTables state;
    std::mt19937 random{17};
};

TEST_F(CompactExamplesTest, RandomStoresReadAsTheValuesBeforeDuringAndAfterRefresh) {
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::int32_t stored = test::Number(registry, ExamplesKeyPath(), "Count");
        WriteRandom(stored + 1, 1 + static_cast<std::int32_t>(random() % 150));
        EXPECT_EQ(Difference(), "");  // new rows read from the values (or no rows built yet)
        ASSERT_TRUE(RefreshCompactExamples(registry).ok());
        ExpectRowsEqualValues(0);
        EXPECT_EQ(Difference(), "");

        // Another sequence table: the rows follow the names, without a rebuild.
        ConfigTables other = state;
        std::vector<std::string> texts = {"Вирус", "new", "MZ"};
        if (round % 2) texts = {"This program"};
        {
            auto st = SaveSequenceTable(registry, other, texts);
            ASSERT_TRUE(st.ok()) << st.message();
        }
        test::LoadTables(registry, other);
        std::swap(state, other);
        EXPECT_EQ(Difference(), "");
    }
    EXPECT_GT(test::CompactRead(registry, state)->Rows(), 300);
}

TEST_F(CompactExamplesTest, HandEditsOfTheStoreFileAreSeenByTheNextRead) {
    WriteRandom(1, 40);
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    // The key of the n-th example key (0 first), and the examples key.
    auto key = [](int n) {
        return "(SELECT k.id FROM keys k JOIN keys p ON k.parent=p.id WHERE p.lname=CAST('examples' AS BLOB) "
               "ORDER BY k.id "
               "LIMIT 1 OFFSET " +
               std::to_string(n) + ")";
    };
    const std::string examples = "(SELECT id FROM keys WHERE lname=CAST('examples' AS BLOB))";
    const std::string edits[] = {
        "UPDATE vals SET data=x'09000000' WHERE type=4 AND key=" + key(2),
        "UPDATE vals SET type=1, data='clean' WHERE CAST(lname AS TEXT) LIKE 'standard%' AND key=" + key(3),
        "DELETE FROM vals WHERE CAST(lname AS TEXT) LIKE 'target%' AND key=" + key(4),
        "INSERT OR REPLACE INTO vals VALUES(" + key(5) + ", 'targetnew', 'TargetNew', 1, 'fresh')",
        "INSERT OR REPLACE INTO vals VALUES(" + key(6) + ", 'containmz', 'ContainMZ', 4, x'02000000')",
        "UPDATE keys SET lname='example1000', name='Example1000' WHERE id=" + key(7),
        // Takes the name of another example key, which goes without a delete trigger.
        "UPDATE OR REPLACE keys SET lname=(SELECT lname FROM keys WHERE id=" + key(1) +
            ") WHERE id=" + key(8),
        "INSERT OR REPLACE INTO keys(parent, name, lname) SELECT parent, name, lname FROM keys WHERE id=" +
            key(9),
        "DELETE FROM keys WHERE id=" + key(10),
        "UPDATE keys SET parent=0 WHERE id=" + key(11),
        "DELETE FROM vals WHERE key=" + key(12),
        "UPDATE keys SET parent=" + examples + ", lname='example5000' WHERE lname=CAST('contain' AS BLOB)",
        "UPDATE vals SET data=x'a0860100' WHERE lname=CAST('count' AS BLOB) AND key=" + examples,
        "UPDATE vals SET data=x'05000000' WHERE lname=CAST('count' AS BLOB) AND key=" + examples,
    };
    for (const std::string& edit : edits) {
        SCOPED_TRACE(edit);
        Sql(edit);
        EXPECT_EQ(Difference(), "");
        EXPECT_EQ(CheckCompactExamples(registry).stale, 0);
    }
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    ExpectRowsEqualValues(0);
    EXPECT_EQ(Difference(), "");

    // The examples key itself renamed and made again: every row is built anew.
    Sql("UPDATE keys SET lname='old examples' WHERE lname=CAST('examples' AS BLOB)");
    WriteRandom(1, 20);
    EXPECT_EQ(Difference(), "");
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    ExpectRowsEqualValues(0);
    EXPECT_EQ(Difference(), "");
}

TEST_F(CompactExamplesTest, AStoreMadeBeforeCompactRowsGetsThemOnFirstUseInOneGroup) {
    WriteRandom(1, 60);
    // How a store of the earlier program looks: no compact tables, version 0.
    {
        // Everything but the keys and values goes.
        auto s = registry.DerivedStatement(
            "SELECT type, name FROM sqlite_master WHERE name NOT IN ('keys', 'vals') AND type IN "
            "('table', 'trigger')");
        std::string drop;
        ASSERT_TRUE(s->EachRow("the schema", [&] {
                         drop += "DROP " + std::string(s->Blob(0)) + " " + std::string(s->Blob(1)) + ";";
                     }).ok());
        Sql(drop);
    }
    ASSERT_TRUE(registry.Open(dir / "other.sqlite").ok());  // no connection of this process left on the file
    {
        // Opened read-only, it is read from its values and cannot be given rows.
        Registry reader;
        test::ReadOnlyFile readOnly(dir.Store());
        if (readOnly.ok()) {
            ASSERT_TRUE(reader.Open(dir.Store()).ok());
            EXPECT_EQ(
                test::FirstDifference(*test::Examples(reader, state), test::ReadFromValues(reader, state)),
                "");
            EXPECT_FALSE(RefreshCompactExamples(reader).ok());
        }
    }
    Registry upgraded;
    ASSERT_TRUE(upgraded.Open(dir.Store()).ok());
    EXPECT_EQ(CheckCompactExamples(upgraded).stale, -1);  // no rows yet
    {
        // A build in a group that is abandoned leaves nothing built.
        Registry::WriteGroup group(upgraded);
        ASSERT_TRUE(RefreshCompactExamples(upgraded).ok());
    }
    EXPECT_EQ(CheckCompactExamples(upgraded).stale, -1);
    // The first read that can write builds them.
    EXPECT_EQ(test::FirstDifference(*test::Examples(upgraded, state), test::ReadFromValues(upgraded, state)),
              "");
    const auto check = CheckCompactExamples(upgraded);
    EXPECT_EQ(check.stale, 0);
    EXPECT_EQ(check.dirty, 0);
    EXPECT_EQ(
        test::FirstDifference(*test::CompactRead(upgraded, state), test::ReadFromValues(upgraded, state)),
        "");
    // And the upgraded store sees hand edits: a reader that cannot write takes
    // the examples edited from their values, and leaves them marked.
    Sql("DELETE FROM vals WHERE CAST(lname AS TEXT) LIKE 'target%' AND key % 3 = 0");
    EXPECT_EQ(CheckCompactExamples(upgraded).stale, 0);
    {
        Registry reader;
        test::ReadOnlyFile readOnly(dir.Store());
        if (readOnly.ok()) {
            ASSERT_TRUE(upgraded.Open(dir / "other.sqlite").ok());
            ASSERT_TRUE(reader.Open(dir.Store()).ok());
            EXPECT_EQ(
                test::FirstDifference(*test::Examples(reader, state), test::ReadFromValues(reader, state)),
                "");
            EXPECT_GT(CheckCompactExamples(reader).dirty, 0);
        }
    }
    ASSERT_TRUE(upgraded.Open(dir.Store()).ok());
    EXPECT_EQ(test::FirstDifference(*test::Examples(upgraded, state), test::ReadFromValues(upgraded, state)),
              "");
    EXPECT_EQ(CheckCompactExamples(upgraded).dirty, 0);
}

// A trigger dropped by hand could let rows go stale unseen: such rows are not used.
TEST_F(CompactExamplesTest, RowsKeptWithoutTheirTriggersAreBuiltAgain) {
    WriteRandom(1, 30);
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    Sql("DROP TRIGGER compact_vals_update_new; UPDATE vals SET data=x'05000000' WHERE type=4");
    EXPECT_EQ(CheckCompactExamples(registry).stale, -1);
    EXPECT_EQ(Difference(), "");
    EXPECT_EQ(test::FirstDifference(*test::Examples(registry, state), test::ReadFromValues(registry, state)),
              "");
    ExpectRowsEqualValues(0);
}

TEST_F(CompactExamplesTest, DumpShowsTheValuesOnly) {
    WriteRandom(1, 30);
    std::ostringstream before, after;
    ASSERT_TRUE(DumpRegText(registry, "", before));
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    ASSERT_TRUE(DumpRegText(registry, "", after));
    EXPECT_EQ(before.str(), after.str());
}

TEST_F(CompactExamplesTest, RememberKeepsTheRowsInItsOwnGroup) {
    ExampleStore store(registry);
    AttributeSlots vector{};
    vector[1] = 3;
    vector[17] = 2;
    {
        // Remembered in a group that is then abandoned: neither the example nor its row stays.
        Registry::WriteGroup group(registry);
        ASSERT_TRUE(store.Remember(state, vector, true, {{"kind", "exe"}}).ok());
    }
    EXPECT_EQ(test::CompactRead(registry, state)->Rows(), 0);
    ASSERT_TRUE(store.Remember(state, vector, true, {{"kind", "exe"}}).ok());
    ExpectRowsEqualValues(0);
    vector[1] = 4;  // the same file again rewrites its example
    ASSERT_TRUE(store.Remember(state, vector, false, {{"Род", "кот"}}).ok());
    ExpectRowsEqualValues(0);
    EXPECT_EQ(Difference(), "");
    EXPECT_EQ(test::CompactRead(registry, state)->Rows(), 1);
}

TEST_F(CompactExamplesTest, AppendWritesTheRowsOfItsExamplesAndTheTriggersMarkOlderOnesAfterwards) {
    // Into an empty store first: the examples key is new.
    ExampleStore store(registry);
    ExampleBatch batch;
    batch.numberNames = {"Standard3", "ContainВирус", "Standard1", "Note"};
    batch.textNames = {"TargetРод", "Targetkind"};
    batch.rows = 4;
    batch.numbers = {1, 2, 0, 7, 255, 0, 300, -5, 0, 0, 0, 0, 9, 1, 1, 70000};
    batch.texts = {"кот", "exe", "", "  ", "Exe", "", "", ""};
    std::int32_t first = 0;
    ASSERT_TRUE(store.Append(batch, &first).ok());
    EXPECT_EQ(first, 1);
    ExpectRowsEqualValues(0);
    EXPECT_EQ(Difference(), "");

    WriteRandom(5, 30);
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    ASSERT_TRUE(store.Append(batch, &first).ok());
    ExpectRowsEqualValues(0);
    EXPECT_EQ(Difference(), "");
    // Afterwards the triggers mark changes to older examples again.
    WriteRandom(2, 10);
    EXPECT_EQ(CheckCompactExamples(registry).stale, 0);
    EXPECT_EQ(Difference(), "");
    EXPECT_EQ(test::FirstDifference(*test::Examples(registry, state), test::ReadFromValues(registry, state)),
              "");
    ExpectRowsEqualValues(0);

    // A name given twice (in another case) is refused before anything is written.
    const std::int32_t count = test::Number(registry, ExamplesKeyPath(), "Count");
    batch.numberNames[3] = "STANDARD1";
    EXPECT_TRUE(store.Append(batch).IsInvalidInput());
    EXPECT_EQ(test::Number(registry, ExamplesKeyPath(), "Count"), count);
    ExpectRowsEqualValues(0);
}

}  // namespace
}  // namespace morvel
