// The reader of registry-editor files, on bytes alone.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "core/exchange/RegFile.h"
#include "core/platform/CodePage.h"

namespace morvel {
namespace {

using Kind = RegStatement::Kind;

// A statement with its views copied out of the callback.
struct Met {
    Kind kind;
    int line;
    std::string key, name;
    std::int32_t type;
    std::string bytes;
    bool quoted, representable;
};

// Every statement but the comments, which comments (when given) gets as line and text.
std::vector<Met> Read(const std::string& bytes, Status* status = nullptr,
                      std::vector<std::pair<int, std::string>>* comments = nullptr) {
    std::vector<Met> met;
    const Status s = ReadRegFile(bytes, [&](const RegStatement& r) {
        if (r.kind == Kind::kComment) {
            if (comments) comments->emplace_back(r.line, std::string(r.text));
            return;
        }
        met.push_back({r.kind, r.line, std::string(r.key), std::string(r.name), r.type, std::string(r.bytes),
                       r.quoted, r.representable});
    });
    if (status) *status = s;
    return met;
}

std::vector<std::pair<Kind, int>> KindsAndLines(const std::vector<Met>& met) {
    std::vector<std::pair<Kind, int>> out;
    for (const auto& m : met) out.emplace_back(m.kind, m.line);
    return out;
}

TEST(RegFileTest, AFileAsTheRegistryEditorWritesItGivesEveryValueWithItsExactBytes) {
    const std::string file = codepage::ToAnsi(
        "REGEDIT4\r\n"
        "\r\n"
        "; written by hand\r\n"                                        // 3
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"                      // 4
        "@=\"default\"\r\n"                                            // 5
        "\"Path \\\"1\\\"\"=\"C:\\\\Windows\\\\ \\\"quoted\\\"\"\r\n"  // 6
        "\"Count\"=dword:0000002A\r\n"                                 // 7
        "\"Blob\"=hex:00,ff,\\\r\n"                                    // 8
        "  10,20\r\n"                                                  // 9
        "\"Multi\"=hex(7):41,00,\\\r\n"                                // 10
        "  42,00,00\r\n"                                               // 11
        "\"Empty\"=hex:\r\n"                                           // 12
        "\"Any\"=hex(ffffffff):01\r\n"                                 // 13
        "\"Gone\"=-\r\n"                                               // 14
        "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"                      // 15
        "\"Skipped\"=\"under a deletion\"\r\n"                         // 16
        "[HKEY_CURRENT_USER\\Software\\Test\\Sub]\r\n"                 // 17
        "\"Имя\"=\"текст\"\r\n");                                      // 18
    Status status;
    std::vector<std::pair<int, std::string>> comments;
    const auto met = Read(file, &status, &comments);
    ASSERT_TRUE(status.ok()) << status.message();
    EXPECT_EQ(comments, (std::vector<std::pair<int, std::string>>{{3, "; written by hand"}}));
    ASSERT_EQ(KindsAndLines(met), (std::vector<std::pair<Kind, int>>{{Kind::kKey, 4},
                                                                     {Kind::kValue, 5},
                                                                     {Kind::kValue, 6},
                                                                     {Kind::kValue, 7},
                                                                     {Kind::kValue, 8},
                                                                     {Kind::kValue, 10},
                                                                     {Kind::kValue, 12},
                                                                     {Kind::kValue, 13},
                                                                     {Kind::kDeleteValue, 14},
                                                                     {Kind::kDeleteKey, 15},
                                                                     {Kind::kKey, 17},
                                                                     {Kind::kValue, 18}}));
    EXPECT_EQ(met[0].key, "HKEY_CURRENT_USER\\Software\\Test");
    EXPECT_EQ(met[1].name, "");
    EXPECT_EQ(met[1].bytes, "default");  // no terminating zero
    EXPECT_TRUE(met[1].quoted);
    EXPECT_EQ(met[2].name, "Path \"1\"");
    EXPECT_EQ(met[2].bytes, "C:\\Windows\\ \"quoted\"");
    EXPECT_EQ(met[3].type, 4);
    EXPECT_EQ(met[3].bytes, std::string("\x2A\0\0\0", 4));
    EXPECT_EQ(met[4].type, 3);
    EXPECT_EQ(met[4].bytes, std::string("\x00\xFF\x10\x20", 4));
    EXPECT_EQ(met[5].type, 7);
    EXPECT_EQ(met[5].bytes, std::string("A\0B\0\0", 5));
    EXPECT_FALSE(met[5].quoted);
    EXPECT_EQ(met[6].bytes, "");
    EXPECT_EQ(met[7].type, -1);
    EXPECT_EQ(met[8].name, "Gone");
    EXPECT_EQ(met[9].key, "HKEY_CURRENT_USER\\Software\\Old");
    EXPECT_EQ(met[11].key, "HKEY_CURRENT_USER\\Software\\Test\\Sub");
    EXPECT_EQ(met[11].name, "Имя");
    EXPECT_EQ(met[11].bytes, codepage::ToAnsi("текст"));
    EXPECT_TRUE(met[11].representable);
}

TEST(RegFileTest, Utf16FilesWithEveryLineEndAndCharactersTheCodePageLacks) {
    const std::string file = test::Utf16(
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\Ключ]\r"
        "\"a\"=\"ё\"\r\n"
        "\r\n"
        "\"b\"=\"a😀b\"\n"
        "\"c\"=hex(2):41,00,\\\r"
        "  00,00");
    const auto met = Read(file);
    ASSERT_EQ(KindsAndLines(met),
              (std::vector<std::pair<Kind, int>>{
                  {Kind::kKey, 2}, {Kind::kValue, 3}, {Kind::kValue, 5}, {Kind::kValue, 6}}));
    EXPECT_EQ(met[0].key, "HKEY_CURRENT_USER\\Ключ");
    EXPECT_TRUE(met[1].representable);
    EXPECT_EQ(met[1].bytes, "\xB8");  // ё in Windows-1251
    EXPECT_FALSE(met[2].representable);
    EXPECT_EQ(met[3].bytes, std::string("A\0\0\0", 4));
}

TEST(RegFileTest, MalformedLinesAreMetAtTheirLinesAndTakeNoGoodLineWithThem) {
    const std::string file =
        "REGEDIT4\n"
        "\"Early\"=\"x\"\n"                       // 2: before any key
        "[HKEY_CURRENT_USER\\A\n"                 // 3: no "]"
        "\"Lost\"=\"under a broken key line\"\n"  // 4: skipped with it
        "[HKEY_CURRENT_USER\\A]\n"                // 5
        "junk\n"                                  // 6
        "\"NoEquals\"\n"                          // 7
        "\"a\"=dword:123456789\n"                 // 8: nine digits
        "\"a\"=dword:xyz\n"                       // 9
        "\"a\"=hex:1,2,zz\n"                      // 10
        "\"a\"=hex:01,,02\n"                      // 11
        "\"a\"=hex(1g):00\n"                      // 12
        "\"a\"=\"a\\q\"\n"                        // 13: an escape the editor never writes
        "\"a\"=\"a\" tail\n"                      // 14
        "\"a\"=qword:00\n"                        // 15
        "\"a\"=hex:01,\\\n"                       // 16: continued, then malformed
        "  0x2\n"                                 // 17
        "\"ok\"=\"yes\"\n"                        // 18
        "\"a\"=hex:00,\\\n";                      // 19: continued past the end
    const auto met = Read(file);
    std::vector<std::pair<Kind, int>> expected = {
        {Kind::kBadLine, 2}, {Kind::kBadKeyLine, 3}, {Kind::kKey, 5}};
    for (int line = 6; line <= 16; ++line) expected.emplace_back(Kind::kBadLine, line);
    expected.emplace_back(Kind::kValue, 18);
    expected.emplace_back(Kind::kBadLine, 19);
    EXPECT_EQ(KindsAndLines(met), expected);
    EXPECT_EQ(Read(std::string("REGEDIT4\n[K]\n\"a\"=\"zero") + '\0' + "byte\"\n")[1].kind, Kind::kBadLine);
}

}  // namespace
}  // namespace morvel
