// The fault-injecting VFS itself: the sweep trusts that a power cut leaves
// each file as it was at its last sync, and that a failed call is seen.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "TestSupport.h"
#include "support/FaultVfs.h"

namespace morvel {
namespace {

using test::FaultVfs;

// A database whose table is synced, which then writes with the given syncing.
sqlite3* OpenDb(const std::string& path, const char* sync) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string pragmas = std::string(
                                    "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; CREATE TABLE t(x);"
                                    "PRAGMA synchronous=") +
                                sync;
    EXPECT_EQ(sqlite3_exec(db, pragmas.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    return db;
}

int Rows(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_prepare_v2(db, "SELECT count(*) FROM t", -1, &s, nullptr);
    const int rows = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

TEST(FaultVfsTest, APowerCutDropsTheWritesNotSyncedAndKeepsTheSyncedOnes) {
    FaultVfs& vfs = FaultVfs::Install();
    test::TempDir dir;
    sqlite3* careless = OpenDb(dir / "careless.sqlite", "OFF");
    sqlite3* careful = OpenDb(dir / "careful.sqlite", "FULL");
    ASSERT_EQ(sqlite3_exec(careful, "INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr), SQLITE_OK);
    vfs.ArmPowerLoss(1);
    ASSERT_EQ(sqlite3_exec(careless, "INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(sqlite3_exec(careful, "INSERT INTO t VALUES(2)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(vfs.Fired());
    sqlite3_close(careless);
    sqlite3_close(careful);
    vfs.Reset();
    EXPECT_EQ(Rows(dir / "careless.sqlite"), 0);
    EXPECT_EQ(Rows(dir / "careful.sqlite"), 1);
}

TEST(FaultVfsTest, TheArmedCallFailsOnceAndTheOthersPassThrough) {
    FaultVfs& vfs = FaultVfs::Install();
    test::TempDir dir;
    sqlite3* db = OpenDb(dir / "db.sqlite", "FULL");
    vfs.Arm(FaultVfs::Kind::kWrite, 1, FaultVfs::Fault::kFull);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr), SQLITE_FULL);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO t VALUES(2)", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_TRUE(vfs.Fired());
    vfs.Reset();
    sqlite3_close(db);
    EXPECT_EQ(Rows(dir / "db.sqlite"), 1);
}

}  // namespace
}  // namespace morvel
