// The table of attribute families: every name the configuration builds is a
// family's, and every code of a slot reads as a meaning of its own.
#include <gtest/gtest.h>

#include <set>

#include "core/config/AttributeFamilies.h"
#include "core/config/ConfigTables.h"

namespace morvel {
namespace {

// Tables with two search sequences, one of them spelled with capitals.
ConfigTables TablesWithSequences() {
    ConfigTables tables;
    tables.SequenceCount = 2;
    tables.SequenceTable[1] = "virus";
    tables.SequenceTable[2] = "Setup";
    BuildAttributeNames(tables);
    return tables;
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

TEST(AttributeFamiliesTest, EveryBuiltNameIsItsFamilysInTheFamiliesOrder) {
    const ConfigTables tables = TablesWithSequences();
    std::size_t family = 0;
    for (std::int32_t s = 1; s <= tables.AttributeCount; ++s) {
        const std::string& name = tables.AttributeNames[s];
        const NamedAttribute a = AttributeNamed(name);
        ASSERT_NE(a.family, nullptr) << name;
        // The slots of one family follow each other, the families in table order.
        while (family < AttributeFamilies().size() && &AttributeFamilies()[family] != a.family) ++family;
        ASSERT_LT(family, AttributeFamilies().size()) << name << " comes before a family listed earlier";
        EXPECT_EQ(a.name, name);
        // Letter case in the prefix or a number does not change the attribute.
        EXPECT_EQ(AttributeNamed(Lowered(name)).codes, a.codes) << name;
    }
    EXPECT_EQ(AttributeNamed("CONTAINSetup").name, tables.AttributeNames[tables.AttributeCount]);
}

TEST(AttributeFamiliesTest, NamesOutsideTheFamiliesAreNoAttribute) {
    for (const AttributeFamily& family : AttributeFamilies()) {
        const std::string prefix(family.prefix);
        if (family.naming != AttributeFamily::Naming::kNumbered) continue;
        for (const std::string& name : {prefix + "0", prefix + std::to_string(family.slotCodes.size() + 1),
                                        prefix + "01", prefix + "1x", prefix, " " + prefix + "1"}) {
            EXPECT_EQ(AttributeNamed(name).family, nullptr) << name;
            EXPECT_EQ(SlotTitle(name), "") << name;
            EXPECT_EQ(ClosedCodeCount(name), 0) << name;
            EXPECT_EQ(ValueMeaning(name, 1), ValueMeaning(name, -1)) << name;
        }
    }
    EXPECT_EQ(AttributeNamed("Targetkind").family, nullptr);
    EXPECT_EQ(AttributeNamed("").family, nullptr);
}

TEST(AttributeFamiliesTest, EachCodeOfAClosedListReadsAsAMeaningOfItsOwn) {
    const ConfigTables tables = TablesWithSequences();
    const std::string unknown = ValueMeaning("", 1);
    for (std::int32_t s = 1; s <= tables.AttributeCount; ++s) {
        const std::string& name = tables.AttributeNames[s];
        SCOPED_TRACE(name);
        const std::int32_t count = ClosedCodeCount(name);
        const std::string none = ValueMeaning(name, 0);
        EXPECT_FALSE(none.empty());
        EXPECT_NE(none, unknown);
        std::set<std::string> meanings;
        for (std::int32_t v = 1; v <= count; ++v) {
            const std::string meaning = ValueMeaning(name, v);
            EXPECT_NE(meaning, unknown) << v;
            EXPECT_NE(meaning, none) << v;
            EXPECT_TRUE(meaning.empty() || meanings.insert(meaning).second) << v << " reads as another code";
        }
        // Past the list, and below 1, a code is unknown; an open list takes every byte.
        if (count > 0) {
            EXPECT_EQ(ValueMeaning(name, count + 1), unknown);
        } else {
            EXPECT_NE(ValueMeaning(name, 255), unknown);
        }
        EXPECT_EQ(ValueMeaning(name, -1), unknown);
        EXPECT_EQ(ValueMeaning(name, 256), unknown);
    }
}

TEST(AttributeFamiliesTest, ADescriptionNamesTheAttributeItsValueAndWhatItMeans) {
    const ConfigTables tables = TablesWithSequences();
    for (std::int32_t s = 1; s <= tables.AttributeCount; ++s) {
        const std::string& name = tables.AttributeNames[s];
        const std::string text = DescribeSlotValue(name, 1);
        EXPECT_TRUE(text.starts_with(name + " ")) << text;
        EXPECT_NE(text.find(SlotTitle(name)), std::string::npos) << text;
        EXPECT_NE(text.find("= 1"), std::string::npos) << text;
        if (const std::string meaning = ValueMeaning(name, 1); !meaning.empty()) {
            EXPECT_TRUE(text.ends_with("(" + meaning + ")")) << text;
        }
    }
}

}  // namespace
}  // namespace morvel
