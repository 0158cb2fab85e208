// The dump mode of the registry-text writer: what `dump` prints. The file
// mode, which `load` reads back, is pinned byte for byte in RegLoadTest.
#include <gtest/gtest.h>

#include <sstream>

#include "TestSupport.h"
#include "core/exchange/RegFileWriter.h"
#include "core/platform/CodePage.h"
#include "core/store/KeyPaths.h"
#include "core/store/Registry.h"

namespace morvel {
namespace {

const std::string kBase(kBaseKey);

class RegFileWriterTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(registry.Open(dir.Store()).ok()); }

    // Writes one value into key (relative to the base key).
    void Put(const std::string& key, const std::string& name, std::int32_t type, const std::string& bytes) {
        ASSERT_TRUE(registry.OpenKey(kBase + key));
        ASSERT_TRUE(registry.SetKeyValue(kBase + key, name, type, bytes));
    }
    std::string Dump(const std::string& path) {
        std::ostringstream out;
        const Status s = DumpRegText(registry, path, out);
        EXPECT_TRUE(s.ok()) << s.message();
        return out.str();
    }

    test::TempDir dir;
    Registry registry;
};

TEST_F(RegFileWriterTest, TheDumpIsRegedit4TextForReading) {
    registry.OpenKey(kBase + "\\Attributes\\Contain");
    registry.SetKeyNumber(kBase + "\\Attributes\\Contain", "Count", 2);
    registry.SetKeyText(kBase + "\\Attributes\\Contain", "Value1", "MZ");
    registry.SetKeyText(kBase + "\\Attributes\\Contain", "Value2", "Say \"hi\" C:\\");
    Put("\\Interface", "mnFile", 1, codepage::ToAnsi("Файл") + '\0');

    EXPECT_EQ(Dump(""),
              "REGEDIT4\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Attributes]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Attributes\\Contain]\n"
              "\"Count\"=dword:00000002\n"
              "\"Value1\"=\"MZ\"\n"
              "\"Value2\"=\"Say \\\"hi\\\" C:\\\\\"\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]\n"
              "\"mnFile\"=\"Файл\"\n");
    // One key, named in any letter case, as the store spells it.
    EXPECT_EQ(Dump(kBase + "\\interface"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Interface]\n\"mnFile\"=\"Файл\"\n");

    std::ostringstream none;
    EXPECT_TRUE(DumpRegText(registry, kBase + "\\Examples", none).IsNotFound());
    EXPECT_EQ(none.str(), "");
}

// A value shows as the program reads it: a text without its one trailing
// zero, line breaks and all; what is no text or number shows its bytes.
TEST_F(RegFileWriterTest, TheDumpShowsEachValueAsTheProgramReadsIt) {
    Put("\\Odd", "", Registry::kTypeText, "default");
    Put("\\Odd", "Blob", 3, std::string("\x00\xff", 2));
    Put("\\Odd", "Lines", Registry::kTypeText, "a\r\nb");
    Put("\\Odd", "Middle", Registry::kTypeText, std::string("A\0B\0", 4));
    Put("\\Odd", "Short", Registry::kTypeNumber, "\x01\x02");
    Put("\\Odd", "Wide", Registry::kTypeNumber, "\xfe\xff\xff\xff");
    Put("\\Odd", "Zero", Registry::kTypeText, std::string(1, '\0'));
    const std::string blob(100, 'z');
    Put("\\Odd", "Long", 7, blob);
    std::string hex;
    for (std::size_t i = 0; i < blob.size(); ++i) hex += i ? ",7a" : "7a";

    EXPECT_EQ(Dump(kBase + "\\Odd"),
              "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Norwick\\Morvel\\Odd]\n"
              "\"\"=\"default\"\n"
              "\"Blob\"=hex(3):00,ff\n"
              "\"Lines\"=\"a\r\nb\"\n"
              "\"Long\"=hex(7):" +
                  hex +
                  "\n"
                  "\"Middle\"=hex(1):41,00,42,00\n"
                  "\"Short\"=hex(4):01,02\n"
                  "\"Wide\"=dword:fffffffe\n"
                  "\"Zero\"=\"\"\n");
}

}  // namespace
}  // namespace morvel
