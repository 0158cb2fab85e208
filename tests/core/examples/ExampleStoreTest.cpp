// Reading examples from the store in one pass, against loading them value by
// value; and Remember.
#include <gtest/gtest.h>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/classify/ClassificationRun.h"
#include "core/classify/LiteralClassify.h"
#include "core/classify/RandomExamples.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

class ExampleStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ASSERT_TRUE(SaveSequenceTable(registry, state, {"MZ", "This program", "Вирус"}).ok());
        ASSERT_TRUE(SaveTargetTable(registry, state,
                                    {{"kind", "Kind", "ID3-based"}, {"Род", "Family", "Naive Bayes"}})
                        .ok());
        test::LoadTables(registry, state);
    }
    // Writes one example key with raw values: name -> (type, bytes).
    void WriteExample(const std::string& keyName,
                      const std::vector<std::tuple<std::string, int, std::string>>& values) {
        ASSERT_TRUE(registry.OpenKey(ExamplesKeyPath() + "\\" + keyName));
        for (const auto& [name, type, bytes] : values)
            ASSERT_TRUE(registry.SetKeyValue(ExamplesKeyPath() + "\\" + keyName, name, type, bytes));
    }
    void SetCount(std::int32_t count) {
        ASSERT_TRUE(registry.OpenKey(ExamplesKeyPath()));
        ASSERT_TRUE(registry.SetKeyNumber(ExamplesKeyPath(), "Count", count));
    }
    // Loads target k both ways and compares every loaded record.
    void ExpectSameAsReadingValueByValue(TrainingSet& classes, std::int32_t k) {
        literal::Classes slow;
        slow.LoadExamples(registry, state, k);
        classes.LoadExamples(state, k);
        ASSERT_EQ(classes.LoadedCount(), slow.LoadedCount) << "target " << k;
        for (std::int32_t r = 1; r <= slow.LoadedCount; ++r) {
            EXPECT_EQ(classes.Record(r).TargetValue, slow.ExampleTable[r].TargetValue) << "record " << r;
            EXPECT_EQ(classes.Record(r).AttributeValues, slow.ExampleTable[r].AttributeValues)
                << "record " << r;
            EXPECT_TRUE(classes.Record(r).Active);
        }
    }
    static std::string Number(std::uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    }
    test::TempDir dir;
    Registry registry;
    ConfigTables state;
};

TEST_F(ExampleStoreTest, AnEmptyStoreLoadsNothing) {
    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    EXPECT_EQ(classes.Examples()->storedCount, 0);
    classes.LoadExamples(state, 1);
    EXPECT_EQ(classes.LoadedCount(), 0);
    EXPECT_EQ(classes.CountClasses(0, 0), 0.0);
    EXPECT_EQ(classes.ClassCount(), 0);
}

TEST_F(ExampleStoreTest, OddKeysAndValuesReadAsTheValueReadsSeeThem) {
    const int T = Registry::kTypeText, N = Registry::kTypeNumber;
    WriteExample("Example1", {{"Standard1", N, Number(3)}, {"TargetKind", T, "exe"}, {"Target Род", T, "x"}});
    // Key and value names in another case; a text with a trailing zero; Cyrillic names.
    WriteExample("EXAMPLE2", {{"standard2", N, Number(255)},
                              {"CONTAINmz", N, Number(1)},
                              {"ContainВИРУС", N, Number(2)},
                              {"targetkind", T, std::string("dll\0", 4)},
                              {"TargetРод", T, "Кот"}});
    // Not example 3: a leading zero. Example 4: empty or zero-byte values are no value.
    WriteExample("Example03", {{"TargetKind", T, "never"}});
    WriteExample("Example4", {{"TargetKind", T, ""}, {"TargetРод", T, std::string("\0", 1)}});
    // Odd types: a number as a class value, a text as a slot, a binary value,
    // slot values a hand-edited store could hold, a value of a deleted target.
    WriteExample("Example5", {{"TargetKind", N, Number(10)},
                              {"Standard1", T, "7"},
                              {"TargetРод", 3, "bin"},
                              {"Standard2", N, Number(0xFFFFFFFF)},
                              {"Standard3", N, Number(70000)},
                              {"TargetOld", T, "gone"}});
    WriteExample("Example6", {{"TargetKind", T, "   "}, {"Standard16", N, std::string("\x02", 1)}});
    // Above the count: ignored.
    WriteExample("Example8", {{"TargetKind", T, "too late"}});
    SetCount(7);

    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    EXPECT_EQ(classes.Examples()->storedCount, 7);
    ExpectSameAsReadingValueByValue(classes, 1);
    ExpectSameAsReadingValueByValue(classes, 2);
    classes.LoadExamples(state, 1);
    ASSERT_EQ(classes.LoadedCount(), 4);
    EXPECT_EQ(classes.Record(2).TargetValue, "dll");
    EXPECT_EQ(classes.Record(2).AttributeValues[17], 1);
    EXPECT_EQ(classes.Record(2).AttributeValues[19], 2);
    EXPECT_EQ(classes.Record(3).TargetValue, "&hA");
    EXPECT_EQ(classes.Record(3).AttributeValues[2], -1);
    classes.LoadExamples(state, 2);
    EXPECT_EQ(classes.LoadedCount(), 1);  // example 2: "Target Род" is another name
}

