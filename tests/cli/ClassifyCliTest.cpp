#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliRunner.h"
#include "TestSupport.h"
#include "cli/Cli.h"

namespace morvel {
namespace {

using List = std::vector<std::string>;

class ClassifyCliTest : public test::CliRunner {};

TEST_F(ClassifyCliTest, WithoutTargetsClassifyAndExplainHintHowToAddOneOnStandardError) {
    const std::string file = Put("setup.exe", "MZ");
    for (const std::string command : {"classify", "explain"}) {
        ASSERT_EQ(Run({command, file}), 0) << command;
        EXPECT_EQ(out.str(), file + "\n") << command;  // the output is as before
        EXPECT_TRUE(ErrHas("targets add")) << err.str();
        const std::string hint = err.str();
        EXPECT_EQ(std::count(hint.begin(), hint.end(), '\n'), 1) << hint;
    }
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    ASSERT_EQ(Run({"classify", file}), 0);
    EXPECT_EQ(err.str(), "");
}

TEST_F(ClassifyCliTest, FromAnEmptyStoreRememberedFilesGiveTheListsOfEachMethod) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind of file", "ID3-based"}), 0);
    ASSERT_EQ(Run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
    ASSERT_EQ(Run({"targets", "add", "fb", "Free", "Free Bayes"}), 0);
    ASSERT_EQ(Run({"targets", "add", "none", "No examples", "Naive Bayes"}), 0);
    EXPECT_EQ(out.str(),
              "kind\tKind of file\tID3-based\nfam\tFamily\tNaive Bayes\nfb\tFree\tFree Bayes\n"
              "none\tNo examples\tNaive Bayes\n");
    ASSERT_EQ(Run({"sequences", "set", "virus", "clean"}), 0);
    // Slot 17 (virus) and 18 (clean) tell the files apart.
    ASSERT_EQ(Run({"remember", Put("v1.exe", "a virus"), "kind=bad", "fam=Bad", "fb=one"}), 0);
    EXPECT_EQ(out.str(), "1\n");
    ASSERT_EQ(Run({"remember", Put("v2.exe", "VIRUS!"), "kind=bad", "fam=bad", "fb=one"}), 0);
    ASSERT_EQ(Run({"remember", Put("c1.exe", "all clean"), "kind=good", "fam=good", "fb=two"}), 0);
    EXPECT_EQ(out.str(), "3\n");

    const std::string query = Put("q1.exe", "virus");
    ASSERT_EQ(Run({"classify", "--json", query}), 0) << err.str();
    const auto line = nlohmann::json::parse(out.str());
    EXPECT_EQ(line["path"], query);
    EXPECT_TRUE(line["ok"].get<bool>());
    const auto& targets = line["targets"];
    ASSERT_EQ(targets.size(), 4u);
    EXPECT_EQ(targets[0]["id"], "kind");
    EXPECT_EQ(targets[0]["name"], "Kind of file");
    EXPECT_EQ(targets[0]["method"], "ID3-based");
    // ID3: slot 17 separates; the virus files are all "bad".
    EXPECT_EQ(targets[0]["text"], "bad");
    EXPECT_EQ(targets[0]["list"].get<List>(), (List{"bad", "", "good"}));
    // Naive Bayes: "Bad" and "bad" are one class of two, but only the record
    // spelled "bad" feeds its counters, which ruins its score.
    EXPECT_EQ(targets[1]["text"], "good");
    EXPECT_EQ(targets[1]["list"].get<List>(), (List{"good", "", "bad"}));
    // Free Bayes: "two" scores (0.1/1.1)² of "one", under a hundredth.
    EXPECT_EQ(targets[2]["text"], "one");
    EXPECT_EQ(targets[2]["list"].get<List>(), (List{"one", "", "two"}));
    EXPECT_EQ(targets[3]["text"], "");
    EXPECT_EQ(targets[3]["list"].get<List>(), (List{""}));

    ASSERT_EQ(Run({"classify", query}), 0);
    EXPECT_EQ(out.str(), query +
                             "\nkind\tbad\tbad |  | good\nfam\tgood\tgood |  | bad\nfb\tone\tone |  | two\n" +
                             "none\t\t\n");
}

TEST_F(ClassifyCliTest, FilesThatCannotBeExaminedAreReportedAndTheOthersClassified) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    const std::string good = Put("a1.exe", "x");
    EXPECT_EQ(Run({"classify", "--json", dir / "missing.exe", good}), 1);
    std::istringstream lines(out.str());
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    const auto failed = nlohmann::json::parse(first);
    EXPECT_FALSE(failed["ok"].get<bool>());
    EXPECT_FALSE(failed["error"].get<std::string>().empty());
    EXPECT_TRUE(nlohmann::json::parse(second)["ok"].get<bool>());
    EXPECT_NE(err.str().find("missing.exe"), std::string::npos);
}

TEST_F(ClassifyCliTest, RememberRefusesBadValuesAndFilesAndStoresNothing) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    const std::string file = Put("a1.exe", "x");
    EXPECT_EQ(Run({"remember", file, "kinds=x"}), 1);
    EXPECT_NE(err.str().find("kinds"), std::string::npos);
    EXPECT_EQ(Run({"remember", file, "kind"}), 1);
    EXPECT_EQ(Run({"remember", file, "kind=a", "kind=b"}), 1);
    EXPECT_EQ(Run({"remember", dir / "missing.exe", "kind=a"}), 1);
    EXPECT_EQ(Run({"dump", "Examples"}), 1);  // no key: nothing was written

