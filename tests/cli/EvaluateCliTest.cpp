// evaluate: the folds, the cross-validation against the plain procedures on
// random example sets, and the command's output and bad input.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <random>

#include "CliRunner.h"
#include "StoreReads.h"
#include "core/classify/Evaluation.h"
#include "core/classify/LiteralClassify.h"
#include "core/classify/RandomExamples.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleCsv.h"
#include "core/platform/Csv.h"

namespace morvel {
namespace {

TEST(StratifiedFoldsTest, EveryFoldHoldsItsShareOfEveryClassAndTheSeedRepeatsThem) {
    std::vector<std::int32_t> classOf;
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 7 - 2 * c; ++i) classOf.push_back(c);  // 7, 5, 3 and 1 records
    std::shuffle(classOf.begin(), classOf.end(), std::mt19937(3));
    const auto folds = StratifiedFolds(classOf, 4, 4, 1);
    ASSERT_EQ(folds.size(), classOf.size());
    std::vector<std::vector<int>> count(4, std::vector<int>(4, 0));  // [class][fold]
    std::vector<int> sizes(4, 0);
    for (std::size_t r = 0; r < folds.size(); ++r) {
        ASSERT_GE(folds[r], 0);
        ASSERT_LT(folds[r], 4);
        ++count[classOf[r]][folds[r]];
        ++sizes[folds[r]];
    }
    EXPECT_EQ(sizes, (std::vector<int>{4, 4, 4, 4}));
    for (const auto& perFold : count)
        EXPECT_LE(*std::max_element(perFold.begin(), perFold.end()) -
                      *std::min_element(perFold.begin(), perFold.end()),
                  1);
    EXPECT_EQ(StratifiedFolds(classOf, 4, 4, 1), folds);
    EXPECT_NE(StratifiedFolds(classOf, 4, 4, 2), folds);
}

// Random example sets stored through an import, evaluated by the command's
// code and by the plain procedures of the tests on the same folds.
class EvaluationTest : public ::testing::Test {
  protected:
    void Store(const test::ExampleSet& set) {
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        std::vector<std::string> sequences;
        for (int s = 17; s <= set.attributeCount; ++s) sequences.push_back("s" + std::to_string(s));
        ASSERT_TRUE(SaveSequenceTable(registry, state, sequences).ok());
        ASSERT_TRUE(
            SaveTargetTable(registry, state,
                            {{"i", "I", "ID3-based"}, {"n", "N", "Naive Bayes"}, {"f", "F", "Free Bayes"}})
                .ok());
        test::LoadTables(registry, state);
        std::string csv;
        for (int s = 1; s <= set.attributeCount; ++s) csv += CsvField(state.AttributeNames[s]) + ",";
        csv += "Targeti,Targetn,Targetf\r\n";
        for (std::size_t r = 0; r < set.values.size(); ++r) {
            for (const std::int32_t v : set.values[r]) csv += (v ? std::to_string(v) : "") + ",";
            const std::string text = CsvField(set.texts[r]);
            csv += text + "," + text + "," + text + "\r\n";
        }
        std::int32_t first = 0, count = 0;
        ExampleStore store(registry);
        ASSERT_TRUE(ImportExamplesCsv(store, csv, &first, &count).ok());
        examples = test::Examples(registry, state);
    }

