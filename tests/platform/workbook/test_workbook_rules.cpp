// Excel's naming and addressing rules, and what a text set into a cell becomes.

#include "platform/workbook/cell_value.h"
#include "platform/workbook/limits.h"

#include <gtest/gtest.h>

namespace tabvert::excel {
namespace {

TEST(SheetNameRule, RefusesWhatExcelRefuses) {
    struct Case {
        std::string name;
        bool accepted;
    };
    const Case cases[] = {
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
        // 31 characters of two-byte UTF-8: Excel counts characters, not bytes.
        {[] { std::string s; for (int i = 0; i < 31; ++i) s += "é"; return s; }(), true},
        {"\xff\xfe", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(!SheetNameFault(c.name).has_value(), c.accepted) << '"' << c.name << '"';
    }
}

TEST(SheetNameRule, ComparesWithoutRegardToCase) {
    EXPECT_TRUE(SameSheetName("Sheet1", "SHEET1"));
    EXPECT_TRUE(SameSheetName("Äpfel", "äPFEL"));
    EXPECT_FALSE(SameSheetName("Sheet1", "Sheet10"));
}

TEST(CellReferences, ParseAndName) {
    struct Case {
        std::string ref;
        long row, column;  // 0: refused
    };
    const Case cases[] = {
        {"A1", 1, 1},   {"Z1", 1, 26},  {"AA1", 1, 27}, {"$B$2", 2, 2}, {"ad30", 30, 30},
        {"XFD1048576", 1048576, 16384}, {"XFE1", 0, 0}, {"A1048577", 0, 0}, {"A0", 0, 0},
        {"1A", 0, 0}, {"A", 0, 0},     {"", 0, 0},     {"A1B", 0, 0},
    };
    for (const auto& c : cases) {
        const auto ref = ParseCellRef(c.ref);
        if (c.row == 0) {
            EXPECT_FALSE(ref.has_value()) << c.ref;
        } else {
            ASSERT_TRUE(ref.has_value()) << c.ref;
            EXPECT_EQ(ref->row, c.row) << c.ref;
            EXPECT_EQ(ref->column, c.column) << c.ref;
        }
    }
    for (long column : {1L, 26L, 27L, 52L, 53L, 702L, 703L, 16384L}) {
        const auto back = ParseCellRef(CellName(7, column));
        ASSERT_TRUE(back.has_value()) << column;
        EXPECT_EQ(back->column, column);
    }
    EXPECT_EQ(CellName(1, 30), "AD1");
}

TEST(CellLength, CountsUtf16Units) {
    EXPECT_EQ(ExcelLength("abc"), 3u);
    EXPECT_EQ(ExcelLength("äöü"), 3u);
    EXPECT_EQ(ExcelLength("€"), 1u);
    EXPECT_EQ(ExcelLength("😀"), 2u);  // a surrogate pair
}

struct ValueCase {
    const char* text;
    CellValue::Kind kind;
    double number;
    const char* format;
};

void CheckValues(const text::Locale& locale, const std::vector<ValueCase>& cases) {
    for (const auto& c : cases) {
        const CellValue v = ClassifyText(c.text, locale);
        EXPECT_EQ(v.kind, c.kind) << locale.name << " \"" << c.text << '"';
        if (v.kind == c.kind && (c.kind == CellValue::Kind::Number || c.kind == CellValue::Kind::DateTime)) {
            EXPECT_DOUBLE_EQ(v.number, c.number) << c.text;
            EXPECT_EQ(v.numberFormat, c.format) << c.text;
        }
    }
}

using K = CellValue::Kind;

TEST(CellValueRule, PlainNumbersOnlyInEnUs) {
    CheckValues(text::Locale::enUS(), {
        {"42", K::Number, 42, "General"},
        {"-3.5", K::Number, -3.5, "0.0"},
        {"0", K::Number, 0, "General"},
        {"0.5", K::Number, 0.5, "0.0"},
        {"1.500", K::Number, 1.5, "0.000"},
        {"0.000", K::Number, 0, "0.000"},
        {"123456789012345", K::Number, 123456789012345.0, "0"},  // General would show 1.23457E+14
        {"12345678901", K::Number, 12345678901.0, "General"},
        {"0.00000000000000000000000000001", K::Number, 1e-29, "0.00000000000000000000000000000"},
        {"0.0000000000000000000000000000001", K::Text, 0, ""},  // 31 decimals: no format shows them
        {"1234567890123456", K::Text, 0, ""},   // 16 significant digits
        {"12345678901234567890", K::Text, 0, ""},
        {"0.1234567890123456", K::Text, 0, ""},
        {"007", K::Text, 0, ""},
        {"00.5", K::Text, 0, ""},
        {"1e5", K::Text, 0, ""},
        {"1,000", K::Text, 0, ""},
        {"3,5", K::Text, 0, ""},
        {"+5", K::Text, 0, ""},
        {"3.", K::Text, 0, ""},
        {".5", K::Text, 0, ""},
        {"-0", K::Text, 0, ""},
        {"-0.00", K::Text, 0, ""},
        {"- 5", K::Text, 0, ""},
        {" 5", K::Text, 0, ""},
        {"5 ", K::Text, 0, ""},
        {"1.2.3", K::Text, 0, ""},
        {"inf", K::Text, 0, ""},
        {"0x1F", K::Text, 0, ""},
        {"", K::Empty, 0, ""},
        {"hello", K::Text, 0, ""},
    });
}

TEST(CellValueRule, DecimalSeparatorFollowsTheLocale) {
    CheckValues(text::Locale::deDE(), {
        {"3,5", K::Number, 3.5, "0.0"},
        {"-0,25", K::Number, -0.25, "0.00"},
        {"42", K::Number, 42, "General"},
        {"3.5", K::Text, 0, ""},
        {"1.000", K::Text, 0, ""},
    });
}

TEST(CellValueRule, DatesOnlyInTheProgramsOwnForm) {
    for (const auto& locale : {text::Locale::enUS(), text::Locale::deDE()}) {
        const struct {
            text::CivilDateTime dt;
            text::DateTextKind kind;
        } values[] = {
            {{2024, 2, 29, 0, 0, 0}, text::DateTextKind::DateOnly},
            {{2024, 2, 29, 13, 5, 9}, text::DateTextKind::DateTime},
            {{1899, 12, 30, 8, 30, 0}, text::DateTextKind::TimeOnly},
            {{1900, 3, 1, 0, 0, 0}, text::DateTextKind::DateOnly},
        };
        for (const auto& v : values) {
            const std::string written = text::FormatDateTime(v.dt, locale);
            const CellValue cell = ClassifyText(written, locale);
            EXPECT_EQ(cell.kind, K::DateTime) << locale.name << ' ' << written;
            EXPECT_DOUBLE_EQ(cell.number, text::JoinOleDate(v.dt)) << written;
            EXPECT_EQ(cell.numberFormat, text::ExcelDateFormat(v.kind, locale)) << written;
        }
        // Before March 1900 Excel's calendar is a day off: such dates stay text, as do negative ones.
        for (const text::CivilDateTime dt : {text::CivilDateTime{1900, 2, 28, 0, 0, 0},
                                             text::CivilDateTime{1850, 6, 1, 12, 0, 0}}) {
            const std::string written = text::FormatDateTime(dt, locale);
            EXPECT_EQ(ClassifyText(written, locale).kind, K::Text) << written;
        }
    }
    // Other spellings of a date stay text.
    for (const char* text : {"2024-02-29", "02/29/2024", "2/29/24", "2/29/2024 ", "29.02.2024"}) {
        EXPECT_EQ(ClassifyText(text, text::Locale::enUS()).kind, K::Text) << text;
    }
}

}  // namespace
}  // namespace tabvert::excel
