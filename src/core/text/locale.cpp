#include "core/text/locale.h"

#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tabvert::text {

namespace {

static_assert(kOleEpochUnixDays == -25569);
constexpr int kSecondsPerDay = 86400;

// Civil calendar <-> day number (proleptic Gregorian), days counted from 1970-01-01.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

struct Token {
    enum Kind { Literal, Day, Month, Year, Hour12, Hour24, Minute, Second, DayHalf } kind;
    int width = 1;           // digits: 1 = no leading zero, 2 = two digits, 4 = four-digit year
    std::string text;        // for literals
    bool lowerCase = false;  // for the day-half marker
};

std::vector<Token> Tokenize(std::string_view pattern) {
    std::vector<Token> out;
    auto literal = [&out](std::string_view s) {
        if (!out.empty() && out.back().kind == Token::Literal) {
            out.back().text += s;
        } else {
            out.push_back({Token::Literal, 0, std::string(s)});
        }
    };
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        switch (c) {
            case 'd':
                out.push_back({Token::Day, run >= 2 ? 2 : 1, {}});
                break;
            case 'M':
                out.push_back({Token::Month, run >= 2 ? 2 : 1, {}});
                break;
            case 'y':
                out.push_back({Token::Year, 4, {}});
                break;
            case 'h':
                out.push_back({Token::Hour12, run >= 2 ? 2 : 1, {}});
                break;
            case 'H':
                out.push_back({Token::Hour24, run >= 2 ? 2 : 1, {}});
                break;
            case 'm':
                out.push_back({Token::Minute, run >= 2 ? 2 : 1, {}});
                break;
            case 's':
                out.push_back({Token::Second, run >= 2 ? 2 : 1, {}});
                break;
            case 'A':
            case 'a': {
                Token t{Token::DayHalf, 0, {}};
                t.lowerCase = c == 'a';
                out.push_back(t);
                // "AP" / "ap" is one marker
                if (i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p'))
                    run = 2;
                else
                    run = 1;
                break;
            }
            case 't':
                break;  // time zone: not part of our forms
            case '\'': {
                const size_t end = pattern.find('\'', i + 1);
                if (end == std::string_view::npos) {
                    literal(pattern.substr(i + 1));
                    i = pattern.size();
                    continue;
                }
                literal(end == i + 1 ? std::string_view("'") : pattern.substr(i + 1, end - i - 1));
                i = end + 1;
                continue;
            }
            default:
                literal(pattern.substr(i, run));
                break;
        }
        i += run;
    }
    // A 12-hour token without a day-half marker would be ambiguous: read it as 24-hour.
    bool hasHalf = false;
    for (const auto& t : out) hasHalf |= t.kind == Token::DayHalf;
    if (!hasHalf)
        for (auto& t : out)
            if (t.kind == Token::Hour12) t.kind = Token::Hour24;
    // Trim blanks left at the ends by dropped tokens ("h:mm:ss AP t").
    while (!out.empty() && out.back().kind == Token::Literal &&
           out.back().text.find_first_not_of(' ') == std::string::npos)
        out.pop_back();
    return out;
}

std::string Digits(int value, int width) {
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

std::string Render(const std::vector<Token>& tokens, const CivilDateTime& dt, const Locale& locale) {
    std::string out;
    for (const auto& t : tokens) {
        switch (t.kind) {
            case Token::Literal:
                out += t.text;
                break;
            case Token::Day:
                out += Digits(dt.day, t.width);
                break;
            case Token::Month:
                out += Digits(dt.month, t.width);
                break;
            case Token::Year:
                out += Digits(dt.year, 4);
                break;
            case Token::Hour12:
                out += Digits(dt.hour % 12 == 0 ? 12 : dt.hour % 12, t.width);
                break;
            case Token::Hour24:
                out += Digits(dt.hour, t.width);
                break;
            case Token::Minute:
                out += Digits(dt.minute, t.width);
                break;
            case Token::Second:
                out += Digits(dt.second, t.width);
                if (dt.fraction != 0) out += locale.decimalSeparator + Digits(dt.fraction, 7);
                break;
            case Token::DayHalf: {
                std::string half = dt.hour < 12 ? locale.amText : locale.pmText;
                if (t.lowerCase)
                    for (auto& ch : half)
                        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                out += half;
                break;
            }
        }
    }
    return out;
}

// Reads the numbers of one pattern from text; false when the text does not follow the pattern.
bool Scan(const std::vector<Token>& tokens, std::string_view text, size_t& pos, CivilDateTime& dt,
          const Locale& locale) {
    int hour12 = -1;
    int pmFlag = -1;
    for (const auto& t : tokens) {
        if (t.kind == Token::Literal) {
            if (text.substr(pos, t.text.size()) != t.text) return false;
            pos += t.text.size();
            continue;
        }
        if (t.kind == Token::DayHalf) {
            auto matches = [&](const std::string& word) {
                if (word.empty() || text.size() - pos < word.size()) return false;
                for (size_t k = 0; k < word.size(); ++k)
                    if (std::tolower(static_cast<unsigned char>(text[pos + k])) !=
                        std::tolower(static_cast<unsigned char>(word[k])))
                        return false;
                return true;
            };
            if (matches(locale.amText)) {
                pmFlag = 0;
                pos += locale.amText.size();
            } else if (matches(locale.pmText)) {
                pmFlag = 1;
                pos += locale.pmText.size();
            } else {
                return false;
            }
            continue;
        }
        const size_t maxDigits = t.kind == Token::Year ? 4 : 2;
        size_t n = 0;
        int value = 0;
        while (n < maxDigits && pos + n < text.size() && text[pos + n] >= '0' && text[pos + n] <= '9') {
            value = value * 10 + (text[pos + n] - '0');
            ++n;
        }
        if (n == 0) return false;
        pos += n;
        switch (t.kind) {
            case Token::Day:
                dt.day = value;
                break;
            case Token::Month:
                dt.month = value;
                break;
            case Token::Year:
                dt.year = value;
                break;
            case Token::Hour12:
                hour12 = value;
                break;
            case Token::Hour24:
                dt.hour = value;
                break;
            case Token::Minute:
                dt.minute = value;
                break;
            case Token::Second:
                dt.second = value;
                break;
            default:
                break;
        }
    }
    if (hour12 >= 0) {
        if (pmFlag < 0 || hour12 < 1 || hour12 > 12) return false;
        dt.hour = hour12 % 12 + (pmFlag == 1 ? 12 : 0);
    }
    return true;
}

bool Valid(const CivilDateTime& dt) {
    if (dt.year < 100 || dt.year > 9999 || dt.month < 1 || dt.month > 12 || dt.day < 1) return false;
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (dt.day > kDays[dt.month - 1]) return false;
    if (dt.month == 2 && dt.day == 29) {
        const bool leap = (dt.year % 4 == 0 && dt.year % 100 != 0) || dt.year % 400 == 0;
        if (!leap) return false;
    }
    return dt.hour >= 0 && dt.hour < 24 && dt.minute >= 0 && dt.minute < 60 && dt.second >= 0 &&
           dt.second < 60;
}

std::string ExcelPattern(std::string_view qtPattern) {
    std::string out;
    for (const auto& t : Tokenize(qtPattern)) {
        switch (t.kind) {
            case Token::Literal:
                for (char c : t.text) {
                    if (c == ' ' || c == '/' || c == ':' || c == '-' || c == ',') {
                        out += c;
                    } else {
                        out += '\\';
                        out += c;
                    }
                }
                break;
            case Token::Day:
                out += t.width == 2 ? "dd" : "d";
                break;
            case Token::Month:
                out += t.width == 2 ? "mm" : "m";
                break;
            case Token::Year:
                out += "yyyy";
                break;
            case Token::Hour12:
            case Token::Hour24:
                out += t.width == 2 ? "hh" : "h";
                break;
            case Token::Minute:
                out += t.width == 2 ? "mm" : "m";
                break;
            case Token::Second:
                out += t.width == 2 ? "ss" : "s";
                break;
            case Token::DayHalf:
                out += "AM/PM";
                break;
        }
    }
    return out;
}

}  // namespace

Locale Locale::EnUS() { return Locale{}; }

Locale Locale::DeDE() {
    Locale l;
    l.name = "de_DE";
    l.decimalSeparator = ",";
    l.datePattern = "dd.MM.yyyy";
    l.timePattern = "HH:mm:ss";
    return l;
}

Locale Locale::FromQLocale(const QLocale& q) {
    Locale l;
    l.name = q.name().toStdString();
    l.decimalSeparator = q.decimalPoint().toStdString();
    // Widen the year of the short date to four digits.
    std::string date = q.dateFormat(QLocale::ShortFormat).toStdString();
    std::string widened;
    for (size_t i = 0; i < date.size();) {
        if (date[i] == 'y') {
            while (i < date.size() && date[i] == 'y') ++i;
            widened += "yyyy";
        } else {
            widened += date[i++];
        }
    }
    l.datePattern = widened;
    l.timePattern = q.timeFormat(QLocale::LongFormat).toStdString();
    l.amText = q.amText().toStdString();
    l.pmText = q.pmText().toStdString();
    return l;
}

// The bare C locale (LANG=C, or no locale at all) has no date and time forms worth the name; US English,
// the forms the program has always written, stands in for it.
Locale Locale::System() {
    const QLocale user = QLocale::system();
    return user.language() == QLocale::C ? EnUS() : FromQLocale(user);
}

std::optional<CivilDateTime> SplitOleDateInRange(double oleDate, int firstYear) {
    // 1 Jan 0001 is day -693593 and 1 Jan 10000 day 2958466; the rough bounds keep the splitter's
    // casts defined, the year decides after rounding.
    if (!std::isfinite(oleDate) || oleDate <= -693595.0 || oleDate >= 2958467.0) return std::nullopt;
    const CivilDateTime dt = SplitOleDate(oleDate);
    if (dt.year < firstYear || dt.year > 9999) return std::nullopt;
    return dt;
}

CivilDateTime SplitOleDate(double oleDate) {
    double days = std::trunc(oleDate);
    double frac = std::fabs(oleDate - days);
    auto seconds = static_cast<int64_t>(std::llround(frac * kSecondsPerDay));
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        days += oleDate < 0 ? -1 : 1;
    }
    CivilDateTime dt;
    CivilFromDays(static_cast<int64_t>(days) + kOleEpochUnixDays, dt.year, dt.month, dt.day);
    dt.hour = static_cast<int>(seconds / 3600);
    dt.minute = static_cast<int>(seconds / 60 % 60);
    dt.second = static_cast<int>(seconds % 60);
    return dt;
}

