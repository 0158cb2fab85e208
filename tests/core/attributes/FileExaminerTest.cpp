#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>

#include "TestSupport.h"
#include "core/attributes/FileExaminer.h"

namespace morvel {
namespace {

constexpr std::uint8_t kYes = 1, kNo = 2;

// Seconds since 1970 of a UTC date and time.
time_t Utc(int year, int month, int day, int hour, int minute) {
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return timegm(&t);
}

class FileExaminerTest : public ::testing::Test {
  protected:
    FileExaminerTest() { state.PlatformVersion = ConfigTables::kNtPlatformVersion; }

    void SetSequences(std::vector<std::string> texts) {
        state.SequenceCount = static_cast<std::int32_t>(texts.size());
        for (std::size_t i = 0; i < texts.size(); ++i) state.SequenceTable[i + 1] = texts[i];
    }
    // Creates dir/name holding bytes and returns its path.
    std::string File(const std::string& name, const std::string& bytes = "x") {
        const std::string path = dir / name;
        test::WriteFile(path, bytes);
        return path;
    }
    // A sparse file of the given size with bytes written at chosen offsets.
    std::string SparseFile(const std::string& name, off_t size,
                           std::vector<std::pair<off_t, std::string>> at = {}) {
        const std::string path = dir / name;
        const int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        EXPECT_EQ(ftruncate(fd, size), 0);
        for (const auto& [offset, bytes] : at)
            EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), offset), static_cast<ssize_t>(bytes.size()));
        close(fd);
        return path;
    }
    void SetModified(const std::string& path, time_t when) {
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    const AttributeSlots& Examine(const std::string& path) {
        {
            const Status examined = examiner.ComputeFileAttributes(path, state);
            EXPECT_TRUE(examined.ok()) << path << ": " << examined.message();
        }
        return examiner.AttributeVector();
    }
    std::uint8_t Slot(const std::string& path, int slot) { return Examine(path)[slot]; }

    test::TempDir dir;
    ConfigTables state;
    FileExaminer examiner;
};

TEST_F(FileExaminerTest, NameAttributesFollowTheLoweredBaseName) {
    auto v = Examine(File("setup.exe"));
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[2], 5);
    EXPECT_EQ(v[3], 4);
    EXPECT_EQ(v[4], kNo);
    EXPECT_EQ(v[5], kNo);
    EXPECT_EQ(v[6], kNo);
    EXPECT_EQ(v[7], kYes);

    v = Examine(File("~Tmp1.SCR"));
    EXPECT_EQ(v[1], 3);
    EXPECT_EQ(v[3], 5);
    EXPECT_EQ(v[4], kYes);
    EXPECT_EQ(v[6], kNo);  // "~" is in no class
    EXPECT_EQ(v[7], kYes);

    v = Examine(File("my file.com"));
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 7);
    EXPECT_EQ(v[3], 1);
    EXPECT_EQ(v[6], kYes);

    v = Examine(File("archive.tar.gz"));
    EXPECT_EQ(v[1], 4);
    EXPECT_EQ(v[2], 11);
    EXPECT_EQ(v[6], kYes);

    v = Examine(File("ПРОГРАММА.exe"));
    EXPECT_EQ(v[2], 9);  // characters, not UTF-8 bytes
    EXPECT_EQ(v[3], 2);
    EXPECT_EQ(v[5], kYes);
    EXPECT_EQ(v[7], kNo);

    v = Examine(File("Ёлка7.EXE"));
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[3], 6);  // ё lowers to 184, outside the Russian range
    EXPECT_EQ(v[4], kYes);
    EXPECT_EQ(v[5], kYes);
    EXPECT_EQ(v[6], kYes);

    v = Examine(File("Installer.exe"));
    EXPECT_EQ(v[3], 4);
    v = Examine(File("2fast.exe"));
    EXPECT_EQ(v[3], 3);
    v = Examine(File("日本.exe"));
    EXPECT_EQ(v[2], 2);  // each character the code page lacks becomes one "?"
    EXPECT_EQ(v[3], 6);
}

TEST_F(FileExaminerTest, AnEmptyBaseNameHasNoFirstSymbolAndNoClasses) {
    const auto v = Examine(File(".exe"));
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[3], 0);
    for (int s = 4; s <= 7; ++s) EXPECT_EQ(v[s], kNo) << s;
}

