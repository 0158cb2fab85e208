#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <climits>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/platform/CodePage.h"
#include "core/store/Durability.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

const std::string kBase(kBaseKey);

class RegistryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(registry.Open(dir.Store()).ok()); }

    // Writes one value into key (relative to the base key).
    void Put(const std::string& key, const std::string& name, std::int32_t type, const std::string& bytes) {
        ASSERT_TRUE(registry.OpenKey(kBase + key));
        ASSERT_TRUE(registry.SetKeyValue(kBase + key, name, type, bytes));
    }
    std::string Text(const std::string& key, const std::string& name, bool* found = nullptr) {
        std::string text = "unchanged";
        const bool f = registry.GetKeyText(kBase + key, name, text).ok();
        if (found) *found = f;
        return text;
    }

    test::TempDir dir;
    Registry registry;
};

TEST_F(RegistryTest, ReadsOfMissingKeysFindNothingAndCreateNothing) {
    bool found = true;
    EXPECT_EQ(Text("\\Examples\\Example1", "Standard1", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples", "Count"), 0);
    EXPECT_FALSE(test::Exists(registry, kBase + "\\Examples"));
    EXPECT_FALSE(test::Exists(registry, kBase));
}

TEST_F(RegistryTest, OpenKeyCreatesEveryMissingLevel) {
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Examples\\Example1"));
    EXPECT_TRUE(test::Exists(registry, "SOFTWARE"));
    EXPECT_TRUE(test::Exists(registry, kBase + "\\Examples"));
    EXPECT_TRUE(test::Exists(registry, kBase + "\\Examples\\Example1"));
    ASSERT_TRUE(registry.SetKeyNumber(kBase + "\\Examples\\Example1", "Standard1", 3));
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples\\Example1", "Standard1"), 3);
}

TEST_F(RegistryTest, TextKeepsItsBytesAndDropsExactlyOneTrailingZero) {
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Interface"));
    ASSERT_TRUE(registry.SetKeyText(kBase + "\\Interface", "Plain", "Файл  with blanks "));
    EXPECT_EQ(Text("\\Interface", "Plain"), "Файл  with blanks ");
    Put("\\Interface", "OneZero", 1, std::string("abc\0", 4));
    Put("\\Interface", "TwoZeros", 1, std::string("abc\0\0", 5));
    Put("\\Interface", "OnlyZero", 1, std::string("\0", 1));
    Put("\\Interface", "Empty", 1, "");
    EXPECT_EQ(Text("\\Interface", "OneZero"), "abc");
    EXPECT_EQ(Text("\\Interface", "TwoZeros"), std::string("abc\0", 4));
    bool found = false;
    EXPECT_EQ(Text("\\Interface", "OnlyZero", &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(Text("\\Interface", "Empty", &found), "");
    EXPECT_FALSE(found);
}

TEST_F(RegistryTest, TheLimitIs1024Bytes) {
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Interface"));
    const std::string full(1024, 'x');
    ASSERT_TRUE(registry.SetKeyText(kBase + "\\Interface", "Full", full));
    EXPECT_EQ(Text("\\Interface", "Full"), full);
    // Refused, not truncated, and the previous value stays.
    EXPECT_FALSE(registry.SetKeyText(kBase + "\\Interface", "Full", std::string(1025, 'y')));
    EXPECT_EQ(Text("\\Interface", "Full"), full);
    // 1024 Cyrillic characters are 1024 bytes in the store.
    std::string cyrillic;
    for (int i = 0; i < 1024; ++i) cyrillic += "ж";
    EXPECT_TRUE(registry.SetKeyText(kBase + "\\Interface", "Cyrillic", cyrillic));
    EXPECT_EQ(Text("\\Interface", "Cyrillic"), cyrillic);
    // A stored value of 1025 bytes (imported) reads as not found; with a trailing zero 1024 + 1 is also too
    // long.
    Put("\\Interface", "Long", 1, std::string(1025, 'z'));
    Put("\\Interface", "LongZero", 1, std::string(1024, 'z') + '\0');
    bool found = true;
    EXPECT_EQ(Text("\\Interface", "Long", &found), "");
    EXPECT_FALSE(found);
    Text("\\Interface", "LongZero", &found);
    EXPECT_FALSE(found);
}

TEST_F(RegistryTest, NumbersRoundTripOverTheSigned32BitRange) {
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Numbers"));
    for (std::int32_t v : {0, 255, 256, 65536, 16777216, -1, INT_MIN, INT_MAX}) {
        ASSERT_TRUE(registry.SetKeyNumber(kBase + "\\Numbers", "N", v));
        EXPECT_EQ(test::Number(registry, kBase + "\\Numbers", "N"), v);
    }
    ASSERT_TRUE(registry.SetKeyNumber(kBase + "\\Numbers", "N", 255));
    bool found = false;
    EXPECT_EQ(Text("\\Numbers", "N", &found), "&hFF");
    EXPECT_TRUE(found);
    ASSERT_TRUE(registry.SetKeyText(kBase + "\\Numbers", "T", "12"));
    EXPECT_EQ(test::Number(registry, kBase + "\\Numbers", "T"), 0);
}

TEST_F(RegistryTest, OtherTypesAreFoundAndLeaveTheTextAlone) {
    Put("\\Interface", "Binary", 3, "\x01\x02");
    bool found = false;
    EXPECT_EQ(Text("\\Interface", "Binary", &found), "unchanged");
    EXPECT_TRUE(found);
}

TEST_F(RegistryTest, NamesCompareCaseInsensitivelyAndKeepTheirFirstSpelling) {
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Attributes\\Contain"));
    ASSERT_TRUE(registry.SetKeyText(kBase + "\\Attributes\\Contain", "ContainЭто Программа", "first"));
    ASSERT_TRUE(registry.SetKeyText(kBase + "\\Attributes\\Contain", "CONTAINэто программа", "second"));
    EXPECT_EQ(Text("\\ATTRIBUTES\\contain", "containЭТО ПРОГРАММА"), "second");
    ASSERT_TRUE(registry.OpenKey(kBase + "\\attributes\\CONTAIN"));
    const auto values = test::ValuesOf(registry, kBase + "\\Attributes\\Contain");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "ContainЭто Программа");
    EXPECT_EQ(test::Subkeys(registry, kBase + "\\Attributes"), std::vector<std::string>{"Contain"});
}

TEST_F(RegistryTest, AFailedWriteGroupLeavesNothingHalfWritten) {
    {
        Registry::WriteGroup group(registry);
        ASSERT_TRUE(registry.OpenKey(kBase + "\\Examples"));
        registry.SetKeyNumber(kBase + "\\Examples", "Count", 1);
        registry.OpenKey(kBase + "\\Examples\\Example1");
        registry.SetKeyNumber(kBase + "\\Examples\\Example1", "Standard1", 1);
        EXPECT_FALSE(
            registry.SetKeyText(kBase + "\\Examples\\Example1", "TargetKind", std::string(2000, 'x')));
        registry.SetKeyNumber(kBase + "\\Examples\\Example1", "Standard2", 2);
        const Status s = group.Commit();
        EXPECT_FALSE(s.ok());
        EXPECT_NE(s.message().find("1024"), std::string::npos);
    }
    EXPECT_FALSE(test::Exists(registry, kBase + "\\Examples"));
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples", "Count"), 0);
    // The rolled-back keys are gone from the key cache too: a later write makes them again.
    EXPECT_TRUE(registry.SetKeyNumber(kBase + "\\Examples\\Example1", "Stray", 1));
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples\\Example1", "Stray"), 1);

    {
        Registry::WriteGroup group(registry);
        registry.OpenKey(kBase + "\\Examples");
        registry.SetKeyNumber(kBase + "\\Examples", "Count", 7);
        EXPECT_TRUE(group.Commit().ok());
    }
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples", "Count"), 7);
}

TEST_F(RegistryTest, AGroupDestroyedWithoutCommitRollsBack) {
    {
        Registry::WriteGroup group(registry);
        registry.OpenKey(kBase + "\\Interface");
        registry.SetKeyText(kBase + "\\Interface", "mnFile", "File");
    }
    EXPECT_FALSE(test::Exists(registry, kBase + "\\Interface"));
}

// The fault pinned: a group whose lock another program held let its writes
// through one by one, each committed on its own, and only its Commit failed.
TEST_F(RegistryTest, AGroupThatCannotTakeTheLockWritesNothing) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.Store().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    registry.SetBusyTimeout(10);  // not the usual wait: the lock stays taken
    {
        Registry::WriteGroup group(registry);
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);  // free again, too late for the group
        EXPECT_FALSE(registry.OpenKey(kBase + "\\Examples").ok());
        EXPECT_FALSE(registry.SetKeyNumber(kBase + "\\Examples", "Count", 1).ok());
        const Status s = group.Commit();
        EXPECT_TRUE(s.IsBusy()) << s.message();
    }
    sqlite3_close(other);
    EXPECT_FALSE(test::Exists(registry, kBase + "\\Examples"));
}

TEST_F(RegistryTest, AKeyMadeWithItsValuesReadsAsOneMadeValueByValue) {
    Registry::EncodedName standard, target, key, again;
    ASSERT_TRUE(Registry::EncodeName("Standard1", standard).ok());
    ASSERT_TRUE(Registry::EncodeName("TargetРод", target).ok());
    ASSERT_TRUE(Registry::EncodeName("Example1", key).ok());
    ASSERT_TRUE(Registry::EncodeName("EXAMPLE1", again).ok());
    EXPECT_TRUE(Registry::EncodeName("Target日本", key).IsInvalidInput());
    EXPECT_EQ(codepage::FromAnsi(key.name), "Example1");  // a refused name leaves it as it was

    const std::string number("\x07\x00\x00\x00", 4), text = codepage::ToAnsi("кот");
    const std::string parent = kBase + "\\Examples";
    std::int64_t id = 0;
    ASSERT_TRUE(registry
                    .CreateKeyWithValues(
                        parent, key,
                        {{&standard, Registry::kTypeNumber, number}, {&target, Registry::kTypeText, text}},
                        &id)
                    .ok());
    EXPECT_GT(id, 0);
    EXPECT_EQ(test::Number(registry, parent + "\\example1", "standard1"), 7);
    EXPECT_EQ(Text("\\Examples\\Example1", "TargetРОД"), "кот");
    EXPECT_EQ(test::Subkeys(registry, parent), std::vector<std::string>{"Example1"});

    // A key that exists (in any case) is refused, and nothing of the group stays.
    {
        Registry::WriteGroup group(registry);
        registry.SetKeyNumber(parent, "Count", 1);
        EXPECT_FALSE(
            registry.CreateKeyWithValues(parent, again, {{&standard, Registry::kTypeNumber, number}}).ok());
        EXPECT_FALSE(group.Commit().ok());
    }
    EXPECT_EQ(test::Number(registry, parent, "Count"), 0);
    // Two values of one name are refused as well.
    EXPECT_FALSE(registry
                     .CreateKeyWithValues(parent, again,
                                          {{&standard, Registry::kTypeNumber, number},
                                           {&standard, Registry::kTypeNumber, number}})
                     .ok());
    EXPECT_EQ(test::ValuesOf(registry, parent + "\\Example1").size(), 2u);
}

TEST_F(RegistryTest, WritesAreSeenAtOnceByAnotherInstanceAndSurviveReopening) {
    Registry other;
    ASSERT_TRUE(other.Open(dir.Store()).ok());
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Examples"));
    ASSERT_TRUE(registry.SetKeyNumber(kBase + "\\Examples", "Count", 5));
    EXPECT_EQ(test::Number(other, kBase + "\\Examples", "Count"), 5);
    ASSERT_TRUE(registry.SetKeyNumber(kBase + "\\Examples", "Count", 6));
    EXPECT_EQ(test::Number(other, kBase + "\\examples", "count"), 6);

    Registry reopened;
    ASSERT_TRUE(reopened.Open(dir.Store()).ok());
    EXPECT_EQ(test::Number(reopened, kBase + "\\Examples", "Count"), 6);
}

// The fault pinned: the key ids a Registry had looked up outlived another
// program's removal of the key, so reads of the key made again found nothing
// and writes went into a key that no longer existed, lost.
TEST_F(RegistryTest, KeysRemovedAndMadeAgainByAnotherInstanceAreFoundUnderTheirNewIds) {
    const std::string examples = kBase + "\\Examples";
    Registry other;
    ASSERT_TRUE(other.Open(dir.Store()).ok());
    for (int round = 1; round <= 2; ++round) {
        // Read and written here, then removed and made again there, in and out of groups.
        ASSERT_TRUE(registry.OpenKey(examples));
        ASSERT_TRUE(registry.SetKeyNumber(examples, "Count", 1));
        EXPECT_EQ(test::Number(registry, examples, "Count"), 1);
        {
            Registry::WriteGroup group(other);
            ASSERT_TRUE(other.DeleteKeyTree(examples));
            ASSERT_TRUE(other.OpenKey(kBase + "\\Other"));  // takes the removed key's id when it can
            ASSERT_TRUE(other.OpenKey(examples));
            ASSERT_TRUE(other.SetKeyNumber(examples, "Count", 7));
            ASSERT_TRUE(group.Commit());
        }
        if (round == 1) {
            EXPECT_EQ(test::Number(registry, examples, "Count"), 7);
            ASSERT_TRUE(registry.SetKeyNumber(examples, "Next", 8));
        } else {
            const Registry::ReadSnapshot snapshot(registry);
            EXPECT_EQ(test::Number(registry, examples, "Count"), 7);
        }
        {
            Registry::WriteGroup group(registry);
            ASSERT_TRUE(registry.SetKeyNumber(examples, "Last", 9));
            ASSERT_TRUE(group.Commit());
        }
        EXPECT_EQ(test::Number(other, examples, "Last"), 9) << "round " << round;
        if (round == 1) {
            EXPECT_EQ(test::Number(other, examples, "Next"), 8);
        }
    }
}

TEST(RegistryFileTest, CreatesItsFolder0700AndFile0600) {
    test::TempDir dir;
    const std::string path = dir / "a/morvel/store.sqlite";
    Registry registry;
    ASSERT_TRUE(registry.Open(path).ok());
    struct stat st;
    ASSERT_EQ(stat((dir / "a/morvel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(RegistryFileTest, AFileThatIsNotAStoreIsLeftByteForByte) {
    test::TempDir dir;
    std::string noise;
    for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<char>((i * 7919 + 13) % 256));
    const std::string path = dir / "noise.sqlite";
    test::WriteFile(path, noise);

    Registry registry;
    const Status s = registry.Open(path);
    ASSERT_FALSE(s.ok());
    EXPECT_NE(s.message().find(path), std::string::npos);
    EXPECT_FALSE(registry.IsOpen());
    EXPECT_EQ(test::ReadFile(path), noise);
    // A closed store reads empty and refuses writes.
    EXPECT_EQ(test::Number(registry, kBase, "ShowFound"), 0);
    EXPECT_FALSE(registry.OpenKey(kBase));
    EXPECT_FALSE(registry.SetKeyNumber(kBase, "ShowFound", 1));
    EXPECT_EQ(test::ReadFile(path), noise);
}

TEST(RegistryFileTest, ADatabaseOfAnotherProgramIsLeftAlone) {
    test::TempDir dir;
    const std::string path = dir / "other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('keep me')", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
    const std::string before = test::ReadFile(path);

    Registry registry;
    const Status s = registry.Open(path);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("another program"), std::string::npos);
    EXPECT_EQ(test::ReadFile(path), before);
}

// The faults pinned: the journal and sync settings were asked for without
// looking at the answer, and a statement that could not be prepared made the
// store read as empty without a word.
TEST(RegistryFileTest, AStoreThatCannotKeepWritesDurablySaysSo) {
    sqlite3* memory = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &memory), SQLITE_OK);  // a journal in memory only
    const Status s = MakeDurable(memory);
    EXPECT_TRUE(s.IsIOError());
    EXPECT_NE(s.message().find("memory"), std::string::npos) << s.message();
    sqlite3_close(memory);

    test::TempDir dir;
    Registry registry;
    ASSERT_TRUE(registry.Open(dir.Store()).ok());
    EXPECT_FALSE(registry.IsReadOnly());
}

