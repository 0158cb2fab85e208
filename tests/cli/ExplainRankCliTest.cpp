// explain and rank: what they tell agrees with what classify and the ID3 walk
// compute.
#include <gtest/gtest.h>

#include <map>

#include "CliRunner.h"
#include "StoreReads.h"
#include "core/classify/Id3Classifier.h"
#include "core/classify/TrainingSet.h"
#include "core/config/ConfigTables.h"
#include "core/examples/ExampleStore.h"

namespace morvel {
namespace {

class ExplainRankCliTest : public test::CliRunner {
  protected:
    // Three targets, one per method, learned from files told apart by the
    // sequences "virus" and "clean" and by their size.
    void MakeStore() {
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"targets", "add", "fb", "Free", "Free Bayes"}), 0);
        ASSERT_EQ(Run({"targets", "add", "empty", "Nobody", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"sequences", "set", "virus", "clean", "never", "MZ"}), 0);
        const struct {
            const char* name;
            std::string contents;
            const char* kind;
        } files[] = {
            {"v1.exe", "MZ a virus", "bad"},
            {"v2.exe", "MZ virus" + std::string(2000, 'v'), "bad"},
            {"v3.exe", "MZ VIRUS", "bad"},
            {"c1.exe", "MZ clean", "good"},
            {"c2.exe", "MZ clean" + std::string(20000, 'c'), "good"},
            {"m1.exe", "MZ virus, clean", "mixed"},
        };
        for (const auto& f : files) {
            const std::string kind = f.kind;
            ASSERT_EQ(Run({"remember", Put(f.name, f.contents), "kind=" + kind, "fam=" + kind, "fb=" + kind}),
                      0);
        }
    }
    // Per target id, the value line "ID (NAME, METHOD): "TEXT"" of explain.
    std::map<std::string, std::string> ExplainedValues() {
        std::map<std::string, std::string> values;
        for (const auto& line : Lines()) {
            const auto colon = line.find(": \"");
            if (line.starts_with(" ") || colon == std::string::npos) continue;
            values[line.substr(0, line.find(' '))] = line.substr(colon + 3, line.size() - colon - 4);
        }
        return values;
    }
};

TEST_F(ExplainRankCliTest, ExplainGivesTheValuesOfClassify) {
    MakeStore();
    const std::vector<std::string> queries = {Put("q1.exe", "MZ virus"), Put("q2.exe", "clean"),
                                              Put("q3.exe", "MZ virus clean" + std::string(3000, 'q')),
                                              Put("q4.com", "nothing")};
    for (const auto& query : queries) {
        SCOPED_TRACE(query);
        ASSERT_EQ(Run({"classify", query}), 0);
        std::map<std::string, std::string> classified;
        for (const auto& line : Lines()) {
            const auto tab = line.find('\t');
            if (tab != std::string::npos)
                classified[line.substr(0, tab)] = line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
        }
        ASSERT_EQ(Run({"explain", query}), 0);
        EXPECT_EQ(ExplainedValues(), classified) << out.str();
    }
}

TEST_F(ExplainRankCliTest, ExplainTellsTheWalkAndTheScores) {
    MakeStore();
    ASSERT_EQ(Run({"explain", Put("q1.exe", "MZ virus")}), 0);
    const std::string text = out.str();
    EXPECT_TRUE(OutHas("kind (Kind, ID3-based): \"bad\"\n  6 examples; list: \"bad\" ")) << text;
    // No example has a year (the files' last write lies past 2155), so the
    // year's gain is the whole entropy: the walk takes it first, and the
    // file, without a year either, keeps every example.
    EXPECT_TRUE(
        OutHas("  step 1: 6 examples of 3 classes, majority \"bad\"; chose Standard12 year = 0 (not "
               "available), gain 0.9206 (the file has no value here: every example stays)\n"))
        << text;
    EXPECT_TRUE(
        OutHas("  step 2: 6 examples of 3 classes, majority \"bad\"; chose Containclean = 2 (not found), "
               "gain 0.441\n  step 3: 3 examples of 1 class,"))
        << text;
    EXPECT_TRUE(OutHas("one class left")) << text;
    // Bayes: the best class, and three attributes under each class.
    EXPECT_TRUE(OutHas("fam (Family, Naive Bayes): \"bad\"\n  6 examples; list: \"bad\"")) << text;
    EXPECT_TRUE(OutHas("  \"bad\": 1 of the best score (score ")) << text;
    EXPECT_TRUE(OutHas(", starting from 0.5)\n")) << text;  // three of six
    EXPECT_TRUE(OutHas(", starting from 1)\n")) << text;    // Free Bayes
    EXPECT_TRUE(OutHas("Containclean = 2 (not found): 0 of 2 examples with a value match")) << text;
    EXPECT_TRUE(OutHas("empty (Nobody, Naive Bayes): \"\"\n  no examples for this target\n")) << text;

    EXPECT_EQ(Run({"explain", dir / "missing.exe"}), 1);
    EXPECT_TRUE(ErrHas("missing.exe"));
    EXPECT_EQ(Run({"explain"}), 2);
}