TEST_F(FileExaminerTest, PathsWithoutAUsableExtensionFailAndChangeNothing) {
    const auto before = Examine(File("setup.exe", "MZ"));
    const std::int32_t size = examiner.CappedFileSize();
    examiner.MarkRemembered(examiner.Generation());
    std::filesystem::create_directory(dir / "my.dir");
    std::filesystem::create_directory(dir / "a.b");
    for (const std::string& path : {File("README"), File("file."), dir / "my.dir", File("a.b/README"),
                                    dir / "missing.exe", std::string("setup.exe"), std::string("")}) {
        const Status failed = examiner.ComputeFileAttributes(path, state);
        EXPECT_FALSE(failed.ok()) << path;
        EXPECT_FALSE(failed.message().empty());
        EXPECT_EQ(examiner.AttributeVector(), before);
        EXPECT_EQ(examiner.CappedFileSize(), size);
        EXPECT_FALSE(examiner.AttributesFresh());
        EXPECT_EQ(examiner.WindowLength(), 2);
    }
}

TEST_F(FileExaminerTest, APipeOrDeviceAnswersAtOnce) {
    const std::string fifo = dir / "p.exe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto result = std::async(std::launch::async, [&] {
        FileExaminer other;
        return other.ComputeFileAttributes(fifo, state);
    });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "blocked on a pipe";
    EXPECT_FALSE(result.get());
    EXPECT_FALSE(examiner.ComputeFileAttributes("/dev/zero", state));  // no extension
    ASSERT_EQ(symlink("/dev/null", (dir / "null.com").c_str()), 0);
    EXPECT_FALSE(examiner.ComputeFileAttributes(dir / "null.com", state));
}

TEST_F(FileExaminerTest, SizeClassesAndTheCappedSize) {
    const std::pair<off_t, int> cases[] = {{0, 1},
                                           {1023, 1},
                                           {1024, 2},
                                           {10239, 2},
                                           {10240, 3},
                                           {102400, 4},
                                           {1048575, 4},
                                           {1048576, 5},
                                           {10485760, 6},
                                           {104857600, 7},
                                           {1073741823, 7},
                                           {1073741824, 8},
                                           {int64_t{3} << 30, 8}};
    for (const auto& [size, cls] : cases) {
        const auto v = Examine(SparseFile("s.exe", size));
        EXPECT_EQ(v[8], cls) << size;
        EXPECT_EQ(examiner.CappedFileSize(), std::min<off_t>(size, off_t{1} << 30)) << size;
    }
}

TEST_F(FileExaminerTest, TheLastWriteTimeIsTakenInUtc) {
    const std::string path = File("t.exe");
    SetModified(path, Utc(2003, 3, 5, 3, 59));  // a Wednesday
    auto v = Examine(path);
    EXPECT_EQ(v[10], 5);
    EXPECT_EQ(v[11], 3);
    EXPECT_EQ(v[12], 103);
    EXPECT_EQ(v[13], 3);
    EXPECT_EQ(v[15], 1);
    const std::pair<int, int> hours[] = {{4 * 60, 2},       {9 * 60 + 59, 2}, {10 * 60, 3}, {16 * 60, 4},
                                         {21 * 60 + 59, 4}, {22 * 60, 1},     {0, 1}};
    for (const auto& [minutes, cls] : hours) {
        SetModified(path, Utc(2003, 3, 5, minutes / 60, minutes % 60));
        EXPECT_EQ(Slot(path, 15), cls) << minutes;
    }
    SetModified(path, Utc(2026, 12, 6, 12, 0));  // a Sunday
    EXPECT_EQ(Slot(path, 13), 7);
    SetModified(path, Utc(2026, 12, 7, 12, 0));
    EXPECT_EQ(Slot(path, 13), 1);
    // Years that one byte cannot hold give 0; the other date slots stay.
    SetModified(path, Utc(2300, 12, 31, 12, 0));  // ext4 keeps no times before 1901
    v = Examine(path);
    EXPECT_EQ(v[12], 0);
    EXPECT_EQ(v[10], 31);
    SetModified(path, Utc(2156, 1, 1, 12, 0));
    EXPECT_EQ(Slot(path, 12), 0);
    SetModified(path, Utc(2155, 12, 31, 12, 0));
    EXPECT_EQ(Slot(path, 12), 255);
}

