// The header attributes' setting from the command line: off by default and
// then invisible, on for every command that shows attributes, and kept in
// examples whatever the setting.
#include <gtest/gtest.h>

#include <sstream>

#include "CliRunner.h"
#include "core/config/AttributeFamilies.h"

namespace morvel {
namespace {

class HeaderAttributesCliTest : public test::CliRunner {
  protected:
    // A PE32 console program as small as a loader takes it: the MZ header
    // pointing at a PE header with an optional header and no section.
    std::string SmallPe() {
        std::string pe(0x200, '\0');
        pe[0] = 'M', pe[1] = 'Z';
        pe[0x3C] = 0x40;
        pe.replace(0x40, 4, std::string("PE\0\0", 4));
        pe[0x44] = 0x4C, pe[0x45] = 0x01;    // i386
        pe[0x54] = static_cast<char>(0xE0);  // size of the optional header
        pe[0x56] = 0x02;                     // an executable image
        pe[0x58] = 0x0B, pe[0x59] = 0x01;    // PE32
        pe[0x58 + 68] = 3;                   // the console subsystem
        return pe;
    }
    int Columns(const std::string& csvLine) {
        return static_cast<int>(std::count(csvLine.begin(), csvLine.end(), ',')) + 1;
    }
};

TEST_F(HeaderAttributesCliTest, OffByDefaultOnForEveryCommandThatShowsAttributes) {
    const std::string file = Put("tool.exe", SmallPe());
    ASSERT_EQ(Run({"targets", "add", "kind", "Kind", "Naive Bayes"}), 0);
    ASSERT_EQ(Run({"header-attributes"}), 0);
    EXPECT_EQ(out.str(), "off\n");
    ASSERT_EQ(Run({"attributes", file}), 0);
    const std::string off = out.str();
    // Remembered while off: the example still keeps what the headers say.
    ASSERT_EQ(Run({"remember", file, "kind=console"}), 0);
    ASSERT_EQ(Run({"export", "--format", "csv"}), 0);
    EXPECT_EQ(out.str().find("Header"), std::string::npos) << out.str();
    const std::string offCsv = out.str();

    ASSERT_EQ(Run({"header-attributes", "on"}), 0);
    EXPECT_EQ(out.str(), "on\n");
    ASSERT_EQ(Run({"attributes", file}), 0);
    EXPECT_TRUE(out.str().starts_with(off.substr(0, off.size() - 1) + " ")) << out.str();
    const std::string on = out.str();
    ASSERT_EQ(Run({"attributes", "--json", file}), 0);
    EXPECT_TRUE(OutHas("\"HeaderMachine\"")) << out.str();
    ASSERT_EQ(Run({"export", "--format", "csv"}), 0);
    const std::string onCsv = out.str();
    const std::string header = onCsv.substr(0, onCsv.find('\n'));
    EXPECT_EQ(Columns(header), Columns(offCsv.substr(0, offCsv.find('\n'))) + kHeaderSlotCount);
    EXPECT_NE(header.find("HeaderFormat"), std::string::npos);
    // The example remembered while the setting was off has the file's header
    // values: its row ends as the file's vector does (blank for a 0).
    std::string vectorTail, rowTail;
    {
        std::istringstream values(on.substr(on.find('\t') + 1));
        std::vector<std::string> all;
        for (std::string v; values >> v;) all.push_back(v == "0" ? "" : v);
        for (std::size_t i = all.size() - kHeaderSlotCount; i < all.size(); ++i) vectorTail += "," + all[i];
        const std::string row =
            onCsv.substr(header.size() + 1, onCsv.find('\n', header.size() + 1) - header.size() - 1);
        std::string cut = row.substr(0, row.rfind(','));  // the target's column
        for (int i = 0; i < kHeaderSlotCount; ++i) {
            rowTail = cut.substr(cut.rfind(',')) + rowTail;
            cut.erase(cut.rfind(','));
        }
    }
    EXPECT_EQ(rowTail, vectorTail);
    EXPECT_NE(vectorTail, std::string(kHeaderSlotCount, ','));
    ASSERT_EQ(Run({"explain", file}), 0);
    ASSERT_EQ(Run({"rank"}), 0);
    EXPECT_TRUE(OutHas("HeaderSubsystem")) << out.str();

    // A CSV exported with the family on imports back into a store with it on.
    ASSERT_EQ(Run({"import", "--format", "csv", "-"}, onCsv), 0) << err.str();
    ASSERT_EQ(Run({"export", "--format", "csv"}), 0);
    const auto rows = Lines();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].substr(rows[2].find(',')), rows[1].substr(rows[1].find(',')));

    ASSERT_EQ(Run({"header-attributes", "off"}), 0);
    ASSERT_EQ(Run({"attributes", file}), 0);
    EXPECT_EQ(out.str(), off);
    EXPECT_EQ(Run({"header-attributes", "yes"}), 2);
}

}  // namespace
}  // namespace morvel
