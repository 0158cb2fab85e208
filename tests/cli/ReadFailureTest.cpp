// A read of the store that fails is an error with a message and a non-zero
// exit, never an answer from part of the examples: the last read each
// command makes is failed, where a shorter answer would otherwise slip out.
#include "cli/CliRunner.h"
#include "core/store/Registry.h"
#include "support/FaultVfs.h"

namespace morvel {
namespace {

using test::FaultVfs;

class ReadFailureTest : public test::CliRunner {
  protected:
    void SetUp() override {
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        for (const char* name : {"a.exe", "b.exe", "c.exe"})
            ASSERT_EQ(Run({"remember", Put(name, std::string("MZ ") + name), std::string("kind=") + name}),
                      0);
    }
    // Runs args once to count its reads, then again with the last one failed.
    void ExpectFailedLastRead(const std::vector<std::string>& args) {
        FaultVfs& vfs = FaultVfs::Install();
        vfs.Reset();
        ASSERT_EQ(Run(args), 0) << err.str();
        const std::string whole = out.str();
        const auto reads = vfs.Calls()[static_cast<int>(FaultVfs::Kind::kRead)];
        ASSERT_GT(reads, 0);
        vfs.Arm(FaultVfs::Kind::kRead, reads, FaultVfs::Fault::kIOError);
        const int exit = Run(args);
        EXPECT_TRUE(vfs.Fired());
        vfs.Reset();
        EXPECT_NE(exit, 0) << args[0] << " answered from a failed read:\n" << out.str();
        EXPECT_TRUE(ErrHas(dir.Store())) << err.str();  // the message names the store
        EXPECT_NE(out.str(), whole);
    }
};

TEST_F(ReadFailureTest, ClassifyEvaluateAndExportFailInsteadOfAnsweringFromPartOfTheExamples) {
    ExpectFailedLastRead({"classify", "--quiet", "--jobs", "1", dir / "a.exe"});
    ExpectFailedLastRead({"evaluate", "--loo", "--jobs", "1"});
    ExpectFailedLastRead({"export", "--format", "csv"});
    ExpectFailedLastRead({"export", "--format", "reg"});
    ExpectFailedLastRead({"targets"});
}

// Pins a fault: a store whose first read failed was called "not a store".
TEST_F(ReadFailureTest, AStoreThatCannotBeReadAtOpeningIsAnIOErrorNotAnotherProgramsFile) {
    FaultVfs& vfs = FaultVfs::Install();
    // Each read that opening makes, failed in turn: SQLite retries some.
    int failed = 0;
    for (std::int64_t n = 1; n <= 8; ++n) {
        Registry registry;
        vfs.Arm(FaultVfs::Kind::kRead, n, FaultVfs::Fault::kIOError);
        const Status opened = registry.Open(dir.Store());
        vfs.Reset();
        if (opened.ok()) continue;
        ++failed;
        EXPECT_TRUE(opened.IsIOError()) << "read " << n << ": " << opened.message();
    }
    EXPECT_GT(failed, 0);
    EXPECT_EQ(Run({"targets"}), 0) << err.str();
}

}  // namespace
}  // namespace morvel
