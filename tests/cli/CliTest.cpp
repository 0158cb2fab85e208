#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "CliRunner.h"
#include "TestSupport.h"
#include "cli/Cli.h"
#include "core/classify/ClassificationMethods.h"
#include "core/config/ConfigTables.h"

namespace morvel {
namespace {

// Runs morvel-cli in-process against the test's own store.
class CliTest : public test::CliRunner {};

TEST_F(CliTest, DumpOfANewStoreIsTheHeaderAlone) {
    EXPECT_EQ(Run({"dump"}), 0);
    EXPECT_EQ(out.str(), "REGEDIT4\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(CliTest, DumpOfAFileThatIsNotAStoreFailsAndLeavesIt) {
    const std::string path = dir / "random.bin";
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes.push_back(static_cast<char>((i * 131 + 7) % 251));
    test::WriteFile(path, bytes);
    std::ostringstream o, e;
    EXPECT_EQ(RunCli({"morvel-cli", "dump", "--store", path}, o, e), 2);
    EXPECT_NE(e.str().find(path), std::string::npos);
    EXPECT_EQ(test::ReadFile(path), bytes);
}

TEST_F(CliTest, SequencesSetCleansAndDumpShowsTheKey) {
    EXPECT_EQ(Run({"sequences", "set", "MZ", "PE", "mz", "", "This program"}), 0);
    EXPECT_EQ(out.str(), "MZ\nPE\nThis program\n");
    EXPECT_EQ(Run({"sequences"}), 0);
    EXPECT_EQ(out.str(), "MZ\nPE\nThis program\n");
    EXPECT_EQ(Run({"dump", "Attributes/Contain"}), 0);
    EXPECT_EQ(
        out.str(),
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Attributes\\Contain]\n"
        "\"Count\"=dword:00000003\n\"Value1\"=\"MZ\"\n\"Value2\"=\"PE\"\n\"Value3\"=\"This program\"\n");
    EXPECT_EQ(Run({"dump", "Examples"}), 1);
    EXPECT_EQ(out.str(), "");  // the fault pinned: the header came before the failure
}

TEST_F(CliTest, SequencesSetRefusesMoreThanAHundred) {
    std::vector<std::string> args = {"sequences", "set"};
    for (int i = 0; i < 101; ++i) args.push_back("text" + std::to_string(i));
    EXPECT_EQ(Run(args), 1);
    EXPECT_NE(err.str().find("100"), std::string::npos);
    EXPECT_EQ(Run({"dump"}), 0);
    EXPECT_EQ(out.str(), "REGEDIT4\n");
}

// The fault pinned: a character outside the store's code page was stored as
// "?" and the command said it had succeeded; two such identifiers became one.
TEST_F(CliTest, TextTheStoreCannotHoldIsRefusedNamingTheCharactersAndNothingIsStored) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    const std::string file = Put("setup.exe", "MZ");
    ASSERT_EQ(Run({"dump"}), 0);
    const std::string before = out.str();

    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"remember", file, "kind=日本"}, "日"},
        {{"targets", "add", "日本", "Name", "Naive Bayes"}, "本"},
        {{"targets", "add", "id", "x✓", "Naive Bayes"}, "✓"},
        {{"sequences", "set", "ok", "✓check"}, "✓"},
    };
    for (const auto& [args, character] : refused) {
        EXPECT_NE(Run(args), 0) << args.front();
        EXPECT_TRUE(ErrHas(character)) << err.str();
        EXPECT_EQ(out.str(), "") << args.front();
        ASSERT_EQ(Run({"dump"}), 0);
        EXPECT_EQ(out.str(), before) << args.front();
    }
    // What the code page has is stored as typed.
    EXPECT_EQ(Run({"remember", file, "kind=Ёлка «ёж» №1"}), 0);
    EXPECT_EQ(Run({"dump", "Examples\\Example1"}), 0);
    EXPECT_TRUE(OutHas("\"Targetkind\"=\"Ёлка «ёж» №1\"")) << out.str();
}

