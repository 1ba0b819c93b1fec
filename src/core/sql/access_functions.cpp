// Jet's built-in functions: the table (at the end) that gives each Access function its arity, type rule
// and SQLite implementation, and those implementations with the ones behind Jet's operators.

#include "core/sql/access_functions.h"

#include <sqlite3.h>

#include <QCollator>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QString>
#include <QTimeZone>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "core/sql/sql_translate.h"
#include "core/text/locale.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado::sql {

struct TextCollator::Impl {
    QCollator collator{QLocale(QLocale::English, QLocale::UnitedStates)};
};

TextCollator::TextCollator() : impl_(std::make_unique<Impl>()) {
    impl_->collator.setCaseSensitivity(Qt::CaseInsensitive);
    impl_->collator.setNumericMode(false);
}
TextCollator::~TextCollator() = default;

int TextCollator::Compare(const char* a, int aBytes, const char* b, int bBytes) const {
    // Plain letters, digits and blanks compare as their case-folded bytes do, without the collator's cost.
    bool simple = true;
    for (int i = 0; i < aBytes && simple; ++i)
        simple = std::isalnum(static_cast<unsigned char>(a[i])) || a[i] == ' ';
    for (int i = 0; i < bBytes && simple; ++i)
        simple = std::isalnum(static_cast<unsigned char>(b[i])) || b[i] == ' ';
    if (simple) {
        const int n = std::min(aBytes, bBytes);
        for (int i = 0; i < n; ++i) {
            const int x = std::tolower(static_cast<unsigned char>(a[i])),
                      y = std::tolower(static_cast<unsigned char>(b[i]));
            if (x != y) {
                auto weight = [](int c) { return c == ' ' ? 0 : std::isdigit(c) ? 1 : 2; };
                if (weight(x) != weight(y)) return weight(x) < weight(y) ? -1 : 1;
                return x < y ? -1 : 1;
            }
        }
        return aBytes == bBytes ? 0 : aBytes < bBytes ? -1 : 1;
    }
    return impl_->collator.compare(QString::fromUtf8(a, aBytes), QString::fromUtf8(b, bBytes));
}

namespace {

constexpr double kMsPerDay = 86400000.0;
const QDate kOleEpoch = QDate(1970, 1, 1).addDays(text::kOleEpochUnixDays);

[[noreturn]] void Fail(const char* message) { throw std::runtime_error(message); }
constexpr const char* kMismatch = "Data type mismatch in criteria expression.";
constexpr const char* kInvalidCall = "Invalid procedure call or argument.";
constexpr const char* kOverflow = "Overflow";

// The largest text one value may hold, in UTF-8 bytes: String, Space, Replace and "&" refuse to build more.
constexpr qint64 kMaxValueBytes = qint64{64} << 20;
void CheckValueSize(qint64 bytes) {
    if (bytes > kMaxValueBytes) Fail("Out of string space: one value of a query may hold at most 64 MiB.");
}

struct DateParts {
    QDate date;
    qint64 ms = 0;
};

DateParts FromOle(double d) {
    if (!std::isfinite(d) || std::fabs(d) > 2958466.0) Fail(kOverflow);
    const double whole = std::trunc(d);
    qint64 ms = std::llround(std::fabs(d - whole) * kMsPerDay);
    qint64 days = static_cast<qint64>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += d < 0 ? -1 : 1;
    }
    return {kOleEpoch.addDays(days), ms};
}

double ToOle(const QDate& date, qint64 ms) {
    if (!date.isValid() || date.year() < 100 || date.year() > 9999) Fail(kOverflow);
    const double days = static_cast<double>(kOleEpoch.daysTo(date));
    const double fraction = static_cast<double>(ms) / kMsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

// A count of days and a time of day as one signed number (-0.25 is six in the evening of 29 Dec 1899)
// turned into an OLE date, whose fraction is the time of day whatever the sign of the whole part.
double LinearToOle(double linear) {
    const double days = std::floor(linear);
    const double fraction = linear - days;
    const double ole = days >= 0 || fraction == 0 ? linear : days - fraction;
    if (!std::isfinite(ole) || ole < -657434.0 || ole >= 2958466.0) Fail(kOverflow);
    return ole;
}

std::optional<double> ParseNumber(const QString& s) {
    const QString t = s.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (ok && std::isfinite(d)) return d;
    return std::nullopt;
}

// The month a name or its first three letters give (1..12), or 0.
int MonthOfName(const QString& word) {
    if (word.size() < 3) return 0;
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (int m = 1; m <= 12; ++m) {
        const QString full = us.monthName(m);
        if (word.compare(full, Qt::CaseInsensitive) == 0 ||
            (word.size() == 3 && word.compare(full.left(3), Qt::CaseInsensitive) == 0))
            return m;
    }
    return 0;
}

// Text read as a date the way Jet's conversions read it: the date in the engine locale's order (month,
// day, year for US English) with '/', '-', '.', ',' or blanks between, a month by name, a year first
// when it has four digits, a first number that cannot be a month taken as the day; then an optional
// time (h:mm, h:mm:ss, with AM/PM or not; "3 PM"). Two-digit years 30..99 are 19xx, 0..29 20xx; a date
// without a year is in the current one.
std::optional<double> ParseDate(const QString& in) {
    const QString s = in.trimmed();
    if (s.isEmpty() || s.size() > 100) return std::nullopt;
    struct Token {
        enum Kind { Number, Month, Colon, Half } kind;
        int value = 0;
        int digits = 0;
    };
    std::vector<Token> tokens;
    for (qsizetype i = 0; i < s.size();) {
        const QChar ch = s[i];
        if (ch.isDigit()) {
            qsizetype j = i;
            while (j < s.size() && s[j].isDigit()) ++j;
            if (j - i > 4) return std::nullopt;
            tokens.push_back({Token::Number, s.mid(i, j - i).toInt(), static_cast<int>(j - i)});
            i = j;
        } else if (ch.isLetter()) {
            qsizetype j = i;
            while (j < s.size() && s[j].isLetter()) ++j;
            const QString word = s.mid(i, j - i);
            if (word.compare("am", Qt::CaseInsensitive) == 0 || word.compare("a", Qt::CaseInsensitive) == 0)
                tokens.push_back({Token::Half, 0});
            else if (word.compare("pm", Qt::CaseInsensitive) == 0 ||
                     word.compare("p", Qt::CaseInsensitive) == 0)
                tokens.push_back({Token::Half, 12});
            else if (const int m = MonthOfName(word))
                tokens.push_back({Token::Month, m});
            else
                return std::nullopt;
            i = j;
        } else if (ch == ':') {
            tokens.push_back({Token::Colon});
            ++i;
        } else if (ch == '/' || ch == '-' || ch == '.' || ch == ',' || ch.isSpace()) {
            ++i;
        } else {
            return std::nullopt;
        }
    }
    // The time: the numbers joined by colons, or one number before AM/PM, at the end.
    std::size_t timeAt = tokens.size();
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
    {
        std::size_t end = tokens.size();
        std::optional<int> half;
        if (end > 0 && tokens[end - 1].kind == Token::Half) half = tokens[--end].value;
        std::size_t begin = end;
        while (begin >= 2 && tokens[begin - 1].kind == Token::Number &&
               tokens[begin - 2].kind == Token::Colon)
            begin -= 2;
        std::vector<int> parts;
        if (begin < end || half) {
            if (begin == 0 || tokens[begin - 1].kind != Token::Number) return std::nullopt;
            --begin;
            for (std::size_t k = begin; k < end; k += 2) parts.push_back(tokens[k].value);
            if (parts.size() > 3) return std::nullopt;
            hour = parts[0];
            minute = parts.size() > 1 ? parts[1] : 0;
            second = parts.size() > 2 ? parts[2] : 0;
            if (half) {
                if (hour < 1 || hour > 12) return std::nullopt;
                hour = hour % 12 + *half;
            }
            if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
            hasTime = true;
            timeAt = begin;
        } else if (end != tokens.size()) {
            return std::nullopt;
        }
    }
    for (std::size_t k = 0; k < timeAt; ++k)
        if (tokens[k].kind == Token::Colon || tokens[k].kind == Token::Half) return std::nullopt;
    const qint64 ms = (hour * 3600 + minute * 60 + second) * qint64{1000};
    if (timeAt == 0)
        return hasTime ? std::optional<double>(static_cast<double>(ms) / kMsPerDay) : std::nullopt;

    // The date: two or three parts, at most one of them a month name.
    std::vector<Token> parts(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(timeAt));
    if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
    int named = -1;
    for (std::size_t k = 0; k < parts.size(); ++k)
        if (parts[k].kind == Token::Month) {
            if (named >= 0) return std::nullopt;
            named = static_cast<int>(k);
        }
    auto fullYear = [](const Token& t) {
        if (t.digits > 2) return t.value;
        return t.value < 30 ? 2000 + t.value : 1900 + t.value;
    };
    const int thisYear = QDate::currentDate().year();
    auto make = [&](int y, int m, int d) -> std::optional<double> {
        const QDate date(y, m, d);
        if (!date.isValid() || y < 100 || y > 9999) return std::nullopt;
        return ToOle(date, ms);
    };
    if (named >= 0) {
        std::vector<Token> numbers;
        for (std::size_t k = 0; k < parts.size(); ++k)
            if (static_cast<int>(k) != named) numbers.push_back(parts[k]);
        const int m = parts[static_cast<std::size_t>(named)].value;
        if (numbers.size() == 1) {  // "Jan 5" or "Jan 2023"
            const Token& n = numbers[0];
            if (n.digits <= 2 && n.value >= 1 && n.value <= 31) return make(thisYear, m, n.value);
            return make(fullYear(n), m, 1);
        }
        if (numbers[0].digits > 2) return make(numbers[0].value, m, numbers[1].value);  // 2023 Jan 5
        return make(fullYear(numbers[1]), m, numbers[0].value);  // "5 Jan 2023", "Jan 5, 2023"
    }
    // All numbers, in the engine locale's order.
    const std::string& pattern = text::Locale::EnUS().datePattern;
    const bool dayFirst = pattern.find('d') < pattern.find('M');
    if (parts.size() == 2) {
        const Token &a = parts[0], &b = parts[1];
        if (b.digits > 2 || b.value > 31) return make(fullYear(b), a.value, 1);  // month and year
        const int m = dayFirst ? b.value : a.value, d = dayFirst ? a.value : b.value;
        if (auto r = make(thisYear, m, d)) return r;
        return make(thisYear, d, m);
    }
    const Token &a = parts[0], &b = parts[1], &c = parts[2];
    if (a.digits > 2 || a.value > 31) return make(a.value, b.value, c.value);  // year first
    const int y = fullYear(c);
    const int m = dayFirst ? b.value : a.value, d = dayFirst ? a.value : b.value;
    if (auto r = make(y, m, d)) return r;
    return make(y, d, m);  // a day that cannot be a month: the other order
}

// Rounds half to even, as VBA's Round and its conversions do.
double BankersRound(double x, int digits) {
    const double scale = std::pow(10.0, digits);
    const double y = x * scale;
    double r = std::round(y);
    if (std::fabs(y - std::trunc(y)) == 0.5) r = 2.0 * std::round(y / 2.0);
    return r / scale;
}

QString Text(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}
void ResultText(sqlite3_context* c, const QString& s) {
    CheckValueSize(s.size());
    const QByteArray b = s.toUtf8();
    CheckValueSize(b.size());
    sqlite3_result_text(c, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}
bool AnyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}
double Number(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return sqlite3_value_double(v);
        case SQLITE_TEXT:
            if (const auto d = ParseNumber(Text(v))) return *d;
            Fail(kMismatch);
        default:
            Fail(kMismatch);
    }
}
qint64 Whole(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_INTEGER) return sqlite3_value_int64(v);
    const double d = BankersRound(Number(v), 0);
    if (!std::isfinite(d) || std::fabs(d) > 9.2e18) Fail(kOverflow);
    return static_cast<qint64>(d);
}

// Wraps a function body: Null in, Null out (unless nullsIn), and failures become SQLite errors.
template <typename Body>
void Guard(sqlite3_context* c, int argc, sqlite3_value** argv, bool nullsIn, Body&& body) {
    try {
        if (!nullsIn && AnyNull(argc, argv)) {
            sqlite3_result_null(c);
            return;
        }
        body();
    } catch (const std::exception& e) {
        sqlite3_result_error(c, e.what(), -1);
    }
}

