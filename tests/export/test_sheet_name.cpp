#include "export/export_target.h"
#include "export/sheet_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabvert::exporting {
namespace {

TEST(NameDigitGenerator, StartsTheSameEveryTime) {
    NameDigitGenerator first;
    NameDigitGenerator second;
    std::vector<int> a, b;
    for (int i = 0; i < 8; ++i) a.push_back(first.nextDigit());
    for (int i = 0; i < 8; ++i) b.push_back(second.nextDigit());
    EXPECT_EQ(a, (std::vector<int>{7, 5, 5, 2, 3, 7, 0, 7}));
    EXPECT_EQ(a, b);
}

TEST(NameDigitGenerator, NumbersStayInUnitIntervalOverAFullPeriod) {
    NameDigitGenerator g;
    int counts[10] = {};
    // The generator has period 2^24; a quarter of it is enough to see every digit roughly evenly.
    constexpr int kDraws = 1 << 22;
    for (int i = 0; i < kDraws; ++i) {
        const double x = g.next();
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
        ++counts[static_cast<int>(10 * x)];
    }
    for (int c : counts) EXPECT_NEAR(c, kDraws / 10, kDraws / 100);
}

struct NameCase {
    const char* table;
    const char* sheet;  // '#' stands for the drawn digit
    bool drawsDigit;
};

class SheetNameCases : public ::testing::TestWithParam<NameCase> {};

TEST_P(SheetNameCases, FollowsTheNamingRule) {
    const NameCase& c = GetParam();
    NameDigitGenerator g;
    NameDigitGenerator reference;
    std::string expected = c.sheet;
    if (c.drawsDigit) expected.back() = static_cast<char>('0' + reference.nextDigit());
    EXPECT_EQ(GetSheetName(c.table, g), expected);
    // Only shortened names advance the generator.
    EXPECT_EQ(g.nextDigit(), reference.nextDigit());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SheetNameCases,
    ::testing::Values(
        NameCase{"Orders/Q1", "Orders-Q1#", true},
        NameCase{"A/B", "A-B#", true},
        NameCase{"//", "--#", true},
        NameCase{"Customers", "Customers", false},
        NameCase{"", "", false},
        NameCase{"abcdefghijklmnopqrstuvwxyz1234", "abcdefghijklmnopqrstuvwxyz1234", false},
        NameCase{"abcdefghijklmnopqrstuvwxyz12345", "abcdefghijklmnopqrstuvwxy#", true},
        // Slashes first, then the cut: a 40-character name with a slash.
        NameCase{"Quarterly/Results/For/The/Northern/Regio", "Quarterly-Results-For-The#", true},
        // Other characters Excel dislikes are passed on as they are.
        NameCase{"What: [now]?", "What: [now]?", false},
        NameCase{"a\\b*c", "a\\b*c", false},
        // Characters, not bytes: 30 two-byte letters stay, 31 are cut to 25 letters.
        NameCase{"\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
                 "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
                 "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4",
                 "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
                 "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"
                 "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4",
                 false},
        NameCase{"\xE2\x82\xAC/\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                 "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                 "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                 "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC",
                 "\xE2\x82\xAC-\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                 "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                 "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC"
                 "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC#",
                 true}));

TEST(SheetName, DigitsFollowTheExportOrder) {
    NameDigitGenerator g;
    EXPECT_EQ(GetSheetName("Orders/Q1", g), "Orders-Q17");
    EXPECT_EQ(GetSheetName("Short", g), "Short");
    // Two long names sharing their first 25 characters: each draws its own digit.
    EXPECT_EQ(GetSheetName("Invoice lines for the year 2019", g), "Invoice lines for the yea5");
    EXPECT_EQ(GetSheetName("Invoice lines for the year 2020", g), "Invoice lines for the yea5");
    EXPECT_EQ(GetSheetName("A/B", g), "A-B2");
}

struct TargetCase {
    const char* chosen;
    const char* afterEnding;
    const char* working;
};

class ExportTargetCases : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ExportTargetCases, DerivesTheWorkingPath) {
    const TargetCase& c = GetParam();
    const std::string stored = ReplaceMdbEnding(c.chosen);
    EXPECT_EQ(stored, c.afterEnding);
    EXPECT_EQ(CollapseTripleBackslashes(stored), c.working);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ExportTargetCases,
    ::testing::Values(
        TargetCase{"", "", ""},
        TargetCase{"/home/u/out.mdb", "/home/u/out.xls", "/home/u/out.xls"},
        TargetCase{"/home/u/OUT.MDB", "/home/u/OUT.MDB", "/home/u/OUT.MDB"},
        TargetCase{"/home/u/out.Mdb", "/home/u/out.Mdb", "/home/u/out.Mdb"},
        // Folder names keep ".mdb"; only the file name's ending changes.
        TargetCase{"/data/old.mdb/copy.mdb", "/data/old.mdb/copy.xls", "/data/old.mdb/copy.xls"},
        TargetCase{"/data/old.mdb/copy.xlsx", "/data/old.mdb/copy.xlsx", "/data/old.mdb/copy.xlsx"},
        TargetCase{"/home/u/report", "/home/u/report", "/home/u/report"},
        TargetCase{"C:\\\\\\x.xls", "C:\\\\\\x.xls", "C:\\\\x.xls"},
        TargetCase{"a\\\\\\\\b", "a\\\\\\\\b", "a\\\\\\b"},
        TargetCase{"a\\\\\\\\\\\\b", "a\\\\\\\\\\\\b", "a\\\\\\\\b"},
        TargetCase{"\\\\server\\share\\x.mdb", "\\\\server\\share\\x.xls", "\\\\server\\share\\x.xls"}));

}  // namespace
}  // namespace tabvert::exporting
