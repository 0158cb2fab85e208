// export --format reg, load and backup as a user runs them.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "CliRunner.h"
#include "core/platform/CodePage.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

class LoadBackupCliTest : public test::CliRunner {
  protected:
    // Tables, two examples with Cyrillic and quoted values, and a language.
    void MakeStore() {
        ASSERT_EQ(Run({"sequences", "set", "virus", "Вирус \"x\""}), 0);
        ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
        ASSERT_EQ(Run({"remember", Put("v1.exe", "a virus"), "kind=Кот \\ \"в\""}), 0);
        ASSERT_EQ(Run({"remember", Put("c1.scr", "clean"), "kind=clean"}), 0);
        ASSERT_EQ(Run({"language", "import", MORVEL_SOURCE_DIR "/Interfaces/English.lng"}), 0);
    }
    // Runs args on the store at path instead of the fixture's.
    int RunOn(const std::string& path, std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"morvel-cli", "--store", path});
        out.str("");
        err.str("");
        std::istringstream in(input);
        return RunCli(args, in, out, err);
    }
    std::string Export(const std::string& path) {
        EXPECT_EQ(RunOn(path, {"export", "--format", "reg"}), 0) << err.str();
        return out.str();
    }
};

TEST_F(LoadBackupCliTest, AnExportLoadsIntoAFreshStoreAndIsExportedAgainByteForByte) {
    MakeStore();
    const std::string reg = Export(dir.Store());
    test::WriteFile(dir / "store.reg", reg);

    ASSERT_EQ(RunOn(dir / "copy.sqlite", {"load", dir / "store.reg"}), 0) << err.str();
    EXPECT_TRUE(out.str().starts_with("loaded "));
    EXPECT_EQ(Export(dir / "copy.sqlite"), reg);
    // The same through the version 5.00 form, read from standard input.
    const std::string version5 =
        test::Utf16("Windows Registry Editor Version 5.00" + codepage::FromAnsi(reg).substr(8));
    ASSERT_EQ(RunOn(dir / "unicode.sqlite", {"load", "-"}, version5), 0) << err.str();
    EXPECT_EQ(Export(dir / "unicode.sqlite"), reg);

    // And from a named pipe, as from a shell's process substitution: it
    // cannot be read twice, so it is kept aside like standard input.
    const std::string pipe = dir / "store.pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { test::WriteFile(pipe, reg); });
    EXPECT_EQ(RunOn(dir / "piped.sqlite", {"load", pipe}), 0) << err.str();
    writer.join();
    EXPECT_EQ(Export(dir / "piped.sqlite"), reg);
}

TEST_F(LoadBackupCliTest, RefusedLinesAreListedWithTheFileAndLineAndNothingIsLoaded) {
    MakeStore();
    ASSERT_EQ(Run({"dump"}), 0);
    const std::string before = out.str();
    test::WriteFile(dir / "bad.reg",
                    "REGEDIT4\r\n\r\n"
                    "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]\r\n"
                    "\"mnFile\"=\"Hijacked\"\r\n"
                    "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\..\\..\\Other]\r\n"
                    "\"x\"=\"y\"\r\n"
                    "\"mnOpen\"=-\r\n");
    EXPECT_EQ(Run({"load", "--replace", dir / "bad.reg"}), 1);
    EXPECT_TRUE(ErrHas(dir / "bad.reg:5: the key [")) << err.str();
    EXPECT_TRUE(ErrHas(dir / "bad.reg:7: a deletion of a value")) << err.str();
    EXPECT_FALSE(ErrHas(":6:"));  // a value of a refused key is not listed again
    EXPECT_TRUE(ErrHas("nothing was loaded"));
    test::WriteFile(dir / "notes.txt", "just some text\n");
    EXPECT_EQ(Run({"load", dir / "notes.txt"}), 1);
    EXPECT_TRUE(ErrHas("REGEDIT4"));
    EXPECT_EQ(Run({"load", dir / "missing.reg"}), 1);
    ASSERT_EQ(Run({"dump"}), 0);
    EXPECT_EQ(out.str(), before);
}

TEST_F(LoadBackupCliTest, AStoreWithExamplesTakesAFileOnlyWithReplaceOrAppendExamples) {
    MakeStore();
    const std::string reg = Export(dir.Store());
    test::WriteFile(dir / "store.reg", reg);
    EXPECT_EQ(Run({"load", dir / "store.reg"}), 1);
    EXPECT_TRUE(ErrHas("--replace")) << err.str();
    EXPECT_EQ(Run({"load", "--replace", "--append-examples", dir / "store.reg"}), 2);
    ASSERT_EQ(Run({"load", "--append-examples", dir / "store.reg"}), 0) << err.str();
    EXPECT_EQ(out.str(), "appended 2 examples: Example3 to Example4\n");
    ASSERT_EQ(Run({"remember", Put("n.exe", "new"), "kind=new"}), 0);
    EXPECT_EQ(out.str(), "5\n");
    // Replacing gives back exactly the exported key.
    ASSERT_EQ(Run({"load", "--replace", dir / "store.reg"}), 0) << err.str();
    EXPECT_EQ(Export(dir.Store()), reg);
}