// The functions are hand-written: SQLite's own follow other rules (case-sensitive text, LIKE with % and _,
// integer division on "/", no Null-skipping "&", half-up rounding) and no packaged library implements VBA's.

// ----- text -----

Variant AsVariant(sqlite3_value* v, Type type) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_TEXT:
            return Variant::Text(Text(v).toStdString());
        case SQLITE_BLOB: {
            const auto* p = static_cast<const std::uint8_t*>(sqlite3_value_blob(v));
            return Variant::Binary(std::vector<std::uint8_t>(p, p + sqlite3_value_bytes(v)));
        }
        default:
            break;
    }
    switch (type) {
        case Type::Boolean:
            return Variant::Boolean(sqlite3_value_int64(v) != 0);
        case Type::Currency:
            return Variant::Currency(sqlite3_value_int64(v));
        case Type::Date:
            return Variant::Date(sqlite3_value_double(v));
        case Type::Single:
            return Variant::Single(static_cast<float>(sqlite3_value_double(v)));
        default:
            if (sqlite3_value_type(v) == SQLITE_INTEGER) return Variant::BigInt(sqlite3_value_int64(v));
            return Variant::Double(sqlite3_value_double(v));
    }
}

void Str(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const auto type = static_cast<Type>(sqlite3_value_int(argv[1]));
        const std::string s = text::ValueToText(AsVariant(argv[0], type), text::Locale::EnUS());
        sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    });
}

void Concat(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        // Any number of operands (a chain "a & b & c" is one call): Null only when every one is Null.
        bool allNull = true;
        qint64 size = 0;
        for (int i = 0; i < argc; ++i) {
            allNull = allNull && sqlite3_value_type(argv[i]) == SQLITE_NULL;
            size += sqlite3_value_bytes(argv[i]);
        }
        if (allNull) {
            sqlite3_result_null(c);
            return;
        }
        CheckValueSize(size);
        std::string s;
        for (int i = 0; i < argc; ++i)
            if (sqlite3_value_type(argv[i]) != SQLITE_NULL)
                s.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])),
                         static_cast<std::size_t>(sqlite3_value_bytes(argv[i])));
        sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    });
}

// Like with *, ?, #, [list], [a-z] and [!list], without regard to case. The pattern is read into one
// step per character it matches (or a run of '*'), then matched by moving back to the last '*' seen on a
// mismatch: time bounded by the product of the two lengths, no recursion.
struct LikeStep {
    enum Kind : std::uint8_t { Char, Any, Digit, Set, Star } kind = Char;
    bool negate = false;      // Set: [!...]
    QChar ch;                 // Char: case-folded
    std::uint32_t first = 0;  // Set: its ranges in LikePattern::ranges
    std::uint32_t count = 0;
};

struct LikePattern {
    std::vector<LikeStep> steps;
    std::vector<std::pair<QChar, QChar>> ranges;  // case-folded; a single character as a..a
};

LikePattern ReadLikePattern(const QString& p) {
    LikePattern pattern;
    std::vector<LikeStep>& steps = pattern.steps;
    steps.reserve(static_cast<std::size_t>(p.size()));
    for (qsizetype i = 0; i < p.size(); ++i) {
        const QChar pc = p[i];
        LikeStep step;
        if (pc == '*') {
            if (!steps.empty() && steps.back().kind == LikeStep::Star) continue;
            step.kind = LikeStep::Star;
        } else if (pc == '?') {
            step.kind = LikeStep::Any;
        } else if (pc == '#') {
            step.kind = LikeStep::Digit;
        } else if (pc == '[') {
            const qsizetype close = p.indexOf(']', i + 1);
            if (close < 0) Fail("Invalid pattern string.");
            qsizetype k = i + 1;
            i = close;
            if (k == close) continue;  // "[]" stands for no character at all
            step.kind = LikeStep::Set;
            if (p[k] == '!' && k + 1 < close) {
                step.negate = true;
                ++k;
            }
            step.first = static_cast<std::uint32_t>(pattern.ranges.size());
            for (; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == '-') {
                    pattern.ranges.emplace_back(p[k].toCaseFolded(), p[k + 2].toCaseFolded());
                    k += 2;
                } else {
                    pattern.ranges.emplace_back(p[k].toCaseFolded(), p[k].toCaseFolded());
                }
            }
            step.count = static_cast<std::uint32_t>(pattern.ranges.size()) - step.first;
        } else {
            step.ch = pc.toCaseFolded();
        }
        steps.push_back(step);
    }
    return pattern;
}

bool LikeStepMatches(const LikePattern& pattern, const LikeStep& step, QChar folded) {
    switch (step.kind) {
        case LikeStep::Any:
            return true;
        case LikeStep::Digit:
            return folded.isDigit();
        case LikeStep::Set: {
            bool in = false;
            for (std::uint32_t r = step.first; r < step.first + step.count && !in; ++r)
                in = folded >= pattern.ranges[r].first && folded <= pattern.ranges[r].second;
            return in != step.negate;
        }
        case LikeStep::Char:
            return folded == step.ch;
        case LikeStep::Star:
            break;
    }
    return false;
}

bool LikeMatch(const QString& text, const LikePattern& pattern) {
    const std::vector<LikeStep>& steps = pattern.steps;
    const QString s = text.toCaseFolded();
    std::size_t pi = 0;
    qsizetype si = 0;
    std::optional<std::size_t> starAt;  // the step after the last '*' passed
    qsizetype starText = 0;             // where the text stood when that '*' was passed, plus the retries
    while (si < s.size()) {
        if (pi < steps.size() && steps[pi].kind == LikeStep::Star) {
            starAt = ++pi;
            starText = si;
        } else if (pi < steps.size() && LikeStepMatches(pattern, steps[pi], s[si])) {
            ++pi;
            ++si;
        } else if (starAt) {
            pi = *starAt;
            si = ++starText;
        } else {
            return false;
        }
    }
    while (pi < steps.size() && steps[pi].kind == LikeStep::Star) ++pi;
    return pi == steps.size();
}

// The pattern is read once per statement when it is a constant, as it nearly always is.
void Like(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        if (const auto* kept = static_cast<const LikePattern*>(sqlite3_get_auxdata(c, 1))) {
            sqlite3_result_int(c, LikeMatch(Text(argv[0]), *kept) ? 1 : 0);
            return;
        }
        auto read = std::make_unique<LikePattern>(ReadLikePattern(Text(argv[1])));
        const bool match = LikeMatch(Text(argv[0]), *read);
        sqlite3_set_auxdata(c, 1, read.release(), [](void* p) { delete static_cast<LikePattern*>(p); });
        sqlite3_result_int(c, match ? 1 : 0);
    });
}

void Len(sqlite3_context* c, int argc, sqlite3_value** argv) {
    // UTF-16 units counted on the UTF-8 bytes: one per lead byte, two for a four-byte sequence.
    Guard(c, argc, argv, false, [&] {
        const auto* p = sqlite3_value_text(argv[0]);
        const int bytes = sqlite3_value_bytes(argv[0]);
        qint64 units = 0;
        for (int i = 0; i < bytes; ++i) units += ((p[i] & 0xC0) != 0x80) + ((p[i] & 0xF8) == 0xF0);
        sqlite3_result_int64(c, units);
    });
}

qsizetype Count(sqlite3_value* v) {
    const qint64 n = Whole(v);
    if (n < 0) Fail(kInvalidCall);
    return static_cast<qsizetype>(std::min<qint64>(n, std::numeric_limits<int>::max()));
}

void Left(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { ResultText(c, Text(argv[0]).left(Count(argv[1]))); });
}
void Right(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { ResultText(c, Text(argv[0]).right(Count(argv[1]))); });
}
void Mid(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        const bool hasLength = sqlite3_value_int(argv[3]) != 0;
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL ||
            (hasLength && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
            sqlite3_result_null(c);
            return;
        }
        const qsizetype start = Count(argv[1]);
        if (start < 1) Fail(kInvalidCall);
        const QString s = Text(argv[0]);
        ResultText(c, hasLength ? s.mid(start - 1, Count(argv[2])) : s.mid(start - 1));
    });
}
void InStr(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qsizetype start = Count(argv[0]);
        if (start < 1) Fail(kInvalidCall);
        const QString s = Text(argv[1]), f = Text(argv[2]);
        const auto cs = Whole(argv[3]) == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (start > s.size()) {
            sqlite3_result_int(c, 0);
            return;
        }
        sqlite3_result_int64(c, f.isEmpty() ? start : s.indexOf(f, start - 1, cs) + 1);
    });
}
void Replace(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qsizetype start = Count(argv[3]);
        const qint64 limit = Whole(argv[4]);
        if (start < 1 || limit < -1) Fail(kInvalidCall);
        const auto cs = Whole(argv[5]) == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
        QString s = Text(argv[0]).mid(start - 1);
        const QString f = Text(argv[1]), r = Text(argv[2]);
        if (!f.isEmpty()) {
            // Counted first, so that a result past the cap is refused before it is built.
            qint64 matches = 0;
            for (qsizetype at = s.indexOf(f, 0, cs); at >= 0 && (limit < 0 || matches < limit);
                 at = s.indexOf(f, at + f.size(), cs))
                ++matches;
            CheckValueSize(s.size() + matches * (r.size() - f.size()));
            QString out;
            out.reserve(s.size() + matches * (r.size() - f.size()));
            qsizetype at = 0;
            for (qint64 done = 0; done < matches; ++done) {
                const qsizetype found = s.indexOf(f, at, cs);
                out.append(QStringView(s).mid(at, found - at)).append(r);
                at = found + f.size();
            }
            s = out.append(QStringView(s).mid(at));
        }
        ResultText(c, s);
    });
}
template <int Which>
void Case(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        QString s = Text(argv[0]);
        if (Which == 0) s = s.toUpper();
        if (Which == 1) s = s.toLower();
        if (Which == 2 || Which == 3)
            while (!s.isEmpty() && s.front() == ' ') s.remove(0, 1);
        if (Which == 2 || Which == 4)
            while (!s.isEmpty() && s.back() == ' ') s.chop(1);
        ResultText(c, s);
    });
}
void StringOf(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString ch = Text(argv[1]);
        if (ch.isEmpty()) Fail(kInvalidCall);
        const qint64 n = Whole(argv[0]);
        if (n < 0) Fail(kInvalidCall);
        const QByteArray one = QString(ch[0]).toUtf8();
        CheckValueSize(n * one.size());
        std::string out;
        if (one.size() == 1) {
            out.assign(static_cast<std::size_t>(n), one[0]);
        } else {
            out.reserve(static_cast<std::size_t>(n * one.size()));
            for (qint64 i = 0; i < n; ++i) out.append(one.constData(), static_cast<std::size_t>(one.size()));
        }
        sqlite3_result_text64(c, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    });
}
// The characters 0x80..0x9F of Windows-1252, the code page of Chr and Asc in US English.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                      0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

QChar FromCodePage(qint64 code) {
    return QChar(code >= 0x80 && code < 0xA0 ? kCp1252High[code - 0x80] : static_cast<char16_t>(code));
}

int ToCodePage(QChar ch) {
    const char16_t u = ch.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return u;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == u) return 0x80 + i;
    return '?';
}

// String's character given as a code: taken modulo 256 in the code page.
void Chr(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 code = Whole(argv[0]);
        if (code < 0) Fail(kInvalidCall);
        ResultText(c, QString(FromCodePage(code % 256)));
    });
}
void ChrFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 code = Whole(argv[0]);
        if (code < 0 || code > 255) Fail(kInvalidCall);
        ResultText(c, QString(FromCodePage(code)));
    });
}
void ChrW(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 code = Whole(argv[0]);
        if (code < -32768 || code > 65535) Fail(kInvalidCall);
        ResultText(c, QString(QChar(static_cast<char16_t>(code < 0 ? code + 65536 : code))));
    });
}
// Asc (Wide = false) gives the code page's code, AscW the UTF-16 unit as a signed Integer.
template <bool Wide>
void Asc(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString s = Text(argv[0]);
        if (s.isEmpty()) Fail(kInvalidCall);
        const int u = s[0].unicode();
        sqlite3_result_int(c, Wide ? (u > 32767 ? u - 65536 : u) : ToCodePage(s[0]));
    });
}