// The fault pinned: a search sequence or target identifier of 1,018 to 1,024
// characters was accepted, and from then on no file could be remembered: its
// example's value name ("Contain..." or "Target...") was longer than the store
// holds. The longest one each accepted still lets a file be remembered; one
// character more is refused by every command that takes it, naming it.
TEST_F(CliTest, TargetsAddTakesEveryMethodOfTheTableAndRefusesAnyOtherSpelling) {
    int n = 0;
    for (const ClassificationMethod* method : ClassificationMethods()) {
        const std::string id = "t" + std::to_string(++n);
        EXPECT_EQ(Run({"targets", "add", id, "Name", std::string(method->name)}), 0) << err.str();
        EXPECT_TRUE(OutHas(id + "\tName\t" + std::string(method->name))) << out.str();
    }
    ASSERT_EQ(Run({"dump"}), 0);
    const std::string before = out.str();
    const std::string first(ClassificationMethods().front()->name);
    for (const std::string& wrong : {" " + first, first + " ", std::string("none")}) {
        EXPECT_EQ(Run({"targets", "add", "x", "X", wrong}), 1) << wrong;
        EXPECT_TRUE(ErrHas(QuotedMethodNames(", "))) << err.str();
    }
    ASSERT_EQ(Run({"dump"}), 0);
    EXPECT_EQ(out.str(), before);
}

TEST_F(CliTest, SequencesAndTargetIdsAreRefusedWhereTheyWouldMakeAnExampleUnstorable) {
    const std::string file = Put("setup.exe", "MZ");
    const std::string sequence(kMaxSequenceBytes, 's');
    const std::string id(kMaxTargetIdBytes, 'i');
    ASSERT_EQ(Run({"sequences", "set", sequence}), 0) << err.str();
    ASSERT_EQ(Run({"targets", "add", id, "Kind", "ID3-based"}), 0) << err.str();
    EXPECT_EQ(Run({"remember", file, id + "=installer"}), 0) << err.str();

    ASSERT_EQ(Run({"dump"}), 0);
    const std::string before = out.str();
    const std::string reg = dir / "long.reg";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"sequences", "set", "MZ", sequence + "t"},
             {"targets", "add", id + "j", "Kind", "Naive Bayes"},
             {"load", "--replace", reg},
         }) {
        if (args.front() == "load")
            test::WriteFile(reg,
                            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Attributes\\"
                            "Target]\r\n\"Count\"=dword:00000001\r\n\"Id1\"=\"" +
                                id + "j\"\r\n");
        EXPECT_EQ(Run(args), 1) << args.front();
        EXPECT_TRUE(
            ErrHas(std::to_string(args.front() == "sequences" ? kMaxSequenceBytes : kMaxTargetIdBytes)))
            << err.str();
        // Named by its start, or by its value name and line in a file.
        EXPECT_TRUE(ErrHas(args.front() == "sequences" ? "sss"
                           : args.front() == "targets" ? "iii"
                                                       : ":5: the value \"Id1\""))
            << err.str();
        ASSERT_EQ(Run({"dump"}), 0);
        EXPECT_EQ(out.str(), before) << args.front();
    }
    EXPECT_EQ(Run({"remember", file, id + "=installer"}), 0) << err.str();
}

TEST_F(CliTest, UsageErrorsAndVersion) {
    EXPECT_EQ(Run({}), 2);
    // The fault pinned: an unknown command or option was not named, and
    // "frob --help" printed the general help with status 0.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"frob"}, {"--bogus"}, {"frob", "--help"}}) {
        EXPECT_EQ(Run(args), 2) << args.front();
        EXPECT_TRUE(ErrHas("\"" + args.front() + "\"")) << err.str();
    }
    EXPECT_EQ(Run({"dump", "--bogus"}), 2);
    EXPECT_TRUE(err.str().starts_with("morvel-cli: ")) << err.str();
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_NE(out.str().find(MORVEL_VERSION), std::string::npos);
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out.str().find("dump"), std::string::npos);
}

// The fault pinned: --store "" (a script's unset variable) opened the default store.
TEST_F(CliTest, AnEmptyStorePathIsAUsageErrorAndNoStoreIsOpened) {
    const std::string fallback = dir / "default/store.sqlite";
    const std::string saved = std::getenv("MORVEL_STORE") ? std::getenv("MORVEL_STORE") : "";
    setenv("MORVEL_STORE", fallback.c_str(), 1);
    const int status =
        RunCli({"morvel-cli", "--store", "", "targets", "add", "k", "K", "ID3-based"}, out, err);
    setenv("MORVEL_STORE", saved.c_str(), 1);
    EXPECT_EQ(status, 2);
    EXPECT_TRUE(ErrHas("--store")) << err.str();
    EXPECT_FALSE(std::filesystem::exists(dir / "default"));
}

