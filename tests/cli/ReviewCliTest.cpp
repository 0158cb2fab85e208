// review: which files it leaves out as taught, and the order it lists the
// others in.
#include <nlohmann/json.hpp>

#include "cli/CliRunner.h"

namespace morvel::test {
namespace {

class ReviewCliTest : public CliRunner {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"sequences", "set", "alpha", "beta", "gamma", "delta"}), 0);
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "Decision tree"}), 0);
        ASSERT_EQ(Run({"targets", "add", "maker", "Maker", "Naive Bayes"}), 0);
    }
    // The JSON lines of the last output.
    std::vector<nlohmann::json> JsonLines() const {
        std::vector<nlohmann::json> lines;
        for (const auto& line : Lines()) lines.push_back(nlohmann::json::parse(line));
        return lines;
    }
};

TEST_F(ReviewCliTest, LeavesOutFilesWhoseContentsAStoredExampleHolds) {
    ASSERT_EQ(Run({"remember", Put("taught/one.exe", "alpha beta 1"), "kind=a"}), 0);
    ASSERT_EQ(Run({"remember", "-r", dir / "taught", "kind=a"}), 0);  // the same file once more
    Put("folder/renamed.exe", "alpha beta 1");
    const std::string other = Put("folder/other.exe", "alpha beta 2");

    ASSERT_EQ(Run({"review", "--json", "-q", dir / "folder"}), 0) << err.str();
    const auto lines = JsonLines();
    ASSERT_EQ(lines.size(), 2u);  // one line per target, for the file not taught
    for (const auto& line : lines) EXPECT_EQ(line["path"], other);
    EXPECT_TRUE(ErrHas("1 file is taught already"));
    // classify --taught names the example that holds a file.
    ASSERT_EQ(Run({"classify", "--taught", "--json", "-q", dir / "folder/renamed.exe", other}), 0);
    const auto classified = JsonLines();
    ASSERT_EQ(classified.size(), 2u);
    EXPECT_EQ(classified[0]["taught"], 1);
    EXPECT_EQ(classified[1]["taught"], 0);

    // An example stored before digests were kept leaves nothing out.
    ASSERT_EQ(Run({"import", "--format", "csv", "-"}, "example,Targetkind\n1,b\n"), 0) << err.str();
    ASSERT_EQ(Run({"review", "--json", "-q", "--target", "kind", dir / "folder"}), 0);
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(ReviewCliTest, ListsTheFilesMostWorthTeachingFirstPerTarget) {
    for (const char* name : {"t1", "t2", "t3"})
        ASSERT_EQ(
            Run({"remember", Put(std::string("taught/") + name + ".exe", std::string("alpha beta ") + name),
                 "kind=a"}),
            0);
    const std::string near = Put("folder/near.exe", "alpha beta near");
    const std::string novel = Put("folder/newx.exe", "gamma delta novel");

    ASSERT_EQ(Run({"review", "--json", "-q", dir / "folder"}), 0) << err.str();
    const auto lines = JsonLines();
    ASSERT_EQ(lines.size(), 4u);
    // kind: the file unlike the taught ones first; both predicted as taught.
    EXPECT_EQ(lines[0]["target"], "kind");
    EXPECT_EQ(lines[0]["path"], novel);
    EXPECT_EQ(lines[1]["path"], near);
    EXPECT_GT(lines[0]["novelty"].get<double>(), lines[1]["novelty"].get<double>());
    EXPECT_GT(lines[0]["worth"].get<double>(), lines[1]["worth"].get<double>());
    EXPECT_EQ(lines[0]["value"], "a");
    EXPECT_EQ(lines[0]["examples"], 3);
    // maker has no examples: every file is as worth teaching, in input order.
    for (std::size_t i : {2u, 3u}) {
        EXPECT_EQ(lines[i]["target"], "maker");
        EXPECT_EQ(lines[i]["examples"], 0);
        EXPECT_EQ(lines[i]["worth"], 1.0);
    }

    ASSERT_EQ(Run({"review", "--top", "1", "-q", dir / "folder"}), 0);
    const auto text = Lines();
    ASSERT_EQ(text.size(), 4u);  // a heading and one file per target
    EXPECT_NE(text[1].find(novel), std::string::npos);

    EXPECT_EQ(Run({"review", "--target", "nosuch", dir / "folder"}), 2);
    EXPECT_TRUE(ErrHas("nosuch"));
}

}  // namespace
}  // namespace morvel::test
