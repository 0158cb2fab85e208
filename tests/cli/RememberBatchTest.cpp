// remember over folders and lists: one example per file, all or nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "CliRunner.h"

namespace morvel {
namespace {

class RememberBatchTest : public test::CliRunner {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        ASSERT_EQ(Run({"sequences", "set", "virus", "clean"}), 0);
        for (int i = 0; i < 12; ++i)
            Put("tree/" + std::string(i < 6 ? "" : "sub/") + "f" + std::to_string(10 + i) + ".exe",
                i % 2 ? "a virus" : std::string(i * 700, 'c') + "clean");
        Put("tree/notes.txt", "virus");
    }
    // The examples as export writes them, without the header.
    std::vector<std::string> Examples() {
        EXPECT_EQ(Run({"export", "--format", "csv"}), 0);
        auto lines = Lines();
        if (!lines.empty()) lines.erase(lines.begin());
        for (auto& line : lines)
            if (!line.empty() && line.back() == '\r') line.pop_back();
        return lines;
    }
    // The export line that `remember FILE values...` alone would store as example number.
    std::string AloneAs(const std::string& file, std::vector<std::string> values, int number) {
        test::TempDir other;
        const std::string store = other.Store();
        std::ostringstream o, e;
        auto run = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"morvel-cli", "--store", store});
            return RunCli(args, o, e);
        };
        EXPECT_EQ(run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        EXPECT_EQ(run({"targets", "add", "fam", "Family", "Naive Bayes"}), 0);
        EXPECT_EQ(run({"sequences", "set", "virus", "clean"}), 0);
        values.insert(values.begin(), {"remember", file});
        EXPECT_EQ(run(values), 0);
        o.str("");
        EXPECT_EQ(run({"export", "--format", "csv"}), 0);
        std::string line = o.str().substr(o.str().find('\n') + 1);
        line = line.substr(line.find(','), line.find('\r') - line.find(','));
        return std::to_string(number) + line;
    }
};

TEST_F(RememberBatchTest, EveryFileBecomesOneExampleNumberedInInputOrder) {
    ASSERT_EQ(Run({"remember", dir / "tree/f10.exe", "kind=first"}), 0);
    EXPECT_EQ(out.str(), "1\n");  // one file: its number, as always

    ASSERT_EQ(Run({"remember", "-r", "-j", "3", dir / "tree", "kind=bad", "fam=x y"}), 0);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 12u);  // the folders' executables, not notes.txt
    EXPECT_EQ(lines.front(), dir / "tree/f10.exe\t2");
    EXPECT_EQ(lines.back(), dir / "tree/sub/f21.exe\t13");
    const auto examples = Examples();
    ASSERT_EQ(examples.size(), 13u);
    // Each example holds what remembering its file alone would hold.
    EXPECT_EQ(examples[1], AloneAs(dir / "tree/f10.exe", {"kind=bad", "fam=x y"}, 2));
    EXPECT_EQ(examples[12], AloneAs(dir / "tree/sub/f21.exe", {"kind=bad", "fam=x y"}, 13));

    // A list (read from standard input) gives its files in its order, one worker or many alike.
    const std::string list = dir / "tree/f15.exe\n" + dir / "tree/notes.txt\n" + dir / "tree/f11.exe\n";
    ASSERT_EQ(Run({"remember", "--from", "-", "-j", "1", "kind=listed"}, list), 0);
    EXPECT_EQ(out.str(),
              dir / "tree/f15.exe\t14\n" + dir / "tree/notes.txt\t15\n" + dir / "tree/f11.exe\t16\n");
    EXPECT_EQ(Examples().back(), AloneAs(dir / "tree/f11.exe", {"kind=listed"}, 16));
}

TEST_F(RememberBatchTest, AFileThatCannotBeExaminedStopsTheCommandWithNothingStored) {
    const std::string list = dir / "tree/f10.exe\n" + dir / "tree/missing.exe\n" + dir / "tree/f11.exe\n";
    EXPECT_EQ(Run({"remember", "--from", "-", "kind=k"}, list), 1);
    EXPECT_TRUE(ErrHas("missing.exe")) << err.str();
    EXPECT_TRUE(ErrHas("nothing was stored"));
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(Examples().empty());

    // --skip-errors stores the others, numbered without a gap, and lists what it skipped.
    EXPECT_EQ(Run({"remember", "--from", "-", "--skip-errors", "kind=k"}, list), 1);
    EXPECT_EQ(out.str(), dir / "tree/f10.exe\t1\n" + dir / "tree/f11.exe\t2\n");
    EXPECT_TRUE(ErrHas("missing.exe")) << err.str();
    EXPECT_TRUE(ErrHas("skipped"));
    EXPECT_EQ(Examples().size(), 2u);
}

TEST_F(RememberBatchTest, ValuesAreCheckedBeforeAnyFileIsStored) {
    EXPECT_EQ(Run({"remember", "-r", dir / "tree", "kind=ok", "nope=1"}), 1);
    EXPECT_TRUE(ErrHas("no target has the identifier \"nope\""));
    EXPECT_EQ(Run({"remember", "-r", dir / "tree", "kind=a", "kind=b"}), 1);
    EXPECT_TRUE(ErrHas("given twice"));
    EXPECT_EQ(Run({"remember", "-r", dir / "tree", "kind=日本"}), 1);
    EXPECT_TRUE(ErrHas("nothing was stored"));
    EXPECT_TRUE(Examples().empty());
    EXPECT_EQ(Run({"remember"}), 2);
}

TEST_F(RememberBatchTest, TheFirstArgumentIsAFileWhateverItHolds) {
    // A file whose name holds "=" is still the file of `remember FILE`.
    const std::string odd = Put("a=b.exe", "virus");
    ASSERT_EQ(Run({"remember", odd, "kind=odd"}), 0);
    EXPECT_EQ(out.str(), "1\n");
    // With --from, the values may stand alone.
    ASSERT_EQ(Run({"remember", "--from", "-", "kind=listed"}, odd + "\n"), 0);
    EXPECT_EQ(out.str(), odd + "\t2\n");
}

}  // namespace
}  // namespace morvel
