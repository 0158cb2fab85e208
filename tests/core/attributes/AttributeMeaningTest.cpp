// The words for the slots' codes that explanations show.
#include <gtest/gtest.h>

#include "core/attributes/AttributeMeaning.h"

namespace morvel {
namespace {

TEST(AttributeMeaningTest, CodesReadAsTheirMeaning) {
    EXPECT_EQ(DescribeSlotValue("Standard8", 8, 4), "Standard8 size class = 4 (100 KiB to 1 MiB)");
    EXPECT_EQ(DescribeSlotValue("Standard2", 2, 7), "Standard2 name length = 7");
    EXPECT_EQ(DescribeSlotValue("Containvirus", 17, 2), "Containvirus = 2 (not found)");
    EXPECT_EQ(DescribeSlotValue("Standard12", 12, 103), "Standard12 year = 103 (2003)");
    EXPECT_EQ(ValueMeaning(1, 2), "com");
    EXPECT_EQ(ValueMeaning(3, 4), "s or i");
    EXPECT_EQ(ValueMeaning(8, 8), "1 GiB or more");
    EXPECT_EQ(ValueMeaning(9, 7), "64-bit Windows");
    EXPECT_EQ(ValueMeaning(13, 7), "Sunday");
    EXPECT_EQ(ValueMeaning(15, 1), "night, 22:00 to 03:59");
    EXPECT_EQ(ValueMeaning(16, 1), "yes");
    EXPECT_EQ(ValueMeaning(116, 1), "found");
}

TEST(AttributeMeaningTest, ZeroAndCodesASlotNeverTakes) {
    EXPECT_EQ(ValueMeaning(14, 0), "not available");
    EXPECT_EQ(ValueMeaning(17, 0), "not available");
    EXPECT_EQ(ValueMeaning(9, 0), "not determined");
    for (const auto& [slot, value] : std::vector<std::pair<int, int>>{
             {1, 5}, {8, 9}, {9, 8}, {10, 32}, {11, 13}, {13, -1}, {17, 3}, {2, 256}})
        EXPECT_EQ(ValueMeaning(slot, value), "unknown code") << slot << " " << value;
    EXPECT_EQ(SlotTitle(17), "");
    EXPECT_EQ(SlotTitle(0), "");
    EXPECT_EQ(ValueMeaning(117, 1), "unknown code");
}

}  // namespace
}  // namespace morvel
