// Writers that keep the compact rows of the examples in their write groups,
// killed at random moments: the store stays sound and every compact row
// still equals its values.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "TestSupport.h"
#include "core/store/CompactExamples.h"
#include "core/store/ConfigTables.h"
#include "core/store/KeyPaths.h"
#include "core/store/SameExamples.h"

namespace morvel {
namespace {

const std::vector<std::string> kTargets = {"kind", "who"};

// The child's work until it is killed: groups of a few new or rewritten
// examples with their compact rows; now and then the rows are all built
// again in the group, as on first use.
[[noreturn]] void WriteUntilKilled(const std::string& store, const ConfigTables& state, unsigned seed) {
    Registry registry;
    if (!registry.Open(store)) _exit(2);
    std::mt19937 random(seed);
    for (int i = 0; i < 100000; ++i) {
        Registry::WriteGroup group(registry);
        if (i % 5 == 2)
            sqlite3_exec(registry.Connection(), "DELETE FROM compact_state", nullptr, nullptr, nullptr);
        const std::int32_t count = registry.GetKeyNumber(ExamplesKeyPath(), "Count");
        test::WriteRandomExamples(registry, state, kTargets, std::max(1, count - 3), 6, random);
        if (!RefreshCompactExamples(registry) || !group.Commit()) _exit(3);
    }
    _exit(0);
}

bool IntegrityOk(const std::string& store) {
    sqlite3* db = nullptr;
    sqlite3_stmt* s = nullptr;
    bool ok = sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
              sqlite3_step(s) == SQLITE_ROW &&
              std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) == "ok";
    sqlite3_finalize(s);
    sqlite3_close(db);
    return ok;
}

TEST(CompactRowsUnderKillTest, WritersKilledAtRandomMomentsLeaveRowsEqualToTheValues) {
    test::TempDir dir;
    ConfigTables state;
    {
        Registry registry;
        ASSERT_TRUE(registry.Open(dir.Store()).ok());
        ASSERT_TRUE(SaveSequenceTable(registry, state, {"MZ", "windows"}).ok());
        ASSERT_TRUE(
            SaveTargetTable(registry, state, {{"kind", "Kind", "ID3-based"}, {"who", "Who", "Free Bayes"}})
                .ok());
        LoadConfigurationTables(registry, state);
    }
    std::mt19937 random(3);
    int kills = 0;
    for (int round = 0; round < 80; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) WriteUntilKilled(dir.Store(), state, static_cast<unsigned>(round));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed with " << WEXITSTATUS(status);
        ++kills;
        if (round % 20 == 19) {
            SCOPED_TRACE("after " + std::to_string(kills) + " kills");
            ASSERT_TRUE(IntegrityOk(dir.Store()));
            Registry registry;
            ASSERT_TRUE(registry.Open(dir.Store()).ok());
            const auto check = CheckCompactExamples(registry);
            EXPECT_EQ(check.stale, 0);
            EXPECT_EQ(test::FirstDifference(*ReadCompactExamples(registry, state),
                                            test::ReadFromValues(registry, state)),
                      "");
        }
    }
    Registry registry;
    ASSERT_TRUE(registry.Open(dir.Store()).ok());
    ASSERT_TRUE(RefreshCompactExamples(registry).ok());
    const auto check = CheckCompactExamples(registry);
    EXPECT_EQ(check.stale, 0);
    EXPECT_EQ(check.dirty, 0);
    EXPECT_GT(ReadCompactExamples(registry, state)->Rows(), 20);
}

}  // namespace
}  // namespace morvel
