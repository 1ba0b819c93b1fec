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

struct DateParts {
    QDate date;
    qint64 ms = 0;
};

DateParts FromOle(double d) {
    if (!std::isfinite(d) || std::fabs(d) > 2958466.0) Fail("Invalid date value.");
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
    if (!date.isValid() || date.year() < 100 || date.year() > 9999) Fail("Invalid date value.");
    const double days = static_cast<double>(kOleEpoch.daysTo(date));
    const double fraction = static_cast<double>(ms) / kMsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

std::optional<double> ParseNumber(const QString& s) {
    const QString t = s.trimmed();
    if (t.isEmpty()) return std::nullopt;
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (ok) return d;
    return std::nullopt;
}

std::optional<double> ParseDate(const QString& s) {
    const QString t = s.trimmed();
    for (const char* f :
         {"M/d/yyyy h:mm:ss AP", "M/d/yyyy h:mm AP", "M/d/yyyy H:mm:ss", "M/d/yyyy H:mm", "M/d/yyyy",
          "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd", "M/d/yy", "d-MMM-yyyy", "MMMM d, yyyy"}) {
        const QDateTime dt = QLocale::c().toDateTime(t, f);
        if (dt.isValid()) return ToOle(dt.date(), dt.time().msecsSinceStartOfDay());
    }
    for (const char* f : {"h:mm:ss AP", "h:mm AP", "H:mm:ss", "H:mm"}) {
        const QTime tm = QLocale::c().toTime(t, f);
        if (tm.isValid()) return tm.msecsSinceStartOfDay() / kMsPerDay;
    }
    return std::nullopt;
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
    const QByteArray b = s.toUtf8();
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
    if (std::fabs(d) > 9.2e18) Fail("Overflow");
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
        if (AnyNull(argc, argv) && sqlite3_value_type(argv[0]) == SQLITE_NULL &&
            sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_null(c);
            return;
        }
        std::string s;
        for (int i = 0; i < 2; ++i)
            if (sqlite3_value_type(argv[i]) != SQLITE_NULL)
                s.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])),
                         static_cast<std::size_t>(sqlite3_value_bytes(argv[i])));
        sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    });
}

// Like with *, ?, #, [list], [a-z] and [!list], without regard to case.
bool LikeMatch(const QString& s, qsizetype si, const QString& p, qsizetype pi) {
    while (pi < p.size()) {
        const QChar pc = p[pi];
        if (pc == '*') {
            while (pi < p.size() && p[pi] == '*') ++pi;
            if (pi == p.size()) return true;
            for (qsizetype k = si; k <= s.size(); ++k)
                if (LikeMatch(s, k, p, pi)) return true;
            return false;
        }
        if (si >= s.size()) return false;
        const QChar sc = s[si];
        if (pc == '?') {
        } else if (pc == '#') {
            if (!sc.isDigit()) return false;
        } else if (pc == '[') {
            const qsizetype close = p.indexOf(']', pi + 1);
            if (close < 0) Fail("Invalid pattern string.");
            qsizetype k = pi + 1;
            bool negate = false;
            if (k < close && p[k] == '!') {
                negate = true;
                ++k;
            }
            bool match = false;
            const QChar folded = sc.toCaseFolded();
            for (; k < close; ++k) {
                if (k + 2 < close && p[k + 1] == '-') {
                    const QChar lo = p[k].toCaseFolded(), hi = p[k + 2].toCaseFolded();
                    if (folded >= lo && folded <= hi) match = true;
                    k += 2;
                } else if (p[k].toCaseFolded() == folded) {
                    match = true;
                }
            }
            if (match == negate) return false;
            pi = close;
        } else if (pc.toCaseFolded() != sc.toCaseFolded()) {
            return false;
        }
        ++si;
        ++pi;
    }
    return si == s.size();
}

void Like(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false,
          [&] { sqlite3_result_int(c, LikeMatch(Text(argv[0]), 0, Text(argv[1]), 0) ? 1 : 0); });
}