TEST(RegistryFileTest, AStoreWhoseTablesWereChangedByHandIsRefusedAsDamaged) {
    test::TempDir dir;
    {
        Registry registry;
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ASSERT_TRUE(registry.SetKeyNumber(kBase, "ShowFound", 1));
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.Store().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DROP TABLE vals", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    Registry registry;
    const Status s = registry.Open(dir.Store());
    EXPECT_TRUE(s.IsCorrupt()) << s.message();
    EXPECT_NE(s.message().find(dir.Store()), std::string::npos);
}

TEST(RegistryFileTest, AReadOnlyStoreReadsButRefusesWrites) {
    test::TempDir dir;
    {
        Registry registry;
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        registry.OpenKey(kBase);
        registry.SetKeyNumber(kBase, "ShowFound", 1);
    }
    test::ReadOnlyFile readOnly(dir.Store());
    if (!readOnly.ok()) GTEST_SKIP() << "cannot make a file read-only here";
    Registry registry;
    ASSERT_TRUE(registry.Open(dir.Store()).ok());
    EXPECT_EQ(test::Number(registry, kBase, "ShowFound"), 1);
    Registry::WriteGroup group(registry);
    registry.OpenKey(kBase);
    registry.SetKeyNumber(kBase, "ShowFound", 2);
    const Status s = group.Commit();
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find(dir.Store()), std::string::npos);
    EXPECT_EQ(test::Number(registry, kBase, "ShowFound"), 1);
}