// What the examiner writes and what the table of families says of it agree:
// every value is a code its slot takes, and a date reads back as itself.
TEST_F(FileExaminerTest, EveryValueIsACodeOfItsSlotAndTheYearReadsBack) {
    SetSequences({"mz", "absent"});
    BuildAttributeNames(state);
    const std::string unknown = ValueMeaning("", 1);
    const std::string files[] = {File("setup.exe", "MZ\xB8\x00\x00\xCD\x33"), File("1~x.com", ""),
                                 File("Вирус-2.scr", std::string(5000, 'm') + "MZ"), File("a.txt", "z")};
    for (const std::string& path : files) {
        SetModified(path, Utc(2003, 3, 5, 12, 0));
        const AttributeSlots& v = Examine(path);
        for (std::int32_t s = 1; s <= state.AttributeCount; ++s)
            EXPECT_NE(ValueMeaning(state.AttributeNames[s], v[s]), unknown)
                << path << ": " << state.AttributeNames[s] << " = " << int{v[s]};
        EXPECT_NE(ValueMeaning(state.AttributeNames[slot::kYear], v[slot::kYear]).find("2003"),
                  std::string::npos);
    }
}

TEST_F(FileExaminerTest, TheSystemFlagComesFromTheDosAttributeOnly) {
    const std::string path = File("sys.exe");
    chmod(path.c_str(), 0777);
    EXPECT_EQ(Slot(path, 14), kNo);
    if (setxattr(path.c_str(), "user.DOSATTRIB", "0x24", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes here";
    EXPECT_EQ(Slot(path, 14), kYes);
    setxattr(path.c_str(), "user.DOSATTRIB", "0x20", 4, 0);
    EXPECT_EQ(Slot(path, 14), kNo);
}

TEST_F(FileExaminerTest, TheMouseInterruptMarker) {
    auto marker = [&](std::string bytes) { return Slot(File("m.com", bytes), 16); };
    std::string contents(200, 'a');
    contents[100] = '\xB8';
    contents.replace(103, 2, "\xCD\x33");
    EXPECT_EQ(marker(contents), kYes);
    EXPECT_EQ(marker(std::string("\xB8\x01\xCD\x33", 4)), kYes);  // only offsets 1 and 0 lie before
    EXPECT_EQ(marker(std::string("\xEB\x00\x00\x00\x00\x00\xCD\x33", 8)), kNo);  // six bytes back
    EXPECT_EQ(marker(std::string("\xCD\x33\x00\xB8\x00\xCD\x33", 7)), kNo);  // a later CD 33 does not count
    EXPECT_EQ(marker(std::string("\xED\x33\xB8\xCD", 4)), kNo);  // the raw bytes, not the lowered ones
    EXPECT_EQ(marker(""), kNo);
}

TEST_F(FileExaminerTest, AnEmptyFileFindsNothing) {
    SetSequences({"MZ", "a"});
    const auto v = Examine(File("empty.exe", ""));
    EXPECT_EQ(examiner.WindowLength(), 0);
    EXPECT_EQ(v[17], kNo);
    EXPECT_EQ(v[18], kNo);
    EXPECT_EQ(v[16], kNo);
    EXPECT_EQ(v[9], 4);  // the type query fails on an empty file
}

TEST_F(FileExaminerTest, SequencesIgnoreLetterCase) {
    SetSequences({"MZ", "mz", "This Program", "ВИРУС", "zz", "MZ\x90"});
    for (const std::string start : {"MZ", "mz", "Mz"}) {
        const auto v = Examine(File("a.exe", start + "\x90 this PROGRAM вирус"));
        EXPECT_EQ(v[17], kYes) << start;
        EXPECT_EQ(v[18], kYes);
        EXPECT_EQ(v[19], kYes);
        EXPECT_EQ(v[20], kNo);  // the file is UTF-8 text, the sequence Windows-1251
        EXPECT_EQ(v[21], kNo);
    }
    const auto v = Examine(File("b.exe", "x\xE2\xE8\xF0\xF3\xF1"));  // "вирус" in Windows-1251
    EXPECT_EQ(v[20], kYes);
}

TEST_F(FileExaminerTest, ASmallFileIsReadWholeAndTheSequenceSlotsFollowTheTable) {
    SetSequences({"abc"});
    auto v = Examine(File("a.exe", "abc"));
    EXPECT_EQ(v[17], kYes);
    EXPECT_EQ(v[18], 0);
    SetSequences({"abcd", "", "bc"});  // longer than the file; empty
    v = Examine(File("a.exe", "abc"));
    EXPECT_EQ(v[17], kNo);
    EXPECT_EQ(v[18], kNo);
    EXPECT_EQ(v[19], kYes);
}

// The window of a file over 1 MiB is its first half and then its tail,
// read to two bytes past the middle of the window: the byte between them
// stays as the previous file left it, and two bytes of the file are never
// searched.
TEST_F(FileExaminerTest, ALargeFileIsReadAsHeadAndTail) {
    const std::size_t half = FileExaminer::kHalfWindow;
    std::string earlier(600000, '.');
    earlier[half] = '#';
    Examine(File("earlier.exe", earlier));

    std::string bytes(2 * half + 1, '.');
    auto put = [&](std::size_t at, const std::string& text) { bytes.replace(at, text.size(), text); };
    put(0, "first");
    put(half - 8, "headend");
    put(half - 1, "gap");  // "a" and "p" are the two bytes not read
    put(half + 2, "tailstart");
    put(bytes.size() - 7, "fileend");
    SetSequences({"first", "headend", "gap", "g#t", "ap", "tailstart", "fileend"});
    auto v = Examine(File("big.exe", bytes));
    EXPECT_EQ(examiner.WindowLength(), static_cast<std::int32_t>(bytes.size() - 1));
    EXPECT_EQ(v[17], kYes);  // first
    EXPECT_EQ(v[18], kYes);  // headend
    EXPECT_EQ(v[19], kNo);   // gap
    EXPECT_EQ(v[20], kYes);  // g#t: the earlier file's byte between head and tail
    EXPECT_EQ(v[21], kNo);   // ap
    EXPECT_EQ(v[22], kYes);  // tailstart
    EXPECT_EQ(v[23], kYes);  // fileend

    // One byte shorter, the file is read whole.
    bytes.pop_back();
    v = Examine(File("exact.exe", bytes));
    EXPECT_EQ(examiner.WindowLength(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(v[19], kYes);  // gap
    EXPECT_EQ(v[20], kNo);   // g#t
    EXPECT_EQ(v[21], kYes);  // ap
    EXPECT_EQ(v[22], kYes);  // tailstart
}

TEST_F(FileExaminerTest, OnlyTheHeadAndTailOfALargeFileAreSearched) {
    SetSequences({"middle", "head", "tail", "beyond"});
    const std::int64_t kGiB = std::int64_t{1} << 30;
    auto v = Examine(
        SparseFile("three.exe", 3 << 20, {{0, "head"}, {1500000, "middle"}, {(3 << 20) - 4, "tail"}}));
    EXPECT_EQ(v[17], kNo);
    EXPECT_EQ(v[18], kYes);
    EXPECT_EQ(v[19], kYes);

    // For files beyond 2^30 bytes the tail ends just before offset 2^30.
    v = Examine(SparseFile("two.exe", 2 * kGiB, {{kGiB - 4, "tail"}, {2 * kGiB - 100, "beyond"}}));
    EXPECT_EQ(v[8], 8);
    EXPECT_EQ(examiner.CappedFileSize(), kGiB);
    EXPECT_EQ(v[19], kYes);
    EXPECT_EQ(v[20], kNo);
}

TEST_F(FileExaminerTest, TheTypeIsReadOnNtOnly) {
    const std::string path = File("x.exe", "not an executable");
    EXPECT_EQ(Slot(path, 9), 4);                                    // the query fails
    state.PlatformVersion = static_cast<std::int32_t>(0xC0000A04);  // a consumer-family version value
    EXPECT_EQ(Slot(path, 9), 0);
    EXPECT_EQ(Slot(File("y.com", "\xB4\x4C\xCD\x21"), 9), 0);
    state.PlatformVersion = ConfigTables::kNtPlatformVersion;
    EXPECT_EQ(Slot(File("y.com", "\xB4\x4C\xCD\x21"), 9), 2);
}

}  // namespace
}  // namespace morvel

namespace morvel {
namespace {

// The digest is SHA-256 of the whole file, whether the window holds all of
// it or not; off, the examiner takes none.
TEST_F(FileExaminerTest, TheFingerprintIsTheDigestOfTheWholeFile) {
    const std::string small = File("abc.exe", "abc");
    Examine(small);
    EXPECT_EQ(examiner.Fingerprint(), "");
    examiner.TakeFingerprints(true);
    Examine(small);
    // The digest of "abc" that the SHA-256 standard gives as its first example.
    EXPECT_EQ(examiner.Fingerprint(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    std::string bytes(3 * FileExaminer::kWindowSize + 17, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 4096);
    Sha256 whole;
    whole.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const std::string digest = whole.HexDigest();
    ASSERT_EQ(digest.size(), 64u);
    Examine(File("large.exe", bytes));
    EXPECT_EQ(examiner.Fingerprint(), digest);
    bytes[2 * FileExaminer::kWindowSize] ^= 1;  // a change outside the examined window changes the digest
    Examine(File("large.exe", bytes));
    EXPECT_NE(examiner.Fingerprint(), digest);
}

}  // namespace
}  // namespace morvel