// StrComp(a, b, compare): -1, 0 or 1; compare 0 compares the UTF-16 units, 1 ignores case.
void StrComp(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 mode = Whole(argv[2]);
        if (mode < 0 || mode > 2) Fail(kInvalidCall);
        const int r = QString::compare(Text(argv[0]), Text(argv[1]),
                                       mode == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive);
        sqlite3_result_int(c, r < 0 ? -1 : r > 0 ? 1 : 0);
    });
}

// InStrRev(text, find, start, compare): the last find that ends at or before start (-1: the end).
void InStrRev(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString s = Text(argv[0]), f = Text(argv[1]);
        const qint64 start = Whole(argv[2]);
        if (start == 0 || start < -1) Fail(kInvalidCall);
        const auto cs = Whole(argv[3]) == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const qsizetype end = start == -1 ? s.size() : static_cast<qsizetype>(start);
        if (end > s.size()) return sqlite3_result_int(c, 0);
        if (f.isEmpty()) return sqlite3_result_int64(c, end);
        if (f.size() > end) return sqlite3_result_int(c, 0);
        sqlite3_result_int64(c, s.lastIndexOf(f, end - f.size(), cs) + 1);
    });
}

// StrConv with vbUpperCase 1, vbLowerCase 2 or vbProperCase 3 (each word's first letter upper case).
void StrConv(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 mode = Whole(argv[1]);
        QString s = Text(argv[0]);
        if (mode == 1) return ResultText(c, s.toUpper());
        if (mode == 2) return ResultText(c, s.toLower());
        if (mode != 3) Fail(kInvalidCall);
        s = s.toLower();
        bool wordStart = true;
        for (QChar& ch : s) {
            if (wordStart) ch = ch.toUpper();
            wordStart = ch.isSpace() || ch == QChar(0);
        }
        ResultText(c, s);
    });
}

// Hex and Oct: a negative number in two's complement over 16 bits when the argument is an Integer (or
// Byte, Boolean), over 32 bits otherwise; more than a Long holds is an overflow.
template <int Base>
void Radix(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        qint64 n = Whole(argv[0]);
        const auto type = static_cast<Type>(sqlite3_value_int(argv[1]));
        const bool narrow = type == Type::Integer || type == Type::Byte || type == Type::Boolean;
        if (n < -2147483648LL || n > 4294967295LL) Fail(kOverflow);
        if (n < 0) n += narrow && n >= -32768 ? 65536 : 4294967296LL;
        ResultText(c, QString::number(n, Base).toUpper());
    });
}

// Partition(n, start, stop, interval): the range of n as "lower:upper", both padded to the width of
// stop + 1 (or of start - 1).
void Partition(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 n = Whole(argv[0]), start = Whole(argv[1]), stop = Whole(argv[2]),
                     interval = Whole(argv[3]);
        if (start < 0 || stop <= start || interval < 1 || stop > 2147483647 || interval > 2147483647)
            Fail(kInvalidCall);
        const int width =
            static_cast<int>(std::max(QString::number(stop + 1).size(), QString::number(start - 1).size()));
        auto pad = [&](const QString& t) { return t.rightJustified(width, ' '); };
        if (n < start) return ResultText(c, pad("") + ":" + pad(QString::number(start - 1)));
        if (n > stop) return ResultText(c, pad(QString::number(stop + 1)) + ":" + pad(""));
        const qint64 lower = start + (n - start) / interval * interval;
        const qint64 upper = std::min(lower + interval - 1, stop);
        ResultText(c, pad(QString::number(lower)) + ":" + pad(QString::number(upper)));
    });
}

// ----- numbers -----

void Num(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
            sqlite3_result_int64(c, sqlite3_value_int64(argv[0]));
        else
            sqlite3_result_double(c, Number(argv[0]));
    });
}
void Div(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double b = Number(argv[1]);
        if (b == 0) Fail("Division by zero");
        sqlite3_result_double(c, Number(argv[0]) / b);
    });
}
// The smallest whole number divided by -1 has no whole quotient (the processor traps on it).
void IntDiv(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 b = Whole(argv[1]);
        if (b == 0) Fail("Division by zero");
        const qint64 a = Whole(argv[0]);
        if (b == -1 && a == std::numeric_limits<qint64>::min()) Fail("Overflow");
        sqlite3_result_int64(c, a / b);
    });
}
void Mod(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 b = Whole(argv[1]);
        if (b == 0) Fail("Division by zero");
        const qint64 a = Whole(argv[0]);
        if (b == -1 && a == std::numeric_limits<qint64>::min()) Fail("Overflow");
        sqlite3_result_int64(c, a % b);
    });
}
// acc_fit(x, range): x when it lies in the range of the type the translator gave an operator's result
// (FitRange in access_functions.h), Access's "Overflow" otherwise. Integers past 64 bits reach here as
// SQLite's floating-point fallback.
void Fit(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const int range = sqlite3_value_int(argv[1]);
        if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
            const qint64 v = sqlite3_value_int64(argv[0]);
            const bool fits = range == kFitInteger ? v >= INT16_MIN && v <= INT16_MAX
                              : range == kFitLong  ? v >= INT32_MIN && v <= INT32_MAX
                                                   : true;
            if (!fits) Fail("Overflow");
            sqlite3_result_int64(c, v);
            return;
        }
        const double d = sqlite3_value_double(argv[0]);
        const bool fits = range == kFitSingle   ? std::fabs(d) <= std::numeric_limits<float>::max()
                          : range == kFitDouble ? std::isfinite(d)
                                                : false;  // a whole-number type out of 64 bits
        if (!fits) Fail("Overflow");
        sqlite3_result_value(c, argv[0]);
    });
}
void Pow(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double r = std::pow(Number(argv[0]), Number(argv[1]));
        if (std::isinf(r)) Fail("Overflow");
        if (!std::isfinite(r)) Fail(kInvalidCall);
        sqlite3_result_double(c, r);
    });
}
template <char Op>
void Arith(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
        if (Op == '+' && ta == SQLITE_TEXT && tb == SQLITE_TEXT) {
            ResultText(c, Text(argv[0]) + Text(argv[1]));
            return;
        }
        if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
            // A Variant's whole number that outgrows 64 bits goes on as a Double.
            const qint64 a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
            qint64 r = 0;
            const bool over = Op == '+'   ? __builtin_add_overflow(a, b, &r)
                              : Op == '-' ? __builtin_sub_overflow(a, b, &r)
                                          : __builtin_mul_overflow(a, b, &r);
            if (!over) {
                sqlite3_result_int64(c, r);
                return;
            }
        }
        const double a = Number(argv[0]), b = Number(argv[1]);
        const double r = Op == '+' ? a + b : Op == '-' ? a - b : a * b;
        if (!std::isfinite(r)) Fail("Overflow");
        sqlite3_result_double(c, r);
    });
}
void IntPart(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { sqlite3_result_double(c, std::floor(Number(argv[0])) + 0.0); });
}
void FixPart(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { sqlite3_result_double(c, std::trunc(Number(argv[0])) + 0.0); });
}
void Round(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 digits = Whole(argv[1]);
        if (digits < 0 || digits > 15) Fail(kInvalidCall);
        const double x = Number(argv[0]);
        const double r = BankersRound(x, static_cast<int>(digits));
        // So large a number has no digits after the point to round away.
        sqlite3_result_double(c, (std::isfinite(r) ? r : x) + 0.0);
    });
}
void Sqr(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = Number(argv[0]);
        if (d < 0) Fail(kInvalidCall);
        sqlite3_result_double(c, std::sqrt(d));
    });
}
// Exp, Log, Atn, Sin, Cos and Tan.
template <char Which>
void Math(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double x = Number(argv[0]);
        double r = 0;
        switch (Which) {
            case 'e':
                r = std::exp(x);
                if (!std::isfinite(r)) Fail(kOverflow);
                break;
            case 'l':
                if (x <= 0) Fail(kInvalidCall);
                r = std::log(x);
                break;
            case 'a':
                r = std::atan(x);
                break;
            case 's':
                r = std::sin(x);
                break;
            case 'c':
                r = std::cos(x);
                break;
            default:
                r = std::tan(x);
                break;
        }
        sqlite3_result_double(c, r);
    });
}
// Val: the number at the start of the text, blanks, tabs and line feeds ignored anywhere; "&H" and "&O"
// start a hexadecimal or octal number, which wraps to a negative Integer or Long as a literal does.
void Val(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString in = Text(argv[0]);
        QString t;
        for (const QChar ch : in) {
            if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') continue;
            t += ch;
            if (t.size() > 400) break;  // far more than any number needs
        }
        if (t.startsWith('&')) {
            int base = 8;
            qsizetype i = 1;
            if (i < t.size() && (t[i] == 'h' || t[i] == 'H'))
                base = 16, ++i;
            else if (i < t.size() && (t[i] == 'o' || t[i] == 'O'))
                ++i;
            quint64 v = 0;
            int digits = 0;
            for (; i < t.size(); ++i) {
                const int d = t[i].isDigit() ? t[i].digitValue()
                              : base == 16 && t[i].toLower() >= 'a' && t[i].toLower() <= 'f'
                                  ? t[i].toLower().unicode() - 'a' + 10
                                  : -1;
                if (d < 0 || d >= base) break;
                v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
                if (v > 0xFFFFFFFFULL) Fail(kOverflow);
                ++digits;
            }
            qint64 r = static_cast<qint64>(v);
            if (v <= 0xFFFF && v > 0x7FFF)
                r -= 0x10000;
            else if (v > 0xFFFF && v > 0x7FFFFFFF)
                r -= 0x100000000LL;
            sqlite3_result_double(c, digits ? static_cast<double>(r) : 0.0);
            return;
        }
        // sign, digits, point, digits, then an exponent (E or D) only when digits follow it
        qsizetype i = 0;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        const qsizetype mantissaStart = i;
        while (i < t.size() && t[i].isDigit()) ++i;
        if (i < t.size() && t[i] == '.') ++i;
        while (i < t.size() && t[i].isDigit()) ++i;
        if (i == mantissaStart || (i == mantissaStart + 1 && t[mantissaStart] == '.'))
            return sqlite3_result_double(c, 0.0);
        QString number = t.left(i);
        if (number.endsWith('.')) number.chop(1);
        if (i < t.size() && (t[i].toLower() == 'e' || t[i].toLower() == 'd')) {
            qsizetype j = i + 1;
            if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
            const qsizetype expStart = j;
            while (j < t.size() && t[j].isDigit()) ++j;
            if (j > expStart) number += "e" + t.mid(i + 1, j - i - 1);
        }
        const auto d = ParseNumber(number);
        if (!d) Fail(kOverflow);
        sqlite3_result_double(c, *d);
    });
}
void StrFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString s = Text(argv[0]);
        ResultText(c, s.startsWith('-') ? s : " " + s);
    });
}
// CByte, CInt and CLng: rounded half to even, between the type's smallest and largest values.
void CInt(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = BankersRound(Number(argv[0]), 0);
        if (!(d >= sqlite3_value_double(argv[1]) && d <= sqlite3_value_double(argv[2]))) Fail(kOverflow);
        sqlite3_result_int64(c, static_cast<qint64>(d));
    });
}
// Abs of an integer type whose largest value is the second argument: the smallest has no opposite.
void AbsInteger(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 v = sqlite3_value_int64(argv[0]), max = sqlite3_value_int64(argv[1]);
        if (v < -max) Fail(kOverflow);
        sqlite3_result_int64(c, v < 0 ? -v : v);
    });
}
void CSng(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = Number(argv[0]);
        if (std::fabs(d) > static_cast<double>(std::numeric_limits<float>::max())) Fail(kOverflow);
        sqlite3_result_double(c, static_cast<double>(static_cast<float>(d)));
    });
}
// CDec: the range of Decimal (about 7.9E+28); the value itself stays a Double here.
void CDec(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = Number(argv[0]);
        if (std::fabs(d) > 7.9228162514264337593543950335e28) Fail(kOverflow);
        sqlite3_result_double(c, d + 0.0);
    });
}
// CCur: Currency's ten-thousandths, rounded half to even.
void CCur(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        // The whole part and the fraction apart: their product by 10000 in one double would lose the last
        // digits of the largest amounts.
        const double d = Number(argv[0]);
        const double whole = std::trunc(d);
        if (!(std::fabs(whole) <= 922337203685477.0)) Fail(kOverflow);
        qint64 r = 0;
        if (__builtin_add_overflow(static_cast<qint64>(whole) * 10000,
                                   static_cast<qint64>(BankersRound((d - whole) * 10000.0, 0)), &r))
            Fail(kOverflow);
        sqlite3_result_int64(c, r);
    });
}
// IsNumeric: text that reads as a number, also with a "$" before it, thousands separators, a "D"
// exponent, or as "&H"/"&O" digits.
bool LooksNumeric(const QString& in) {
    QString t = in.trimmed();
    if (t.size() > 2 && t[0] == '&') {
        const QChar kind = t[1].toUpper();
        const QString digits = kind == 'H' || kind == 'O' ? t.mid(2) : t.mid(1);
        static const QRegularExpression hex("^[0-9A-Fa-f]{1,8}$"), oct("^[0-7]{1,11}$");
        return (kind == 'H' ? hex : oct).match(digits).hasMatch();
    }
    if (t.startsWith('$'))
        t.remove(0, 1);
    else if (t.size() > 1 && (t[0] == '-' || t[0] == '+') && t[1] == '$')
        t.remove(1, 1);
    static const QRegularExpression groups("^[+-]?\\d{1,3}(,\\d{3})+(\\.\\d*)?$");
    if (groups.match(t).hasMatch()) t.remove(',');
    static const QRegularExpression exponentD("[dD]([+-]?\\d+)$");
    t.replace(exponentD, "e\\1");
    return ParseNumber(t).has_value();
}

void IsNumericFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        sqlite3_result_int(
            c, sqlite3_value_type(argv[0]) != SQLITE_NULL && LooksNumeric(Text(argv[0])) ? -1 : 0);
    });
}
// IsDate: a Date, or text that reads as one; numbers are not dates.
void IsDateFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        bool date = false;
        if (sqlite3_value_type(argv[0]) == SQLITE_TEXT)
            date = ParseDate(Text(argv[0])).has_value();
        else if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
            date = static_cast<Type>(sqlite3_value_int(argv[1])) == Type::Date;
        sqlite3_result_int(c, date ? -1 : 0);
    });
}

// ----- dates -----

// A date as a number (or text that reads as one), checked against the years 100 to 9999.
double DateOf(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        const auto d = ParseDate(Text(v));
        if (!d) Fail(kMismatch);
        return *d;
    }
    const double d = Number(v);
    FromOle(d);
    return d;
}

void CDate(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { sqlite3_result_double(c, DateOf(argv[0])); });
}
// DateValue keeps the date of a date/time, TimeValue its time (on day zero).
void DateValue(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { sqlite3_result_double(c, std::trunc(DateOf(argv[0])) + 0.0); });
}
void TimeValue(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = DateOf(argv[0]);
        sqlite3_result_double(c, std::fabs(d - std::trunc(d)));
    });
}
// TimeSerial(h, m, s): each part may run over into the next or go below zero, as far as the date range.
void TimeSerial(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double seconds = static_cast<double>(Whole(argv[0])) * 3600 +
                               static_cast<double>(Whole(argv[1])) * 60 + static_cast<double>(Whole(argv[2]));
        sqlite3_result_double(c, LinearToOle(seconds / 86400.0));
    });
}

// The day of the week, 1..7 counted from firstDay (1 = Sunday ... 7 = Saturday).
int Weekday(const QDate& d, int firstDay) {
    const int sundayBased = d.dayOfWeek() % 7 + 1;
    return (sundayBased - firstDay + 7) % 7 + 1;
}

// firstdayofweek as a call gives it: 0 is the system's (Sunday in US English), 1..7 Sunday..Saturday.
int FirstDay(sqlite3_value* v) {
    const qint64 first = Whole(v);
    if (first < 0 || first > 7) Fail(kInvalidCall);
    return first == 0 ? 1 : static_cast<int>(first);
}

// The week of the year: week 1 holds 1 January (firstWeek 0 or 1), or is the first with four days of
// the year (2), or the first whole week (3); days before week 1 belong to the previous year's last week.
int WeekOfYear(const QDate& d, int firstDay, int firstWeek) {
    auto weekStart = [&](const QDate& x) { return x.addDays(1 - Weekday(x, firstDay)); };
    auto firstWeekStart = [&](int year) {
        const QDate jan1(year, 1, 1);
        const QDate start = weekStart(jan1);
        const qint64 daysInYear = 8 - Weekday(jan1, firstDay);  // of the week holding 1 January
        if (firstWeek == 2 && daysInYear < 4) return start.addDays(7);
        if (firstWeek == 3 && daysInYear < 7) return start.addDays(7);
        return start;
    };
    QDate week1 = firstWeekStart(d.year());
    if (weekStart(d) < week1) week1 = firstWeekStart(d.year() - 1);
    return static_cast<int>(week1.daysTo(weekStart(d)) / 7 + 1);
}

int FirstWeek(sqlite3_value* v) {
    const qint64 w = Whole(v);
    if (w < 0 || w > 3) Fail(kInvalidCall);
    return static_cast<int>(w);
}

// DatePart(interval, date, firstdayofweek, firstweekofyear).
void DatePart(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString part = Text(argv[0]).toLower();
        const DateParts p = FromOle(sqlite3_value_double(argv[1]));
        const int first = FirstDay(argv[2]);
        const int firstWeek = FirstWeek(argv[3]);
        const QTime t = QTime::fromMSecsSinceStartOfDay(static_cast<int>(p.ms));
        qint64 r = 0;
        if (part == "yyyy")
            r = p.date.year();
        else if (part == "q")
            r = (p.date.month() - 1) / 3 + 1;
        else if (part == "m")
            r = p.date.month();
        else if (part == "y")
            r = p.date.dayOfYear();
        else if (part == "d")
            r = p.date.day();
        else if (part == "w")
            r = Weekday(p.date, first);
        else if (part == "ww")
            r = WeekOfYear(p.date, first, firstWeek);
        else if (part == "h")
            r = t.hour();
        else if (part == "n")
            r = t.minute();
        else if (part == "s")
            r = t.second();
        else
            Fail(kInvalidCall);
        sqlite3_result_int64(c, r);
    });
}

void Today(sqlite3_context* c, int, sqlite3_value**) {
    sqlite3_result_double(c, static_cast<double>(kOleEpoch.daysTo(QDate::currentDate())));
}
void Now(sqlite3_context* c, int, sqlite3_value**) {
    const QDateTime now = QDateTime::currentDateTime();
    sqlite3_result_double(c, ToOle(now.date(), now.time().msecsSinceStartOfDay() / 1000 * 1000));
}

void TimeNow(sqlite3_context* c, int, sqlite3_value**) {
    sqlite3_result_double(c, QTime::currentTime().msecsSinceStartOfDay() / 1000 * 1000 / kMsPerDay);
}

void DateSerial(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        qint64 y = Whole(argv[0]);
        const qint64 m = Whole(argv[1]), d = Whole(argv[2]);
        if (y >= 0 && y < 30)
            y += 2000;
        else if (y >= 30 && y < 100)
            y += 1900;
        // Far outside the years 100..9999 whatever the other parts add.
        if (std::abs(y) > 100000 || std::abs(m) > 1200000 || std::abs(d) > 40000000) Fail(kOverflow);
        const QDate date = QDate(static_cast<int>(y), 1, 1).addMonths(static_cast<int>(m - 1)).addDays(d - 1);
        sqlite3_result_double(c, ToOle(date, 0));
    });
}

void DateAdd(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString part = Text(argv[0]).toLower();
        const double count = std::trunc(Number(argv[1]));
        if (std::fabs(count) > 1e8) Fail(kOverflow);
        const qint64 n = static_cast<qint64>(count);
        const double base = sqlite3_value_double(argv[2]);
        DateParts p = FromOle(base);
        if (part == "yyyy")
            p.date = p.date.addYears(static_cast<int>(n));
        else if (part == "q")
            p.date = p.date.addMonths(static_cast<int>(3 * n));
        else if (part == "m")
            p.date = p.date.addMonths(static_cast<int>(n));
        else if (part == "y" || part == "d" || part == "w")
            p.date = p.date.addDays(n);
        else if (part == "ww")
            p.date = p.date.addDays(7 * n);
        else if (part == "h" || part == "n" || part == "s") {
            const qint64 unit = part == "h" ? 3600000 : part == "n" ? 60000 : 1000;
            const QDateTime dt(p.date, QTime(0, 0), Qt::UTC);
            const QDateTime moved = dt.addMSecs(p.ms + n * unit);
            sqlite3_result_double(c, ToOle(moved.date(), moved.time().msecsSinceStartOfDay()));
            return;
        } else
            Fail(kInvalidCall);
        sqlite3_result_double(c, ToOle(p.date, p.ms));
    });
}

void DateDiff(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString part = Text(argv[0]).toLower();
        const DateParts a = FromOle(sqlite3_value_double(argv[1])),
                        b = FromOle(sqlite3_value_double(argv[2]));
        const int first = FirstDay(argv[3]);
        FirstWeek(argv[4]);  // checked, but weeks are counted from firstdayofweek alone
        const qint64 days = a.date.daysTo(b.date);
        const qint64 secondsA = kOleEpoch.daysTo(a.date) * 86400 + a.ms / 1000,
                     secondsB = kOleEpoch.daysTo(b.date) * 86400 + b.ms / 1000;
        qint64 r = 0;
        if (part == "yyyy")
            r = b.date.year() - a.date.year();
        else if (part == "q")
            r = (b.date.year() - a.date.year()) * 4 + (b.date.month() - 1) / 3 - (a.date.month() - 1) / 3;
        else if (part == "m")
            r = (b.date.year() - a.date.year()) * 12 + b.date.month() - a.date.month();
        else if (part == "y" || part == "d")
            r = days;
        else if (part == "w")
            r = days / 7;
        else if (part == "ww") {
            auto weekStart = [&](const QDate& d) { return d.addDays(1 - Weekday(d, first)); };
            r = weekStart(a.date).daysTo(weekStart(b.date)) / 7;
        } else if (part == "h")
            r = (secondsB / 3600) - (secondsA / 3600) - ((secondsB < 0) != (secondsA < 0) ? 0 : 0);
        else if (part == "n")
            r = secondsB / 60 - secondsA / 60;
        else if (part == "s")
            r = secondsB - secondsA;
        else
            Fail(kInvalidCall);
        sqlite3_result_int64(c, r);
    });
}

void MonthName(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 m = Whole(argv[0]);
        if (m < 1 || m > 12) Fail(kInvalidCall);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const bool abbreviate = Number(argv[1]) != 0;
        ResultText(
            c, us.monthName(static_cast<int>(m), abbreviate ? QLocale::ShortFormat : QLocale::LongFormat));
    });
}
// WeekdayName(n, abbreviate, firstdayofweek): n counts from firstdayofweek.
void WeekdayName(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 n = Whole(argv[0]);
        if (n < 1 || n > 7) Fail(kInvalidCall);
        const int first = FirstDay(argv[2]);
        const int sundayBased = static_cast<int>((n - 1 + first - 1) % 7) + 1;  // 1 = Sunday
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const bool abbreviate = Number(argv[1]) != 0;
        ResultText(c, us.dayName(sundayBased == 1 ? 7 : sundayBased - 1,
                                 abbreviate ? QLocale::ShortFormat : QLocale::LongFormat));
    });
}

// ----- Format -----