TEST_F(ExplainRankCliTest, RankOrdersTheFirstStepGainsAndFlagsSequences) {
    MakeStore();
    ASSERT_EQ(Run({"sequences", "set", "virus", "clean", "never", "MZ", "added later"}), 0);
    ASSERT_EQ(Run({"rank", "--target", "kind"}), 0);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u + 21u);
    EXPECT_EQ(lines[0], "kind (Kind, ID3-based)");

    // The gains are those of the walk's first step, and the first line is the
    // slot the walk chooses.
    Registry registry;
    ASSERT_TRUE(registry.Open(dir.Store()).ok());
    ConfigTables state;
    test::LoadTables(registry, state);
    TrainingSet classes;
    classes.UseExamples(test::Examples(registry, state));
    classes.LoadExamples(state, 1);
    Id3Classifier id3;
    RecordingBox box;
    id3.Run(classes, AttributeSlots{}, state.AttributeCount, box);
    char top[64];
    std::snprintf(top, sizeof top, "%8.4f  ", id3.Steps[0].gain);
    EXPECT_EQ(lines[2].substr(0, 12), "  " + std::string(top).substr(0, 10)) << lines[2];
    EXPECT_NE(lines[2].find(state.AttributeNames[id3.Steps[0].slot]), std::string::npos) << lines[2];
    double previous = 1e9;
    for (std::size_t i = 2; i < lines.size(); ++i) {
        const double gain = std::stod(lines[i]);
        EXPECT_LE(gain, previous) << lines[i];
        previous = gain;
    }
    auto lineOf = [&](const std::string& name) {
        for (const auto& line : lines)
            if (line.find("  " + name) != std::string::npos) return line;
        return std::string();
    };
    EXPECT_TRUE(lineOf("Containnever").ends_with("[never found]"));
    EXPECT_TRUE(lineOf("ContainMZ").ends_with("[found in every example searched for it]"));
    EXPECT_TRUE(lineOf("Containadded later").ends_with("[no example was searched for it]"));
    EXPECT_TRUE(lineOf("Containvirus").find('[') == std::string::npos);
    // Beside the walk's score, the textbook figures: "virus" is found in the
    // three bad files and the mixed one, not in the two good ones, so it
    // leaves H(3/4, 1/4) of H(1/2, 1/3, 1/6) in 4 of 6 examples (0.9183 bits
    // gained) and splits them 4:2 (0.9183 bits): a gain ratio of 1.
    EXPECT_NE(lineOf("Containvirus").find("  0.9183  1.0000  Containvirus"), std::string::npos)
        << lineOf("Containvirus");
    EXPECT_NE(lineOf("Containadded later").find("  -       -  Containadded later"), std::string::npos)
        << lineOf("Containadded later");
    EXPECT_TRUE(lineOf("Standard8 (size class)").find("Standard8") != std::string::npos);

    ASSERT_EQ(Run({"rank"}), 0);
    EXPECT_TRUE(OutHas("empty (Nobody, Naive Bayes)\n  no examples\n"));
    EXPECT_EQ(Run({"rank", "--target", "nope"}), 1);
}

}  // namespace
}  // namespace morvel
