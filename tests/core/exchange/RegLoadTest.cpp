// Registry-editor files written from a store and loaded into one: the form
// the editor writes, exact round trips in both forms, every refusal, and the
// three ways into a store that holds examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/examples/CompactExamples.h"
#include "core/exchange/RegFileWriter.h"
#include "core/exchange/RegLoad.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

const std::string kBase(kBaseKey);
const std::string kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel";

// A file as the registry editor exports the program's key: CRLF, a blank line
// before each key and at the end, escapes, dword:, hex: and hex(N): wrapped
// at 80 columns, subkeys ordered by their upper-cased names.
const std::string kEditorFile = codepage::ToAnsi(
    "REGEDIT4\r\n"
    "\r\n" +
    kKey + "]\r\n" +
    "\"ListStyle\"=dword:00000001\r\n"
    "\"ShowFound\"=dword:ffffffff\r\n"
    "\r\n" +
    kKey + "\\Attributes]\r\n" + "\r\n" + kKey + "\\Attributes\\Contain]\r\n" +
    "\"Count\"=dword:00000002\r\n"
    "\"Value1\"=\"C:\\\\Windows\\\\\"\r\n"
    "\"Value2\"=\"say \\\"hi\\\"\"\r\n"
    "\r\n" +
    kKey + "\\Examples]\r\n" +
    "\"Count\"=dword:0000000a\r\n"
    "\r\n" +
    kKey + "\\Examples\\Example10]\r\n" +
    "\"Standard1\"=dword:00000001\r\n"
    "\"TargetРод\"=\"вирус\"\r\n"
    "\r\n" +
    kKey + "\\Examples\\Example2]\r\n" +
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
    "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b\r\n"
    "\"Multi\"=hex(7):6f,6e,65,00,74,77,6f,00,00\r\n"
    "\"Short\"=hex(4):01,02\r\n"
    "\r\n" +
    kKey + "\\Interface]\r\n" +
    "@=\"default\"\r\n"
    "\"Empty\"=\"\"\r\n"
    "\"mnFile\"=hex(1):46,69,6c,65,00\r\n"
    "\"Two lines\"=hex(1):61,0d,0a,62\r\n"
    "\r\n" +
    kKey + "\\Zeta]\r\n" + "\r\n" + kKey + "\\_Last]\r\n" + "\r\n" + kKey + "\\Вирус]\r\n" + "\r\n");

class RegLoadTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(registry.Open(dir.Store()).ok()); }

    static std::string Export(const Registry& r) {
        std::ostringstream out;
        EXPECT_TRUE(ExportRegFile(r, out).ok());
        return out.str();
    }
    // Loads bytes into r; the outcome and the plan's problems are kept.
    Status Load(Registry& r, const std::string& bytes, LoadMode mode = LoadMode::kIntoStoreWithoutExamples) {
        Status s = PlanLoad(bytes, plan);
        return s ? ApplyLoad(r, plan, bytes, mode, outcome) : s;
    }
    // Every key and value of a store with its type and exact bytes.
    static std::string Everything(const Registry& r, const std::string& path = "") {
        std::string all = path + "\n";
        for (const auto& v : test::ValuesOf(r, path)) {
            all += "  " + v.name + " " + std::to_string(v.type) + ":";
            for (const char c : v.bytes) all += std::to_string(static_cast<std::uint8_t>(c)) + ",";
            all += "\n";
        }
        for (const auto& child : test::Subkeys(r, path))
            all += Everything(r, path.empty() ? child : path + "\\" + child);
        return all;
    }
    void Put(const std::string& key, const std::string& name, std::int32_t type, const std::string& bytes) {
        ASSERT_TRUE(registry.OpenKey(kBase + key));
        ASSERT_TRUE(registry.SetKeyValue(kBase + key, name, type, bytes));
    }
    // The file without its comment lines (those an export adds around its keys).
    static std::string WithoutComments(const std::string& file) {
        std::string kept;
        for (std::size_t pos = 0; pos < file.size();) {
            const std::size_t end = std::min(file.find("\r\n", pos), file.size());
            if (file[pos] != ';') kept += file.substr(pos, end + 2 - pos);
            pos = end + 2;
        }
        return kept;
    }
    // A store with the two tables and n examples of a few values each.
    void PutExamples(int n) {
        Put("\\Attributes\\Contain", "Count", 4, std::string("\x01\0\0\0", 4));
        Put("\\Attributes\\Contain", "Value1", 1, "MZ");
        Put("\\Attributes\\Target", "Count", 4, std::string("\x01\0\0\0", 4));
        Put("\\Attributes\\Target", "Id1", 1, "kind");
        Put("\\Examples", "Count", 4, std::string(1, static_cast<char>(n)) + std::string(3, '\0'));
        for (int i = 1; i <= n; ++i) {
            const std::string key = "\\Examples\\Example" + std::to_string(i);
            Put(key, "Standard1", 4, std::string(1, static_cast<char>(1 + i % 3)) + std::string(3, '\0'));
            Put(key, "ContainMZ", 4, std::string("\x02\0\0\0", 4));
            Put(key, "Targetkind", 1, "class " + std::to_string(i % 4));
        }
    }
    // The file cut at the line end nearest to fraction of its length.
    static std::string CutAt(const std::string& file, double fraction) {
        return file.substr(0, file.find("\r\n", static_cast<std::size_t>(file.size() * fraction)) + 2);
    }
    // A registry file in the version 5.00 form with the same content.
    static std::string AsVersion5(const std::string& regedit4) {
        const std::string text = codepage::FromAnsi(regedit4);
        return test::Utf16("Windows Registry Editor Version 5.00" +
                           text.substr(std::string("REGEDIT4").size()));
    }

    test::TempDir dir;
    Registry registry;
    LoadPlan plan;
    LoadOutcome outcome;
};