// |v| with `decimals` digits after the point, rounded half away from zero as Format rounds: on the
// 15 significant digits a Double shows, so that 1.005 is 1.01 and not the 1.00 of its binary value.
QString FixedDigits(double v, int decimals) {
    if (!std::isfinite(v)) Fail(kOverflow);
    const QString e = QString::number(std::fabs(v), 'e', 14);  // d.dddddddddddddde±x
    const qsizetype ePos = e.indexOf('e');
    QString digits = e.left(1) + e.mid(2, ePos - 2);
    const int exponent = e.mid(ePos + 1).toInt();
    // digits hold the number as 0.digits × 10^(exponent + 1); keep the first `keep` of them
    const int keep = exponent + 1 + decimals;
    if (keep < 0)
        digits.clear();
    else if (keep < digits.size()) {
        const bool up = digits[keep] >= '5';
        digits.truncate(keep);
        if (up) {
            qsizetype i = digits.size() - 1;
            for (; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';
            if (i >= 0)
                digits[i] = QChar(digits[i].unicode() + 1);
            else
                digits.prepend('1');  // 9.99 to one place: 10.0
        }
    } else {
        digits += QString(keep - digits.size(), '0');
    }
    // digits now stand for the number × 10^decimals
    if (digits.size() <= decimals) digits = QString(decimals - digits.size() + 1, '0') + digits;
    const QString whole = digits.left(digits.size() - decimals);
    return decimals > 0 ? whole + "." + digits.right(decimals) : whole;
}

// The section of a pattern for the value's sign ("positive;negative;zero;null"), with the value as that
// section shows it (a negative section shows the magnitude).
QString SectionFor(double& v, const QString& pattern, bool& ownSign) {
    const QStringList sections = pattern.split(';');
    ownSign = false;
    if (sections.size() > 1 && v < 0) {
        v = -v;
        ownSign = true;
        return sections[1].isEmpty() ? sections[0] : sections[1];
    }
    if (sections.size() > 2 && v == 0 && !sections[2].isEmpty()) return sections[2];
    return sections[0];
}

// A number pattern's literal text: what stands before its first placeholder and after its last.
void Literals(const QString& section, QString& prefix, QString& suffix, qsizetype end) {
    bool seenDigit = false;
    for (qsizetype i = 0; i < end; ++i) {
        const QChar ch = section[i];
        if (ch == '0' || ch == '#' || ch == '.' || ch == ',') {
            seenDigit = true;
            continue;
        }
        if (ch == '"' || ch == '\\') continue;
        (seenDigit ? suffix : prefix) += ch;
    }
}

// Scientific patterns: "0.00E+00" (sign of the exponent always shown), "0.0e-0" (only when negative);
// as many digits before the point as the pattern has placeholders there.
QString FormatScientific(double v, const QString& section, qsizetype ePos) {
    const QString mantissa = section.left(ePos);
    const bool alwaysSign = section[ePos + 1] == '+';
    qsizetype end = ePos + 2;
    int expDigits = 0;
    while (end < section.size() && (section[end] == '0' || section[end] == '#')) {
        if (section[end] == '0') ++expDigits;
        ++end;
    }
    const qsizetype dot = mantissa.indexOf('.');
    const QString intPart = dot < 0 ? mantissa : mantissa.left(dot);
    const QString fracPart = dot < 0 ? QString() : mantissa.mid(dot + 1);
    int intDigits = 0, fracDigits = 0, fracRequired = 0;
    for (const QChar ch : intPart) intDigits += ch == '0' || ch == '#';
    for (const QChar ch : fracPart) {
        fracDigits += ch == '0' || ch == '#';
        fracRequired += ch == '0';
    }
    intDigits = std::max(intDigits, 1);
    int exponent = 0;
    QString shown = FixedDigits(0, fracDigits);
    if (v != 0) {
        exponent = static_cast<int>(std::floor(std::log10(std::fabs(v)))) - (intDigits - 1);
        shown = FixedDigits(std::fabs(v) / std::pow(10.0, exponent), fracDigits);
        const qsizetype point = shown.indexOf('.');
        if ((point < 0 ? shown.size() : point) > intDigits) {  // rounded up to one more digit
            ++exponent;
            shown = FixedDigits(std::fabs(v) / std::pow(10.0, exponent), fracDigits);
        }
    }
    QString whole = shown.section('.', 0, 0), frac = shown.section('.', 1);
    while (frac.size() > fracRequired && frac.endsWith('0')) frac.chop(1);
    const QString out = whole + (frac.isEmpty() ? QString() : "." + frac);
    QString expText = QString::number(std::abs(exponent)).rightJustified(expDigits, '0');
    if (exponent < 0)
        expText.prepend('-');
    else if (alwaysSign)
        expText.prepend('+');
    QString prefix, suffix, ignored;
    Literals(section.left(ePos), prefix, ignored, ePos);
    for (qsizetype i = end; i < section.size(); ++i)
        if (section[i] != '"' && section[i] != '\\') suffix += section[i];
    return prefix + (v < 0 ? "-" : "") + out + section[ePos] + expText + suffix;
}

QString FormatNumberPattern(double v, const QString& pattern) {
    bool ownSign = false;
    const QString section = SectionFor(v, pattern, ownSign);
    for (qsizetype i = 0; i + 1 < section.size(); ++i)
        if ((section[i] == 'E' || section[i] == 'e') && (section[i + 1] == '+' || section[i + 1] == '-'))
            return FormatScientific(v, section, i);
    const bool percent = section.contains('%');
    if (percent) v *= 100;
    const qsizetype dot = section.indexOf('.');
    const QString intPart = dot < 0 ? section : section.left(dot);
    const QString fracPart = dot < 0 ? QString() : section.mid(dot + 1);
    int fracDigits = 0, fracRequired = 0;
    for (const QChar ch : fracPart) {
        if (ch == '0')
            ++fracRequired, ++fracDigits;
        else if (ch == '#')
            ++fracDigits;
    }
    int intRequired = 0;
    for (const QChar ch : intPart)
        if (ch == '0') ++intRequired;
    const bool grouping = intPart.contains(',');
    const QString digits = FixedDigits(v, fracDigits);
    QString whole = digits.section('.', 0, 0), frac = digits.section('.', 1);
    const bool zero = !digits.contains(QRegularExpression("[1-9]"));
    while (frac.size() > fracRequired && frac.endsWith('0')) frac.chop(1);
    if (whole == "0" && intRequired == 0) whole.clear();
    while (whole.size() < intRequired) whole.prepend('0');
    if (grouping)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, ',');
    QString prefix, suffix;
    Literals(section, prefix, suffix, section.size());
    QString out = whole + (frac.isEmpty() ? QString() : "." + frac);
    if (v < 0 && !zero && !ownSign) out.prepend('-');
    return prefix + out + suffix;
}

// A pattern for text: '@' (a character or a blank) and '&' (a character or nothing) filled from the
// right, or from the left after '!'; '<' and '>' turn the text to lower or upper case.
bool IsTextPattern(const QString& pattern) {
    bool any = false, onlyMarks = true;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar ch = pattern[i];
        if (ch == '"') {
            const qsizetype close = pattern.indexOf('"', i + 1);
            i = close < 0 ? pattern.size() : close;
            continue;
        }
        if (ch == '\\') {
            ++i;
            continue;
        }
        if (ch == '@' || ch == '&') any = true;
        if (ch != '<' && ch != '>' && ch != '!') onlyMarks = false;
    }
    return any || (onlyMarks && !pattern.isEmpty() && !pattern.contains('"') && !pattern.contains('\\'));
}

// The sections of a text pattern: one for text, one for Null and the empty string.
QString TextSection(const QString& value, bool null, const QString& pattern) {
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '"') quoted = !quoted;
        if (pattern[i] == ';' && !quoted)
            return null || value.isEmpty() ? pattern.mid(i + 1) : pattern.left(i);
    }
    return pattern;
}

QString FormatTextPattern(QString s, const QString& pattern) {
    struct Piece {
        QChar placeholder;  // '@' or '&', or null for literal text
        QString literal;
    };
    std::vector<Piece> pieces;
    bool leftToRight = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar ch = pattern[i];
        if (ch == '"') {
            const qsizetype close = pattern.indexOf('"', i + 1);
            const qsizetype stop = close < 0 ? pattern.size() : close;
            pieces.push_back({QChar(), pattern.mid(i + 1, stop - i - 1)});
            i = stop;
        } else if (ch == '\\' && i + 1 < pattern.size()) {
            pieces.push_back({QChar(), QString(pattern[++i])});
        } else if (ch == '<') {
            s = s.toLower();
        } else if (ch == '>') {
            s = s.toUpper();
        } else if (ch == '!') {
            leftToRight = true;
        } else if (ch == '@' || ch == '&') {
            pieces.push_back({ch, QString()});
        } else {
            pieces.push_back({QChar(), QString(ch)});
        }
    }
    qsizetype places = 0;
    for (const Piece& p : pieces) places += !p.placeholder.isNull();
    if (places == 0) {
        QString out;
        for (const Piece& p : pieces) out += p.literal;
        return s + out;
    }
    // Characters that find no placeholder go before the first one (right to left) or after the last.
    const qsizetype extra = std::max<qsizetype>(0, s.size() - places);
    QString out;
    qsizetype slot = 0;  // the placeholder's number, counted from the left
    for (const Piece& p : pieces) {
        if (p.placeholder.isNull()) {
            out += p.literal;
            continue;
        }
        if (leftToRight) {
            if (slot < s.size())
                out += s[slot];
            else if (p.placeholder == '@')
                out += ' ';
            if (slot == places - 1) out += s.mid(places);
        } else {
            if (slot == 0) out += s.left(extra);
            const qsizetype at = s.size() - places + slot;  // the character this placeholder shows
            if (at >= 0)
                out += s[at];
            else if (p.placeholder == '@')
                out += ' ';
        }
        ++slot;
    }
    return out;
}

// FormatNumber, FormatCurrency and FormatPercent: digits after the point (-1: two), then three
// tristates (-1 yes, 0 no, -2 the locale's: US English shows the leading zero, groups digits and puts a
// negative amount of money, only, in parentheses).
QString FormatFixed(double v, char kind, qint64 decimals, qint64 leadingZero, qint64 parentheses,
                    qint64 group) {
    if (decimals < -1 || decimals > 255) Fail(kInvalidCall);
    for (const qint64 t : {leadingZero, parentheses, group})
        if (t != -2 && t != -1 && t != 0) Fail(kInvalidCall);
    if (kind == '%') v *= 100;
    const int places = decimals == -1 ? 2 : static_cast<int>(decimals);
    const QString digits = FixedDigits(v, places);
    QString whole = digits.section('.', 0, 0);
    const QString frac = digits.section('.', 1);
    const bool negative = v < 0 && digits.contains(QRegularExpression("[1-9]"));
    if (whole == "0" && leadingZero == 0 && places > 0) whole.clear();
    if (group != 0)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, ',');
    QString out =
        (kind == '$' ? "$" : "") + whole + (places > 0 ? "." + frac : QString()) + (kind == '%' ? "%" : "");
    const bool parens = parentheses == -1 || (parentheses == -2 && kind == '$');
    if (negative) out = parens ? "(" + out + ")" : "-" + out;
    return out;
}

void FormatFixedFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const char kind = static_cast<char>(sqlite3_value_int(argv[1]));
        ResultText(c, FormatFixed(Number(argv[0]), kind, Whole(argv[2]), Whole(argv[3]), Whole(argv[4]),
                                  Whole(argv[5])));
    });
}

QString FormatDatePattern(double ole, const QString& pattern, int firstDay = 1, int firstWeek = 1) {
    const DateParts p = FromOle(ole);
    const QTime t = QTime::fromMSecsSinceStartOfDay(static_cast<int>(p.ms));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const bool ampm =
        pattern.contains("AM/PM", Qt::CaseInsensitive) || pattern.contains("A/P", Qt::CaseInsensitive);
    QString out;
    bool lastWasHour = false;
    for (qsizetype i = 0; i < pattern.size();) {
        auto run = [&](QChar ch) {
            qsizetype n = 0;
            while (i + n < pattern.size() && pattern[i + n].toLower() == ch) ++n;
            return n;
        };
        const QChar ch = pattern[i].toLower();
        if (pattern.mid(i, 5).compare("AM/PM", Qt::CaseInsensitive) == 0) {
            const QString mark = t.hour() < 12 ? "AM" : "PM";
            out += pattern[i].isUpper() ? mark : mark.toLower();
            i += 5;
            continue;
        }
        if (ch == '"') {
            const qsizetype close = pattern.indexOf('"', i + 1);
            out += pattern.mid(i + 1, (close < 0 ? pattern.size() : close) - i - 1);
            i = close < 0 ? pattern.size() : close + 1;
            continue;
        }
        if (ch == '\\' && i + 1 < pattern.size()) {
            out += pattern[i + 1];
            i += 2;
            continue;
        }
        const qsizetype n = run(ch);
        if (ch == 'y') {
            if (n >= 4)
                out += QString::number(p.date.year());
            else if (n >= 2)
                out += QString::number(p.date.year() % 100).rightJustified(2, '0');
            else
                out += QString::number(p.date.dayOfYear());
        } else if (ch == 'm') {
            if (lastWasHour && n <= 2)
                out += QString::number(t.minute()).rightJustified(n == 2 ? 2 : 1, '0');
            else if (n >= 4)
                out += us.monthName(p.date.month());
            else if (n == 3)
                out += us.monthName(p.date.month(), QLocale::ShortFormat);
            else
                out += QString::number(p.date.month()).rightJustified(static_cast<int>(n), '0');
        } else if (ch == 'd') {
            if (n >= 4)
                out += us.dayName(p.date.dayOfWeek());
            else if (n == 3)
                out += us.dayName(p.date.dayOfWeek(), QLocale::ShortFormat);
            else
                out += QString::number(p.date.day()).rightJustified(static_cast<int>(n), '0');
        } else if (ch == 'h') {
            int h = t.hour();
            if (ampm) h = h % 12 == 0 ? 12 : h % 12;
            out += QString::number(h).rightJustified(n >= 2 ? 2 : 1, '0');
        } else if (ch == 'n') {
            out += QString::number(t.minute()).rightJustified(n >= 2 ? 2 : 1, '0');
        } else if (ch == 's') {
            out += QString::number(t.second()).rightJustified(n >= 2 ? 2 : 1, '0');
        } else if (ch == 'q') {
            out += QString::number((p.date.month() - 1) / 3 + 1);
        } else if (ch == 'w' && n == 1) {
            out += QString::number(Weekday(p.date, firstDay));
        } else if (ch == 'w' && n == 2) {
            out += QString::number(WeekOfYear(p.date, firstDay, firstWeek));
        } else {
            out += pattern.mid(i, n);
        }
        lastWasHour = ch == 'h' || (lastWasHour && !(ch.isLetter()));
        i += n;
    }
    return out;
}

