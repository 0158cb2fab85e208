// The store under faults: writers killed at random moments, two writers at
// once with a reader beside them, and a disk that is full.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "ProcessHarness.h"
#include "StoreReads.h"
#include "TestSupport.h"
#include "core/attributes/FileExaminer.h"
#include "core/config/ConfigTables.h"
#include "core/examples/CompactExamples.h"
#include "core/examples/SameExamples.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

const std::string kExamples = std::string(kBaseKey) + "\\Examples";

class StoreUnderStressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sample = dir / "sample.exe";
        test::WriteFile(sample, "MZ This program needs Windows \xB8\x00\xCD\x33");
        ASSERT_EQ(Cli({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Cli({"targets", "add", "who", "Who", "Naive Bayes"}), 0);
        ASSERT_EQ(Cli({"sequences", "set", "MZ", "windows", "absent"}), 0);
        // What one complete example of the sample holds: its non-zero slots and two targets.
        Registry registry;
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ConfigTables state;
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        test::LoadTables(registry, state);
        FileExaminer examiner;
        ASSERT_TRUE(examiner.ComputeFileAttributes(sample, state));
        for (int s = 1; s <= ExampleSlotCount(state); ++s)
            if (examiner.AttributeVector()[s] != 0)
                slots[state.AttributeNames[s]] = examiner.AttributeVector()[s];
    }
    int Cli(std::vector<std::string> args, long limit = -1) {
        args.insert(args.begin(), {"--store", dir.Store()});
        return test::RunCliProcess(args, limit);
    }
    test::Spawned Start(std::vector<std::string> args) {
        args.insert(args.begin(), {"--store", dir.Store()});
        return test::StartCli(args);
    }

    // Checks that the store (or a copy of it) opens, passes SQLite's
    // integrity check, and that examples 1 to Count are complete and nothing
    // lies beyond; returns the "who" value of each example.
    std::vector<std::string> CheckStore(const std::string& path = "") {
        const std::string store = path.empty() ? dir.Store() : path;
        test::ExpectIntegrityOk(store);

        Registry registry;
        EXPECT_TRUE(registry.Open(store).ok());
        Registry::ReadSnapshot snapshot(registry);
        const std::int32_t count = test::Number(registry, kExamples, "Count");
        std::vector<std::string> who;
        for (std::int32_t n = 1; n <= count; ++n) {
            const std::string key = kExamples + "\\Example" + std::to_string(n);
            const auto values = test::ValuesOf(registry, key);
            // The slots, two targets and, unless imported from CSV, the file's digest.
            std::string digest;
            const bool digested = registry.GetKeyText(key, "Fingerprint", digest).ok();
            EXPECT_EQ(values.size(), slots.size() + 2 + digested) << "example " << n << " is not complete";
            if (digested) {
                EXPECT_EQ(digest.size(), 64u) << n;
            }
            for (const auto& [name, value] : slots)
                EXPECT_EQ(test::Number(registry, key, name), value) << n << name;
            std::string kind, w;
            EXPECT_TRUE(registry.GetKeyText(key, "Targetkind", kind)) << n;
            EXPECT_TRUE(registry.GetKeyText(key, "Targetwho", w)) << n;
            who.push_back(w);
        }
        EXPECT_FALSE(test::Exists(registry, kExamples + "\\Example" + std::to_string(count + 1)));
        return who;
    }

    // The store passes SQLite's integrity check, and every example's compact
    // row equals its values (or is marked to be built again), so that a read
    // gives what the values hold.
    void ExpectCompactRowsEqualTheValues(const std::string& path = "") {
        const std::string store = path.empty() ? dir.Store() : path;
        test::ExpectIntegrityOk(store);
        Registry registry;
        ASSERT_TRUE(registry.Open(store).ok());
        EXPECT_LE(CheckCompactExamples(registry).stale, 0);  // -1: no rows built yet
        ConfigTables state;
        test::LoadTables(registry, state);
        EXPECT_EQ(
            test::FirstDifference(*test::CompactRead(registry, state), test::ReadFromValues(registry, state)),
            "");
    }
    // The store as one made before the compact rows: they are all built
    // again by the next writer (or reader that can write).
    void ForgetCompactRows() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.Store().c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "DELETE FROM compact_state", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    // A CSV of rows copies of the sample, each with kind and who.
    std::string SampleCsv(int rows, const std::string& who) {
        std::string header, line;
        for (const auto& [name, value] : slots) {
            header += name + ",";
            line += std::to_string(value) + ",";
        }
        std::string csv = header + "Targetkind,Targetwho\r\n";
        for (int r = 0; r < rows; ++r) csv += line + "k," + who + "\r\n";
        return csv;
    }

    test::TempDir dir;
    std::string sample;
    std::map<std::string, int> slots;
};