// The fault pinned: the completion's look-up of target identifiers made a
// store (and its folders) wherever a mistyped --store pointed.
TEST_F(CliTest, ReadOnlyNeverCreatesAStoreAndRefusesWrites) {
    std::ostringstream o, e;
    EXPECT_EQ(RunCli({"morvel-cli", "--read-only", "--store", dir / "new/typo.sqlite", "targets"}, o, e), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "new"));
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    EXPECT_EQ(Run({"--read-only", "targets"}), 0);
    EXPECT_EQ(out.str(), "kind\tKind\tID3-based\n");
    EXPECT_EQ(Run({"--read-only", "targets", "add", "fam", "Family", "Naive Bayes"}), 1);
    EXPECT_TRUE(ErrHas("read-only")) << err.str();
    ASSERT_EQ(Run({"targets"}), 0);
    EXPECT_EQ(Lines().size(), 1u);
}

// The fault pinned: remember with its output lost said only that the output
// could not be written, so a script that retried stored the file twice.
TEST_F(CliTest, AChangeWhoseOutputIsLostSaysWhatWasDoneWithAStatusOfItsOwn) {
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    const std::string file = Put("setup.exe", "MZ");
    std::ostream lost(nullptr);  // every write fails
    std::istringstream in;
    err.str("");
    const int changed =
        RunCli({"morvel-cli", "--store", dir.Store(), "remember", file, "kind=x"}, in, lost, err);
    EXPECT_NE(changed, 0);
    EXPECT_NE(changed, 1);
    EXPECT_NE(changed, 2);
    EXPECT_TRUE(ErrHas("stored " + file + " as example 1")) << err.str();
    EXPECT_EQ(RunCli({"morvel-cli", "--store", dir.Store(), "targets"}, in, lost, err),
              1);  // a read is not done
    ASSERT_EQ(Run({"export", "--format", "csv"}), 0);
    EXPECT_EQ(Lines().size(), 2u);  // the header and the one example
}

TEST_F(CliTest, LanguageImportListsTheSkippedLinesAndKeepsTheGoodOnes) {
    const std::string file = dir / "Mixed.lng";
    test::WriteFile(file,
                    "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]\n"
                    "\"mnFile\"=\"File\"\n\"Count\"=dword:00000002\n");
    EXPECT_EQ(Run({"language", "import", file}), 1);
    EXPECT_EQ(out.str(), "1 texts imported, 1 lines skipped\n");
    EXPECT_EQ(err.str(), file + ":4: only text values are taken (not dword: or hex)\n");
    EXPECT_EQ(Run({"dump", "Interface"}), 0);
    EXPECT_NE(out.str().find("\"mnFile\"=\"File\""), std::string::npos);

    test::WriteFile(file, "not a language\n");
    EXPECT_EQ(Run({"language", "import", file}), 1);
    EXPECT_NE(err.str().find("nothing was imported"), std::string::npos);
    EXPECT_EQ(Run({"language", "import", MORVEL_SOURCE_DIR "/Interfaces/English.lng"}), 0);
    EXPECT_EQ(Run({"language", "import"}), 2);
}

}  // namespace
}  // namespace morvel