void Len(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] { sqlite3_result_int64(c, Text(argv[0]).size()); });
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
            QString out;
            qsizetype at = 0;
            qint64 done = 0;
            while (limit < 0 || done < limit) {
                const qsizetype found = s.indexOf(f, at, cs);
                if (found < 0) break;
                out += s.mid(at, found - at) + r;
                at = found + f.size();
                ++done;
            }
            s = out + s.mid(at);
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
        ResultText(c, QString(Count(argv[0]), ch[0]));
    });
}
void Chr(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 code = Whole(argv[0]);
        if (code < 0 || code > 65535) Fail(kInvalidCall);
        ResultText(c, QString(QChar(static_cast<char16_t>(code))));
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
void IntDiv(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 b = Whole(argv[1]);
        if (b == 0) Fail("Division by zero");
        sqlite3_result_int64(c, Whole(argv[0]) / b);
    });
}
void Mod(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const qint64 b = Whole(argv[1]);
        if (b == 0) Fail("Division by zero");
        sqlite3_result_int64(c, Whole(argv[0]) % b);
    });
}
void Pow(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double r = std::pow(Number(argv[0]), Number(argv[1]));
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
            const qint64 a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
            sqlite3_result_int64(c, Op == '+' ? a + b : Op == '-' ? a - b : a * b);
            return;
        }
        const double a = Number(argv[0]), b = Number(argv[1]);
        sqlite3_result_double(c, Op == '+' ? a + b : Op == '-' ? a - b : a * b);
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
        sqlite3_result_double(c, BankersRound(Number(argv[0]), static_cast<int>(digits)) + 0.0);
    });
}
void Sqr(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = Number(argv[0]);
        if (d < 0) Fail(kInvalidCall);
        sqlite3_result_double(c, std::sqrt(d));
    });
}
void Val(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        QString digits;
        for (const QChar ch : Text(argv[0]))
            if (ch != ' ' && ch != '\t' && ch != '\n') digits += ch;
        // The longest leading part that reads as a number.
        double value = 0;
        for (qsizetype n = digits.size(); n > 0; --n)
            if (const auto d = ParseNumber(digits.left(n));
                d && !digits.left(n).endsWith('e', Qt::CaseInsensitive)) {
                value = *d;
                break;
            }
        sqlite3_result_double(c, value);
    });
}
void StrFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString s = Text(argv[0]);
        ResultText(c, s.startsWith('-') ? s : " " + s);
    });
}
void CInt(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const double d = BankersRound(Number(argv[0]), 0);
        const double max = sqlite3_value_double(argv[1]);
        if (d > max || d < -max - 1) Fail("Overflow");
        sqlite3_result_int64(c, static_cast<qint64>(d));
    });
}
void IsNumericFunction(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        sqlite3_result_int(c,
                           sqlite3_value_type(argv[0]) != SQLITE_NULL && ParseNumber(Text(argv[0])) ? -1 : 0);
    });
}

// ----- dates -----

void CDate(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
            const auto d = ParseDate(Text(argv[0]));
            if (!d) Fail(kMismatch);
            sqlite3_result_double(c, *d);
        } else {
            sqlite3_result_double(c, Number(argv[0]));
        }
    });
}

int Weekday(const QDate& d, int firstDay) {  // 1..7 counted from firstDay (1 = Sunday)
    const int sundayBased = d.dayOfWeek() % 7 + 1;
    return (sundayBased - firstDay + 7) % 7 + 1;
}

void DatePart(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString part = Text(argv[0]).toLower();
        const DateParts p = FromOle(sqlite3_value_double(argv[1]));
        const int first = static_cast<int>(Whole(argv[2]));
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
            r = Weekday(p.date, first < 1 ? 1 : first);
        else if (part == "ww")
            r = (p.date.dayOfYear() - 1 + Weekday(QDate(p.date.year(), 1, 1), first < 1 ? 1 : first) - 1) /
                    7 +
                1;
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

void DateSerial(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        qint64 y = Whole(argv[0]);
        if (y >= 0 && y < 30)
            y += 2000;
        else if (y >= 30 && y < 100)
            y += 1900;
        const QDate d = QDate(static_cast<int>(y), 1, 1)
                            .addMonths(static_cast<int>(Whole(argv[1]) - 1))
                            .addDays(Whole(argv[2]) - 1);
        sqlite3_result_double(c, ToOle(d, 0));
    });
}