TEST_F(StoreUnderStressTest, WritersKilledAtRandomMomentsLeaveOnlyCompleteExamples) {
    // Writers of three kinds: remember of one file, remember of a list of
    // three files, and import of three rows; each stores all its examples
    // (with their compact rows) or none.
    constexpr int kGroup = 3;
    const std::string list = dir / "list.txt";
    test::WriteFile(list, sample + "\n" + sample + "\n" + sample + "\n");
    auto writer = [&](int attempt) -> std::vector<std::string> {
        const std::string who = std::to_string(attempt);
        switch (attempt % 3) {
            case 0:
                return {"remember", sample, "kind=k", "who=" + who};
            case 1:
                return {"remember", "--from", list, "kind=k", "who=" + who};
            default:
                test::WriteFile(dir / ("rows" + who + ".csv"), SampleCsv(kGroup, who));
                return {"import", "--format", "csv", dir / ("rows" + who + ".csv")};
        }
    };
    // How long a writer takes here, to spread the kills over it.
    auto typical = std::chrono::steady_clock::duration::zero();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Cli(writer(attempt)), 0);
        typical = std::max(typical, std::chrono::steady_clock::now() - start);
    }
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(typical * 3 / 2).count() + 1;

    std::mt19937 rng(9);
    int kills = 0, finished = 3;
    for (int attempt = 3; kills < 200 && attempt < 5000; ++attempt) {
        // Now and then the writer builds every compact row first, as on a
        // store made before they existed.
        if (attempt % 7 == 0) ForgetCompactRows();
        const auto child = Start(writer(attempt));
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % span));
        kill(child.pid, SIGKILL);
        const int status = test::Wait(child);
        if (status == 128 + SIGKILL) {
            ++kills;
            ExpectCompactRowsEqualTheValues();
            if (HasFailure()) return;
        } else {
            ASSERT_EQ(status, 0);
            ++finished;
        }
    }
    EXPECT_GE(kills, 200);
    // A writer killed after its commit has stored its examples; one killed
    // before has stored nothing: never a part of them.
    std::map<std::string, int> stored;
    for (const std::string& who : CheckStore()) ++stored[who];
    int complete = 0;
    for (const auto& [who, count] : stored) {
        EXPECT_EQ(count, std::stoi(who) % 3 == 0 ? 1 : kGroup) << "the writer " << who;
        ++complete;
    }
    EXPECT_GE(complete, finished);
    EXPECT_LE(complete, finished + kills);
    std::printf("killed %d writers; %d complete writes (%d writers finished)\n", kills, complete, finished);
}

TEST_F(StoreUnderStressTest, TwoWritersAndAReaderAtOnce) {
    // A remembers one file at a time, B two at once; the reader's classify
    // brings the compact rows up to date between them.
    const std::string pair = dir / "pair.txt";
    test::WriteFile(pair, sample + "\n" + sample + "\n");
    auto writer = [&](const std::string& name) {
        int failures = 0;
        for (int i = 0; i < 200; ++i) {
            const std::string who = "who=" + name + std::to_string(i / (name == "B" ? 2 : 1));
            if (name == "B" && i % 2 == 1) continue;
            failures += (name == "B" ? Cli({"remember", "--from", pair, "kind=" + name, who})
                                     : Cli({"remember", sample, "kind=" + name, who})) != 0;
        }
        return failures;
    };
    std::atomic<bool> writing{true};
    std::atomic<int> reads{0}, readFailures{0};
    std::thread reader([&] {
        while (writing) {
            readFailures += Cli({"classify", sample}) != 0;
            ++reads;
        }
    });
    int failuresA = 0, failuresB = 0;
    std::thread a([&] { failuresA = writer("A"); });
    std::thread b([&] { failuresB = writer("B"); });
    a.join();
    b.join();
    writing = false;
    reader.join();
    EXPECT_EQ(failuresA + failuresB, 0);
    EXPECT_EQ(readFailures, 0);
    EXPECT_GT(reads, 0);

    const auto who = CheckStore();
    EXPECT_EQ(who.size(), 400u);
    const std::set<std::string> distinct(who.begin(), who.end());
    EXPECT_EQ(distinct.size(), 300u);  // A's 200, and B's 100 twice each
    ExpectCompactRowsEqualTheValues();
    std::printf("400 examples from two writers, %d classify runs beside them\n", reads.load());
}