TEST_F(ExampleStoreTest, RandomStoresReadAsTheValueReadsSeeThem) {
    std::mt19937 random(5);
    const auto set = test::MakeExampleSet({300, state.AttributeCount, 6, true, true}, random);
    {
        Registry::WriteGroup group(registry);
        for (std::size_t i = 0; i < set.values.size(); ++i) {
            if (random() % 10 == 0) continue;  // a gap in the numbering
            registry.OpenKey(ExamplesKeyPath() + "\\Example" + std::to_string(i + 1));
            for (int s = 1; s <= state.AttributeCount; ++s)
                if (set.values[i][s - 1] != 0)
                    registry.SetKeyNumber(ExamplesKeyPath() + "\\Example" + std::to_string(i + 1),
                                          state.AttributeNames[s], set.values[i][s - 1]);
            if (random() % 4 != 0)
                registry.SetKeyText(ExamplesKeyPath() + "\\Example" + std::to_string(i + 1), "TargetKind",
                                    set.texts[i]);
            if (random() % 2 != 0)
                registry.SetKeyText(ExamplesKeyPath() + "\\Example" + std::to_string(i + 1), "TargetРод",
                                    set.texts[(i * 7) % set.texts.size()]);
        }
        registry.OpenKey(ExamplesKeyPath());
        registry.SetKeyNumber(ExamplesKeyPath(), "Count", 290);
        ASSERT_TRUE(group.Commit().ok());
    }
    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    ExpectSameAsReadingValueByValue(classes, 1);
    ExpectSameAsReadingValueByValue(classes, 2);
    ExpectSameAsReadingValueByValue(classes, 1);  // a target can be served again

    // Sequences renamed since: the slots follow the names.
    ConfigTables renamed = state;
    ASSERT_TRUE(SaveSequenceTable(registry, renamed, {"Вирус", "new", "MZ"}).ok());
    test::LoadTables(registry, renamed);
    std::swap(state, renamed);
    classes.UseExamples(test::Examples(registry, state));
    ExpectSameAsReadingValueByValue(classes, 2);
}

// The fault pinned: room for "Count" records was made up front, so a
// hand-edited count in the billions could not be loaded at all.
TEST_F(ExampleStoreTest, AHugeCountReadsTheExamplesThereAreAndRememberSaysItIsFull) {
    WriteExample("Example1", {{"TargetKind", Registry::kTypeText, "exe"}});
    SetCount(2147483647);
    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    classes.LoadExamples(state, 1);
    EXPECT_EQ(classes.LoadedCount(), 1);
    ExampleStore store(registry);
    std::int32_t number = -1;
    const Status full = store.Remember(state, AttributeSlots{}, true, {}, &number);
    EXPECT_FALSE(full.ok());
    EXPECT_EQ(number, -1);
    // The refused Remember took no number: the same file stored again, once
    // there is room, is a new example, not the one past the largest.
    SetCount(1);
    ASSERT_TRUE(store.Remember(state, AttributeSlots{}, false, {}, &number).ok());
    EXPECT_EQ(number, 2);
}

