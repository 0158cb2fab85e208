// Every command whose output cannot be written (standard output on a full
// disk) says so and fails; none reports success with its output lost.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProcessHarness.h"
#include "TestSupport.h"

namespace morvel {
namespace {

TEST(OutputFailureTest, EveryCommandThatWritesOutputFailsOnAFullDisk) {
    test::TempDir dir;
    const std::string store = dir.Store();
    const std::string file = dir / "setup.exe";
    test::WriteFile(file, "MZ This program needs Windows");
    const std::string csv = dir / "examples.csv";
    test::WriteFile(csv, "example,Standard1,Targetkind\r\n1,1,installer\r\n");
    const std::string lng = dir / "English.lng";
    test::WriteFile(
        lng,
        "REGEDIT4\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]\r\n\"mnFile\"=\"File\"\r\n");
    auto cli = [&](std::vector<std::string> args, const std::string& output) {
        args.insert(args.begin(), {"--store", store});
        return test::Wait(test::StartCli(args, -1, output));
    };
    ASSERT_EQ(cli({"targets", "add", "kind", "Kind", "ID3-based"}, "/dev/null"), 0);
    ASSERT_EQ(cli({"sequences", "set", "windows"}, "/dev/null"), 0);
    ASSERT_EQ(cli({"remember", file, "kind=installer"}, "/dev/null"), 0);

    const std::vector<std::vector<std::string>> commands = {
        {"dump"},
        {"sequences"},
        {"sequences", "set", "windows", "MZ"},
        {"targets"},
        {"targets", "add", "who", "Who", "Naive Bayes"},
        {"attributes", file},
        {"classify", file},
        {"remember", file, "kind=installer"},
        {"explain", file},
        {"evaluate"},
        {"rank"},
        {"export", "--format", "csv"},
        {"export", "--format", "arff"},
        {"import", "--format", "csv", csv},
        {"language", "import", lng},
        {"--help"},
    };
    for (const auto& command : commands) {
        std::string shown;
        for (const auto& word : command) shown += word + " ";
        // Each works when its output can be written...
        EXPECT_EQ(cli(command, "/dev/null"), 0) << shown;
        // ...and fails, quietly for nobody, when it cannot.
        EXPECT_NE(cli(command, "/dev/full"), 0) << shown;
    }
}

}  // namespace
}  // namespace morvel