double JoinOleDate(const CivilDateTime& dt) {
    const auto days = static_cast<double>(
        DaysFromCivil(dt.year, static_cast<unsigned>(dt.month), static_cast<unsigned>(dt.day)) -
        kOleEpochUnixDays);
    const double frac = (dt.hour * 3600.0 + dt.minute * 60.0 + dt.second) / kSecondsPerDay;
    return days < 0 ? days - frac : days + frac;
}

DateTextKind KindOf(const CivilDateTime& dt) {
    const std::chrono::year_month_day day{std::chrono::year{dt.year},
                                          std::chrono::month(static_cast<unsigned>(dt.month)),
                                          std::chrono::day(static_cast<unsigned>(dt.day))};
    if (day == kOleEpoch) return DateTextKind::TimeOnly;
    if (dt.hour == 0 && dt.minute == 0 && dt.second == 0 && dt.fraction == 0) return DateTextKind::DateOnly;
    return DateTextKind::DateTime;
}

std::string FormatDateTime(const CivilDateTime& dt, const Locale& locale) {
    switch (KindOf(dt)) {
        case DateTextKind::TimeOnly:
            return Render(Tokenize(locale.timePattern), dt, locale);
        case DateTextKind::DateOnly:
            return Render(Tokenize(locale.datePattern), dt, locale);
        case DateTextKind::DateTime:
            return Render(Tokenize(locale.datePattern), dt, locale) + " " +
                   Render(Tokenize(locale.timePattern), dt, locale);
    }
    return {};
}

