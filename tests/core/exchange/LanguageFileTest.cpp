#include <gtest/gtest.h>

#include <sstream>

#include "StoreReads.h"
#include "TestSupport.h"
#include "core/exchange/LanguageFile.h"
#include "core/exchange/RegFileWriter.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"

namespace morvel {
namespace {

const std::string kKeyLine = "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]";

std::string Ansi(const std::string& body) {
    return codepage::ToAnsi("REGEDIT4\r\n\r\n" + kKeyLine + "\r\n" + body);
}

class LanguageFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(registry.Open(dir.Store()).ok()); }

    std::string Text(const std::string& name) {
        std::string text;
        return registry.GetKeyText(InterfaceKeyPath(), name, text) ? text : "<missing>";
    }
    // Every key of the store below the root, with its values, as text.
    std::string Dump() {
        std::ostringstream out;
        DumpRegText(registry, "", out);
        return out.str();
    }

    test::TempDir dir;
    Registry registry;
    ParsedLanguage parsed;
};

TEST_F(LanguageFileTest, Regedit4InWindows1251SetsTextsWithTheirTrailingZero) {
    ASSERT_TRUE(ImportLanguage(registry,
                               Ansi("\"mnFile\"=\"Файл\"\r\n\"mnOpen\"=\"Открыть \\\"файл\\\" \\\\ 2\"\r\n"),
                               parsed)
                    .ok());
    EXPECT_EQ(parsed.skippedLines, 0u);
    EXPECT_EQ(Text("mnFile"), "Файл");
    EXPECT_EQ(Text("MNOPEN"), "Открыть \"файл\" \\ 2");
    const auto values = test::ValuesOf(registry, InterfaceKeyPath());
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].type, Registry::kTypeText);
    EXPECT_EQ(values[0].bytes, codepage::ToAnsi("Файл") + std::string(1, '\0'));
}

TEST_F(LanguageFileTest, Utf16FilesLineEndingsAndEmptyTexts) {
    // CR, LF and CRLF line ends; an empty text is stored as one zero byte and reads as found.
    const std::string body = "Windows Registry Editor Version 5.00\n" + kKeyLine +
                             "\r\"mnFile\"=\"Файл\"\r\n\"mnOpen\"=\"\"\n\"Emoji\"=\"a😀b\"";
    ASSERT_TRUE(ImportLanguage(registry, test::Utf16(body), parsed).ok());
    EXPECT_EQ(parsed.skippedLines, 0u);
    EXPECT_EQ(Text("mnFile"), "Файл");
    EXPECT_EQ(Text("mnOpen"), "");
    EXPECT_EQ(Text("Emoji"), "a?b");  // a character Windows-1251 lacks
}

TEST_F(LanguageFileTest, ALaterLanguageKeepsTextsItDoesNotNameAndTheLastOfTwiceGivenWins) {
    ASSERT_TRUE(ImportLanguage(registry, Ansi("\"mnFile\"=\"File\"\n\"mnOpen\"=\"Open\"\n"), parsed).ok());
    ASSERT_TRUE(
        ImportLanguage(registry, Ansi("\"mnOpen\"=\"Öffnen\"\n\"MNOPEN\"=\"Oeffnen\"\n"), parsed).ok());
    EXPECT_EQ(parsed.texts.size(), 1u);
    EXPECT_EQ(Text("mnFile"), "File");
    EXPECT_EQ(Text("mnOpen"), "Oeffnen");
}

TEST_F(LanguageFileTest, HostileLinesAreSkippedAndReportedAndNothingOutsideTheKeyIsWritten) {
    const std::string body =
        "\"Good1\"=\"one\"\n"                                                        // 4
        "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface\\..\\Examples]\n"  // 5
        "\"Count\"=\"7\"\n"                                                          // 6: under that key
        "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Attributes\\Contain]\n"      // 7
        "\"Value1\"=\"MZ\"\n"                                                        // 8
        "[-HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel]\n"                          // 9
        + kKeyLine +
        "\n"                                                          // 10
        "\"Number\"=dword:00000001\n"                                 // 11
        "\"Binary\"=hex:01,02,\\\n"                                   // 12
        "  03,04\n"                                                   // 13: its continuation
        "\"Typed\"=hex(2):41,00\n"                                    // 14
        "\"mnFile\"=-\n"                                              // 15
        "\"Open\"=\"no end\n"                                         // 16
        "\"Bad\"=\"a\\q\"\n"                                          // 17
        "\"Tail\"=\"x\" junk\n"                                       // 18
        "@=\"default\"\n"                                             // 19
        "just words\n"                                                // 20
        "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface\n"  // 21
        "\"Lost\"=\"under a broken key line\"\n"                      // 22
        + kKeyLine +
        "\n"                    // 23
        "\"Good2\"=\"two\"\n";  // 24
    ASSERT_TRUE(ImportLanguage(registry, Ansi(body), parsed).ok());
    std::vector<int> lines;
    for (const auto& p : parsed.problems) lines.push_back(p.line);
    EXPECT_EQ(lines, (std::vector<int>{5, 7, 9, 11, 12, 14, 15, 16, 17, 18, 19, 20, 21}));
    EXPECT_EQ(parsed.skippedLines, lines.size());
    EXPECT_EQ(Dump(),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick]\n\n"
              "[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel]\n\n" +
                  kKeyLine + "\n\"Good1\"=\"one\"\n\"Good2\"=\"two\"\n");
}