TEST_F(RegistryTest, DeleteKeyTreeRemovesEverythingBelowAndRollsBackWithItsGroup) {
    Put("\\Examples\\Example1", "Standard1", 4, "\x01\0\0\0");
    Put("\\Examples\\Example1\\Deeper", "x", 1, "y");
    Put("\\Examples", "Count", 4, "\x01\0\0\0");
    Put("\\Interface", "mnFile", 1, "File");
    {
        // A group that does not commit takes the removal back.
        Registry::WriteGroup group(registry);
        ASSERT_TRUE(registry.DeleteKeyTree(kBase + "\\EXAMPLES"));
        EXPECT_FALSE(test::Exists(registry, kBase + "\\Examples\\Example1"));
    }
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples\\Example1", "Standard1"), 1);
    EXPECT_EQ(Text("\\Examples\\Example1\\Deeper", "x"), "y");

    ASSERT_TRUE(registry.DeleteKeyTree(kBase + "\\Examples"));
    EXPECT_FALSE(test::Exists(registry, kBase + "\\Examples"));
    EXPECT_FALSE(test::Exists(registry, kBase + "\\Examples\\Example1\\Deeper"));
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples", "Count"), 0);
    EXPECT_EQ(Text("\\Interface", "mnFile"), "File");           // a neighbour stays
    EXPECT_TRUE(registry.DeleteKeyTree(kBase + "\\Examples"));  // a missing key is nothing to do
    // The key can be made again, and the store holds nothing of the old one.
    Put("\\Examples\\Example1", "Standard2", 4, "\x02\0\0\0");
    EXPECT_EQ(test::ValuesOf(registry, kBase + "\\Examples\\Example1").size(), 1u);
    EXPECT_TRUE(test::Subkeys(registry, kBase + "\\Examples\\Example1").empty());
}

