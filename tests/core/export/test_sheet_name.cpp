#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "core/export/export_run.h"
#include "core/export/export_target.h"
#include "core/export/sheet_name.h"
#include "core/text/strings.h"
#include "core/workbook/limits.h"

namespace tabvert::exporting {
namespace {

TEST(NameDigitGenerator, StartsTheSameEveryTimeAndStaysInRange) {
    NameDigitGenerator first, second;
    std::vector<int> a, b;
    for (int i = 0; i < 8; ++i) a.push_back(first.NextDigit());
    for (int i = 0; i < 8; ++i) b.push_back(second.NextDigit());
    EXPECT_EQ(a, (std::vector<int>{7, 5, 5, 2, 3, 7, 0, 7}));
    EXPECT_EQ(a, b);
    for (int i = 0; i < (1 << 20); ++i) {
        const double x = first.Next();
        ASSERT_TRUE(x >= 0.0 && x < 1.0) << x;
    }
}

std::string Times(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

struct NameCase {
    const char* label;
    std::string table;
    std::string sheet;  // a trailing '#' stands for the drawn digit
};

// A failing case names itself rather than showing the struct's bytes.
void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.label << " (\"" << c.table << "\" -> \"" << c.sheet << "\")";
}

class SheetNameCases : public ::testing::TestWithParam<NameCase> {};

TEST_P(SheetNameCases, FollowsTheNamingRule) {
    const NameCase& c = GetParam();
    NameDigitGenerator g, reference;
    std::string expected = c.sheet;
    const bool drawsDigit = !expected.empty() && expected.back() == '#';
    if (drawsDigit) expected.back() = static_cast<char>('0' + reference.NextDigit());
    EXPECT_EQ(GetSheetName(c.table, g), expected);
    // Only shortened names advance the generator.
    EXPECT_EQ(g.NextDigit(), reference.NextDigit());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SheetNameCases,
    ::testing::Values(
        NameCase{"SlashBecomesDash", "Orders/Q1", "Orders-Q1#"},
        NameCase{"ShortNameWithSlash", "A/B", "A-B#"}, NameCase{"OnlySlashes", "//", "--#"},
        NameCase{"PlainNameKept", "Customers", "Customers"}, NameCase{"EmptyName", "", ""},
        NameCase{"ThirtyCharactersKept", Times("abcde", 6), Times("abcde", 6)},
        NameCase{"ThirtyOneCharactersCut", Times("abcde", 6) + "f", Times("abcde", 5) + "#"},
        // Slashes first, then the cut: a 40-character name with a slash.
        NameCase{"SlashesThenCut", "Quarterly/Results/For/The/Northern/Regio", "Quarterly-Results-For-The#"},
        // Other characters Excel dislikes are passed on as they are.
        NameCase{"ColonBracketsAndQuestionMarkKept", "What: [now]?", "What: [now]?"},
        NameCase{"BackslashAndStarKept", "a\\b*c", "a\\b*c"},
        // Characters, not bytes: 30 two-byte letters stay, 31 are cut to 25 letters.
        NameCase{"ThirtyTwoByteLettersKept", Times("\xC3\xA4", 30), Times("\xC3\xA4", 30)},
        NameCase{"ThirtyOneTwoByteLettersCut", Times("\xC3\xA4", 31), Times("\xC3\xA4", 25) + "#"},
        NameCase{"ThreeByteLettersWithSlashCut", "\xE2\x82\xAC/" + Times("\xE2\x82\xAC", 26),
                 "\xE2\x82\xAC-" + Times("\xE2\x82\xAC", 23) + "#"},
        // UTF-16 units, as Excel counts: an emoji counts two and is never split.
        NameCase{"FifteenEmojiKept", Times("😀", 15), Times("😀", 15)},
        NameCase{"SixteenEmojiCutWithoutSplittingOne", Times("😀", 16), Times("😀", 12) + "#"},
        NameCase{"LetterAndEmojiCut", "a" + Times("😀", 20), "a" + Times("😀", 12) + "#"}),
    [](const ::testing::TestParamInfo<NameCase>& testCase) { return std::string(testCase.param.label); });

TEST(SheetName, ATableNamedWithEmojiGetsANameTheWorkbookTakes) {
    NameDigitGenerator g;
    const std::string sheet = GetSheetName(Times("😀", 20), g);
    EXPECT_EQ(excel::SheetNameFault(sheet), std::nullopt) << sheet;
}

TEST(SheetName, DigitsFollowTheExportOrder) {
    NameDigitGenerator g;
    EXPECT_EQ(GetSheetName("Orders/Q1", g), "Orders-Q17");
    EXPECT_EQ(GetSheetName("Short", g), "Short");
    // Two long names sharing their first 25 characters: each draws its own digit.
    EXPECT_EQ(GetSheetName("Invoice lines for the year 2019", g), "Invoice lines for the yea5");
    EXPECT_EQ(GetSheetName("Invoice lines for the year 2020", g), "Invoice lines for the yea5");
    EXPECT_EQ(GetSheetName("A/B", g), "A-B2");
}

TEST(TableQuery, DoublesClosingBrackets) {
    EXPECT_EQ(TableQuery("Orders"), "select * from [Orders]");
    EXPECT_EQ(TableQuery("Odd]Name]"), "select * from [Odd]]Name]]]");
}

struct TargetCase {
    const char* label;
    const char* chosen;
    const char* afterEnding;
    const char* working;
};

void PrintTo(const TargetCase& c, std::ostream* os) {
    *os << c.label << " (\"" << c.chosen << "\" -> \"" << c.afterEnding << "\" -> \"" << c.working << "\")";
}

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
        TargetCase{"Empty", "", "", ""},
        TargetCase{"LowerCaseMdbBecomesXls", "/home/u/out.mdb", "/home/u/out.xls", "/home/u/out.xls"},
        TargetCase{"UpperCaseMdbKept", "/home/u/OUT.MDB", "/home/u/OUT.MDB", "/home/u/OUT.MDB"},
        TargetCase{"MixedCaseMdbKept", "/home/u/out.Mdb", "/home/u/out.Mdb", "/home/u/out.Mdb"},
        // Folder names keep ".mdb"; only the file name's ending changes.
        TargetCase{"FolderKeepsMdb", "/data/old.mdb/copy.mdb", "/data/old.mdb/copy.xls",
                   "/data/old.mdb/copy.xls"},
        TargetCase{"XlsxInMdbFolderKept", "/data/old.mdb/copy.xlsx", "/data/old.mdb/copy.xlsx",
                   "/data/old.mdb/copy.xlsx"},
        TargetCase{"NoEnding", "/home/u/report", "/home/u/report", "/home/u/report"},
        TargetCase{"ThreeBackslashesBecomeTwo", "C:\\\\\\x.xls", "C:\\\\\\x.xls", "C:\\\\x.xls"},
        TargetCase{"FourBackslashesBecomeThree", "a\\\\\\\\b", "a\\\\\\\\b", "a\\\\\\b"},
        TargetCase{"SixBackslashesBecomeFour", "a\\\\\\\\\\\\b", "a\\\\\\\\\\\\b", "a\\\\\\\\b"},
        TargetCase{"UncPathMdbBecomesXls", "\\\\server\\share\\x.mdb", "\\\\server\\share\\x.xls",
                   "\\\\server\\share\\x.xls"}),
    [](const ::testing::TestParamInfo<TargetCase>& testCase) { return std::string(testCase.param.label); });