TEST_F(StoreUnderStressTest, AFullDiskRefusesWritesAndKeepsWhatWasStored) {
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Cli({"remember", sample, "kind=k", "who=w" + std::to_string(i)}), 0);
    const auto before = CheckStore();
    // No file may grow past 4 KiB: every write of a transaction fails.
    EXPECT_NE(Cli({"remember", sample, "kind=k", "who=lost"}, 4096), 0);
    EXPECT_NE(Cli({"sequences", "set", "x", "y"}, 4096), 0);
    EXPECT_NE(Cli({"targets", "add", "t", "T", "Free Bayes"}, 4096), 0);
    EXPECT_EQ(CheckStore(), before);
    // And the store still takes writes afterwards.
    EXPECT_EQ(Cli({"remember", sample, "kind=k", "who=after"}), 0);
    EXPECT_EQ(CheckStore().size(), before.size() + 1);
}

TEST_F(StoreUnderStressTest, AReadOnlyStoreRefusesWritesAndKeepsWhatWasStored) {
    ASSERT_EQ(Cli({"remember", sample, "kind=k", "who=w"}), 0);
    const auto before = CheckStore();
    test::ReadOnlyFile readOnly(dir.Store());
    if (!readOnly.ok()) GTEST_SKIP() << "cannot make a file read-only here";
    EXPECT_NE(Cli({"remember", sample, "kind=k", "who=lost"}), 0);
    EXPECT_NE(Cli({"sequences", "set", "x"}), 0);
    EXPECT_NE(Cli({"targets", "delete", "kind"}), 0);
    EXPECT_EQ(Cli({"classify", sample}), 0);  // reading still works
    EXPECT_EQ(CheckStore(), before);
}

TEST_F(StoreUnderStressTest, TwoLoadsAppendingExamplesAndARememberAtOnceTakeDistinctNumbers) {
    for (int i = 1; i <= 5; ++i)
        ASSERT_EQ(Cli({"remember", sample, "kind=k", "who=f" + std::to_string(i)}), 0);
    const std::string file = dir / "examples.reg";
    ASSERT_EQ(test::Wait(test::StartCli({"--store", dir.Store(), "export", "--format", "reg"}, -1, file)), 0);
    auto loader = [&] {
        int failures = 0;
        for (int i = 0; i < 20; ++i) failures += Cli({"load", "--append-examples", file}) != 0;
        return failures;
    };
    int failuresA = 0, failuresB = 0, failuresR = 0;
    std::thread a([&] { failuresA = loader(); });
    std::thread b([&] { failuresB = loader(); });
    std::thread r([&] {
        for (int i = 0; i < 20; ++i)
            failuresR += Cli({"remember", sample, "kind=k", "who=r" + std::to_string(i)}) != 0;
    });
    a.join();
    b.join();
    r.join();
    EXPECT_EQ(failuresA + failuresB + failuresR, 0);

    // Every load appended its five examples as one block, in their order.
    const auto who = CheckStore();
    ASSERT_EQ(who.size(), 5u + 2 * 20 * 5 + 20);
    int blocks = 0, remembered = 0;
    for (std::size_t n = 0; n < who.size();) {
        if (who[n].starts_with("r")) {
            ++remembered;
            ++n;
            continue;
        }
        for (int i = 1; i <= 5; ++i, ++n) ASSERT_EQ(who[n], "f" + std::to_string(i)) << "example " << n + 1;
        ++blocks;
    }
    EXPECT_EQ(blocks, 1 + 2 * 20);
    EXPECT_EQ(remembered, 20);
    // The loads write their examples value by value: the rows follow them.
    ExpectCompactRowsEqualTheValues();
}

TEST_F(StoreUnderStressTest, BackupsTakenDuringARememberLoopAreCompleteStores) {
    std::atomic<bool> writing{true};
    std::atomic<int> failures{0};
    std::thread writer([&] {
        for (int i = 0; i < 150; ++i)
            failures += Cli({"remember", sample, "kind=k", "who=" + std::to_string(i)}) != 0;
        writing = false;
    });
    int backups = 0;
    std::size_t last = 0;
    while (writing) {
        const std::string copy = dir / ("backup" + std::to_string(backups % 2) + ".sqlite");
        ASSERT_EQ(Cli({"backup", "--force", copy}), 0);
        const auto who = CheckStore(copy);
        ExpectCompactRowsEqualTheValues(copy);
        EXPECT_GE(who.size(), last);  // a later copy never holds fewer examples
        last = who.size();
        ++backups;
    }
    writer.join();
    EXPECT_EQ(failures, 0);
    EXPECT_GT(backups, 1);
    ASSERT_EQ(Cli({"backup", "--force", dir / "final.sqlite"}), 0);
    EXPECT_EQ(CheckStore(dir / "final.sqlite"), CheckStore());
    std::printf("%d backups beside 150 remembers\n", backups);
}

}  // namespace
}  // namespace morvel