// FormatDateTime(date, named): 0 general date, 1 long date, 2 short date, 3 long time, 4 short time.
void FormatDateTimeFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double ole = DateOf(argv[0]);
        switch (Whole(argv[1])) {
            case 0:
                return ResultText(
                    c, QString::fromStdString(text::ValueToText(Variant::Date(ole), text::Locale::EnUS())));
            case 1:
                return ResultText(c, FormatDatePattern(ole, "dddd, mmmm d, yyyy"));
            case 2:
                return ResultText(c, FormatDatePattern(ole, "m/d/yyyy"));
            case 3:
                return ResultText(c, FormatDatePattern(ole, "h:nn:ss AM/PM"));
            case 4:
                return ResultText(c, FormatDatePattern(ole, "hh:nn"));
            default:
                Fail(kInvalidCall);
        }
    });
}

void Format(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        const QString fmt = sqlite3_value_type(argv[2]) == SQLITE_NULL ? QString() : Text(argv[2]);
        const bool null = sqlite3_value_type(argv[0]) == SQLITE_NULL;
        if (null && !(IsTextPattern(fmt) && fmt.contains(';'))) {
            sqlite3_result_null(c);
            return;
        }
        const auto type = static_cast<Type>(sqlite3_value_int(argv[1]));
        const QString named = fmt.toLower();
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        auto asText = [&] {
            const Type t = type == Type::Currency ? Type::Double : type;
            return QString::fromStdString(text::ValueToText(AsVariant(argv[0], t), text::Locale::EnUS()));
        };
        if (fmt.isEmpty()) return ResultText(c, asText());
        if (IsTextPattern(fmt)) {
            const QString value = null ? QString() : asText();
            return ResultText(c, FormatTextPattern(value, TextSection(value, null, fmt)));
        }
        const int firstDay = FirstDay(argv[3]), firstWeek = FirstWeek(argv[4]);
        const bool isDate = type == Type::Date || (sqlite3_value_type(argv[0]) == SQLITE_TEXT &&
                                                   !ParseNumber(Text(argv[0])) && ParseDate(Text(argv[0])));
        if (named == "general date" || named == "long date" || named == "medium date" ||
            named == "short date" || named == "long time" || named == "medium time" ||
            named == "short time" || isDate) {
            double ole = 0;
            if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
                const auto d = ParseDate(Text(argv[0]));
                if (!d) return ResultText(c, Text(argv[0]));
                ole = *d;
            } else {
                ole = sqlite3_value_double(argv[0]);
            }
            if (named == "general date")
                return ResultText(
                    c, QString::fromStdString(text::ValueToText(Variant::Date(ole), text::Locale::EnUS())));
            if (named == "long date") return ResultText(c, FormatDatePattern(ole, "dddd, mmmm d, yyyy"));
            if (named == "medium date") return ResultText(c, FormatDatePattern(ole, "dd-mmm-yy"));
            if (named == "short date") return ResultText(c, FormatDatePattern(ole, "m/d/yyyy"));
            if (named == "long time") return ResultText(c, FormatDatePattern(ole, "h:nn:ss AM/PM"));
            if (named == "medium time") return ResultText(c, FormatDatePattern(ole, "hh:nn AM/PM"));
            if (named == "short time") return ResultText(c, FormatDatePattern(ole, "hh:nn"));
            return ResultText(c, FormatDatePattern(ole, fmt, firstDay, firstWeek));
        }
        if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && !ParseNumber(Text(argv[0])))
            return ResultText(c, Text(argv[0]));
        const double v = Number(argv[0]);
        if (named == "general number") return ResultText(c, asText());
        if (named == "currency") return ResultText(c, FormatNumberPattern(v, "$#,##0.00;($#,##0.00)"));
        if (named == "fixed") return ResultText(c, FormatNumberPattern(v, "0.00"));
        if (named == "standard") return ResultText(c, FormatNumberPattern(v, "#,##0.00"));
        if (named == "percent") return ResultText(c, FormatNumberPattern(v, "0.00%"));
        if (named == "scientific") return ResultText(c, FormatNumberPattern(v, "0.00E+00"));
        if (named == "yes/no") return ResultText(c, v != 0 ? "Yes" : "No");
        if (named == "true/false") return ResultText(c, v != 0 ? "True" : "False");
        if (named == "on/off") return ResultText(c, v != 0 ? "On" : "Off");
        ResultText(c, FormatNumberPattern(v, fmt));
    });
}

// ----- aggregates -----

struct FirstLast {
    sqlite3_value* value = nullptr;
    bool seen = false;
};