    // The value is everything after the first "=", blanks and "=" kept.
    ASSERT_EQ(Run({"remember", file, "kind= a=b "}), 0);
    ASSERT_EQ(Run({"dump", "Examples\\Example1"}), 0);
    EXPECT_NE(out.str().find("\"Targetkind\"=\" a=b \""), std::string::npos);
}

TEST_F(ClassifyCliTest, TargetsAreCheckedAndSavedAsTheEditorSavesThem) {
    EXPECT_EQ(Run({"targets", "add", "k", "K", "naive bayes"}), 1);
    EXPECT_NE(err.str().find("\"Naive Bayes\""), std::string::npos);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(Run({"targets", "add", "t" + std::to_string(i), "T", "Free Bayes"}), 0);
    EXPECT_EQ(Run({"targets", "add", "t33", "T", "Free Bayes"}), 1);
    EXPECT_NE(err.str().find("32"), std::string::npos);
    ASSERT_EQ(Run({"targets", "delete", "t1"}), 0);
    ASSERT_EQ(Run({"targets"}), 0);
    EXPECT_EQ(out.str().substr(0, 28), "t0\tT\tFree Bayes\nt2\tT\tFree Ba");
    EXPECT_EQ(Run({"targets", "delete", "nope"}), 1);
    ASSERT_EQ(Run({"dump", "Attributes\\Target"}), 0);
    EXPECT_NE(out.str().find("\"Count\"=dword:0000001f"), std::string::npos);
    EXPECT_NE(out.str().find("\"Id32\"=\"t31\""), std::string::npos);  // left in place above the count
}

// The fault pinned: identifiers that remember ID=VALUE or the tab-separated
// output cannot address were stored, and a repeated one listed its target twice.
TEST_F(ClassifyCliTest, TargetIdentifiersThatCannotBeAddressedAreRefused) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    for (const std::string id : {"kind", "KIND", "", "a=b", "a\tb", "a\nb", "a\rb"}) {
        EXPECT_EQ(Run({"targets", "add", id, "Name", "Naive Bayes"}), 1) << id;
        EXPECT_TRUE(ErrHas("no target was added")) << err.str();
        ASSERT_EQ(Run({"targets"}), 0);
        EXPECT_EQ(out.str(), "kind\tKind\tID3-based\n");
    }
    // The search texts are listed one per line: a text cannot hold a line break.
    ASSERT_EQ(Run({"sequences", "set", "one"}), 0);
    EXPECT_EQ(Run({"sequences", "set", "two", "three\nfour"}), 1);
    EXPECT_TRUE(ErrHas("line break"));
    ASSERT_EQ(Run({"sequences"}), 0);
    EXPECT_EQ(out.str(), "one\n");
}

}  // namespace
}  // namespace morvel