TEST_F(ExampleStoreTest, ATargetWithAnUnknownMethodGetsAnEmptyEnabledBox) {
    WriteExample("Example1",
                 {{"TargetKind", Registry::kTypeText, "exe"}, {"TargetРод", Registry::kTypeText, "a"}});
    SetCount(1);
    state.TargetTable[1].Method = "id3-based";  // compared exactly
    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    ClassificationRun run;
    RecordingBox unknown, naive;
    unknown.AddItem("old");
    EXPECT_TRUE(run.ClassifyTarget(classes, state, 1, AttributeSlots{}, unknown));
    EXPECT_EQ(unknown.text, "");
    EXPECT_TRUE(unknown.list.empty());
    EXPECT_TRUE(unknown.enabled);
    EXPECT_EQ(unknown.yields, 1);
    EXPECT_TRUE(run.ClassifyTarget(classes, state, 2, AttributeSlots{}, naive));
    EXPECT_EQ(naive.list, (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(naive.text, "a");
}

class RememberTest : public ExampleStoreTest {
  protected:
    AttributeSlots Vector(std::uint8_t first) {
        AttributeSlots v{};
        v[1] = first;
        v[2] = 0;
        v[17] = 1;
        v[19] = 2;
        return v;
    }
    std::string Text(std::int32_t example, const std::string& name) {
        std::string text;
        registry.GetKeyText(ExamplesKeyPath() + "\\Example" + std::to_string(example), name, text);
        return text;
    }
    std::int32_t Count() { return test::Number(registry, ExamplesKeyPath(), "Count"); }
};

TEST_F(RememberTest, AFreshVectorTakesTheNextNumberAndTheSameFileAgainRewritesIt) {
    ExampleStore store(registry);
    std::int32_t number = 0;
    ASSERT_TRUE(store.Remember(state, Vector(4), true, {{"kind", "exe"}, {"Род", ""}}, &number).ok());
    EXPECT_EQ(number, 1);
    EXPECT_EQ(Count(), 1);
    const std::string key = ExamplesKeyPath() + "\\Example1";
    EXPECT_EQ(test::Number(registry, key, "Standard1"), 4);
    EXPECT_EQ(test::Number(registry, key, "ContainMZ"), 1);
    EXPECT_EQ(test::Number(registry, key, "ContainВирус"), 2);
    EXPECT_FALSE(test::ValuesOf(registry, key).empty());
    EXPECT_EQ(test::ValuesOf(registry, key).size(), 4u);  // no zero slot, no empty value

    // Again without a new computation: the same example; an empty box keeps the old value.
    ASSERT_TRUE(store.Remember(state, Vector(5), false, {{"kind", ""}, {"Род", "кот"}}, &number).ok());
    EXPECT_EQ(number, 1);
    EXPECT_EQ(Count(), 1);
    EXPECT_EQ(Text(1, "TargetKind"), "exe");
    EXPECT_EQ(Text(1, "TargetРод"), "кот");
    EXPECT_EQ(test::Number(registry, key, "Standard1"), 5);

    ASSERT_TRUE(store.Remember(state, Vector(4), true, {}, &number).ok());
    EXPECT_EQ(number, 2);
    EXPECT_EQ(Count(), 2);
    // An example without class values is loaded for no target.
    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    classes.LoadExamples(state, 1);
    EXPECT_EQ(classes.LoadedCount(), 1);
}

// The fault pinned: two programs that read "Count" at the start of their runs
// and remember later took the same number, the later overwriting the earlier.
TEST_F(RememberTest, TwoProgramsRememberingAtOnceNeverShareAnExample) {
    Registry other;
    ASSERT_TRUE(other.Open(dir.Store()).ok());
    // Both read the examples first, as a classification run does.
    EXPECT_EQ(test::Examples(registry, state)->storedCount, 0);
    EXPECT_EQ(test::Examples(other, state)->storedCount, 0);
    ExampleStore first(registry), second(other);
    std::int32_t n1 = 0, n2 = 0;
    ASSERT_TRUE(first.Remember(state, Vector(1), true, {{"kind", "one"}}, &n1).ok());
    ASSERT_TRUE(second.Remember(state, Vector(2), true, {{"kind", "two"}}, &n2).ok());
    EXPECT_EQ(n1, 1);
    EXPECT_EQ(n2, 2);
    EXPECT_EQ(Text(1, "TargetKind"), "one");
    EXPECT_EQ(Text(2, "TargetKind"), "two");
    // The first program remembering its file again rewrites its own example
    // and leaves "Count" where the second put it.
    ASSERT_TRUE(first.Remember(state, Vector(1), false, {{"kind", "uno"}}, &n1).ok());
    EXPECT_EQ(n1, 1);
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Text(1, "TargetKind"), "uno");
    EXPECT_EQ(Text(2, "TargetKind"), "two");
}

TEST_F(RememberTest, AFailedRememberStoresNothingAndSaysSo) {
    ExampleStore store(registry);
    const Status tooLong =
        store.Remember(state, Vector(1), true, {{"kind", "ok"}, {"Род", std::string(1025, 'x')}});
    EXPECT_FALSE(tooLong.ok());
    EXPECT_NE(tooLong.message().find("Род"), std::string::npos);
    EXPECT_FALSE(test::Exists(registry, ExamplesKeyPath()));

    // A store that could not be opened refuses every write.
    const std::string notAStore = dir / "not-a-store.sqlite";
    test::WriteFile(notAStore, std::string(4096, 'x'));
    Registry closed;
    ASSERT_FALSE(closed.Open(notAStore).ok());
    ExampleStore closedStore(closed);
    std::int32_t number = -1;
    const Status refused = closedStore.Remember(state, Vector(1), true, {{"kind", "ok"}}, &number);
    EXPECT_FALSE(refused.ok());
    EXPECT_FALSE(refused.message().empty());
    EXPECT_EQ(number, -1);
    EXPECT_EQ(test::ReadFile(notAStore), std::string(4096, 'x'));
}

}  // namespace
}  // namespace morvel
