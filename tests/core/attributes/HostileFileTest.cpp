// Files that try to trip the examination: every one gets a clear answer (a
// vector, or false with a reason), never a crash or a hang.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "core/attributes/FileExaminer.h"

namespace morvel {
namespace {

class HostileFileTest : public ::testing::Test {
  protected:
    HostileFileTest() {
        state.PlatformVersion = ConfigTables::kNtPlatformVersion;
        state.SequenceCount = 1;
        state.SequenceTable[1] = "needle";
    }
    test::TempDir dir;
    ConfigTables state;
    FileExaminer examiner;
};

TEST_F(HostileFileTest, NamesWithInvalidUtf8AndTheLongestNames) {
    const std::string odd = dir / "\xFF\xFE\xC3.exe";
    test::WriteFile(odd, "MZ");
    {
        const Status examined = examiner.ComputeFileAttributes(odd, state);
        ASSERT_TRUE(examined.ok()) << examined.message();
    }
    EXPECT_EQ(examiner.AttributeVector()[2], 3);  // each stray byte counts as one "?"
    EXPECT_EQ(examiner.AttributeVector()[6], 1);

    const std::string longest =
        dir / (std::string(251, 'q') + ".exe");  // 255 bytes, the most a name can have
    test::WriteFile(longest, "MZ");
    {
        const Status examined = examiner.ComputeFileAttributes(longest, state);
        ASSERT_TRUE(examined.ok()) << examined.message();
    }
    EXPECT_EQ(examiner.AttributeVector()[2], 251);
    const Status failed = examiner.ComputeFileAttributes(dir / (std::string(300, 'q') + ".exe"), state);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.message().empty());
}

TEST_F(HostileFileTest, SymbolicLinkLoopsAndUnreadableFilesFailWithAReason) {
    ASSERT_EQ(symlink((dir / "b.exe").c_str(), (dir / "a.exe").c_str()), 0);
    ASSERT_EQ(symlink((dir / "a.exe").c_str(), (dir / "b.exe").c_str()), 0);
    const Status failed = examiner.ComputeFileAttributes(dir / "a.exe", state);
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(failed.message().empty());

    const std::string locked = dir / "locked.exe";
    test::WriteFile(locked, "MZ");
    chmod(locked.c_str(), 0);
    if (access(locked.c_str(), R_OK) == 0) GTEST_SKIP() << "running with rights that ignore file modes";
    const Status refused = examiner.ComputeFileAttributes(locked, state);
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.message().find("ermission"), std::string::npos);
}

TEST_F(HostileFileTest, AFourGibSparseFileIsExaminedInBoundedTime) {
    const std::string path = dir / "huge.exe";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(ftruncate(fd, off_t{4} << 30), 0);
    ASSERT_EQ(pwrite(fd, "needle", 6, (off_t{1} << 30) - 10), 6);
    close(fd);
    ASSERT_TRUE(examiner.ComputeFileAttributes(path, state));
    EXPECT_EQ(examiner.AttributeVector()[8], 8);
    EXPECT_EQ(examiner.CappedFileSize(), 1 << 30);
    EXPECT_EQ(examiner.AttributeVector()[17], 1);
}

TEST_F(HostileFileTest, AFileThatShrinksAndGrowsWhileItIsRead) {
    const std::string path = dir / "moving.exe";
    test::WriteFile(path, std::string(3 << 20, 'n'));
    std::atomic<bool> stop{false};
    std::thread mover([&] {
        const int fd = open(path.c_str(), O_WRONLY);
        for (off_t size = 0; !stop; size = (size + 700001) % (3 << 20)) {
            if (ftruncate(fd, size) != 0) break;
            if (ftruncate(fd, 3 << 20) != 0) break;
        }
        close(fd);
    });
    for (int i = 0; i < 200; ++i) {
        {
            const Status examined = examiner.ComputeFileAttributes(path, state);
            ASSERT_TRUE(examined.ok()) << examined.message();
        }
        EXPECT_LE(examiner.WindowLength(), FileExaminer::kWindowSize);
        EXPECT_GE(examiner.AttributeVector()[8], 1);
    }
    stop = true;
    mover.join();
}

}  // namespace
}  // namespace morvel