TEST_F(LanguageFileTest, ValuesBeforeAnyKeyAndTooLongTextsAreSkipped) {
    const std::string bytes = "REGEDIT4\n\"Early\"=\"x\"\n" + kKeyLine + "\n\"Long\"=\"" +
                              std::string(1024, 'a') + "\"\n\"Fits\"=\"" + std::string(1023, 'b') + "\"\n";
    ASSERT_TRUE(ImportLanguage(registry, bytes, parsed).ok());
    ASSERT_EQ(parsed.problems.size(), 2u);
    EXPECT_EQ(parsed.problems[0].line, 2);
    EXPECT_EQ(parsed.problems[1].line, 4);
    EXPECT_EQ(Text("Long"), "<missing>");
    EXPECT_EQ(Text("Fits"), std::string(1023, 'b'));
}

TEST_F(LanguageFileTest, WholeFilesThatAreNotLanguagesWriteNothing) {
    std::string junk(10u << 20, '\0');
    std::uint32_t x = 12345;
    for (char& c : junk) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    for (const std::string& bytes :
         {std::string(), std::string("\xFF\xFE"), junk,
          std::string("regedit5\n") + kKeyLine + "\n\"a\"=\"b\"\n",
          test::Utf16("REGEDIT4\n" + kKeyLine + "\n\"a\"=\"b\"\n"),
          std::string("Windows Registry Editor Version 5.00\n") + kKeyLine + "\n\"a\"=\"b\"\n",
          std::string("\xEF\xBB\xBFREGEDIT4\n") + kKeyLine + "\n\"a\"=\"b\"\n"}) {
        const Status s = ImportLanguage(registry, bytes, parsed);
        EXPECT_FALSE(s.ok());
        EXPECT_FALSE(s.message().empty());
        EXPECT_TRUE(parsed.texts.empty());
    }
    EXPECT_EQ(Dump(), "REGEDIT4\n");
}

TEST_F(LanguageFileTest, TenMegabytesOfJunkLinesAreCountedButOnlyAHundredListed) {
    std::string bytes = "REGEDIT4\n" + kKeyLine + "\n";
    std::uint32_t x = 7;
    while (bytes.size() < (10u << 20)) {
        std::string line;
        for (int i = 0; i < 60; ++i)
            line.push_back(static_cast<char>(' ' + ((x = x * 69069 + 1) >> 24) % 90));
        line[0] = 'z';  // a line that is neither a key, a value nor a comment
        bytes += line + "\n";
    }
    bytes += "\"mnFile\"=\"last\"\n";
    ASSERT_TRUE(ImportLanguage(registry, bytes, parsed).ok());
    EXPECT_EQ(parsed.problems.size(), kMaxReportedProblems);
    EXPECT_GT(parsed.skippedLines, 100000u);
    EXPECT_EQ(Text("mnFile"), "last");
    EXPECT_EQ(test::Subkeys(registry, std::string(kBaseKey)), std::vector<std::string>{"Interface"});
}

TEST_F(LanguageFileTest, FilesThatCannotBeReadAreReportedAndTheTooLargeRefused) {
    EXPECT_FALSE(ImportLanguageFile(registry, dir / "missing.lng", parsed).ok());
    EXPECT_FALSE(ImportLanguageFile(registry, dir.path(), parsed).ok());
    const std::string big = dir / "big.lng";
    test::WriteFile(big, "REGEDIT4\n" + std::string(kMaxLanguageFileBytes, ';'));
    const Status s = ImportLanguageFile(registry, big, parsed);
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.message().find("larger"), std::string::npos);
    EXPECT_EQ(Dump(), "REGEDIT4\n");
}

TEST_F(LanguageFileTest, TheShippedLanguagesImportCleanlyAndGiveEveryText) {
    const std::string folder = MORVEL_SOURCE_DIR "/Interfaces/";
    ASSERT_TRUE(ImportLanguageFile(registry, folder + "Russian.lng", parsed).ok());
    EXPECT_EQ(parsed.skippedLines, 0u);
    const std::size_t count = parsed.texts.size();
    EXPECT_EQ(Text("mnFile"), "Файл");
    EXPECT_EQ(Text("ButtonOK"), "ОК");
    ASSERT_TRUE(ImportLanguageFile(registry, folder + "English.lng", parsed).ok());
    EXPECT_EQ(parsed.skippedLines, 0u);
    EXPECT_EQ(parsed.texts.size(), count);
    EXPECT_EQ(Text("mnFile"), "File");
    std::vector<std::string> names = {"Unknown", "bytes", "OrMore", "Show0", "Show1"};
    for (int i = 1; i <= 6; ++i) names.push_back("Platform" + std::to_string(i));
    for (int i = 0; i <= 7; ++i) names.push_back("WeekDay" + std::to_string(i));
    for (int i = 0; i <= 4; ++i) names.push_back("Time" + std::to_string(i));
    for (const auto& name : names) EXPECT_NE(Text(name), "<missing>") << name;
    // Both files name the same values, so going back to Russian replaces every English text.
    ASSERT_TRUE(ImportLanguageFile(registry, folder + "Russian.lng", parsed).ok());
    EXPECT_EQ(Text("mnFile"), "Файл");
    EXPECT_EQ(Text("WeekDay1"), "понедельник");
    EXPECT_EQ(Text("bytes"), "байт");
}

}  // namespace
}  // namespace morvel