template <bool Last>
void FirstLastStep(sqlite3_context* c, int, sqlite3_value** argv) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(c, sizeof(FirstLast)));
    if (!s) return sqlite3_result_error_nomem(c);
    if (s->seen && !Last) return;
    sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(argv[0]);
    s->seen = true;
}
void FirstLastFinal(sqlite3_context* c) {
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(c, 0));
    if (!s || !s->value) return sqlite3_result_null(c);
    sqlite3_result_value(c, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

struct Moments {  // Welford's running mean and sum of squares
    qint64 n = 0;
    double mean = 0, m2 = 0;
};
void MomentsStep(sqlite3_context* c, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
    auto* s = static_cast<Moments*>(sqlite3_aggregate_context(c, sizeof(Moments)));
    if (!s) return sqlite3_result_error_nomem(c);
    const double x = sqlite3_value_double(argv[0]);
    ++s->n;
    const double d = x - s->mean;
    s->mean += d / static_cast<double>(s->n);
    s->m2 += d * (x - s->mean);
}
template <bool Population, bool Root>
void MomentsFinal(sqlite3_context* c) {
    auto* s = static_cast<Moments*>(sqlite3_aggregate_context(c, 0));
    const qint64 need = Population ? 1 : 2;
    if (!s || s->n < need) return sqlite3_result_null(c);
    const double var = s->m2 / static_cast<double>(Population ? s->n : s->n - 1);
    sqlite3_result_double(c, Root ? std::sqrt(var) : var);
}

int Collate(void* collator, int an, const void* a, int bn, const void* b) {
    return static_cast<TextCollator*>(collator)->Compare(static_cast<const char*>(a), an,
                                                         static_cast<const char*>(b), bn);
}

// Raises its argument as the error of the statement: a call that can never succeed.
void FailWith(sqlite3_context* c, int, sqlite3_value** argv) {
    sqlite3_result_error(c, reinterpret_cast<const char*>(sqlite3_value_text(argv[0])), -1);
}

// ----- how a table entry names its SQLite function -----

constexpr SqliteFunction kInline{};  // translated into SQL of its own (or another function's)

constexpr SqliteFunction Scalar(const char* name, int args,
                                void (*body)(sqlite3_context*, int, sqlite3_value**)) {
    return {name, args, body, nullptr, nullptr, true};
}
// A scalar whose result changes from call to call (the clock).
constexpr SqliteFunction Volatile(const char* name, void (*body)(sqlite3_context*, int, sqlite3_value**)) {
    return {name, 0, body, nullptr, nullptr, false};
}
constexpr SqliteFunction Aggregate(const char* name, void (*step)(sqlite3_context*, int, sqlite3_value**),
                                   void (*final)(sqlite3_context*)) {
    return {name, 1, nullptr, step, final, true};
}

// The functions the translation of Jet's operators and conversions calls.
constexpr SqliteFunction kOperatorFunctions[] = {
    Scalar("acc_num", 1, Num),        Scalar("acc_str", 2, Str),        Scalar("acc_cdate", 1, CDate),
    Scalar("acc_chr", 1, Chr),        Scalar("acc_concat", -1, Concat), Scalar("acc_like", 2, Like),
    Scalar("acc_div", 2, Div),        Scalar("acc_idiv", 2, IntDiv),    Scalar("acc_mod", 2, Mod),
    Scalar("acc_pow", 2, Pow),        Scalar("acc_add", 2, Arith<'+'>), Scalar("acc_sub", 2, Arith<'-'>),
    Scalar("acc_mul", 2, Arith<'*'>), Scalar("acc_fit", 2, Fit),        Scalar("acc_fail", 1, FailWith),
};

// The type as acc_str and acc_format receive it, to print the value as Jet prints that type.
int TypeCode(Type t) { return static_cast<int>(t); }

// ----- type rules -----
// Each gives the SQL a call becomes and the type Jet gives its result; c.Invoke calls the function's own
// SQLite implementation.

using C = const FunctionCall&;

// The shapes many functions share: one argument as text, or as a number.
template <Type Result>
Typed OfText(C c) {
    return {c.Invoke({AsText(c[0])}), Result};
}
template <Type Result>
Typed OfNumber(C c) {
    return {c.Invoke({AsNumber(c[0])}), Result};
}

Typed IIfRule(C c) {
    const Typed x = AsValue(c[1]), y = AsValue(c[2]);
    const Type t = Merge(x.type, y.type);
    const std::string xs = t == Type::Dynamic && x.type == Type::Currency ? AsNumber(x) : x.sql;
    const std::string ys = t == Type::Dynamic && y.type == Type::Currency ? AsNumber(y) : y.sql;
    return {"CASE WHEN " + AsCondition(c[0]) + " THEN " + xs + " ELSE " + ys + " END",
            t == Type::NullLiteral ? Type::Dynamic : t};
}

Typed NzRule(C c) {
    const Typed x = AsValue(c[0]);
    if (c.size() == 1)
        return {"coalesce(" + x.sql + ", '')", x.type == Type::Text ? Type::Text : Type::Dynamic};
    const Typed y = AsValue(c[1]);
    Type t = Merge(x.type, y.type);
    if (x.type == Type::Currency && IsInteger(y.type))
        return {"coalesce(" + x.sql + ", " + y.sql + " * 10000)", Type::Currency};
    const std::string xs = x.type == Type::Currency && t != Type::Currency ? AsNumber(x) : x.sql;
    const std::string ys = y.type == Type::Currency && t != Type::Currency ? AsNumber(y) : y.sql;
    if (IsNumeric(x.type) && IsNumeric(y.type) && t == Type::Dynamic) t = Type::Double;
    return {"coalesce(" + xs + ", " + ys + ")", t};
}

Typed IsNullRule(C c) { return {"(" + AsValue(c[0]).sql + " IS NULL)", Type::Boolean, true}; }

// Left and Right.
Typed LeftRightRule(C c) { return {c.Invoke({AsText(c[0]), AsNumber(c[1])}), Type::Text}; }

// The last argument tells the implementation whether a length was given (Null is a length too).
Typed MidRule(C c) {
    return {c.Invoke({AsText(c[0]), AsNumber(c[1]), c.Number(2, "NULL"), c.size() == 2 ? "0" : "1"}),
            Type::Text};
}

Typed InStrRule(C c) {
    if (c.size() == 2) return {c.Invoke({"1", AsText(c[0]), AsText(c[1]), "1"}), Type::Long};
    return {c.Invoke({AsNumber(c[0]), AsText(c[1]), AsText(c[2]), c.Number(3, "1")}), Type::Long};
}

Typed ReplaceRule(C c) {
    return {c.Invoke({AsText(c[0]), AsText(c[1]), AsText(c[2]), c.Number(3, "1"), c.Number(4, "-1"),
                      c.Number(5, "0")}),
            Type::Text};
}

// String takes its character as text or as a character code.
Typed StringRule(C c) {
    const Typed character = AsValue(c[1]);
    const std::string fill =
        character.type == Type::Text ? character.sql : "acc_chr(" + AsNumber(character) + ")";
    return {c.Invoke({AsNumber(c[0]), fill}), Type::Text};
}

// Space(n) is String(n, " ").
Typed SpaceRule(C c) { return {"acc_string(" + AsNumber(c[0]) + ", ' ')", Type::Text}; }

// Format(value, pattern, firstdayofweek, firstweekofyear).
Typed FormatRule(C c) {
    const Typed v = AsValue(c[0]);
    return {c.Invoke({v.type == Type::Currency ? AsNumber(v) : v.sql, std::to_string(TypeCode(v.type)),
                      c.size() > 1 ? AsText(c[1]) : "''", c.Number(2, "1"), c.Number(3, "1")}),
            Type::Text};
}

// FormatNumber ('n'), FormatCurrency ('$') and FormatPercent ('%') share one implementation.
template <char Kind>
Typed FormatFixedRule(C c) {
    return {"acc_formatfixed(" + AsNumber(c[0]) + ", " + std::to_string(static_cast<int>(Kind)) + ", " +
                c.Number(1, "-1") + ", " + c.Number(2, "-2") + ", " + c.Number(3, "-2") + ", " +
                c.Number(4, "-2") + ")",
            Type::Text};
}

Typed FormatDateTimeRule(C c) { return {c.Invoke({AsDate(c[0]), c.Number(1, "0")}), Type::Text}; }

Typed DatePartRule(C c) {
    return {c.Invoke({AsText(c[0]), AsDate(c[1]), c.Number(2, "1"), c.Number(3, "1")}), Type::Integer};
}

// Year, Month, ... Second: DatePart with a fixed interval.
Typed DatePartOf(const char* interval, C c) {
    return {"acc_datepart('" + std::string(interval) + "', " + AsDate(c[0]) + ", 1, 1)", Type::Integer};
}

Typed WeekdayRule(C c) {
    return {"acc_datepart('w', " + AsDate(c[0]) + ", " + c.Number(1, "1") + ", 1)", Type::Integer};
}

// DateValue and TimeValue.
Typed DateOfRule(C c) { return {c.Invoke({AsDate(c[0])}), Type::Date}; }

Typed TimeSerialRule(C c) { return {c.Invoke({AsNumber(c[0]), AsNumber(c[1]), AsNumber(c[2])}), Type::Date}; }

Typed MonthNameRule(C c) { return {c.Invoke({AsNumber(c[0]), c.Number(1, "0")}), Type::Text}; }

Typed WeekdayNameRule(C c) {
    return {c.Invoke({AsNumber(c[0]), c.Number(1, "0"), c.Number(2, "1")}), Type::Text};
}

// Date and Now.
Typed ClockRule(C c) { return {c.Invoke({}), Type::Date}; }

Typed DateSerialRule(C c) { return {c.Invoke({AsNumber(c[0]), AsNumber(c[1]), AsNumber(c[2])}), Type::Date}; }

Typed DateAddRule(C c) { return {c.Invoke({AsText(c[0]), AsNumber(c[1]), AsDate(c[2])}), Type::Date}; }

Typed DateDiffRule(C c) {
    return {c.Invoke({AsText(c[0]), AsDate(c[1]), AsDate(c[2]), c.Number(3, "1"), c.Number(4, "1")}),
            Type::Long};
}

// Int and Fix keep integers as they are and Currency as Currency.
Typed WholePartRule(C c) {
    const Typed v = AsValue(c[0]);
    if (IsInteger(v.type)) return {v.sql, v.type == Type::Boolean ? Type::Integer : v.type};
    if (v.type == Type::Currency)
        return {"CAST(" + c.Invoke({AsNumber(v)}) + " * 10000 AS INTEGER)", Type::Currency};
    return {c.Invoke({AsNumber(v)}), v.type == Type::Single ? Type::Single
                                     : v.type == Type::Date ? Type::Date
                                                            : Type::Double};
}

Typed RoundRule(C c) {
    const Typed v = AsValue(c[0]);
    const std::string digits = c.Number(1, "0");
    if (v.type == Type::Currency)
        return {"CAST(round(" + c.Invoke({AsNumber(v), digits}) + " * 10000) AS INTEGER)", Type::Currency};
    if (IsInteger(v.type)) return {v.sql, v.type == Type::Boolean ? Type::Integer : v.type};
    return {c.Invoke({AsNumber(v), digits}), v.type == Type::Single ? Type::Single : Type::Double};
}

// The largest value of an integer type (Currency in ten-thousandths).
const char* LargestOf(Type t) {
    switch (t) {
        case Type::Boolean:
        case Type::Byte:
        case Type::Integer:
            return "32767";
        case Type::Long:
            return "2147483647";
        default:
            return "9223372036854775807";
    }
}

// Abs of an integer or Currency keeps its type, and the type's smallest value overflows.
Typed AbsRule(C c) {
    const Typed v = AsValue(c[0]);
    if (IsInteger(v.type) || v.type == Type::Currency)
        return {c.Invoke({v.sql, LargestOf(v.type)}), v.type == Type::Boolean ? Type::Integer : v.type};
    if (IsNumeric(v.type)) return {"abs(" + v.sql + ")", v.type};
    return {"abs(" + AsNumber(v) + ")", Type::Double};
}

Typed SgnRule(C c) {
    const std::string x = AsNumber(c[0]);
    return {"CASE WHEN " + x + " > 0 THEN 1 WHEN " + x + " < 0 THEN -1 WHEN " + x + " = 0 THEN 0 END",
            Type::Integer};
}

// CByte, CInt and CLng: acc_cint's second and third arguments are the type's range.
template <Type Result>
Typed WholeConversionRule(C c) {
    const char* range = Result == Type::Byte      ? "0, 255"
                        : Result == Type::Integer ? "-32768, 32767"
                                                  : "-2147483648, 2147483647";
    return {"acc_cint(" + AsNumber(c[0]) + ", " + range + ")", Result};
}

Typed CDblRule(C c) { return {"(" + AsNumber(c[0]) + " + 0.0)", Type::Double}; }

Typed CCurRule(C c) {
    const Typed v = AsValue(c[0]);
    if (v.type == Type::Currency) return v;
    return {c.Invoke({AsNumber(v)}), Type::Currency};
}

// Choose(index, choice1, ...): the choice the index (rounded) names, Null for any other index.
Typed ChooseRule(C c) {
    std::string sql = "CASE CAST(acc_round(" + AsNumber(c[0]) + ", 0) AS INTEGER)";
    Type t = Type::NullLiteral;
    for (std::size_t i = 1; i < c.size(); ++i) t = Merge(t, AsValue(c[i]).type);
    for (std::size_t i = 1; i < c.size(); ++i) {
        const Typed v = AsValue(c[i]);
        const std::string value = t != Type::Currency && v.type == Type::Currency ? AsNumber(v) : v.sql;
        sql += " WHEN " + std::to_string(i) + " THEN " + value;
    }
    return {sql + " END", t == Type::NullLiteral ? Type::Dynamic : t};
}

// Switch(condition1, value1, ...): the value of the first true condition, Null when none is; an odd
// number of arguments fails as the call runs, as in Access.
Typed SwitchRule(C c) {
    if (c.size() % 2 != 0) return {"acc_fail('" + std::string(kInvalidCall) + "')", Type::Dynamic};
    Type t = Type::NullLiteral;
    for (std::size_t i = 1; i < c.size(); i += 2) t = Merge(t, AsValue(c[i]).type);
    std::string sql = "CASE";
    for (std::size_t i = 0; i < c.size(); i += 2) {
        const Typed v = AsValue(c[i + 1]);
        const std::string value = t != Type::Currency && v.type == Type::Currency ? AsNumber(v) : v.sql;
        sql += " WHEN " + AsCondition(c[i]) + " THEN " + value;
    }
    return {sql + " END", t == Type::NullLiteral ? Type::Dynamic : t};
}

Typed StrCompRule(C c) { return {c.Invoke({AsText(c[0]), AsText(c[1]), c.Number(2, "1")}), Type::Integer}; }

Typed InStrRevRule(C c) {
    return {c.Invoke({AsText(c[0]), AsText(c[1]), c.Number(2, "-1"), c.Number(3, "1")}), Type::Long};
}

Typed StrConvRule(C c) { return {c.Invoke({AsText(c[0]), AsNumber(c[1])}), Type::Text}; }

// Hex and Oct tell their implementation the argument's type (its width for negative numbers).
Typed RadixRule(C c) {
    const Typed v = AsValue(c[0]);
    return {c.Invoke({AsNumber(v), std::to_string(TypeCode(v.type))}), Type::Text};
}

Typed IsDateRule(C c) {
    const Typed v = AsValue(c[0]);
    return {"(" + c.Invoke({v.sql, std::to_string(TypeCode(v.type))}) + " <> 0)", Type::Boolean, true};
}

Typed PartitionRule(C c) {
    return {c.Invoke({AsNumber(c[0]), AsNumber(c[1]), AsNumber(c[2]), AsNumber(c[3])}), Type::Text};
}

// CDate checks a number against the date range; AsDate takes numbers as they are.
Typed CDateRule(C c) {
    const Typed v = AsValue(c[0]);
    if (v.type == Type::Date || v.type == Type::NullLiteral) return {AsDate(v), Type::Date};
    return {"acc_cdate(" + (IsTextLike(v.type) ? v.sql : AsNumber(v)) + ")", Type::Date};
}

Typed CBoolRule(C c) { return {"(-(" + AsCondition(c[0]) + "))", Type::Boolean}; }

// The aggregates' arguments are limited to the rows of a crosstab cell by c.Filtered.

Typed CountRule(C c) { return {"count(" + c.Filtered(AsValue(c[0]).sql) + ")", Type::Long}; }

Typed SumRule(C c) {
    const Typed v = AsValue(c[0]);
    if (v.type == Type::Currency) return {"sum(" + c.Filtered(v.sql) + ")", Type::Currency};
    if (IsInteger(v.type)) return {"sum(" + c.Filtered(v.sql) + ")", Type::Long};
    if (v.type == Type::Date) return {"total(" + c.Filtered(v.sql) + ")", Type::Date};
    return {"sum(" + c.Filtered(AsNumber(v)) + ")", Type::Double};
}

Typed AvgRule(C c) {
    const Typed v = AsValue(c[0]);
    if (v.type == Type::Currency)
        return {"CAST(round(avg(" + c.Filtered(v.sql) + ")) AS INTEGER)", Type::Currency};
    return {"avg(" + c.Filtered(AsNumber(v)) + ")", Type::Double};
}

// Min and Max compare text as Jet does.
Typed ExtremeOf(const char* sqliteAggregate, C c) {
    const Typed v = AsValue(c[0]);
    return {std::string(sqliteAggregate) + "(" + c.Filtered(v.sql) +
                (IsTextLike(v.type) ? " COLLATE acc" : "") + ")",
            v.type};
}

// First and Last.
Typed FirstLastRule(C c) {
    const Typed v = AsValue(c[0]);
    return {c.Invoke({c.Filtered(v.sql)}), v.type};
}

// StDev, StDevP, Var and VarP.
Typed SpreadRule(C c) { return {c.Invoke({c.Filtered(AsNumber(c[0]))}), Type::Double}; }

// ----- the table -----

using K = FunctionKind;

const AccessFunction kFunctions[] = {
    // choices and tests
    {"iif", 3, 3, K::Scalar, IIfRule, kInline},
    {"choose", 2, 30, K::Scalar, ChooseRule, kInline},
    {"switch", 2, 30, K::Scalar, SwitchRule, kInline},
    {"nz", 1, 2, K::Scalar, NzRule, kInline},
    {"isnull", 1, 1, K::Scalar, IsNullRule, kInline},
    {"isnumeric", 1, 1, K::Scalar, OfText<Type::Boolean>, Scalar("acc_isnumeric", 1, IsNumericFunction)},
    {"isdate", 1, 1, K::Scalar, IsDateRule, Scalar("acc_isdate", 2, IsDateFunction)},

    // text
    {"len", 1, 1, K::Scalar, OfText<Type::Long>, Scalar("acc_len", 1, Len)},
    {"left", 2, 2, K::Scalar, LeftRightRule, Scalar("acc_left", 2, Left)},
    {"right", 2, 2, K::Scalar, LeftRightRule, Scalar("acc_right", 2, Right)},
    {"mid", 2, 3, K::Scalar, MidRule, Scalar("acc_mid", 4, Mid)},
    {"instr", 2, 4, K::Scalar, InStrRule, Scalar("acc_instr", 4, InStr)},
    {"instrrev", 2, 4, K::Scalar, InStrRevRule, Scalar("acc_instrrev", 4, InStrRev)},
    {"replace", 3, 6, K::Scalar, ReplaceRule, Scalar("acc_replace", 6, Replace)},
    {"strcomp", 2, 3, K::Scalar, StrCompRule, Scalar("acc_strcomp", 3, StrComp)},
    {"ucase", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_ucase", 1, Case<0>)},
    {"lcase", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_lcase", 1, Case<1>)},
    {"strconv", 2, 3, K::Scalar, StrConvRule, Scalar("acc_strconv", 2, StrConv)},
    {"trim", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_trim", 1, Case<2>)},
    {"ltrim", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_ltrim", 1, Case<3>)},
    {"rtrim", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_rtrim", 1, Case<4>)},
    {"string", 2, 2, K::Scalar, StringRule, Scalar("acc_string", 2, StringOf)},
    {"space", 1, 1, K::Scalar, SpaceRule, kInline},
    {"chr", 1, 1, K::Scalar, OfNumber<Type::Text>, Scalar("acc_chrfn", 1, ChrFunction)},
    {"chrw", 1, 1, K::Scalar, OfNumber<Type::Text>, Scalar("acc_chrw", 1, ChrW)},
    {"asc", 1, 1, K::Scalar, OfText<Type::Integer>, Scalar("acc_asc", 1, Asc<false>)},
    {"ascw", 1, 1, K::Scalar, OfText<Type::Integer>, Scalar("acc_ascw", 1, Asc<true>)},
    {"format", 1, 4, K::Scalar, FormatRule, Scalar("acc_format", 5, Format)},
    {"formatnumber", 1, 5, K::Scalar, FormatFixedRule<'n'>,
     Scalar("acc_formatfixed", 6, FormatFixedFunction)},
    {"formatcurrency", 1, 5, K::Scalar, FormatFixedRule<'$'>, kInline},
    {"formatpercent", 1, 5, K::Scalar, FormatFixedRule<'%'>, kInline},
    {"formatdatetime", 1, 2, K::Scalar, FormatDateTimeRule,
     Scalar("acc_formatdatetime", 2, FormatDateTimeFunction)},

    // dates
    {"datepart", 2, 4, K::Scalar, DatePartRule, Scalar("acc_datepart", 4, DatePart)},
    {"year", 1, 1, K::Scalar, [](C c) { return DatePartOf("yyyy", c); }, kInline},
    {"month", 1, 1, K::Scalar, [](C c) { return DatePartOf("m", c); }, kInline},
    {"day", 1, 1, K::Scalar, [](C c) { return DatePartOf("d", c); }, kInline},
    {"hour", 1, 1, K::Scalar, [](C c) { return DatePartOf("h", c); }, kInline},
    {"minute", 1, 1, K::Scalar, [](C c) { return DatePartOf("n", c); }, kInline},
    {"second", 1, 1, K::Scalar, [](C c) { return DatePartOf("s", c); }, kInline},
    {"weekday", 1, 2, K::Scalar, WeekdayRule, kInline},
    {"monthname", 1, 2, K::Scalar, MonthNameRule, Scalar("acc_monthname", 2, MonthName)},
    {"weekdayname", 1, 3, K::Scalar, WeekdayNameRule, Scalar("acc_weekdayname", 3, WeekdayName)},
    {"date", 0, 0, K::Scalar, ClockRule, Volatile("acc_today", Today)},
    {"now", 0, 0, K::Scalar, ClockRule, Volatile("acc_now", Now)},
    {"time", 0, 0, K::Scalar, ClockRule, Volatile("acc_time", TimeNow)},
    {"dateserial", 3, 3, K::Scalar, DateSerialRule, Scalar("acc_dateserial", 3, DateSerial)},
    {"timeserial", 3, 3, K::Scalar, TimeSerialRule, Scalar("acc_timeserial", 3, TimeSerial)},
    {"datevalue", 1, 1, K::Scalar, DateOfRule, Scalar("acc_datevalue", 1, DateValue)},
    {"timevalue", 1, 1, K::Scalar, DateOfRule, Scalar("acc_timevalue", 1, TimeValue)},
    {"dateadd", 3, 3, K::Scalar, DateAddRule, Scalar("acc_dateadd", 3, DateAdd)},
    {"datediff", 3, 5, K::Scalar, DateDiffRule, Scalar("acc_datediff", 5, DateDiff)},

    // numbers
    {"int", 1, 1, K::Scalar, WholePartRule, Scalar("acc_int", 1, IntPart)},
    {"fix", 1, 1, K::Scalar, WholePartRule, Scalar("acc_fix", 1, FixPart)},
    {"round", 1, 2, K::Scalar, RoundRule, Scalar("acc_round", 2, Round)},
    {"abs", 1, 1, K::Scalar, AbsRule, Scalar("acc_abs", 2, AbsInteger)},
    {"sgn", 1, 1, K::Scalar, SgnRule, kInline},
    {"sqr", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_sqr", 1, Sqr)},
    {"exp", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_exp", 1, Math<'e'>)},
    {"log", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_log", 1, Math<'l'>)},
    {"atn", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_atn", 1, Math<'a'>)},
    {"sin", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_sin", 1, Math<'s'>)},
    {"cos", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_cos", 1, Math<'c'>)},
    {"tan", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_tan", 1, Math<'t'>)},
    {"val", 1, 1, K::Scalar, OfText<Type::Double>, Scalar("acc_val", 1, Val)},
    {"str", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_strfn", 1, StrFunction)},
    {"hex", 1, 1, K::Scalar, RadixRule, Scalar("acc_hex", 2, Radix<16>)},
    {"oct", 1, 1, K::Scalar, RadixRule, Scalar("acc_oct", 2, Radix<8>)},
    {"partition", 4, 4, K::Scalar, PartitionRule, Scalar("acc_partition", 4, Partition)},

    // conversions
    {"cstr", 1, 1, K::Scalar, [](C c) { return Typed{AsText(c[0]), Type::Text}; }, kInline},
    {"cbyte", 1, 1, K::Scalar, WholeConversionRule<Type::Byte>, kInline},
    {"cint", 1, 1, K::Scalar, WholeConversionRule<Type::Integer>, Scalar("acc_cint", 3, CInt)},
    {"clng", 1, 1, K::Scalar, WholeConversionRule<Type::Long>, kInline},
    {"cdbl", 1, 1, K::Scalar, CDblRule, kInline},
    {"csng", 1, 1, K::Scalar, OfNumber<Type::Single>, Scalar("acc_csng", 1, CSng)},
    {"cdec", 1, 1, K::Scalar, OfNumber<Type::Decimal>, Scalar("acc_cdec", 1, CDec)},
    {"ccur", 1, 1, K::Scalar, CCurRule, Scalar("acc_ccur", 1, CCur)},
    {"cdate", 1, 1, K::Scalar, CDateRule, kInline},
    {"cbool", 1, 1, K::Scalar, CBoolRule, kInline},

    // aggregates
    {"count", 1, 1, K::Count, CountRule, kInline},
    {"sum", 1, 1, K::Aggregate, SumRule, kInline},
    {"avg", 1, 1, K::Aggregate, AvgRule, kInline},
    {"min", 1, 1, K::Aggregate, [](C c) { return ExtremeOf("min", c); }, kInline},
    {"max", 1, 1, K::Aggregate, [](C c) { return ExtremeOf("max", c); }, kInline},
    {"first", 1, 1, K::Aggregate, FirstLastRule,
     Aggregate("acc_first", FirstLastStep<false>, FirstLastFinal)},
    {"last", 1, 1, K::Aggregate, FirstLastRule, Aggregate("acc_last", FirstLastStep<true>, FirstLastFinal)},
    {"stdev", 1, 1, K::Aggregate, SpreadRule, Aggregate("acc_stdev", MomentsStep, MomentsFinal<false, true>)},
    {"stdevp", 1, 1, K::Aggregate, SpreadRule,
     Aggregate("acc_stdevp", MomentsStep, MomentsFinal<true, true>)},
    {"var", 1, 1, K::Aggregate, SpreadRule, Aggregate("acc_var", MomentsStep, MomentsFinal<false, false>)},
    {"varp", 1, 1, K::Aggregate, SpreadRule, Aggregate("acc_varp", MomentsStep, MomentsFinal<true, false>)},
};

void Register(sqlite3* db, const SqliteFunction& f) {
    if (f.step)
        sqlite3_create_function(db, f.name, f.args, SQLITE_UTF8, nullptr, nullptr, f.step, f.final);
    else
        sqlite3_create_function(db, f.name, f.args,
                                SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0), nullptr, f.scalar,
                                nullptr, nullptr);
}

}  // namespace

// ----- conversions -----

Typed AsValue(const Typed& t) {
    if (!t.condition) return t;
    return {"(-(" + t.sql + "))", Type::Boolean, false, t.aggregate};
}

std::string AsCondition(const Typed& t) {
    if (t.condition) return t.sql;
    if (t.type == Type::Text) return "(acc_num(" + t.sql + ") <> 0)";
    return "(" + t.sql + " <> 0)";
}

std::string AsNumber(const Typed& in) {
    const Typed t = AsValue(in);
    if (t.type == Type::Currency) return "(" + t.sql + " / 10000.0)";
    if (t.type == Type::Text || t.type == Type::Dynamic) return "acc_num(" + t.sql + ")";
    return t.sql;
}

std::string AsText(const Typed& in) {
    const Typed t = AsValue(in);
    if (t.type == Type::Text || t.type == Type::NullLiteral) return t.sql;
    return "acc_str(" + t.sql + ", " + std::to_string(TypeCode(t.type)) + ")";
}

std::string AsDate(const Typed& in) {
    const Typed t = AsValue(in);
    if (t.type == Type::Date || (IsNumeric(t.type) && t.type != Type::Currency)) return t.sql;
    if (t.type == Type::NullLiteral) return "NULL";
    // Text reads as a date; a Variant may hold either.
    if (t.type == Type::Text || t.type == Type::Dynamic) return "acc_cdate(" + t.sql + ")";
    return "acc_cdate(" + AsNumber(t) + ")";
}

// ----- calls -----

std::string FunctionCall::Number(std::size_t i, const char* absent) const {
    return i < args.size() ? AsNumber(args[i]) : std::string(absent);
}

std::string FunctionCall::Invoke(std::initializer_list<std::string> sqlArgs) const {
    std::string list;
    for (const std::string& s : sqlArgs) list += (list.empty() ? "" : ", ") + s;
    return std::string(function.implementation.name) + "(" + list + ")";
}

std::string FunctionCall::Filtered(const std::string& sql) const {
    return rowFilter ? "CASE WHEN " + *rowFilter + " THEN " + sql + " END" : sql;
}

std::span<const AccessFunction> AccessFunctions() { return kFunctions; }

const AccessFunction* FindAccessFunction(const std::string& name) {
    const std::string lower = QString::fromUtf8(name).toLower().toStdString();
    for (const AccessFunction& f : kFunctions)
        if (lower == f.name) return &f;
    return nullptr;
}

void RegisterAccessFunctions(sqlite3* db, TextCollator* collator) {
    sqlite3_create_collation(db, "acc", SQLITE_UTF8, collator, Collate);
    for (const AccessFunction& f : kFunctions)
        if (f.implementation.name) Register(db, f.implementation);
    for (const SqliteFunction& f : kOperatorFunctions) Register(db, f);
}

}  // namespace tabvert::ado::sql