void DateAdd(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, false, [&] {
        const QString part = Text(argv[0]).toLower();
        const qint64 n = static_cast<qint64>(std::trunc(Number(argv[1])));
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
        const int first = std::max<int>(1, static_cast<int>(Whole(argv[3])));
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

// ----- Format -----

QString FormatNumberPattern(double v, const QString& pattern) {
    QString section = pattern;
    const QStringList sections = pattern.split(';');
    if (sections.size() > 1 && v < 0) {
        section = sections[1];
        v = -v;
    } else if (sections.size() > 2 && v == 0) {
        section = sections[2];
    } else {
        section = sections[0];
    }
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
    const double rounded = BankersRound(std::fabs(v), fracDigits) * (v < 0 ? -1 : 1);
    QString digits = QString::number(std::fabs(rounded), 'f', fracDigits);
    QString whole = digits.section('.', 0, 0), frac = digits.section('.', 1);
    while (frac.size() > fracRequired && frac.endsWith('0')) frac.chop(1);
    if (whole == "0" && intRequired == 0) whole.clear();
    while (whole.size() < intRequired) whole.prepend('0');
    if (grouping)
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, ',');
    QString prefix, suffix;
    bool seenDigit = false;
    for (const QChar ch : section) {
        if (ch == '0' || ch == '#' || ch == '.' || ch == ',') {
            seenDigit = true;
            continue;
        }
        if (ch == '"' || ch == '\\') continue;
        (seenDigit ? suffix : prefix) += ch;
    }
    QString out = whole + (frac.isEmpty() ? QString() : "." + frac);
    if (rounded < 0 && sections.size() < 2) out.prepend('-');
    return prefix + out + suffix;
}

QString FormatDatePattern(double ole, const QString& pattern) {
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
            out += QString::number(Weekday(p.date, 1));
        } else {
            out += pattern.mid(i, n);
        }
        lastWasHour = ch == 'h' || (lastWasHour && !(ch.isLetter()));
        i += n;
    }
    return out;
}

void Format(sqlite3_context* c, int argc, sqlite3_value** argv) {
    Guard(c, argc, argv, true, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(c);
            return;
        }
        const auto type = static_cast<Type>(sqlite3_value_int(argv[1]));
        const QString fmt = sqlite3_value_type(argv[2]) == SQLITE_NULL ? QString() : Text(argv[2]);
        const QString named = fmt.toLower();
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        auto asText = [&] {
            const Type t = type == Type::Currency ? Type::Double : type;
            return QString::fromStdString(text::ValueToText(AsVariant(argv[0], t), text::Locale::EnUS()));
        };
        if (fmt.isEmpty()) return ResultText(c, asText());
        const bool isDate = type == Type::Date;
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
            return ResultText(c, FormatDatePattern(ole, fmt));
        }
        if (sqlite3_value_type(argv[0]) == SQLITE_TEXT && !ParseNumber(Text(argv[0])))
            return ResultText(c, Text(argv[0]));
        const double v = Number(argv[0]);
        if (named == "general number") return ResultText(c, asText());
        if (named == "currency") return ResultText(c, FormatNumberPattern(v, "$#,##0.00;($#,##0.00)"));
        if (named == "fixed") return ResultText(c, FormatNumberPattern(v, "0.00"));
        if (named == "standard") return ResultText(c, FormatNumberPattern(v, "#,##0.00"));
        if (named == "percent") return ResultText(c, FormatNumberPattern(v, "0.00%"));
        if (named == "scientific") {
            QString s = QString::number(v, 'E', 2);
            s.replace(QRegularExpression("E([+-])0*(\\d\\d)"), "E\\1\\2");
            return ResultText(c, s);
        }
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
    Scalar("acc_chr", 1, Chr),        Scalar("acc_concat", 2, Concat),  Scalar("acc_like", 2, Like),
    Scalar("acc_div", 2, Div),        Scalar("acc_idiv", 2, IntDiv),    Scalar("acc_mod", 2, Mod),
    Scalar("acc_pow", 2, Pow),        Scalar("acc_add", 2, Arith<'+'>), Scalar("acc_sub", 2, Arith<'-'>),
    Scalar("acc_mul", 2, Arith<'*'>),
};

