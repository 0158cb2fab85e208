// Every I/O call of each command, failed in turn: the command either gives
// its whole, correct result or fails with a message; the store stays sound,
// its compact rows equal its values, a write group is there whole or not at
// all, and after a power cut everything a command reported done is there.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/Cli.h"
#include "core/examples/CompactExamples.h"
#include "core/exchange/RegFileWriter.h"
#include "core/store/Registry.h"
#include "support/FaultVfs.h"

namespace morvel {
namespace {

using test::FaultVfs;

struct Result {
    int exit = 0;
    std::string out, err;
};

// What a store holds, as one text: its values (as the registry-editor export
// writes them), or why it could not be read.
struct StoreState {
    std::string values;
    std::string problem;  // empty when the store is sound
};

std::string IntegrityOf(const std::string& path) {
    sqlite3* db = nullptr;
    std::string answer = "cannot open";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* s = nullptr;
        answer.clear();
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK)
            while (sqlite3_step(s) == SQLITE_ROW)
                answer += reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return answer;
}

StoreState StateOf(const std::string& path) {
    StoreState state;
    if (const std::string integrity = IntegrityOf(path); integrity != "ok")
        state.problem = "integrity check: " + integrity;
    Registry registry;
    if (Status s = registry.Open(path); !s) {
        state.problem += "cannot open: " + s.message();
        return state;
    }
    std::ostringstream out;
    if (Status s = ExportRegFile(registry, out); !s) state.problem += "cannot export: " + s.message();
    state.values = out.str();
    const CompactExamplesCheck check = CheckCompactExamples(registry);
    if (!check.status.ok()) state.problem += "cannot check the compact rows: " + check.status.message();
    if (check.stale > 0)
        state.problem += std::to_string(check.stale) + " compact rows differ from their values";
    return state;
}

// One command of the sweep: its arguments (without the store), and for a
// command that writes a file beside the store, that file.
struct Command {
    std::string name;
    std::vector<std::string> args;
    std::string copy = {};  // backup: the copy it writes
};

class FaultSweepTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        FaultVfs::Install();
        dir_ = new test::TempDir;
        const std::string files = *dir_ / "files";
        std::filesystem::create_directories(files);
        test::WriteFile(files + "/a.exe", "MZ This program cannot be run in DOS mode. windows");
        test::WriteFile(files + "/b.exe", "MZ Nullsoft Install System");
        test::WriteFile(files + "/c.exe", "MZ UPX! packed windows data");
        template_ = *dir_ / "template.sqlite";
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"targets", "add", "kind", "Kind", "ID3-based"},
                 {"targets", "add", "who", "Who", "Naive Bayes"},
                 {"sequences", "set", "windows", "nullsoft", "upx!"},
                 {"remember", files + "/a.exe", "kind=plain", "who=vc"},
                 {"remember", files + "/b.exe", "kind=installer", "who=nsis"},
                 {"remember", files + "/c.exe", "kind=packed", "who=upx"},
                 {"remember", files + "/a.exe", "kind=plain", "who=gcc"}}) {
            const Result r = Cli(template_, args);
            ASSERT_EQ(r.exit, 0) << r.err;
        }
        // The exchange files the loads and the import read: the store's own
        // content, so that appending and replacing both work.
        test::WriteFile(*dir_ / "store.reg", Cli(template_, {"export", "--format", "reg"}).out);
        test::WriteFile(*dir_ / "examples.csv", Cli(template_, {"export", "--format", "csv"}).out);
        // An example touched by hand: its compact row is marked stale, so
        // that every command that reads the examples rebuilds it first.
        {
            sqlite3* db = nullptr;
            ASSERT_EQ(sqlite3_open(template_.c_str(), &db), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(db,
                                   "UPDATE vals SET data = data WHERE key = "
                                   "(SELECT id FROM keys WHERE lname = CAST('example2' AS BLOB))",
                                   nullptr, nullptr, nullptr),
                      SQLITE_OK);
            ASSERT_GT(sqlite3_changes(db), 0);
            sqlite3_close(db);
        }
        Checkpoint(template_);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    static Result Cli(const std::string& store, std::vector<std::string> args) {
        args.insert(args.begin(), {"morvel-cli", "--store", store});
        Result r;
        std::ostringstream out, err;
        std::istringstream in;
        r.exit = RunCli(args, in, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    // Folds the log into the store file, so that a copy of the file alone is the store.
    static void Checkpoint(const std::string& store) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    std::string FreshStore() {
        const std::string store = *dir_ / "run.sqlite";
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(store + suffix);
        std::filesystem::copy_file(template_, store);
        return store;
    }

    // The ways the system fails a call of each kind: any call with an I/O
    // error, a write or a truncation with a full disk, a lock with busy.
    // (SQLite takes a busy page write for readers in the way, so a disk that
    // answered a write with busy would lose a checkpoint; no disk does.)
    static std::vector<FaultVfs::Fault> FaultsOf(FaultVfs::Kind kind) {
        switch (kind) {
            case FaultVfs::Kind::kWrite:
            case FaultVfs::Kind::kTruncate:
                return {FaultVfs::Fault::kIOError, FaultVfs::Fault::kFull};
            case FaultVfs::Kind::kLock:
                return {FaultVfs::Fault::kIOError, FaultVfs::Fault::kBusy};
            default:
                return {FaultVfs::Fault::kIOError};
        }
    }

    struct Tally {
        FaultVfs::Counts points{};
        int done = 0, failed = 0, powerCuts = 0, doneDespiteCut = 0;
    };

    // Runs command once without faults, then once per I/O call with that call
    // failed, then once per sync with a power cut there, checking each run.
    void Sweep(const Command& command) {
        FaultVfs& vfs = FaultVfs::Install();
        const StoreState before = StateOf(template_);
        ASSERT_TRUE(before.problem.empty()) << before.problem;

        std::string store = FreshStore();
        if (!command.copy.empty()) std::filesystem::remove(command.copy);
        vfs.Reset();
        const Result clean = Cli(store, command.args);
        Tally tally;
        tally.points = vfs.Calls();
        vfs.Reset();
        ASSERT_EQ(clean.exit, 0) << command.name << ": " << clean.err;
        const StoreState after = StateOf(store);
        ASSERT_TRUE(after.problem.empty()) << after.problem;

        auto check = [&](const std::string& what, bool powerCut) {
            const Result r = Cli(store, command.args);
            const bool fired = vfs.Fired();
            vfs.Reset();
            const StoreState now = StateOf(store);
            const std::string where = command.name + ", " + what + (fired ? "" : " (not reached)");
            EXPECT_TRUE(now.problem.empty()) << where << ": the store is damaged: " << now.problem;
            EXPECT_TRUE(now.values == before.values || now.values == after.values)
                << where << ": the store holds part of a write";
            if (r.exit == 0) {
                ++tally.done;
                if (powerCut) ++tally.doneDespiteCut;
                EXPECT_EQ(r.out, clean.out) << where << ": a different result reported as done";
                EXPECT_TRUE(now.values == after.values) << where << ": a write reported done is not there";
                if (!command.copy.empty()) {
                    const StoreState copy = StateOf(command.copy);
                    EXPECT_TRUE(copy.problem.empty() && copy.values == before.values)
                        << where << ": the copy reported done is not whole: " << copy.problem;
                }
            } else {
                ++tally.failed;
                EXPECT_FALSE(r.err.empty()) << where << ": failed without a message";
                if (!command.copy.empty()) {
                    EXPECT_FALSE(std::filesystem::exists(command.copy))
                        << where << ": a failed copy was left";
                }
            }
        };

        for (int k = 0; k < FaultVfs::kKinds; ++k) {
            const auto kind = static_cast<FaultVfs::Kind>(k);
            const std::vector<FaultVfs::Fault> faults = FaultsOf(kind);
            for (std::int64_t n = 1; n <= tally.points[k]; ++n) {
                // Each call fails once, in turn with each way the system can fail it.
                const FaultVfs::Fault fault = faults[static_cast<std::size_t>(n) % faults.size()];
                store = FreshStore();
                if (!command.copy.empty()) std::filesystem::remove(command.copy);
                vfs.Arm(kind, n, fault);
                check(std::string(FaultVfs::NameOf(kind)) + " " + std::to_string(n) + " (" +
                          FaultVfs::NameOf(fault) + ")",
                      false);
            }
        }
        const std::int64_t syncs = tally.points[static_cast<int>(FaultVfs::Kind::kSync)];
        for (std::int64_t n = 1; n <= syncs; ++n) {
            store = FreshStore();
            if (!command.copy.empty()) std::filesystem::remove(command.copy);
            vfs.ArmPowerLoss(n);
            ++tally.powerCuts;
            check("power cut at sync " + std::to_string(n), true);
        }

        std::string points;
        std::int64_t total = 0;
        for (int k = 0; k < FaultVfs::kKinds; ++k) {
            points += std::string(k ? ", " : "") + FaultVfs::NameOf(static_cast<FaultVfs::Kind>(k)) + " " +
                      std::to_string(tally.points[k]);
            total += tally.points[k];
        }
        std::printf(
            "%-24s %4lld injection points (%s); %d power cuts; outcomes: %d done, %d failed with a "
            "message (%d done although the power was cut after their commit)\n",
            command.name.c_str(), static_cast<long long>(total), points.c_str(), tally.powerCuts, tally.done,
            tally.failed, tally.doneDespiteCut);
    }

    static std::string File(const std::string& name) { return *dir_ / name; }

    static test::TempDir* dir_;
    static std::string template_;
};

test::TempDir* FaultSweepTest::dir_ = nullptr;
std::string FaultSweepTest::template_;

TEST_F(FaultSweepTest, RememberOfOneFile) {
    Sweep({"remember FILE", {"remember", File("files/b.exe"), "kind=installer", "who=nsis"}});
}
TEST_F(FaultSweepTest, RememberOfAList) {
    Sweep(
        {"remember FOLDER", {"remember", "--quiet", "--jobs", "1", File("files"), "kind=any", "who=anyone"}});
}
TEST_F(FaultSweepTest, Import) { Sweep({"import", {"import", "--format", "csv", File("examples.csv")}}); }
TEST_F(FaultSweepTest, LoadReplace) { Sweep({"load --replace", {"load", "--replace", File("store.reg")}}); }
TEST_F(FaultSweepTest, LoadAppendExamples) {
    Sweep({"load --append-examples", {"load", "--append-examples", File("store.reg")}});
}
TEST_F(FaultSweepTest, SequencesSet) {
    Sweep({"sequences set", {"sequences", "set", "windows", "rar!", "mz"}});
}
TEST_F(FaultSweepTest, TargetsAdd) {
    Sweep({"targets add", {"targets", "add", "size", "Size", "Free Bayes"}});
}
TEST_F(FaultSweepTest, Backup) { Sweep({"backup", {"backup", File("copy.sqlite")}, File("copy.sqlite")}); }
TEST_F(FaultSweepTest, Classify) {
    Sweep({"classify", {"classify", "--quiet", "--jobs", "1", File("files/a.exe"), File("files/c.exe")}});
}
TEST_F(FaultSweepTest, Evaluate) { Sweep({"evaluate", {"evaluate", "--loo", "--jobs", "1"}}); }
TEST_F(FaultSweepTest, Export) { Sweep({"export", {"export", "--format", "csv"}}); }

}  // namespace
}  // namespace morvel
