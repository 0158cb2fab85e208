// Pins the lost writes seen in use: a command that examined or read one of
// the store's own files (a batch over the folder the store lies in, with
// --ext '*') opened and closed it beside the store's connection, which drops
// that connection's file locks; the next program to leave the store then
// deleted its log, and the process's later writes went into the deleted log.
#include <gtest/gtest.h>

#include "CliRunner.h"
#include "OtherProcess.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

class StoreFilesCliTest : public test::CliRunner {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        Put("a.exe", "MZ a program");
    }
    // The examples as another program reads them, one line each.
    std::vector<std::string> Examples() {
        std::vector<std::string> rows;
        std::istringstream csv(test::OtherProcessOutput(dir.Store(), {"export", "--format", "csv"}));
        std::string line;
        std::getline(csv, line);  // the header
        while (std::getline(csv, line)) rows.push_back(line);
        return rows;
    }
};

TEST_F(StoreFilesCliTest, EveryCommandThatReadsAFileRefusesTheStoresOwnFilesUnderAnyName) {
    const std::string store = dir.Store();
    std::filesystem::create_symlink(store, dir / "link.exe");
    const std::vector<std::vector<std::string>> refused = {
        {"attributes", store},
        {"classify", dir / "link.exe"},
        {"explain", store + "-wal"},
        {"remember", store + "-shm", "kind=x"},
        {"remember", "--ext", "*", dir.path(), "kind=x"},
        {"attributes", "--from", store},
        {"import", "--format", "csv", store + "-wal"},
        {"load", store},
        {"language", "import", store + "-shm"},
        {"backup", "--force", store + "-wal"},
    };
    for (const auto& args : refused) {
        EXPECT_NE(Run(args), 0) << args.front();
        EXPECT_TRUE(ErrHas("store's own files") || ErrHas("the store itself"))
            << args.front() << ": " << err.str();
    }
    EXPECT_TRUE(Examples().empty());

    // With --skip-errors the other files are stored.
    EXPECT_EQ(Run({"remember", "--skip-errors", "--ext", "*", dir.path(), "kind=x"}), 1);
    EXPECT_TRUE(OutHas("a.exe"));
    EXPECT_FALSE(OutHas("link.exe") || OutHas("sqlite"));
    EXPECT_EQ(Examples().size(), 1u);
}

TEST_F(StoreFilesCliTest, ABatchOverTheStoresFolderLeavesTheProcesssConnectionItsLocks) {
    Registry held;  // this process's connection, as a batch command holds one while it works
    ASSERT_TRUE(held.Open(dir.Store()).ok());
    ASSERT_TRUE(held.SetKeyText(InterfaceKeyPath(), "Written", "first"));

    EXPECT_EQ(Run({"classify", "--ext", "*", dir.path()}), 1);
    test::OtherProcessOutput(dir.Store(), {"remember", Put("other/b.exe", "MZ another"), "kind=other"});
    ASSERT_TRUE(held.SetKeyText(InterfaceKeyPath(), "Written", "later"));

    EXPECT_NE(test::OtherProcessOutput(dir.Store(), {"dump"}).find("\"Written\"=\"later\""),
              std::string::npos);
    ASSERT_EQ(Examples().size(), 1u);
}

}  // namespace
}  // namespace morvel
