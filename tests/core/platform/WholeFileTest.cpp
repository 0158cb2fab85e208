// Whole-file reads: every byte of files, pipes and streams, the limit held
// both for a file that says its size and for input that does not, and the
// kind of each failure.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "core/platform/WholeFile.h"

namespace morvel {
namespace {

class WholeFileTest : public ::testing::Test {
  protected:
    // Every byte value, repeated up to size bytes.
    static std::string Bytes(std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 % 256);
        return bytes;
    }
    std::string File(const std::string& bytes) {
        const std::string path = dir / "file";
        test::WriteFile(path, bytes);
        return path;
    }
    // A named pipe that a thread fills with bytes once it is opened.
    std::string Pipe(const std::string& bytes) {
        const std::string path = dir / "pipe";
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        writer = std::thread([path, bytes] {
            const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
                const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            if (fd >= 0) close(fd);
        });
        return path;
    }
    void TearDown() override {
        if (writer.joinable()) writer.join();
    }

    test::TempDir dir;
    std::thread writer;
    std::string read;
};

TEST_F(WholeFileTest, AFileIsReadByteForByteUpToItsLimit) {
    const std::string bytes = Bytes(300000);
    ASSERT_TRUE(ReadWholeFile(File(bytes), bytes.size(), read).ok());
    EXPECT_EQ(read, bytes);
    ASSERT_TRUE(ReadWholeFile(File(""), 0, read).ok());
    EXPECT_EQ(read, "");

    read = "old";
    const Status over = ReadWholeFile(File(bytes), bytes.size() - 1, read);
    EXPECT_TRUE(over.IsInvalidInput());
    EXPECT_NE(over.message().find("larger"), std::string::npos);
    EXPECT_EQ(read, "");
}

// Room is made for what the file holds: a limit far beyond any memory reads
// a small file as any other.
TEST_F(WholeFileTest, TheLimitIsNeverAllocated) {
    ASSERT_TRUE(ReadWholeFile(File("small"), std::string::npos, read).ok());
    EXPECT_EQ(read, "small");
    ASSERT_TRUE(ReadWholeFile(File("small"), std::size_t{1} << 50, read).ok());
    EXPECT_EQ(read, "small");
    std::istringstream in("streamed");
    ASSERT_TRUE(ReadWholeStream(in, std::string::npos, read).ok());
    EXPECT_EQ(read, "streamed");
}

// A pipe and a file of the kernel say no size: they are read to their end,
// and the limit still holds.
TEST_F(WholeFileTest, InputWithoutASizeIsReadToItsEndAndLimited) {
    const std::string bytes = Bytes(1 << 20);
    ASSERT_TRUE(ReadWholeFile(Pipe(bytes), bytes.size(), read).ok());
    EXPECT_EQ(read, bytes);
    writer.join();
    std::filesystem::remove(dir / "pipe");

    EXPECT_TRUE(ReadWholeFile(Pipe(bytes), bytes.size() - 1, read).IsInvalidInput());
    EXPECT_EQ(read, "");
    writer.join();

    ASSERT_TRUE(ReadWholeFile("/proc/self/status", 1 << 20, read).ok());
    EXPECT_NE(read.find("Name:"), std::string::npos);
}

TEST_F(WholeFileTest, AStreamIsReadToItsEndAndLimited) {
    const std::string bytes = Bytes(200000);
    std::istringstream whole(bytes);
    ASSERT_TRUE(ReadWholeStream(whole, bytes.size(), read).ok());
    EXPECT_EQ(read, bytes);
    std::istringstream over(bytes);
    const Status s = ReadWholeStream(over, bytes.size() - 1, read);
    EXPECT_TRUE(s.IsInvalidInput());
    EXPECT_EQ(read, "");
}

TEST_F(WholeFileTest, FailuresSayWhatKindTheyAre) {
    read = "old";
    EXPECT_TRUE(ReadWholeFile(dir / "missing", 10, read).IsNotFound());
    EXPECT_EQ(read, "");
    EXPECT_TRUE(ReadWholeFile(File("x") + "/below", 10, read).IsNotFound());
    EXPECT_TRUE(ReadWholeFile(dir.path(), 10, read).IsInvalidInput());
    // Opens, but a read of its first page fails: nothing is mapped at address 0.
    const Status unreadable = ReadWholeFile("/proc/self/mem", 10, read);
    EXPECT_TRUE(unreadable.IsIOError()) << unreadable.message();
    EXPECT_EQ(read, "");
}

}  // namespace
}  // namespace morvel
