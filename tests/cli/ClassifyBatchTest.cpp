// classify over folders and lists with several workers.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CliRunner.h"

namespace morvel {
namespace {

class ClassifyBatchTest : public test::CliRunner {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"sequences", "set", "virus", "clean"}), 0);
        ASSERT_EQ(Run({"remember", Put("v1.exe", "virus"), "kind=bad", "fam=bad"}), 0);
        ASSERT_EQ(Run({"remember", Put("c1.exe", "clean"), "kind=good", "fam=good"}), 0);
        for (int i = 0; i < 40; ++i)
            Put("tree/" + std::string(i < 20 ? "" : "sub/") + "f" + std::to_string(100 + i) + ".exe",
                i % 3 == 0 ? "a virus" : (i % 3 == 1 ? "clean" : std::string(i * 300, 'x')));
        Put("tree/notes.txt", "virus");
    }
};

TEST_F(ClassifyBatchTest, ManyWorkersGiveTheOutputOfOneInInputOrder) {
    ASSERT_EQ(Run({"classify", "-r", "--jobs", "1", dir / "tree"}), 0);
    const std::string one = out.str();
    EXPECT_EQ(Lines().size(), 40u * 3);
    EXPECT_TRUE(one.starts_with(dir / "tree/f100.exe\nkind\tbad\t"));
    EXPECT_EQ(one.find("notes.txt"), std::string::npos);  // folders give their executables
    ASSERT_EQ(Run({"classify", "-r", "-j", "4", dir / "tree"}), 0);
    EXPECT_EQ(out.str(), one);
    EXPECT_EQ(err.str(), "");  // no progress line off a terminal

    // Not descending: the 20 files of the folder itself.
    ASSERT_EQ(Run({"classify", "--json", dir / "tree"}), 0);
    EXPECT_EQ(Lines().size(), 20u);
    EXPECT_EQ(nlohmann::json::parse(Lines().back())["path"], dir / "tree/f119.exe");
}

TEST_F(ClassifyBatchTest, PathsFromStandardInputAndFailuresInPlace) {
    const std::string list = dir / "tree/f101.exe\n" + dir / "tree/missing.exe\n" + dir / "tree/notes.txt\n";
    ASSERT_EQ(Run({"classify", "--from", "-", "-j", "3"}, list), 1);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u + 1 + 3u);
    EXPECT_EQ(lines[0], dir / "tree/f101.exe");
    EXPECT_EQ(lines[1], "kind\tgood\tgood |  | bad");
    EXPECT_TRUE(lines[3].starts_with(dir / "tree/missing.exe\terror: ")) << lines[3];
    EXPECT_EQ(lines[4], dir / "tree/notes.txt");  // a file given by name is taken whatever its extension
    EXPECT_TRUE(ErrHas("missing.exe"));

    EXPECT_EQ(Run({"classify"}), 2);
    EXPECT_TRUE(ErrHas("classify needs files"));
    EXPECT_EQ(Run({"classify", "--from", dir / "no-list"}), 1);
}

}  // namespace
}  // namespace morvel