    // The plain procedures' cross-validation on folds made from their own class order.
    TargetEvaluation Plainly(const test::ExampleSet& set, const std::string& method, std::int32_t folds,
                             std::uint32_t seed) {
        const auto n = static_cast<std::int32_t>(set.values.size());
        literal::Classes all;
        for (std::int32_t r = 0; r < n; ++r) all.Add(set.values[r], set.texts[r]);
        all.CountClasses(0, 0);
        TargetEvaluation e;
        e.examples = n;
        std::vector<std::int32_t> classOf(n);
        for (std::int32_t c = 1; c <= all.ClassCount; ++c) e.classes.push_back(all.ClassTable[c].ClassValue);
        auto classIndex = [&](const std::string& text) {
            for (std::size_t c = 0; c < e.classes.size(); ++c)
                if (literal::SameClass(text, e.classes[c])) return static_cast<std::int32_t>(c);
            return static_cast<std::int32_t>(e.classes.size());
        };
        for (std::int32_t r = 0; r < n; ++r) classOf[r] = classIndex(set.texts[r]);
        e.folds = folds == 0 ? n : std::min(folds, n);
        std::vector<std::int32_t> foldOf(n);
        for (std::int32_t r = 0; r < n; ++r) foldOf[r] = r;
        if (e.folds < n)
            foldOf = StratifiedFolds(classOf, static_cast<std::int32_t>(e.classes.size()), e.folds, seed);
        const auto classCount = e.classes.size();
        e.confusion.assign(classCount, std::vector<std::int32_t>(classCount + 1, 0));
        for (std::int32_t r = 0; r < n; ++r) {
            literal::Classes training;
            for (std::int32_t t = 0; t < n; ++t)
                if (foldOf[t] != foldOf[r]) training.Add(set.values[t], set.texts[t]);
            AttributeSlots vector{};
            for (std::size_t s = 0; s < set.values[r].size(); ++s)
                vector[s + 1] = static_cast<std::uint8_t>(set.values[r][s]);
            RecordingBox box;
            if (method == "ID3-based") training.Id3(vector, set.attributeCount, box);
            if (method != "ID3-based")
                training.Bayes(vector, set.attributeCount, method == "Free Bayes", box);
            ++e.confusion[classOf[r]][classIndex(box.text)];
            e.correct += literal::SameClass(box.text, set.texts[r]);
        }
        return e;
    }

    test::TempDir dir;
    Registry registry;
    ConfigTables state;
    std::shared_ptr<const StoredExamples> examples;
};

TEST_F(EvaluationTest, EachHeldOutExampleIsClassifiedAsThePlainProceduresClassifyIt) {
    std::mt19937 random(41);
    test::ExampleSetShape shape;
    shape.records = 45;
    shape.attributeCount = 22;
    shape.classes = 4;
    const auto set = test::MakeExampleSet(shape, random);
    Store(set);
    for (std::int32_t k = 1; k <= 3; ++k) {
        for (const std::int32_t folds : {0, 4}) {
            SCOPED_TRACE(state.TargetTable[k].Method + ", folds " + std::to_string(folds));
            const auto fast = EvaluateTarget(examples, state, k, folds, 9, 2);
            const auto slow = Plainly(set, state.TargetTable[k].Method, folds, 9);
            EXPECT_EQ(fast.examples, 45);
            EXPECT_EQ(fast.folds, folds == 0 ? 45 : 4);
            EXPECT_EQ(fast.classes, slow.classes);
            EXPECT_EQ(fast.correct, slow.correct);
            EXPECT_EQ(fast.confusion, slow.confusion);
            // The number of workers changes nothing.
            const auto alone = EvaluateTarget(examples, state, k, folds, 9, 1);
            EXPECT_EQ(alone.confusion, fast.confusion);
        }
    }
}

class EvaluateCliTest : public test::CliRunner {
  protected:
    // Six examples: the sequence "x" tells "a" from "b" exactly.
    void MakeStore() {
        ASSERT_EQ(Run({"sequences", "set", "x"}), 0);
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"targets", "add", "none", "Nobody", "Free Bayes"}), 0);
        ASSERT_EQ(Run({"import", "--format", "csv", "-"},
                      "Standard1,Containx,Targetkind,Targetfam\r\n"
                      "1,1,a,A\r\n1,1,a,A\r\n1,1, A ,A\r\n1,2,b,B\r\n1,2,b,B\r\n1,2,b,B\r\n"),
                  0);
    }
};

