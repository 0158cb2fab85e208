// What a user without privileges meets: folders they cannot read, and a
// store on media they cannot write. As root the commands run as nobody.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ProcessHarness.h"
#include "TestSupport.h"

namespace morvel {
namespace {

class UnprivilegedUserTest : public ::testing::Test {
  protected:
    void SetUp() override { chmod(dir.path().c_str(), 0777); }
    // Runs morvel-cli on the store as the unprivileged user; out and err hold what it wrote.
    int Cli(std::vector<std::string> args, const std::string& store) {
        args.insert(args.begin(), {"--store", store});
        const int status = test::RunCliUnprivileged(args, dir / "out.txt", dir / "err.txt");
        out = test::ReadFile(dir / "out.txt");
        err = test::ReadFile(dir / "err.txt");
        return status;
    }
    // A folder (mode 0777) with files (mode 0644) that the user can use.
    std::string Folder(const std::string& name) {
        const std::string path = dir / name;
        std::filesystem::create_directories(path);
        chmod(path.c_str(), 0777);
        return path;
    }
    std::string File(const std::string& path, const std::string& bytes) {
        test::WriteFile(path, bytes);
        chmod(path.c_str(), 0644);
        return path;
    }

    test::TempDir dir;
    std::string out, err;
};

// The fault pinned: classify -r and remember -r skipped a subfolder the user
// could not read, and everything in it, without a word and with status 0.
TEST_F(UnprivilegedUserTest, AnUnreadableSubfolderIsReportedLikeAnUnreadableFile) {
    const std::string store = Folder("store") + "/store.sqlite";
    ASSERT_EQ(Cli({"targets", "add", "kind", "Kind", "ID3-based"}, store), 0) << err;
    const std::string tree = Folder("tree");
    File(tree + "/a.exe", "MZ one");
    const std::string locked = Folder("tree/locked");
    File(locked + "/b.exe", "MZ two");
    chmod(locked.c_str(), 0);

    EXPECT_EQ(Cli({"classify", "-r", tree}, store), 1);
    EXPECT_NE(out.find(tree + "/a.exe"), std::string::npos) << out;
    EXPECT_NE(err.find(locked + ": cannot read the folder"), std::string::npos) << err;
    EXPECT_EQ(Cli({"remember", "-r", tree, "kind=x"}, store), 1);
    EXPECT_NE(err.find(locked), std::string::npos) << err;
    EXPECT_EQ(Cli({"remember", "-r", "--skip-errors", tree, "kind=x"}, store), 1);
    EXPECT_EQ(out, tree + "/a.exe\t1\n");
    EXPECT_NE(err.find(locked), std::string::npos) << err;
    chmod(locked.c_str(), 0755);  // so that the temporary folder can be removed
}

// The fault pinned: a store in a folder the user cannot write could not even
// be read ("attempt to write a readonly database").
TEST_F(UnprivilegedUserTest, AStoreOnReadOnlyMediaIsReadAndRefusesWrites) {
    const std::string folder = Folder("media");
    const std::string store = folder + "/store.sqlite";
    ASSERT_EQ(Cli({"targets", "add", "kind", "Kind", "ID3-based"}, store), 0) << err;
    const std::string file = File(dir / "a.exe", "MZ one");
    ASSERT_EQ(Cli({"remember", file, "kind=x"}, store), 0) << err;
    chmod(store.c_str(), 0444);
    chmod(folder.c_str(), 0555);

    EXPECT_EQ(Cli({"targets"}, store), 0) << err;
    EXPECT_EQ(out, "kind\tKind\tID3-based\n");
    EXPECT_EQ(Cli({"classify", file}, store), 0) << err;
    EXPECT_NE(out.find("kind\tx"), std::string::npos) << out;
    EXPECT_EQ(Cli({"export", "--format", "csv"}, store), 0) << err;
    EXPECT_EQ(Cli({"backup", dir / "copy.sqlite"}, store), 0) << err;
    EXPECT_EQ(Cli({"remember", file, "kind=y"}, store), 1);
    EXPECT_NE(err.find("read-only"), std::string::npos) << err;
    EXPECT_EQ(Cli({"export", "--format", "csv"}, dir / "copy.sqlite"), 0) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);  // the header and the one example
}

}  // namespace
}  // namespace morvel
