// Excel's naming and addressing rules, and what a text set into a cell becomes.

#include <gtest/gtest.h>

#include "core/workbook/cell_value.h"
#include "core/workbook/limits.h"

namespace tabvert::excel {
namespace {

using K = CellValue::Kind;

std::string Repeat(const char* piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

TEST(SheetNameRule, RefusesWhatExcelRefusesAndComparesWithoutCase) {
    const std::pair<std::string, bool> cases[] = {
        {"Orders", true},
        {"Orders-Q17", true},
        {std::string(31, 'x'), true},
        {std::string(32, 'x'), false},
        {"", false},
        {"a:b", false},
        {"a\\b", false},
        {"a/b", false},
        {"a?b", false},
        {"a*b", false},
        {"a[b", false},
        {"a]b", false},
        {"'quoted", false},
        {"quoted'", false},
        {"it's", true},
        {"History", false},
        {"HISTORY", false},
        {"history", false},
        {"Historyx", true},
        {"Ünïcödé ÄÖÜ", true},
        {Repeat("é", 31), true},  // Excel counts characters, not bytes
        {"\xff\xfe", false},
    };
    for (const auto& [name, accepted] : cases) {
        EXPECT_EQ(!SheetNameFault(name).has_value(), accepted) << '"' << name << '"';
    }
}

TEST(CellReferences, ParseAndName) {
    const std::tuple<std::string, long, long> cases[] = {
        // row 0: refused
        {"A1", 1, 1},   {"Z1", 1, 26},      {"AA1", 1, 27},
        {"$B$2", 2, 2}, {"ad30", 30, 30},   {"XFD1048576", 1048576, 16384},
        {"XFE1", 0, 0}, {"A1048577", 0, 0}, {"A0", 0, 0},
        {"1A", 0, 0},   {"A", 0, 0},        {"", 0, 0},
        {"A1B", 0, 0},
    };
    for (const auto& [text, row, column] : cases) {
        const auto ref = ParseCellRef(text);
        ASSERT_EQ(ref.has_value(), row != 0) << text;
        if (ref) {
            EXPECT_EQ(std::make_pair(ref->row, ref->column), std::make_pair(row, column)) << text;
        }
    }
    for (long column : {1L, 26L, 27L, 52L, 53L, 702L, 703L, 16384L}) {
        const auto back = ParseCellRef(CellName(7, column));
        ASSERT_TRUE(back.has_value()) << column;
        EXPECT_EQ(back->column, column);
    }
    EXPECT_EQ(CellName(1, 30), "AD1");
}

struct NumberCase {
    const char* text;
    double number;
    const char* format;
};

void ExpectNumbers(const text::Locale& locale, std::initializer_list<NumberCase> cases) {
    for (const auto& c : cases) {
        const CellValue v = ClassifyText(c.text, locale);
        ASSERT_EQ(v.kind, K::Number) << locale.name << " \"" << c.text << '"';
        EXPECT_DOUBLE_EQ(v.number, c.number) << c.text;
        EXPECT_EQ(v.numberFormat, c.format) << c.text;
    }
}

void ExpectTexts(const text::Locale& locale, std::initializer_list<const char*> texts) {
    for (const char* t : texts)
        EXPECT_EQ(ClassifyText(t, locale).kind, K::Text) << locale.name << " \"" << t << '"';
}

TEST(CellValueRule, OnlyPlainNumbersInTheLocalesFormBecomeNumbers) {
    const text::Locale us = text::Locale::EnUS(), de = text::Locale::DeDE();
    for (const auto* locale : {&us, &de}) {
        ExpectNumbers(*locale,
                      {{"42", 42, "General"},
                       {"0", 0, "General"},
                       {"123456789012345", 123456789012345.0, "0"},  // General would show 1.23457E+14
                       {"12345678901", 12345678901.0, "General"}});
        ExpectTexts(*locale, {"007", "1e5", "12345678901234567890", "1234567890123456", "+5", "-0", "- 5",
                              " 5", "5 ", "inf", "0x1F", "hello"});
        EXPECT_EQ(ClassifyText("", *locale).kind, K::Empty);
    }
    ExpectNumbers(us, {{"-3.5", -3.5, "0.0"},
                       {"0.5", 0.5, "0.0"},
                       {"1.500", 1.5, "0.000"},
                       {"0.000", 0, "0.000"},
                       {"0.00000000000000000000000000001", 1e-29, "0.00000000000000000000000000000"}});
    ExpectTexts(us, {"0.0000000000000000000000000000001",  // 31 decimals: no format shows them
                     "0.1234567890123456", "00.5", "1,000", "3,5", "3.", ".5", "-0.00", "1.2.3"});
    ExpectNumbers(de, {{"3,5", 3.5, "0.0"}, {"-0,25", -0.25, "0.00"}});
    ExpectTexts(de, {"3.5", "1.000", "3,", ",5", "-0,00"});
}

TEST(CellValueRule, DatesOnlyInTheProgramsOwnForm) {
    for (const auto& locale : {text::Locale::EnUS(), text::Locale::DeDE()}) {
        const std::pair<text::CivilDateTime, text::DateTextKind> values[] = {
            {{2024, 2, 29, 0, 0, 0}, text::DateTextKind::DateOnly},
            {{2024, 2, 29, 13, 5, 9}, text::DateTextKind::DateTime},
            {{1899, 12, 30, 8, 30, 0}, text::DateTextKind::TimeOnly},
            {{1900, 3, 1, 0, 0, 0}, text::DateTextKind::DateOnly},
        };
        for (const auto& [dt, kind] : values) {
            const std::string written = text::FormatDateTime(dt, locale);
            const CellValue cell = ClassifyText(written, locale);
            EXPECT_EQ(cell.kind, K::DateTime) << locale.name << ' ' << written;
            EXPECT_DOUBLE_EQ(cell.number, text::JoinOleDate(dt)) << written;
            EXPECT_EQ(cell.numberFormat, text::ExcelDateFormat(kind, locale)) << written;
        }
        // Before March 1900 Excel's calendar is a day off: such dates stay text, as do negative ones.
        for (const text::CivilDateTime dt :
             {text::CivilDateTime{1900, 2, 28, 0, 0, 0}, text::CivilDateTime{1850, 6, 1, 12, 0, 0}}) {
            const std::string written = text::FormatDateTime(dt, locale);
            EXPECT_EQ(ClassifyText(written, locale).kind, K::Text) << written;
        }
    }
    ExpectTexts(text::Locale::EnUS(), {"2024-02-29", "02/29/2024", "2/29/24", "2/29/2024 ", "29.02.2024"});
}

}  // namespace
}  // namespace tabvert::excel