namespace morvel {
namespace {

TEST_F(CliTest, AttributesPrintOneLinePerFileInOrder) {
    const std::string exe = dir / "setup.exe";
    test::WriteFile(exe, "MZ this program");
    ASSERT_EQ(Run({"sequences", "set", "PROGRAM", "absent"}), 0);
    EXPECT_EQ(Run({"attributes", exe}), 0);
    EXPECT_EQ(out.str().substr(0, exe.size() + 1), exe + "\t");
    std::istringstream fields(out.str().substr(exe.size() + 1));
    std::vector<int> slots;
    for (int x; fields >> x;) slots.push_back(x);
    ASSERT_EQ(slots.size(), 18u);
    EXPECT_EQ(slots[0], 1);
    EXPECT_EQ(slots[1], 5);
    EXPECT_EQ(slots[16], 1);
    EXPECT_EQ(slots[17], 2);
}

TEST_F(CliTest, AttributesReportFilesThatCannotBeExaminedAndGoOn) {
    const std::string exe = dir / "a.exe";
    test::WriteFile(exe, "MZ");
    const std::string folder = dir / "x.exe";  // a folder with nothing to examine answers for itself
    std::filesystem::create_directory(folder);
    const std::string fifo = dir / "p.exe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Run({"attributes", "--json", "--jobs", "3", "/usr/bin/ls", folder, fifo, exe}), 1);
    std::vector<nlohmann::json> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(lines.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(lines[i]["ok"].get<bool>());
        EXPECT_FALSE(lines[i]["error"].get<std::string>().empty());
    }
    EXPECT_EQ(lines[0]["path"], "/usr/bin/ls");
    EXPECT_TRUE(lines[3]["ok"].get<bool>());
    EXPECT_EQ(lines[3]["size"], 2);
    EXPECT_EQ(lines[3]["window"], 2);
    EXPECT_EQ(lines[3]["vector"].size(), 16u);
    EXPECT_EQ(out.str().substr(0, 9), "{\"path\":\"");  // the documented key order
    EXPECT_NE(err.str().find(folder), std::string::npos);
}

}  // namespace
}  // namespace morvel

namespace morvel {
namespace {

class CliBatchTest : public CliTest {
  protected:
    void SetUp() override {
        for (const char* name :
             {"b.exe", "a.COM", "c.scr", "notes.txt", "sub/d.exe", "sub/deeper/e.exe", "big.exe"})
            Put(name, "MZ");
        Put("big.exe", std::string(5000, 'x'));
    }
    void Put(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(Tree() + "/" + name).parent_path());
        test::WriteFile(Tree() + "/" + name, bytes);
    }
    std::string Tree() const { return dir / "tree"; }
    // The paths of the output lines, below the tree.
    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        std::istringstream lines(out.str());
        for (std::string line; std::getline(lines, line);)
            paths.push_back(line.substr(Tree().size() + 1, line.find('\t') - Tree().size() - 1));
        return paths;
    }
};

TEST_F(CliBatchTest, FoldersGiveTheirExecutablesInNameOrder) {
    EXPECT_EQ(Run({"attributes", "-q", Tree()}), 0);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"a.COM", "b.exe", "big.exe", "c.scr"}));
    EXPECT_EQ(Run({"attributes", "-q", "-r", "--max-size", "4096", Tree()}), 0);
    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"a.COM", "b.exe", "c.scr", "sub/d.exe", "sub/deeper/e.exe"}));
    EXPECT_EQ(Run({"attributes", "-q", "--ext", "txt,.SCR", Tree()}), 0);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"c.scr", "notes.txt"}));
    EXPECT_EQ(Run({"attributes", "-q", "--ext", "txt, scr ", Tree()}),
              0);  // the fault pinned: " scr" was no extension
    EXPECT_EQ(Paths(), (std::vector<std::string>{"c.scr", "notes.txt"}));
    EXPECT_EQ(Run({"attributes", "-q", "--ext", "*", Tree(), "--jobs", "1"}), 0);
    EXPECT_EQ(Paths().size(), 5u);
}

TEST_F(CliBatchTest, PathsFromAListOrStandardInputKeepTheirOrderWithManyWorkers) {
    std::string list;
    std::vector<std::string> expected;
    for (int i = 0; i < 60; ++i) {
        const std::string name = "many/f" + std::to_string(i) + ".exe";
        Put(name, std::string(static_cast<std::size_t>(i * 97), 'z'));
        list += Tree() + "/" + name + "\n";
        expected.push_back(name);
    }
    std::istringstream in(list);
    std::vector<std::string> args = {"morvel-cli", "--store", dir.Store(), "attributes",
                                     "--from",     "-",       "-j",        "4"};
    EXPECT_EQ(RunCli(args, in, out, err), 0);
    EXPECT_EQ(Paths(), expected);
    out.str("");
    test::WriteFile(dir / "list.txt", list);
    EXPECT_EQ(Run({"attributes", "--from", dir / "list.txt", "-j", "2"}), 0);
    EXPECT_EQ(Paths(), expected);
    EXPECT_EQ(err.str(), "");  // no progress line when standard error is no terminal
    // Separated by NUL bytes, a path may hold a line break.
    Put("line\nbreak.exe", "MZ");
    const std::string nulList = Tree() + "/line\nbreak.exe" + std::string(1, '\0') + Tree() + "/b.exe";
    EXPECT_EQ(Run({"attributes", "-0", "--from", "-"}, nulList), 0) << err.str();
    EXPECT_TRUE(out.str().starts_with(Tree() + "/line\nbreak.exe\t")) << out.str();
}