TEST_F(EvaluateCliTest, AccuracyBaselineAndConfusionPerTarget) {
    MakeStore();
    ASSERT_EQ(Run({"evaluate"}), 0) << err.str();
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "kind (Kind, ID3-based)");
    EXPECT_EQ(lines[1], "  6 examples, leave-one-out");  // fewer examples than the 10 folds
    EXPECT_TRUE(lines[2].starts_with("  accuracy 100.0% (6 of 6), majority baseline 50.0% (")) << lines[2];
    EXPECT_TRUE(lines[3].starts_with("  stored \\ predicted"));
    EXPECT_EQ(lines[5].substr(lines[5].size() - 12), "    0      3");
    EXPECT_EQ(lines[6], "fam (Family, Naive Bayes)");
    EXPECT_EQ(lines[12], "none (Nobody, Free Bayes)");
    EXPECT_EQ(lines[13], "  no examples");
    EXPECT_EQ(Run({"evaluate", "--target", "none"}), 0);
    EXPECT_EQ(out.str(), "none (Nobody, Free Bayes)\n  no examples\n");

    ASSERT_EQ(Run({"evaluate", "--json", "--folds", "3", "--target", "kind"}), 0);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["id"], "kind");
    EXPECT_EQ(json["examples"], 6);
    EXPECT_EQ(json["folds"], 3);
    EXPECT_EQ(json["correct"], 6);
    EXPECT_EQ(json["accuracy"], 1.0);
    EXPECT_EQ(json["baseline"], 0.5);
    EXPECT_EQ(json["frequencies"], nlohmann::json::array({3, 3}));
    // " A " and "a" are one class.
    const auto classes = json["classes"].get<std::vector<std::string>>();
    ASSERT_EQ(classes.size(), 2u);
    const std::size_t a = classes[0] == "b" ? 1 : 0;
    EXPECT_EQ(json["confusion"][a], nlohmann::json::array({a == 0 ? 3 : 0, a == 0 ? 0 : 3, 0}));
    // The fault pinned: the confusion rows had a column more than "classes", unlabelled.
    const auto predicted = json["predicted"];
    ASSERT_EQ(predicted.size(), json["confusion"][0].size());
    EXPECT_EQ(predicted[0], json["classes"][0]);
    EXPECT_TRUE(predicted.back().is_null());
}

TEST_F(EvaluateCliTest, AMethodThatGivesNoValueCountsEveryExampleWrong) {
    MakeStore();
    // Only a hand-edited table can hold a method the program does not know.
    {
        Registry registry;
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ConfigTables state;
        ASSERT_TRUE(SaveTargetTable(registry, state, {{"kind", "Kind", "ID3"}}).ok());
    }
    ASSERT_EQ(Run({"evaluate"}), 0);
    EXPECT_TRUE(OutHas("accuracy 0.0% (0 of 6)")) << out.str();
    EXPECT_TRUE(OutHas("(no value)"));
    ASSERT_EQ(Run({"evaluate", "--json"}), 0);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["confusion"][0][2], 3);
    EXPECT_EQ(json["confusion"][1][2], 3);
}

TEST_F(EvaluateCliTest, TheSeedRepeatsTheFoldsAndBadOptionsAreRefused) {
    MakeStore();
    std::string csv = "Standard1,Standard2,Containx,Targetkind\r\n";
    std::mt19937 random(5);
    for (int i = 0; i < 60; ++i)
        csv += std::to_string(1 + random() % 3) + "," + std::to_string(1 + random() % 4) + "," +
               std::to_string(1 + random() % 2) + "," +
               std::string(1, static_cast<char>('p' + random() % 3)) + "\r\n";
    ASSERT_EQ(Run({"import", "--format", "csv", "-"}, csv), 0);
    ASSERT_EQ(Run({"evaluate", "--target", "kind", "--folds", "5", "--seed", "7", "-j", "2"}), 0);
    const std::string first = out.str();
    EXPECT_TRUE(OutHas("66 examples, 5 folds stratified by class, seed 7")) << first;
    ASSERT_EQ(Run({"evaluate", "--target", "kind", "--folds", "5", "--seed", "7", "-j", "1"}), 0);
    EXPECT_EQ(out.str(), first);

    EXPECT_EQ(Run({"evaluate", "--folds", "1"}), 2);
    EXPECT_EQ(Run({"evaluate", "--folds", "3", "--loo"}), 2);
    EXPECT_EQ(Run({"evaluate", "--seed", "-1"}), 2);
    EXPECT_EQ(Run({"evaluate", "--target", "nope"}), 1);
    EXPECT_TRUE(ErrHas("\"nope\""));
    test::TempDir empty;
    std::ostringstream o, e;
    EXPECT_EQ(RunCli({"morvel-cli", "--store", empty.Store(), "evaluate"}, o, e), 1);
    EXPECT_NE(e.str().find("no targets"), std::string::npos);
}

}  // namespace
}  // namespace morvel