[[noreturn]] void Unsupported(const std::string& what) { throw ProviderError(ErrorReason::BadCommand, what); }

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
    if (c[0].type == Type::Text) Unsupported("InStr with a compare argument but no start is not supported.");
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

Typed FormatRule(C c) {
    const Typed v = AsValue(c[0]);
    return {c.Invoke({v.type == Type::Currency ? AsNumber(v) : v.sql, std::to_string(TypeCode(v.type)),
                      c.size() > 1 ? AsText(c[1]) : "''"}),
            Type::Text};
}

Typed DatePartRule(C c) { return {c.Invoke({AsText(c[0]), AsDate(c[1]), c.Number(2, "1")}), Type::Integer}; }

// Year, Month, ... Second: DatePart with a fixed interval.
Typed DatePartOf(const char* interval, C c) {
    return {"acc_datepart('" + std::string(interval) + "', " + AsDate(c[0]) + ", 1)", Type::Integer};
}

Typed WeekdayRule(C c) {
    return {"acc_datepart('w', " + AsDate(c[0]) + ", " + c.Number(1, "1") + ")", Type::Integer};
}

// Date and Now.
Typed ClockRule(C c) { return {c.Invoke({}), Type::Date}; }

Typed DateSerialRule(C c) { return {c.Invoke({AsNumber(c[0]), AsNumber(c[1]), AsNumber(c[2])}), Type::Date}; }

Typed DateAddRule(C c) { return {c.Invoke({AsText(c[0]), AsNumber(c[1]), AsDate(c[2])}), Type::Date}; }