TEST_F(RegLoadTest, AFileAsTheRegistryEditorWritesItLoadsAndIsWrittenBackByteForByte) {
    ASSERT_TRUE(Load(registry, kEditorFile).ok());
    std::string text;
    // A text line gives the text's bytes, as the program stores texts; hex(1) gives exact bytes.
    EXPECT_EQ(test::ValuesOf(registry, kBase + "\\Attributes\\Contain")[1].bytes, "C:\\Windows\\");
    EXPECT_TRUE(registry.GetKeyText(kBase + "\\Interface", "mnFile", text));
    EXPECT_EQ(text, "File");
    EXPECT_EQ(test::Number(registry, kBase, "ShowFound"), -1);
    EXPECT_TRUE(registry.GetKeyText(kBase + "\\Examples\\Example10", "TargetРод", text));
    EXPECT_EQ(text, "вирус");
    EXPECT_TRUE(test::Exists(registry, kBase + "\\Zeta"));
    EXPECT_EQ(outcome.values, 15u);
    EXPECT_EQ(WithoutComments(Export(registry)), kEditorFile);
}

TEST_F(RegLoadTest, EveryValueTheStoreCanHoldComesBackExactlyThroughBothForms) {
    std::string everyByte;
    for (int b = 0; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
    Put("", "", 1, "the default value");
    Put("\\Examples\\Example1", "TargetВид", 1, codepage::ToAnsi("Кот \"в\" C:\\сапогах\\"));
    Put("\\Examples\\Example1", "Empty", 1, "");
    Put("\\Examples\\Example1", "OnlyAZero", 1, std::string(1, '\0'));
    Put("\\Examples\\Example1", "TwoZeros", 1, std::string("ab\0\0", 4));
    Put("\\Examples\\Example1", "Control", 1, "tab\there\x01\x1A\x7F\x98");
    Put("\\Examples\\Example1", "Standard1", 4, std::string("\xFF\xFF\xFF\x7F", 4));
    Put("\\Examples\\Example1", "Five", 4, "12345");
    Put("\\Examples\\Example1", "Binary", 3, everyByte);
    Put("\\Examples\\Example1", "Nothing", 0, "");
    Put("\\Examples\\Example1", "Negative type", -2, "x");
    Put("\\Examples\\Example1", std::string(300, 'n'), 2, "long name");
    Put("\\Interface", "mnFile", 1, codepage::ToAnsi("Файл") + '\0');
    ASSERT_TRUE(registry.OpenKey(kBase + "\\Empty\\Deeper"));  // keys without values
    const std::string exported = Export(registry);
    const std::string stored = Everything(registry);

    test::TempDir other;
    Registry fresh;
    ASSERT_TRUE(fresh.Open(other.Store()).ok());
    ASSERT_TRUE(Load(fresh, exported).ok()) << (plan.problems.empty() ? "" : plan.problems[0].message);
    EXPECT_EQ(Everything(fresh), stored);
    EXPECT_EQ(Export(fresh), exported);

    Registry unicode;
    ASSERT_TRUE(unicode.Open(other / "unicode.sqlite").ok());
    ASSERT_TRUE(Load(unicode, AsVersion5(exported)).ok());
    EXPECT_EQ(Everything(unicode), stored);
    EXPECT_EQ(Export(unicode), exported);
}

TEST_F(RegLoadTest, EveryRefusedLineIsNamedAndNothingIsLoaded) {
    struct Case {
        std::string lines;  // from line 3 on
        int refused;
    };
    const std::vector<Case> cases = {
        {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norwick\\Morvel]\r\n", 3},
        {"[HKCU\\SOFTWARE\\Norwick\\Morvel]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvelx]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\..\\Other]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Examples\\..\\..\\..\\x]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\.]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\\\Norwick\\Morvel]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\]\r\n", 3},
        {"[ HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel]\r\n", 3},
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\" + std::string(256, 'k') + "]\r\n", 3},
        {"[-HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Examples]\r\n", 3},
        {kKey + "]\r\n\"ShowFound\"=-\r\n", 4},
        {kKey + "]\r\n\"Big\"=hex:" +
             [] {
                 std::string bytes = "00";
                 for (int i = 0; i < 1024; ++i) bytes += ",00";
                 return bytes;
             }() +
             "\r\n",
         4},
        {kKey + "]\r\n\"" + std::string(16384, 'n') + "\"=\"x\"\r\n", 4},
        {kKey + "]\r\n\"a\"=\"b\r\n", 4},
        {kKey + "]\r\n\"a\"=dword:1\r\nnonsense\r\n", 5},
    };
    for (const auto& c : cases) {
        const std::string file = "REGEDIT4\r\n\r\n" + c.lines;
        EXPECT_FALSE(PlanLoad(file, plan).ok()) << c.lines.substr(0, 80);
        ASSERT_EQ(plan.problems.size(), 1u) << c.lines.substr(0, 80);
        EXPECT_EQ(plan.problems[0].line, c.refused) << c.lines.substr(0, 80);
        EXPECT_FALSE(ApplyLoad(registry, plan, file, LoadMode::kReplace, outcome).ok());
    }
    // A character the code page lacks, in a key, a name or a text.
    for (const std::string& line : {kKey + "\\😀]", kKey + "]\r\n\"😀\"=\"x\"", kKey + "]\r\n\"a\"=\"😀\""}) {
        EXPECT_FALSE(PlanLoad(test::Utf16("Windows Registry Editor Version 5.00\r\n" + line), plan).ok())
            << line;
        EXPECT_EQ(plan.problemCount, 1u) << line;
    }
    EXPECT_FALSE(PlanLoad("Windows Registry Editor Version 5.00\r\n" + kKey + "]\r\n", plan).ok());
    EXPECT_EQ(Everything(registry), "\n");
}