TEST(ContinuedSheetName, NumbersTheFurtherSheetsWithinExcelsLengthAndUnused) {
    const auto none = [](std::string_view) { return false; };
    EXPECT_EQ(ContinuedSheetName("Orders", 2, none), "Orders (2)");
    EXPECT_EQ(ContinuedSheetName("Orders", 12, none), "Orders (12)");
    // The name is cut to leave room for the number, by UTF-16 units, never inside a character.
    const std::string thirty(30, 'x');
    EXPECT_EQ(ContinuedSheetName(thirty, 2, none), std::string(27, 'x') + " (2)");
    EXPECT_EQ(ContinuedSheetName(thirty, 10, none), std::string(26, 'x') + " (10)");
    const std::string emoji = Times("\xF0\x9F\x98\x80", 14);  // 28 units
    EXPECT_EQ(ContinuedSheetName(emoji, 2, none), Times("\xF0\x9F\x98\x80", 13) + " (2)");
    for (const std::string& base : {thirty, emoji, std::string("a")})
        for (int part : {2, 9, 10, 100, 1000})
            EXPECT_FALSE(excel::SheetNameFault(ContinuedSheetName(base, part, none)).has_value())
                << base << part;
    for (int part : {2, 10, 1000}) EXPECT_LE(text::Utf16Length(ContinuedSheetName(emoji, part, none)), 31u);

    // A name in use (without regard to case) is passed over for the next number.
    const std::vector<std::string> used = {"orders (2)", "Orders (3)"};
    const auto inUse = [&](std::string_view name) {
        for (const std::string& u : used)
            if (excel::SameSheetName(u, name)) return true;
        return false;
    };
    EXPECT_EQ(ContinuedSheetName("Orders", 2, inUse), "Orders (4)");
    EXPECT_EQ(ContinuedSheetName("Orders", 5, inUse), "Orders (5)");
}

}  // namespace
}  // namespace tabvert::exporting