std::string FormatDateTime(double oleDate, const Locale& locale) {
    return FormatDateTime(SplitOleDate(oleDate), locale);
}

std::optional<ParsedDateTime> ParseDateTime(std::string_view text, const Locale& locale) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    const auto date = Tokenize(locale.datePattern);
    const auto time = Tokenize(locale.timePattern);
    auto attempt = [&](bool withDate, bool withTime) -> std::optional<ParsedDateTime> {
        CivilDateTime dt;
        size_t pos = 0;
        if (withDate && !Scan(date, text, pos, dt, locale)) return std::nullopt;
        if (withDate && withTime) {
            if (pos >= text.size() || text[pos] != ' ') return std::nullopt;
            ++pos;
        }
        if (withTime && !Scan(time, text, pos, dt, locale)) return std::nullopt;
        if (pos != text.size() || !Valid(dt)) return std::nullopt;
        // Only the exact form the program writes counts (no missing or extra leading zeros, right kind).
        if (FormatDateTime(dt, locale) != text) return std::nullopt;
        return ParsedDateTime{JoinOleDate(dt), KindOf(dt)};
    };
    if (auto p = attempt(true, true)) return p;
    if (auto p = attempt(true, false)) return p;
    return attempt(false, true);
}

std::string ExcelDateFormat(DateTextKind kind, const Locale& locale) {
    switch (kind) {
        case DateTextKind::DateOnly:
            return ExcelPattern(locale.datePattern);
        case DateTextKind::TimeOnly:
            return ExcelPattern(locale.timePattern);
        case DateTextKind::DateTime:
            return ExcelPattern(locale.datePattern) + " " + ExcelPattern(locale.timePattern);
    }
    return {};
}

}  // namespace tabvert::text