TEST_F(RegLoadTest, AStoreWithExamplesTakesAFileOnlyToReplaceItsKeyOrToAppendExamples) {
    const std::string tables =
        kKey + "\\Attributes\\Contain]\r\n\"Count\"=dword:00000001\r\n\"Value1\"=\"MZ\"\r\n\r\n" + kKey +
        "\\Attributes\\Target]\r\n\"Count\"=dword:00000001\r\n\"Id1\"=\"kind\"\r\n";
    auto examples = [&](int count) {
        std::string text = kKey + "\\Examples]\r\n\"Count\"=dword:0000000" + std::to_string(count) + "\r\n";
        for (int n = 1; n <= count; ++n)
            text += kKey + "\\Examples\\Example" + std::to_string(n) + "]\r\n\"Targetkind\"=\"file" +
                    std::to_string(n) + "\"\r\n";
        return text;
    };
    ASSERT_TRUE(
        Load(registry, "REGEDIT4\r\n" + tables + examples(2) + kKey + "\\Interface]\r\n\"a\"=\"b\"\r\n")
            .ok());
    const std::string before = Everything(registry);

    const std::string other =
        "REGEDIT4\r\n" + tables + examples(3) + kKey + "\\Interface]\r\n\"c\"=\"d\"\r\n";
    EXPECT_FALSE(Load(registry, other).ok());
    EXPECT_TRUE(outcome.storeHasExamples);
    EXPECT_EQ(Everything(registry), before);

    // Appending: the file's examples after the store's, nothing else of the file.
    ASSERT_TRUE(Load(registry, other, LoadMode::kAppendExamples).ok());
    EXPECT_EQ(outcome.firstExample, 3);
    EXPECT_EQ(outcome.exampleCount, 3);
    EXPECT_EQ(test::Number(registry, kBase + "\\Examples", "Count"), 5);
    std::string text;
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(
            registry.GetKeyText(kBase + "\\Examples\\Example" + std::to_string(n), "Targetkind", text));
        EXPECT_EQ(text, "file" + std::to_string(n <= 2 ? n : n - 2));
    }
    EXPECT_FALSE(registry.GetKeyText(kBase + "\\Interface", "c", text));

    // Other tables, keys below Examples that are not the file's examples, and
    // a store key in the way are refused, and nothing is written.
    const std::string appended = Everything(registry);
    std::string otherTables = other;
    otherTables.replace(otherTables.find("\"MZ\""), 4, "\"PE\"");
    Status s = Load(registry, otherTables, LoadMode::kAppendExamples);
    EXPECT_NE(s.message().find("search sequences"), std::string::npos) << s.message();
    std::string otherTargets = other;
    otherTargets.replace(otherTargets.find("\"kind\""), 6, "\"type\"");
    s = Load(registry, otherTargets, LoadMode::kAppendExamples);
    EXPECT_NE(s.message().find("targets"), std::string::npos) << s.message();
    s = Load(registry, other + kKey + "\\Examples\\Example4]\r\n", LoadMode::kAppendExamples);
    EXPECT_NE(s.message().find("line "), std::string::npos) << s.message();
    Put("\\Examples\\Example7", "Targetkind", 1, "left behind");
    const std::string withLeftover = Everything(registry);
    // The same fault as the example store's: the store, not the file, is at fault.
    EXPECT_TRUE(Load(registry, other, LoadMode::kAppendExamples).IsCorrupt());
    EXPECT_EQ(Everything(registry), withLeftover);
    ASSERT_TRUE(registry.DeleteKeyTree(kBase + "\\Examples\\Example7"));
    EXPECT_EQ(Everything(registry), appended);

    // Replacing: the program's key becomes exactly the file's.
    test::TempDir fresh;
    Registry only;
    ASSERT_TRUE(only.Open(fresh.Store()).ok());
    ASSERT_TRUE(Load(only, other).ok());
    ASSERT_TRUE(Load(registry, other, LoadMode::kReplace).ok());
    EXPECT_EQ(Everything(registry), Everything(only));
}

