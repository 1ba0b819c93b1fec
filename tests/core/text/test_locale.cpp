#include <gtest/gtest.h>

#include <cmath>

#include "core/text/locale.h"

using namespace tabvert::text;

TEST(DateText, FormsInTwoLocales) {
    struct Case {
        CivilDateTime dt;
        const char* us;
        const char* de;
    } cases[] = {
        {{2024, 3, 5, 0, 0, 0}, "3/5/2024", "05.03.2024"},
        {{2024, 3, 5, 14, 7, 9}, "3/5/2024 2:07:09 PM", "05.03.2024 14:07:09"},
        {{2024, 12, 31, 0, 0, 1}, "12/31/2024 12:00:01 AM", "31.12.2024 00:00:01"},
        {{1899, 12, 30, 12, 0, 0}, "12:00:00 PM", "12:00:00"},
        {{1899, 12, 30, 0, 0, 0}, "12:00:00 AM", "00:00:00"},
        {{1523, 6, 1, 0, 0, 0}, "6/1/1523", "01.06.1523"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDateTime(c.dt, Locale::EnUS()), c.us);
        EXPECT_EQ(FormatDateTime(c.dt, Locale::DeDE()), c.de);
    }
}

TEST(DateText, OleDatesSplitAndJoin) {
    // Negative OLE dates keep the time of day as a positive fraction.
    auto dt = SplitOleDate(-1.25);
    EXPECT_EQ(dt.year, 1899);
    EXPECT_EQ(dt.month, 12);
    EXPECT_EQ(dt.day, 29);
    EXPECT_EQ(dt.hour, 6);
    EXPECT_DOUBLE_EQ(JoinOleDate(dt), -1.25);

    dt = SplitOleDate(45000.5);  // 2023-03-15 12:00
    EXPECT_EQ(dt.year, 2023);
    EXPECT_EQ(dt.month, 3);
    EXPECT_EQ(dt.day, 15);
    EXPECT_EQ(dt.hour, 12);

    // 23:59:59.9 rounds up into the next day instead of showing 24:00:00.
    dt = SplitOleDate(1.0 - 0.1 / 86400);
    EXPECT_EQ(dt.day, 31);
    EXPECT_EQ(dt.hour, 0);
}

TEST(DateText, ParsesOnlyWhatItWrites) {
    for (const auto& locale : {Locale::EnUS(), Locale::DeDE()}) {
        for (double v : {45000.0, 45000.25, 0.75, -200000.5, 2958465.0}) {
            const std::string text = FormatDateTime(v, locale);
            auto parsed = ParseDateTime(text, locale);
            ASSERT_TRUE(parsed) << text;
            EXPECT_NEAR(parsed->oleDate, v, 1e-9) << text;
        }
    }
    const auto us = Locale::EnUS();
    for (const char* text : {"03/05/2024", "3/5/24", "2/30/2024", "3/5/2024 14:07:09", "3/5/2024  2:07:09 PM",
                             "13:00:00 PM", "3/5/2024 2:7:09 PM", "3/5/2024x", "", "42"}) {
        EXPECT_FALSE(ParseDateTime(text, us)) << text;
    }
    EXPECT_EQ(ParseDateTime("3/5/2024", us)->kind, DateTextKind::DateOnly);
    EXPECT_EQ(ParseDateTime("2:07:09 PM", us)->kind, DateTextKind::TimeOnly);
}

TEST(DateText, ExcelFormatsMirrorThePatterns) {
    EXPECT_EQ(ExcelDateFormat(DateTextKind::DateTime, Locale::EnUS()), "m/d/yyyy h:mm:ss AM/PM");
    EXPECT_EQ(ExcelDateFormat(DateTextKind::DateOnly, Locale::DeDE()), "dd\\.mm\\.yyyy");
    EXPECT_EQ(ExcelDateFormat(DateTextKind::TimeOnly, Locale::DeDE()), "hh:mm:ss");
}

TEST(DateText, OnlyTheYearsOfTheTypeAreDates) {
    const double first = JoinOleDate({100, 1, 1}), last = JoinOleDate({9999, 12, 31, 23, 59, 59});
    const double year1 = JoinOleDate({1, 1, 1});
    struct Case {
        double ole;
        bool date, extendedDate;
    };
    const Case cases[] = {
        {first, true, true},
        {last, true, true},
        {0.0, true, true},
        {first - 1, false, true},  // 31 Dec 99: only a Date/Time Extended value holds it
        {year1, false, true},
        {year1 - 1, false, false},
        {last + 1.0 / 86400, false, false},  // rounds into the year 10000
        {first - 0.4 / 86400, true, true},   // still 1 Jan 100 00:00:00 once rounded (time kept positive)
        {std::nan(""), false, false},
        {HUGE_VAL, false, false},
        {-HUGE_VAL, false, false},
        {1e300, false, false},
        {-1e300, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsOleDateInRange(c.ole), c.date) << c.ole;
        EXPECT_EQ(IsOleDateInRange(c.ole, kFirstExtendedDateYear), c.extendedDate) << c.ole;
    }
}
