// export --format reg, load and backup as a user runs them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

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

}  // namespace
}  // namespace morvel