// A copy cut short by a full disk or a dropped connection once loaded as if
// whole: part of the examples, "Count" unchanged, and success reported.
TEST_F(RegLoadTest, AnExportCutShortOrMiscountedIsRefusedWholeNamingWhatIsMissing) {
    PutExamples(40);
    const std::string exported = Export(registry);
    test::TempDir other;
    Registry fresh;
    ASSERT_TRUE(fresh.Open(other.Store()).ok());

    Status s = Load(fresh, CutAt(exported, 0.4));
    EXPECT_TRUE(s.IsInvalidInput());
    EXPECT_NE(s.message().find("closing line"), std::string::npos) << s.message();
    EXPECT_NE(s.message().find("examples"), std::string::npos) << s.message();  // how many are missing
    // Cut inside a line too: the last line may still read as a value.
    s = Load(fresh, exported.substr(0, exported.rfind("dword:") + 8));
    EXPECT_NE(s.message().find("closing line"), std::string::npos) << s.message();

    // A closing line that counts more than the file holds, or lines after it.
    const std::size_t lastKey = exported.rfind("\r\n[");
    const std::string withoutLastKey =
        exported.substr(0, lastKey) + exported.substr(exported.find("\r\n\r\n;", lastKey));
    s = Load(fresh, withoutLastKey);
    EXPECT_NE(s.message().find("missing"), std::string::npos) << s.message();
    EXPECT_FALSE(Load(fresh, exported + kKey + "\\Interface]\r\n\"a\"=\"b\"\r\n").ok());
    EXPECT_EQ(Everything(fresh), "\n");

    ASSERT_TRUE(Load(fresh, exported).ok());
    EXPECT_TRUE(plan.announced);
    EXPECT_EQ(plan.missingExamples, 0);
    EXPECT_EQ(Export(fresh), exported);
}

