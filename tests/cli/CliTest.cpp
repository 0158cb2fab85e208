#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "cli/Cli.h"

namespace morvel {
namespace {

// Runs morvel-cli in-process against the test's own store.
class CliTest : public ::testing::Test {
  protected:
    int Run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        args.insert(args.begin(), {"morvel-cli", "--store", dir.Store()});
        return RunCli(args, out, err);
    }
    test::TempDir dir;
    std::ostringstream out, err;
};

TEST_F(CliTest, DumpOfANewStoreIsTheHeaderAlone) {
    EXPECT_EQ(Run({"dump"}), 0);
    EXPECT_EQ(out.str(), "REGEDIT4\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CliTest, DumpOfAFileThatIsNotAStoreFailsAndLeavesIt) {
    const std::string path = dir / "random.bin";
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 131 + 7) % 251));
    test::WriteFile(path, bytes);
    std::ostringstream o, e;
    EXPECT_EQ(RunCli({"morvel-cli", "dump", "--store", path}, o, e), 2);
    EXPECT_NE(e.str().find(path), std::string::npos);
    EXPECT_EQ(test::ReadFile(path), bytes);
}

TEST_F(CliTest, SequencesSetCleansAndDumpShowsTheKey) {
    EXPECT_EQ(Run({"sequences", "set", "MZ", "PE", "mz", "", "This program"}), 0);
    EXPECT_EQ(out.str(), "MZ\nPE\nThis program\n");
    EXPECT_EQ(Run({"sequences"}), 0);
    EXPECT_EQ(out.str(), "MZ\nPE\nThis program\n");
    EXPECT_EQ(Run({"dump", "Attributes/Contain"}), 0);
    EXPECT_EQ(
        out.str(),
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Attributes\\Contain]\n"
        "\"Count\"=dword:00000003\n\"Value1\"=\"MZ\"\n\"Value2\"=\"PE\"\n\"Value3\"=\"This program\"\n");
    EXPECT_EQ(Run({"dump", "Examples"}), 1);
}

TEST_F(CliTest, SequencesSetRefusesMoreThanAHundred) {
    std::vector<std::string> args = {"sequences", "set"};
    for (int i = 0; i < 101; ++i) args.push_back("text" + std::to_string(i));
    EXPECT_EQ(Run(args), 1);
    EXPECT_NE(err.str().find("100"), std::string::npos);
    EXPECT_EQ(Run({"dump"}), 0);
    EXPECT_EQ(out.str(), "REGEDIT4\n");
}

TEST_F(CliTest, UsageErrorsAndVersion) {
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_NE(out.str().find(MORVEL_VERSION), std::string::npos);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("dump"), std::string::npos);
}

TEST_F(CliTest, LanguageImportListsTheSkippedLinesAndKeepsTheGoodOnes) {
    const std::string file = dir / "Mixed.lng";
    test::WriteFile(file,
                    "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]\n"
                    "\"mnFile\"=\"File\"\n\"Count\"=dword:00000002\n");
    EXPECT_EQ(Run({"language", "import", file}), 1);
    EXPECT_EQ(out.str(), "1 texts imported, 1 lines skipped\n");
    EXPECT_EQ(err.str(), file + ":4: only text values are taken (not dword: or hex)\n");
    EXPECT_EQ(Run({"dump", "Interface"}), 0);
    EXPECT_NE(out.str().find("\"mnFile\"=\"File\""), std::string::npos);

    test::WriteFile(file, "not a language\n");
    EXPECT_EQ(Run({"language", "import", file}), 1);
    EXPECT_NE(err.str().find("nothing was imported"), std::string::npos);
    EXPECT_EQ(Run({"language", "import", MORVEL_SOURCE_DIR "/Interfaces/English.lng"}), 0);
    EXPECT_EQ(Run({"language", "import"}), 2);
}

}  // namespace
}  // namespace morvel