// The fault pinned: --ext and --max-size dropped files named on the command
// line without a word, while remember stored one such file anyway.
TEST_F(CliBatchTest, NamedFilesAreAlwaysTakenAndTheFiltersChooseWhatFoldersGive) {
    EXPECT_EQ(Run({"attributes", "-q", "--ext", "com", "--max-size", "10", Tree() + "/b.exe",
                   Tree() + "/big.exe", Tree()}),
              0);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"b.exe", "big.exe", "a.COM"}));
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "ID3-based"}), 0);
    ASSERT_EQ(Run({"remember", "--ext", "com", Tree() + "/b.exe", Tree() + "/c.scr", "kind=x"}), 0);
    EXPECT_EQ(Lines().size(), 2u);
}

// The fault pinned: a folder with nothing to take was reported as a file name
// without an extension.
TEST_F(CliBatchTest, AFolderThatGivesNoFileIsReportedAsSuch) {
    std::filesystem::create_directory(dir / "empty");
    EXPECT_EQ(Run({"attributes", "-q", dir / "empty"}), 1);
    EXPECT_TRUE(ErrHas(dir / "empty: the folder holds no file")) << err.str();
    EXPECT_EQ(Run({"explain", Tree()}), 1);
    EXPECT_TRUE(ErrHas(Tree() + ": it is a folder")) << err.str();
}

// The fault pinned: a missing file or a folder given as input was reported
// without a reason or with a wrong one ("the file is empty"), and with
// different exit statuses from command to command.
TEST_F(CliBatchTest, AnInputFileThatCannotBeReadIsNamedWithTheReasonAndStatusOne) {
    const std::vector<std::vector<std::string>> commands = {
        {"import", "--format", "csv"}, {"load"}, {"language", "import"}, {"attributes", "--from"}};
    for (auto args : commands) {
        for (const auto& [input, reason] :
             {std::pair<std::string, std::string>{dir / "missing.in", "No such file"},
              std::pair<std::string, std::string>{Tree(), "it is a folder"}}) {
            args.push_back(input);
            EXPECT_EQ(Run(args), 1) << args.front();
            EXPECT_TRUE(ErrHas(input + ": " + reason)) << err.str();
            args.pop_back();
        }
    }
}

// The fault pinned: --json replaced the bytes of a path that are not UTF-8,
// so the path could not be matched back to its file.
TEST_F(CliBatchTest, AJsonPathThatIsNotUtf8IsCarriedExactly) {
    const std::string odd = Tree() + "/odd\xff\xfe.exe";
    test::WriteFile(odd, "MZ");
    for (const std::string command : {"attributes", "classify"}) {
        ASSERT_EQ(Run({command, "--json", odd}), 0) << err.str();
        const auto json = nlohmann::json::parse(Lines().at(0));
        const std::string hex = json.value("path_hex", "");
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        EXPECT_EQ(bytes, odd) << command;
    }
    ASSERT_EQ(Run({"attributes", "--json", Tree() + "/b.exe"}), 0);
    EXPECT_FALSE(nlohmann::json::parse(Lines().at(0)).contains("path_hex"));
}

TEST_F(CliBatchTest, BadInputsAreReported) {
    EXPECT_EQ(Run({"attributes"}), 2);
    EXPECT_EQ(Run({"attributes", "--from", dir / "no-such-list"}), 1);
    EXPECT_NE(err.str().find("no-such-list"), std::string::npos);
    EXPECT_EQ(Run({"attributes", "--max-size", "lots", Tree()}), 2);
    EXPECT_EQ(Run({"attributes", "--jobs", "-3", Tree()}), 2);
    EXPECT_EQ(Run({"attributes", "--max-size", "-1", Tree()}),
              2);  // the fault pinned: taken as the largest size
}

}  // namespace
}  // namespace morvel
