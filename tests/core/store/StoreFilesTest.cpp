// Pins the lost writes seen in use: opening and closing one of the store's
// files outside its connection dropped the connection's file locks, another
// program then deleted the log under it, and later writes went nowhere.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "OtherProcess.h"
#include "core/attributes/FileExaminer.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"
#include "core/store/StoreBackup.h"
#include "core/store/StoreFiles.h"

namespace morvel {
namespace {

class StoreFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        // A write leaves the log and the shared memory beside the store.
        ASSERT_TRUE(registry.SetKeyText(InterfaceKeyPath(), "Written", "first"));
        tables.PlatformVersion = ConfigTables::kNtPlatformVersion;
    }

    // Writes through this process's connection after another program came
    // and went, and says whether a fresh program reads the write.
    bool LaterWriteReachesOthers() {
        test::AnotherProgramVisits(dir.Store());
        if (!registry.SetKeyText(InterfaceKeyPath(), "Written", "later")) return false;
        return test::OtherProcessOutput(dir.Store(), {"dump"}).find("\"Written\"=\"later\"") !=
               std::string::npos;
    }

    test::TempDir dir;
    Registry registry;
    ConfigTables tables;
};

TEST_F(StoreFilesTest, TheStoreAndItsSideFilesAreKnownUnderEverySpellingUntilTheStoreCloses) {
    const std::string store = dir.Store();
    ASSERT_TRUE(std::filesystem::exists(store + "-wal"));
    std::filesystem::create_symlink(store, dir / "link.sqlite");
    std::filesystem::create_hard_link(store, dir / "hard.sqlite");
    test::WriteFile(dir / "other.sqlite", "not a database, just text");
    for (const std::string& path : {store, store + "-wal", store + "-shm", dir.path() + "/./store.sqlite",
                                    dir / "link.sqlite", dir / "hard.sqlite"}) {
        EXPECT_TRUE(IsOpenStoreFile(path)) << path;
        EXPECT_TRUE(IsFileOfStore(dir / "link.sqlite", path)) << path;
    }
    EXPECT_FALSE(IsOpenStoreFile(dir / "other.sqlite"));
    EXPECT_FALSE(IsOpenStoreFile(dir / "missing.sqlite"));
    EXPECT_FALSE(IsOpenStoreFile(dir.path()));

    ASSERT_FALSE(registry.Open(dir / "other.sqlite").ok());  // not a store: now no store is open
    EXPECT_FALSE(IsOpenStoreFile(store));
    EXPECT_TRUE(IsFileOfStore(store, store));
}

TEST_F(StoreFilesTest, TheExaminerRefusesTheStoresFilesUnopenedAndTheConnectionKeepsItsLocks) {
    std::filesystem::create_symlink(dir.Store() + "-wal", dir / "log.exe");
    FileExaminer examiner;
    for (const std::string& path : {dir.Store(), dir.Store() + "-wal", dir.Store() + "-shm", dir / "log.exe"})
        EXPECT_TRUE(examiner.ComputeFileAttributes(path, tables).IsInvalidInput()) << path;
    EXPECT_FALSE(examiner.AttributesFresh());
    EXPECT_TRUE(LaterWriteReachesOthers());
}

TEST_F(StoreFilesTest, ABackupIsNeverWrittenOverTheStoreOrItsSideFiles) {
    for (const std::string& target : {dir.Store(), dir.Store() + "-wal", dir.Store() + "-shm"})
        EXPECT_TRUE(BackupStore(dir.Store(), target, true).IsInvalidInput()) << target;
    EXPECT_TRUE(LaterWriteReachesOthers());
}

}  // namespace
}  // namespace morvel