// A window releases the connection whenever it waits for the user; a group
// or snapshot under way must keep it, or its writes and reads would be lost.
TEST_F(RegistryTest, AReleasedStoreConnectsAgainForItsNextOperationButKeepsAGroupUnderWay) {
    {
        Registry::WriteGroup group(registry);
        Put("", "InGroup", Registry::kTypeText, "kept");
        registry.Release();
        Put("", "AfterRelease", Registry::kTypeText, "kept too");
        ASSERT_TRUE(group.Commit());
    }
    {
        Registry::ReadSnapshot snapshot(registry);
        EXPECT_EQ(Text("", "InGroup"), "kept");
        registry.Release();
        EXPECT_EQ(Text("", "AfterRelease"), "kept too");
    }
    registry.Release();
    EXPECT_TRUE(registry.IsOpen());
    Registry other;
    ASSERT_TRUE(other.Open(dir.Store()).ok());
    ASSERT_TRUE(other.SetKeyText(kBase, "Meanwhile", "seen"));
    EXPECT_EQ(Text("", "Meanwhile"), "seen");
    registry.Release();
    ASSERT_TRUE(registry.SetKeyText(kBase, "Later", "written"));
    std::string later;
    EXPECT_TRUE(other.GetKeyText(kBase, "Later", later));
    EXPECT_EQ(later, "written");
}

}  // namespace
}  // namespace morvel