Typed DateDiffRule(C c) {
    return {c.Invoke({AsText(c[0]), AsDate(c[1]), AsDate(c[2]), c.Number(3, "1")}), Type::Long};
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

Typed AbsRule(C c) {
    const Typed v = AsValue(c[0]);
    if (IsNumeric(v.type)) return {"abs(" + v.sql + ")", v.type == Type::Boolean ? Type::Integer : v.type};
    return {"abs(" + AsNumber(v) + ")", Type::Double};
}

Typed SgnRule(C c) {
    const std::string x = AsNumber(c[0]);
    return {"CASE WHEN " + x + " > 0 THEN 1 WHEN " + x + " < 0 THEN -1 WHEN " + x + " = 0 THEN 0 END",
            Type::Integer};
}

// acc_cint's second argument is the largest value of the type.
Typed CIntRule(C c) { return {c.Invoke({AsNumber(c[0]), "32767"}), Type::Integer}; }
Typed CLngRule(C c) { return {"acc_cint(" + AsNumber(c[0]) + ", 2147483647)", Type::Long}; }

// CDbl and CSng.
template <Type Result>
Typed FloatRule(C c) {
    return {"(" + AsNumber(c[0]) + " + 0.0)", Result};
}

Typed CCurRule(C c) {
    const Typed v = AsValue(c[0]);
    if (v.type == Type::Currency) return v;
    return {"CAST(acc_round(" + AsNumber(v) + " * 10000, 0) AS INTEGER)", Type::Currency};
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
    {"nz", 1, 2, K::Scalar, NzRule, kInline},
    {"isnull", 1, 1, K::Scalar, IsNullRule, kInline},
    {"isnumeric", 1, 1, K::Scalar, OfText<Type::Boolean>, Scalar("acc_isnumeric", 1, IsNumericFunction)},

    // text
    {"len", 1, 1, K::Scalar, OfText<Type::Long>, Scalar("acc_len", 1, Len)},
    {"left", 2, 2, K::Scalar, LeftRightRule, Scalar("acc_left", 2, Left)},
    {"right", 2, 2, K::Scalar, LeftRightRule, Scalar("acc_right", 2, Right)},
    {"mid", 2, 3, K::Scalar, MidRule, Scalar("acc_mid", 4, Mid)},
    {"instr", 2, 4, K::Scalar, InStrRule, Scalar("acc_instr", 4, InStr)},
    {"replace", 3, 6, K::Scalar, ReplaceRule, Scalar("acc_replace", 6, Replace)},
    {"ucase", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_ucase", 1, Case<0>)},
    {"lcase", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_lcase", 1, Case<1>)},
    {"trim", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_trim", 1, Case<2>)},
    {"ltrim", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_ltrim", 1, Case<3>)},
    {"rtrim", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_rtrim", 1, Case<4>)},
    {"string", 2, 2, K::Scalar, StringRule, Scalar("acc_string", 2, StringOf)},
    {"space", 1, 1, K::Scalar, SpaceRule, kInline},
    {"format", 1, 2, K::Scalar, FormatRule, Scalar("acc_format", 3, Format)},

    // dates
    {"datepart", 2, 3, K::Scalar, DatePartRule, Scalar("acc_datepart", 3, DatePart)},
    {"year", 1, 1, K::Scalar, [](C c) { return DatePartOf("yyyy", c); }, kInline},
    {"month", 1, 1, K::Scalar, [](C c) { return DatePartOf("m", c); }, kInline},
    {"day", 1, 1, K::Scalar, [](C c) { return DatePartOf("d", c); }, kInline},
    {"hour", 1, 1, K::Scalar, [](C c) { return DatePartOf("h", c); }, kInline},
    {"minute", 1, 1, K::Scalar, [](C c) { return DatePartOf("n", c); }, kInline},
    {"second", 1, 1, K::Scalar, [](C c) { return DatePartOf("s", c); }, kInline},
    {"weekday", 1, 2, K::Scalar, WeekdayRule, kInline},
    {"date", 0, 0, K::Scalar, ClockRule, Volatile("acc_today", Today)},
    {"now", 0, 0, K::Scalar, ClockRule, Volatile("acc_now", Now)},
    {"dateserial", 3, 3, K::Scalar, DateSerialRule, Scalar("acc_dateserial", 3, DateSerial)},
    {"dateadd", 3, 3, K::Scalar, DateAddRule, Scalar("acc_dateadd", 3, DateAdd)},
    {"datediff", 3, 4, K::Scalar, DateDiffRule, Scalar("acc_datediff", 4, DateDiff)},

    // numbers
    {"int", 1, 1, K::Scalar, WholePartRule, Scalar("acc_int", 1, IntPart)},
    {"fix", 1, 1, K::Scalar, WholePartRule, Scalar("acc_fix", 1, FixPart)},
    {"round", 1, 2, K::Scalar, RoundRule, Scalar("acc_round", 2, Round)},
    {"abs", 1, 1, K::Scalar, AbsRule, kInline},
    {"sgn", 1, 1, K::Scalar, SgnRule, kInline},
    {"sqr", 1, 1, K::Scalar, OfNumber<Type::Double>, Scalar("acc_sqr", 1, Sqr)},
    {"val", 1, 1, K::Scalar, OfText<Type::Double>, Scalar("acc_val", 1, Val)},
    {"str", 1, 1, K::Scalar, OfText<Type::Text>, Scalar("acc_strfn", 1, StrFunction)},

    // conversions
    {"cstr", 1, 1, K::Scalar,
     [](C c) {
         return Typed{AsText(c[0]), Type::Text};
     },
     kInline},
    {"cint", 1, 1, K::Scalar, CIntRule, Scalar("acc_cint", 2, CInt)},
    {"clng", 1, 1, K::Scalar, CLngRule, kInline},
    {"cdbl", 1, 1, K::Scalar, FloatRule<Type::Double>, kInline},
    {"csng", 1, 1, K::Scalar, FloatRule<Type::Single>, kInline},
    {"ccur", 1, 1, K::Scalar, CCurRule, kInline},
    {"cdate", 1, 1, K::Scalar,
     [](C c) {
         return Typed{AsDate(c[0]), Type::Date};
     },
     kInline},
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
