// The table of methods: each entry's name, run and explanation work together,
// and a name outside the table classifies nothing.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "RandomExamples.h"
#include "core/classify/ClassificationMethods.h"
#include "core/classify/ClassificationRun.h"

namespace morvel {
namespace {

// A training set of two classes told apart by slot 1, with noise in slot 2.
void FillTwoClasses(TrainingSet& classes) {
    classes.ClearExamples();
    for (int r = 0; r < 12; ++r)
        classes.AddExample({r % 2 == 0 ? 1 : 2, 1 + r % 3}, r % 2 == 0 ? "even" : "odd");
}

ConfigTables TablesOfTwoSlots() {
    ConfigTables tables;
    BuildAttributeNames(tables);
    tables.AttributeCount = 2;
    return tables;
}

TEST(ClassificationMethodsTest, EachMethodIsFoundByItsExactNameOnly) {
    std::set<std::string_view> names;
    for (const ClassificationMethod* method : ClassificationMethods()) {
        EXPECT_TRUE(names.insert(method->name).second) << "twice: " << method->name;
        EXPECT_EQ(FindMethod(method->name), method);
        std::string lowered(method->name), padded = " " + std::string(method->name);
        for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lowered != method->name) {
            EXPECT_EQ(FindMethod(lowered), nullptr) << lowered;
        }
        EXPECT_EQ(FindMethod(padded), nullptr) << padded;
        EXPECT_NE(QuotedMethodNames(" or ").find("\"" + std::string(method->name) + "\""), std::string::npos);
    }
    EXPECT_FALSE(names.empty());
    EXPECT_EQ(FindMethod(""), nullptr);
}

TEST(ClassificationMethodsTest, EveryMethodClassifiesAndExplainsItsValue) {
    const ConfigTables tables = TablesOfTwoSlots();
    AttributeSlots file{};
    file[1] = 2;
    file[2] = 1;
    for (const ClassificationMethod* method : ClassificationMethods()) {
        SCOPED_TRACE(std::string(method->name));
        TrainingSet classes;
        FillTwoClasses(classes);
        ClassificationRun run;
        const auto trace = method->makeExplainer();
        run.SetTrace(trace.get());
        RecordingBox box;
        ASSERT_TRUE(run.ClassifyLoaded(classes, method->name, tables.AttributeCount, file, box));
        EXPECT_EQ(box.text, "odd");
        EXPECT_TRUE(box.enabled);
        std::ostringstream told;
        trace->Print(tables, file, box, told);
        EXPECT_FALSE(told.str().empty());
        EXPECT_NE(told.str().find(tables.AttributeNames[1]), std::string::npos) << told.str();

        // The same run without a trace, and through the entry found by name.
        RecordingBox quiet;
        FillTwoClasses(classes);
        ClassificationRun plain;
        ASSERT_TRUE(
            plain.ClassifyLoaded(classes, FindMethod(method->name), tables.AttributeCount, file, quiet));
        EXPECT_EQ(quiet.text, box.text);
        EXPECT_EQ(quiet.list, box.list);
    }
}

TEST(ClassificationMethodsTest, AMethodOutsideTheTableLeavesTheBoxEmptyAndEnabled) {
    const ConfigTables tables = TablesOfTwoSlots();
    TrainingSet classes;
    FillTwoClasses(classes);
    ClassificationRun run;
    RecordingBox box;
    box.list = {"stale"};
    EXPECT_TRUE(run.ClassifyLoaded(classes, "no such method", tables.AttributeCount, AttributeSlots{}, box));
    EXPECT_EQ(box.text, "");
    EXPECT_TRUE(box.list.empty());
    EXPECT_TRUE(box.enabled);
    EXPECT_EQ(box.yields, 1);
}

}  // namespace
}  // namespace morvel