TEST_F(RegLoadTest, AFileWithoutTheAnnouncementLoadsWithItsGapsAndCountsTheMissingExamples) {
    PutExamples(40);
    const std::string editors = WithoutComments(Export(registry));
    const std::string cut = CutAt(editors, 0.4);
    int present = 0;
    for (std::size_t at = cut.find("\\Examples\\Example"); at != std::string::npos;
         at = cut.find("\\Examples\\Example", at + 1))
        ++present;
    ASSERT_GT(present, 0);
    ASSERT_LT(present, 40);

    test::TempDir other;
    Registry fresh;
    ASSERT_TRUE(fresh.Open(other.Store()).ok());
    ASSERT_TRUE(Load(fresh, cut).ok());
    EXPECT_FALSE(plan.announced);
    EXPECT_EQ(plan.exampleCount, 40);
    EXPECT_EQ(plan.missingExamples, 40 - present);
    EXPECT_EQ(test::Number(fresh, kBase + "\\Examples", "Count"), 40);
    // The examples loaded read as the store reads them, from their compact rows too.
    const CompactExamplesCheck check = CheckCompactExamples(fresh);
    EXPECT_EQ(check.stale, 0) << check.status.message();
}

// Memory once grew with the file: the load now reads it piece by piece.
TEST_F(RegLoadTest, AFileReadPieceByPieceLoadsExactlyAsTheWholeFile) {
    PutExamples(30);
    Put("\\Interface", "mnFile", 1, codepage::ToAnsi("Файл") + '\0');
    Put("\\Examples\\Example3\\Below", "x", 3, std::string(200, '\x7f'));
    const std::string exported = Export(registry);
    const std::string stored = Everything(registry);
    // Pieces of 1 byte split every CRLF and every UTF-16 unit; 4097 bytes most lines.
    for (const std::string& file : {exported, AsVersion5(exported)}) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{4097}}) {
            auto pieces = [&file, piece]() -> RegFileSource {
                return [&file, piece, at = std::size_t{0}](char* buffer, std::size_t size,
                                                           std::size_t& got) mutable {
                    got = std::min({piece, size, file.size() - at});
                    std::copy_n(file.data() + at, got, buffer);
                    at += got;
                    return Status::Ok();
                };
            };
            test::TempDir other;
            Registry fresh;
            ASSERT_TRUE(fresh.Open(other.Store()).ok());
            ASSERT_TRUE(PlanLoad(pieces(), plan).ok());
            ASSERT_TRUE(ApplyLoad(fresh, plan, pieces(), LoadMode::kReplace, outcome).ok());
            EXPECT_EQ(Everything(fresh), stored) << piece;
            const CompactExamplesCheck check = CheckCompactExamples(fresh);
            EXPECT_EQ(check.stale, 0) << piece << " " << check.status.message() << file.substr(0, 3);
        }
    }
    // A file whose examples are out of order (keys below an example before
    // it, an example named twice) loads the same, written value by value.
    const std::string shuffled =
        WithoutComments(exported) + kKey + "\\Examples\\Example2]\r\n\"Late\"=\"v\"\r\n";
    test::TempDir other;
    Registry fresh;
    ASSERT_TRUE(fresh.Open(other.Store()).ok());
    ASSERT_TRUE(Load(fresh, shuffled).ok());
    EXPECT_FALSE(plan.examplesInOrder);
    std::string text;
    EXPECT_TRUE(fresh.GetKeyText(kBase + "\\Examples\\Example2", "Late", text));
    EXPECT_LE(CheckCompactExamples(fresh).stale, 0);  // no row disagrees (or none is kept yet)
}

TEST_F(RegLoadTest, ALineLongerThanTheReaderHoldsIsRefusedAndTheRestIsRead) {
    const std::string file = "REGEDIT4\r\n" + kKey + "]\r\n\"a\"=\"" +
                             std::string(kMaxRegLineBytes + 10, 'x') + "\"\r\n\"b\"=dword:1\r\nnonsense\r\n";
    EXPECT_FALSE(PlanLoad(file, plan).ok());
    ASSERT_EQ(plan.problems.size(), 2u);
    EXPECT_EQ(plan.problems[0].line, 3);
    EXPECT_EQ(plan.problems[1].line, 5);
}

TEST_F(RegLoadTest, TheShippedStarterConfigurationLoads) {
    const std::string path = MORVEL_SOURCE_DIR "/packaging/starter.reg";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no starter configuration in this tree";
    ASSERT_TRUE(Load(registry, test::ReadFile(path)).ok())
        << (plan.problems.empty() ? ""
                                  : std::to_string(plan.problems[0].line) + ": " + plan.problems[0].message);
    EXPECT_GT(test::Number(registry, kBase + "\\Attributes\\Contain", "Count"), 0);
    EXPECT_GT(test::Number(registry, kBase + "\\Attributes\\Target", "Count"), 0);
}

}  // namespace
}  // namespace morvel
