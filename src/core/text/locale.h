#pragma once
// The user's locale as far as the program's text forms need it: the decimal separator, the short-date
// pattern (always with a four-digit year) and the long-time pattern, plus the date/time text forms built
// from them. Shared by the value-to-text rule (what the preview and the export write) and the workbook
// engine (which recognises exactly those forms again).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QLocale;

namespace tabvert::text {

struct Locale {
    std::string name = "en_US";
    std::string decimalSeparator = ".";
    // Patterns use Qt's letters: d dd M MM yyyy for the date; h hh (12-hour when an AP/ap marker is
    // present), H HH (24-hour), mm ss, AP/ap for the day-half marker; text in single quotes is literal.
    std::string datePattern = "M/d/yyyy";
    std::string timePattern = "h:mm:ss AP";
    std::string amText = "AM";
    std::string pmText = "PM";

    static Locale EnUS();
    static Locale DeDE();
    // Built from a QLocale: its short date format with the year widened to four digits and its long
    // time format without the time-zone part.
    static Locale FromQLocale(const QLocale& locale);
    // The locale of the user running the program; US English when that is the bare C locale.
    static Locale System();
};

// Day zero of OLE Automation dates, 30 December 1899: the one date origin of the program. The counts
// from other origins are derived from it where each is needed.
inline constexpr std::chrono::year_month_day kOleEpoch{std::chrono::year{1899}, std::chrono::month{12},
                                                       std::chrono::day{30}};
// Day zero counted from 1 Jan 1970 (-25569) and from 1 Jan of the year 1 (693593), as other formats count.
inline constexpr std::int64_t kOleEpochUnixDays = std::chrono::sys_days{kOleEpoch}.time_since_epoch().count();
inline constexpr std::int64_t kOleEpochDaysFromYear1 =
    (std::chrono::sys_days{kOleEpoch} -
     std::chrono::sys_days{std::chrono::year{1} / std::chrono::January / std::chrono::day{1}})
        .count();

// An OLE Automation date: days since 30 Dec 1899, the fraction the time of day. Negative values keep
// the time of day as a positive fraction (-1.25 is 29 Dec 1899 06:00), as the Jet engine stores them.
struct CivilDateTime {
    int year = static_cast<int>(kOleEpoch.year());
    int month = static_cast<int>(static_cast<unsigned>(kOleEpoch.month()));
    int day = static_cast<int>(static_cast<unsigned>(kOleEpoch.day()));
    int hour = 0, minute = 0, second = 0;
    int fraction = 0;  // 100 ns units beyond the second (Date/Time Extended); shown only when not 0
};

// The first year of the Date type; Date/Time Extended values begin with the year 1.
inline constexpr int kFirstDateYear = 100;
inline constexpr int kFirstExtendedDateYear = 1;

// The date as SplitOleDate splits it, when it lies from 1 Jan of `firstYear` to 31 Dec 9999 after
// rounding to the second; nothing for any other value, NaN and infinities included. SplitOleDate and
// FormatDateTime take only dates of the years 1 to 9999.
std::optional<CivilDateTime> SplitOleDateInRange(double oleDate, int firstYear = kFirstDateYear);
inline bool IsOleDateInRange(double oleDate, int firstYear = kFirstDateYear) {
    return SplitOleDateInRange(oleDate, firstYear).has_value();
}

CivilDateTime SplitOleDate(double oleDate);  // rounded to the whole second
double JoinOleDate(const CivilDateTime& dt);

enum class DateTextKind { DateOnly, TimeOnly, DateTime };

// Which parts the text form of a date/time shows: the time alone on day zero (30 Dec 1899), the date
// alone at midnight, both otherwise.
DateTextKind KindOf(const CivilDateTime& dt);

// The text form of a date/time value in the locale: short date with a four-digit year, long time.
std::string FormatDateTime(double oleDate, const Locale& locale);
std::string FormatDateTime(const CivilDateTime& dt, const Locale& locale);

struct ParsedDateTime {
    double oleDate = 0;
    DateTextKind kind = DateTextKind::DateTime;
};

// Recognises exactly the texts FormatDateTime writes, and nothing else.
std::optional<ParsedDateTime> ParseDateTime(std::string_view text, const Locale& locale);

// An Excel number format that displays a date/time of that kind exactly as FormatDateTime writes it.
std::string ExcelDateFormat(DateTextKind kind, const Locale& locale);

}  // namespace tabvert::text
