// Lengths as Excel counts them, case-blind comparison and trimming.

#include <gtest/gtest.h>

#include <string>

#include "core/text/strings.h"

namespace tabvert::text {
namespace {

TEST(Utf16, LengthAndPrefixCountCodeUnitsAndNeverSplitACharacter) {
    const struct {
        std::string text;
        std::size_t units;
    } lengths[] = {{"", 0}, {"abc", 3}, {"äöü", 3}, {"€", 1}, {"😀", 2}, {"a😀b", 4}, {"\x80x", 1}};
    for (const auto& c : lengths) EXPECT_EQ(Utf16Length(c.text), c.units) << c.text;

    const struct {
        std::string text;
        std::size_t units;
        std::string prefix;
    } prefixes[] = {
        {"abcdef", 3, "abc"}, {"ab", 5, "ab"}, {"a😀b", 2, "a"},  // the pair would need a third unit
        {"a😀b", 3, "a😀"},     {"😀", 1, ""},    {"äöü", 2, "äö"}, {"x", 0, ""},
    };
    for (const auto& c : prefixes)
        EXPECT_EQ(Utf16Prefix(c.text, c.units), c.prefix) << c.text << " " << c.units;

    for (const char* bad : {"\xff", "\xc3", "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    for (const char* good : {"", "plain", "äöü", "😀", "\xf4\x8f\xbf\xbf"})
        EXPECT_TRUE(IsValidUtf8(good)) << good;
}

TEST(Compare, IgnoresCaseAcrossUnicodeAndOrdersConsistently) {
    EXPECT_TRUE(EqualsIgnoringCase("Sheet1", "SHEET1"));
    EXPECT_TRUE(EqualsIgnoringCase("Äpfel", "äPFEL"));
    EXPECT_FALSE(EqualsIgnoringCase("Sheet1", "Sheet10"));
    EXPECT_FALSE(EqualsIgnoringCase("Äpfel", "Apfel"));
    EXPECT_LT(CompareIgnoringCase("apple", "BANANA"), 0);
    EXPECT_GT(CompareIgnoringCase("Zebra", "apple"), 0);
    EXPECT_LT(CompareIgnoringCase("ab", "ABC"), 0);
    EXPECT_LT(CompareIgnoringCase("Äb", "äC"), 0);  // the Unicode path orders too
}

TEST(Trim, BlanksAreSpacesOnlyWhitespaceIncludesControlBlanks) {
    const struct {
        const char* text;
        const char* blanks;
        const char* whitespace;
    } cases[] = {
        {"  Padded Name  ", "Padded Name", "Padded Name"},
        {"\tTabbed\t", "\tTabbed\t", "Tabbed"},
        {" \r\n x \n", "\r\n x \n", "x"},
        {"   ", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimBlanks(c.text), c.blanks) << c.text;
        EXPECT_EQ(TrimWhitespace(c.text), c.whitespace) << c.text;
    }
}

}  // namespace
}  // namespace tabvert::text