// A cut copy once loaded part of the examples, said "loaded" and exited 0.
TEST_F(LoadBackupCliTest, ACutExportIsRefusedAndACutEditorFileLoadsSayingWhatIsMissing) {
    MakeStore();
    ASSERT_EQ(Run({"remember", Put("n.exe", "new"), "kind=new"}), 0);
    const std::string reg = Export(dir.Store());
    const std::size_t lastExample = reg.rfind("\\Examples\\Example");
    ASSERT_NE(lastExample, std::string::npos);
    const std::string cut = reg.substr(0, reg.rfind("\r\n[", lastExample) + 2);
    test::WriteFile(dir / "cut.reg", cut);
    EXPECT_EQ(RunOn(dir / "copy.sqlite", {"load", dir / "cut.reg"}), 1);
    EXPECT_TRUE(ErrHas("closing line")) << err.str();
    EXPECT_TRUE(ErrHas("nothing was loaded")) << err.str();
    ASSERT_EQ(RunOn(dir / "copy.sqlite", {"dump"}), 0);
    EXPECT_EQ(out.str().find("Examples"), std::string::npos) << out.str();

    // The registry editor's own file has no closing line: its gaps load, and are counted.
    std::string editors;
    for (std::size_t pos = 0; pos < cut.size();) {
        const std::size_t end = cut.find("\r\n", pos) + 2;
        if (cut[pos] != ';') editors += cut.substr(pos, end - pos);
        pos = end;
    }
    test::WriteFile(dir / "editors.reg", editors);
    EXPECT_EQ(RunOn(dir / "gaps.sqlite", {"load", dir / "editors.reg"}), 0) << err.str();
    EXPECT_TRUE(ErrHas("1 of the 3 examples")) << err.str();
}

TEST_F(LoadBackupCliTest, BackupWritesAPrivateCopyAndNeverOverwritesUnasked) {
    MakeStore();
    const std::string reg = Export(dir.Store());
    const std::string copy = dir / "backup.sqlite";
    ASSERT_EQ(Run({"backup", copy}), 0) << err.str();
    struct stat st;
    ASSERT_EQ(stat(copy.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Export(copy), reg);  // the copy opens as a store, as it is

    ASSERT_EQ(Run({"remember", Put("n.exe", "new"), "kind=new"}), 0);
    EXPECT_EQ(Run({"backup", copy}), 1);
    EXPECT_TRUE(ErrHas("--force"));
    EXPECT_EQ(Export(copy), reg);
    ASSERT_EQ(Run({"backup", "--force", copy}), 0);
    EXPECT_NE(Export(copy), reg);

    {
        // Never over a store in use: its log would be replayed into the copy.
        Registry open;
        ASSERT_TRUE(open.Open(copy).ok());
        EXPECT_EQ(Run({"backup", "--force", copy}), 1);
    }
    EXPECT_EQ(Run({"backup", "--force", dir.Store()}), 1);  // never over the store itself
    EXPECT_EQ(Run({"backup", "--force", dir.path()}), 1);
    EXPECT_EQ(Run({"backup", dir / "no folder/backup.sqlite"}), 1);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(
        std::count_if(names.begin(), names.end(), [](const std::string& n) { return n.starts_with("."); }),
        0);
}

// The fault pinned: backup --force replaced whatever its FILE was, so as root
// `backup --force /dev/null` turned the device into a copy of the store.
TEST_F(LoadBackupCliTest, BackupForceReplacesOnlyARegularFile) {
    MakeStore();
    const std::string target = dir / "target.sqlite";
    test::WriteFile(target, "old");
    symlink(target.c_str(), (dir / "link").c_str());
    mkfifo((dir / "fifo").c_str(), 0600);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "sock";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::vector<std::string> refused = {dir / "link", dir / "fifo", socketPath};
    // A device of its own (the null device's numbers), where the user may make one.
    if (mknod((dir / "null").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) refused.push_back(dir / "null");
    for (const auto& path : refused) {
        struct stat before;
        ASSERT_EQ(lstat(path.c_str(), &before), 0);
        EXPECT_EQ(Run({"backup", "--force", path}), 1) << path;
        EXPECT_TRUE(ErrHas(path + " is a")) << err.str();
        struct stat after;
        ASSERT_EQ(lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << path;
        EXPECT_EQ(after.st_mode, before.st_mode) << path;
    }
    close(sock);
    EXPECT_EQ(test::ReadFile(target), "old");  // not written through the link either
    ASSERT_EQ(Run({"backup", "--force", target}), 0) << err.str();
    EXPECT_EQ(Export(target), Export(dir.Store()));
}

}  // namespace
}  // namespace morvel
