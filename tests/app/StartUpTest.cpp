#include <gtest/gtest.h>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/config/ConfigTables.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

class StartUpTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(registry.Open(dir.Store()).ok()); }
    void Write(const std::string& path, std::initializer_list<std::pair<std::string, std::string>> texts,
               std::int32_t count) {
        ASSERT_TRUE(registry.OpenKey(path));
        registry.SetKeyNumber(path, "Count", count);
        for (const auto& [name, text] : texts) registry.SetKeyText(path, name, text);
    }
    ConfigTables Loaded() {
        ConfigTables state;
        test::LoadTables(registry, state);
        return state;
    }

    test::TempDir dir;
    Registry registry;
};

TEST_F(StartUpTest, AnEmptyStoreGivesEmptyTablesAndTheSixteenGeneralNames) {
    const ConfigTables s = Loaded();
    EXPECT_EQ(s.SequenceCount, 0);
    EXPECT_EQ(s.TargetCount, 0);
    EXPECT_EQ(s.AttributeCount, 16);
    EXPECT_EQ(s.AttributeNames[1], "Standard1");
    EXPECT_EQ(s.AttributeNames[16], "Standard16");
    // The header slots follow, named for the examples that keep them, but
    // classification sees them only once the store's setting turns them on.
    EXPECT_FALSE(s.HeaderAttributes);
    EXPECT_TRUE(s.AttributeNames[17].starts_with("Header"));
    EXPECT_EQ(ExampleSlotCount(s), 16 + ConfigTables::kHeaderSlots);
}

TEST_F(StartUpTest, TheHeaderSettingPutsTheHeaderSlotsAfterTheSequences) {
    Write(ContainKeyPath(), {{"Value1", "MZ"}}, 1);
    ASSERT_TRUE(registry.SetKeyNumber(AttributesKeyPath(), kHeaderAttributesValue, 1).ok());
    ConfigTables s = Loaded();
    ASSERT_TRUE(s.HeaderAttributes);
    EXPECT_EQ(s.AttributeCount, ExampleSlotCount(s));
    EXPECT_EQ(s.AttributeNames[17], "ContainMZ");
    EXPECT_EQ(s.AttributeNames[HeaderSlot(s, header_slot::kMachine)], "HeaderMachine");
    // Any other number leaves them out, as an absent value does.
    ASSERT_TRUE(SaveHeaderAttributes(registry, s, false).ok());
    EXPECT_EQ(Loaded().AttributeCount, 17);
    ASSERT_TRUE(registry.SetKeyNumber(AttributesKeyPath(), kHeaderAttributesValue, 2).ok());
    EXPECT_FALSE(Loaded().HeaderAttributes);
}

TEST_F(StartUpTest, SequencesNameTheirAttributesAndStaleValuesAreIgnored) {
    Write(ContainKeyPath(), {{"Value1", "MZ"}, {"Value2", "This program"}, {"Value3", "stale"}}, 2);
    const ConfigTables s = Loaded();
    EXPECT_EQ(s.SequenceCount, 2);
    EXPECT_EQ(s.AttributeCount, 18);
    EXPECT_EQ(s.AttributeNames[17], "ContainMZ");
    EXPECT_EQ(s.AttributeNames[18], "ContainThis program");
    EXPECT_EQ(s.SequenceTable[3], "");
}

TEST_F(StartUpTest, MissingNumberedValuesGiveEmptyTexts) {
    Write(TargetKeyPath(), {{"Id1", "Kind"}}, 1);
    Write(ContainKeyPath(), {{"Value2", "PE"}}, 2);
    const ConfigTables s = Loaded();
    ASSERT_EQ(s.TargetCount, 1);
    EXPECT_EQ(s.TargetTable[1].Id, "Kind");
    EXPECT_EQ(s.TargetTable[1].Name, "");
    EXPECT_EQ(s.TargetTable[1].Method, "");
    EXPECT_EQ(s.AttributeNames[17], "Contain");
    EXPECT_EQ(s.AttributeNames[18], "ContainPE");
}

TEST_F(StartUpTest, CountsAreClampedToTheTables) {
    Write(ContainKeyPath(), {{"Value100", "last"}, {"Value101", "beyond"}}, 500);
    Write(TargetKeyPath(), {{"Id32", "T32"}, {"Name32", "Тип"}, {"Method32", "Free Bayes"}}, 1000);
    ConfigTables s = Loaded();
    EXPECT_EQ(s.SequenceCount, 100);
    EXPECT_EQ(s.AttributeCount, 116);
    EXPECT_EQ(s.AttributeNames[116], "Containlast");
    EXPECT_EQ(s.TargetCount, 32);
    EXPECT_EQ(s.TargetTable[32].Name, "Тип");

    Write(ContainKeyPath(), {}, -5);
    Write(TargetKeyPath(), {}, INT32_MIN);
    s = Loaded();
    EXPECT_EQ(s.SequenceCount, 0);
    EXPECT_EQ(s.TargetCount, 0);
    EXPECT_EQ(s.AttributeCount, 16);
}

TEST(CommandLineTest, ArgumentsJoinWithOneBlankAndKeepTheirQuotes) {
    EXPECT_EQ(JoinArguments({}), "");
    EXPECT_EQ(JoinArguments({"/home/u/my", "file.exe"}), "/home/u/my file.exe");
    EXPECT_EQ(JoinArguments({"\"/tmp/a.exe\""}), "\"/tmp/a.exe\"");
}

}  // namespace
}  // namespace morvel
