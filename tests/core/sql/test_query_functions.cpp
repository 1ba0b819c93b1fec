// The table of Access functions: each entry's type rule writes calls that SQLite accepts on a connection
// holding the registered implementations, at every arity the entry allows, and the translator refuses
// other arities with Access's message.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/sql/access_functions.h"
#include "core/sql/access_sql.h"
#include "core/sql/sql_translate.h"
#include "core/text/locale.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado::sql {

void PrintTo(const AccessFunction& f, std::ostream* os) { *os << f.name; }

namespace {

// One table T of a Long n, known to SQLite as t.
class OneTable : public Schema {
  public:
    Object object(const std::string&) override { return {"t", {{"n", Type::Long}}, true}; }
    std::vector<Variant> Values(const std::string&, Type) override { return {}; }
};

// "Len": how a query might spell it; the lookup ignores case.
std::string Spelled(const AccessFunction& f) {
    std::string s = f.name;
    s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

std::string CallOf(const AccessFunction& f, std::size_t args) {
    std::string list;
    for (std::size_t i = 0; i < args; ++i) list += i ? ", n" : "n";
    return "SELECT " + Spelled(f) + "(" + list + ") FROM T";
}

class QueryFunction : public ::testing::TestWithParam<AccessFunction> {
  protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        RegisterAccessFunctions(db_, &collator_);
        ASSERT_EQ(sqlite3_exec(db_, "CREATE TABLE t(n INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    TextCollator collator_;
    sqlite3* db_ = nullptr;
    OneTable schema_;
};

TEST_P(QueryFunction, EveryArityItAllowsTranslatesToSqlThatSqliteAccepts) {
    const AccessFunction& f = GetParam();
    for (std::size_t n = f.minArgs; n <= f.maxArgs; ++n) {
        const std::string query = CallOf(f, n);
        SCOPED_TRACE(query);
        const Translated t = Translate(Parse(query), schema_);
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, t.sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_) << "\n"
            << t.sql;
        sqlite3_finalize(statement);
    }
}

TEST_P(QueryFunction, OtherAritiesFailWithAccessMessage) {
    const AccessFunction& f = GetParam();
    // A scalar function is named as the query spells it, an aggregate in lower case.
    const std::string named = f.kind == FunctionKind::Scalar ? Spelled(f) : std::string(f.name);
    const std::string message =
        "Wrong number of arguments used with function in query expression '" + named + "'.";
    std::vector<std::size_t> wrong = {f.maxArgs + 1};
    if (f.minArgs > 0) wrong.push_back(f.minArgs - 1);
    for (std::size_t n : wrong) {
        std::string got = "no error";
        try {
            Translate(Parse(CallOf(f, n)), schema_);
        } catch (const ProviderError& e) {
            got = e.Description();
        }
        EXPECT_EQ(got, message) << n << " arguments";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, QueryFunction,
                         ::testing::ValuesIn(AccessFunctions().begin(), AccessFunctions().end()),
                         [](const ::testing::TestParamInfo<AccessFunction>& p) { return Spelled(p.param); });

// One expression at a time over the table (one row, n = 1, unless a test adds rows): the values as the
// program shows them ("True", "1/2/2023", "Null"; rows joined by commas), or "#" and the message of the
// error that stopped the query.
class Jet : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        RegisterAccessFunctions(db_, &collator_);
        ASSERT_EQ(sqlite3_exec(db_, "CREATE TABLE t(n INTEGER); INSERT INTO t VALUES (1)", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    void AddRows(const char* values) {
        ASSERT_EQ(sqlite3_exec(db_, (std::string("INSERT INTO t VALUES ") + values).c_str(), nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
    }

    std::string Eval(const std::string& expression) {
        Translated t;
        try {
            t = Translate(Parse("SELECT " + expression + " AS v FROM T"), schema_);
        } catch (const ProviderError& e) {
            return "#" + e.Description();
        }
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, t.sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
            return "#prepare: " + std::string(sqlite3_errmsg(db_));
        std::string out;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            const Variant v = Shown(statement, t.columns[0].type);
            out +=
                (out.empty() ? "" : ",") + (v.IsNull() ? "Null" : text::ValueToText(v, text::Locale::EnUS()));
        }
        if (rc != SQLITE_DONE) out = "#" + std::string(sqlite3_errmsg(db_));
        sqlite3_finalize(statement);
        return out;
    }

    void Check(const std::vector<std::pair<std::string, std::string>>& cases) {
        for (const auto& [expression, expected] : cases) EXPECT_EQ(Eval(expression), expected) << expression;
    }

  private:
    static Variant Shown(sqlite3_stmt* s, Type type) {
        switch (sqlite3_column_type(s, 0)) {
            case SQLITE_NULL:
                return {};
            case SQLITE_TEXT:
                return Variant::Text(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
            default:
                break;
        }
        switch (type) {
            case Type::Boolean:
                return Variant::Boolean(sqlite3_column_int64(s, 0) != 0);
            case Type::Currency:
                return Variant::Currency(sqlite3_column_int64(s, 0));
            case Type::Date:
                return Variant::Date(sqlite3_column_double(s, 0));
            default:
                if (sqlite3_column_type(s, 0) == SQLITE_INTEGER)
                    return Variant::BigInt(sqlite3_column_int64(s, 0));
                return Variant::Double(sqlite3_column_double(s, 0));
        }
    }

    TextCollator collator_;
    sqlite3* db_ = nullptr;
    OneTable schema_;
};

constexpr const char* kInvalid = "#Invalid procedure call or argument.";
constexpr const char* kMismatch = "#Data type mismatch in criteria expression.";

TEST_F(Jet, TextIsReadAsADateWhereADateIsExpected) {
    Check({
        {"CDate(\"1/2/2023\")", "1/2/2023"},  // month first in US English
        {"Year(\"1/2/2023\")", "2023"},
        {"Month(\"1/2/2023\")", "1"},
        {"DateAdd(\"d\", 1, \"1/2/2023\")", "1/3/2023"},
        {"DateValue(\"13/1/2023\")", "1/13/2023"},  // no 13th month: the day came first
        {"DateValue(\"2023-01-02\")", "1/2/2023"},
        {"DateValue(\"2 Jan 2023 10:00\")", "1/2/2023"},
        {"CDate(\"January 2, 2023 3:04 PM\")", "1/2/2023 3:04:00 PM"},
        {"CDate(\"1/2/99\")", "1/2/1999"},
        {"CDate(\"1/2/29\")", "1/2/2029"},
        {"TimeValue(\"1/2/2023 14:30\")", "2:30:00 PM"},
        {"CDate(\"3 PM\")", "3:00:00 PM"},
        {"CDate(\"2/30/2023\")", kMismatch},
        {"CDate(\"12\")", kMismatch},
        {"CDate(\"1/2/2023 13:00 PM\")", kMismatch},
        {"IsDate(\"2/28/2023\")", "True"},
        {"IsDate(\"2/29/2023\")", "False"},
        {"IsDate(5)", "False"},
        {"IsDate(#1/1/2023#)", "True"},
        {"IsDate(Null)", "False"},
    });
}

// 1 January 2023 is a Sunday.
TEST_F(Jet, WeeksCountFromTheGivenFirstDayAndFirstWeek) {
    Check({
        {"DatePart(\"ww\", #1/7/2023#)", "1"},
        {"DatePart(\"ww\", #1/8/2023#)", "2"},
        {"DatePart(\"ww\", #1/2/2023#, 2)", "2"},      // Monday weeks: Sunday 1 Jan is week 1 alone
        {"DatePart(\"ww\", #1/2/2023#, 2, 2)", "1"},   // first four-day week starts on 2 January
        {"DatePart(\"ww\", #1/1/2023#, 2, 2)", "52"},  // ... so 1 January is in 2022's last week
        {"DatePart(\"ww\", #1/1/2023#, 1, 3)", "1"},   // a full Sunday week starts on 1 January
        {"DatePart(\"ww\", #1/1/2023#, 2, 3)", "52"},
        {"DatePart(\"w\", #1/1/2023#, 2)", "7"},
        {"DatePart(\"ww\", #1/1/2023#, 0, 0)", "1"},  // the system's settings: Sunday, 1 January
        {"DatePart(\"w\", #1/1/2023#, 8)", kInvalid},
        {"DatePart(\"ww\", #1/1/2023#, 1, 4)", kInvalid},
        {"Weekday(#1/1/2023#, 2)", "7"},
        {"DateDiff(\"ww\", #1/1/2023#, #1/16/2023#)", "2"},     // Sundays 8 and 15
        {"DateDiff(\"ww\", #1/1/2023#, #1/16/2023#, 2)", "3"},  // Mondays 2, 9 and 16
        {"DateDiff(\"d\", #1/1/2023#, #1/16/2023#, 2, 2)", "15"},
        {"Format(#1/8/2023#, \"ww\")", "2"},
        {"Format(#1/2/2023#, \"ww\", 2, 2)", "1"},
        {"Format(#1/2/2023#, \"w\", 2)", "1"},
    });
}

TEST_F(Jet, CharacterCodesAndComparisons) {
    Check({
        {"Chr(65)", "A"},
        {"Chr(128)", "€"},  // Windows-1252
        {"Chr(256)", kInvalid},
        {"ChrW(8364)", "€"},
        {"Asc(\"€\")", "128"},
        {"AscW(\"€\")", "8364"},
        {"Asc(\"abc\")", "97"},
        {"Asc(\"\")", kInvalid},
        {"String(3, 65)", "AAA"},
        {"StrComp(\"abc\", \"ABC\")", "0"},
        {"StrComp(\"abc\", \"ABC\", 0)", "1"},
        {"StrComp(\"a\", \"b\")", "-1"},
        {"StrComp(Null, \"a\")", "Null"},
        {"InStrRev(\"abcabc\", \"bc\")", "5"},
        {"InStrRev(\"abcabc\", \"bc\", 5)", "2"},
        {"InStrRev(\"abc\", \"\")", "3"},
        {"InStrRev(\"abc\", \"x\")", "0"},
        {"InStrRev(\"abc\", \"c\", 0)", kInvalid},
        {"InStr(2, \"abcabc\", \"a\")", "4"},
        {"InStr(1, \"aBc\", \"b\", 0)", "0"},
        {"InStr(1, \"aBc\", \"b\", 1)", "2"},
        {"StrConv(\"hello wORLD\", 3)", "Hello World"},
        {"StrConv(\"abc\", 1)", "ABC"},
        {"StrConv(\"ABC\", 2)", "abc"},
        {"StrConv(\"abc\", 64)", kInvalid},
    });
}

TEST_F(Jet, ChooseAndSwitch) {
    Check({
        {"Choose(2, \"a\", \"b\", \"c\")", "b"},
        {"Choose(2.5, \"a\", \"b\", \"c\")", "b"},  // the index rounds half to even
        {"Choose(4, \"a\", \"b\")", "Null"},
        {"Choose(0, \"a\", \"b\")", "Null"},
        {"Choose(n, 10, 20) + 1", "11"},
        {"Switch(n = 2, \"two\", n = 1, \"one\", True, \"other\")", "one"},
        {"Switch(n = 2, \"two\")", "Null"},
        {"Switch(True, \"x\", False)", kInvalid},
    });
}

TEST_F(Jet, NumbersAndNames) {
    Check({
        {"Hex(255)", "FF"},
        {"Hex(CInt(-1))", "FFFF"},
        {"Hex(CLng(-1))", "FFFFFFFF"},
        {"Hex(2 ^ 32)", "#Overflow"},
        {"Oct(8)", "10"},
        {"Exp(0)", "1"},
        {"Log(Exp(2))", "2"},
        {"Log(0)", kInvalid},
        {"Exp(710)", "#Overflow"},
        {"Atn(1) * 4", "3.14159265358979"},
        {"Sin(0) + Cos(0) + Tan(0)", "1"},
        {"Val(\"&H10\")", "16"},
        {"Val(\"&O17\")", "15"},
        {"Val(\"&HFFFF\")", "-1"},
        {"Val(\"&H10000\")", "65536"},
        {"Val(\"1.5e2x\")", "150"},
        {"Val(\" - 3 .5\")", "-3.5"},
        {"Val(\"1e\")", "1"},
        {"Val(\"abc\")", "0"},
        {"IsNumeric(\" 12 \")", "True"},
        {"IsNumeric(\"&H1F\")", "True"},
        {"IsNumeric(\"&HG\")", "False"},
        {"IsNumeric(\"$1,234.50\")", "True"},
        {"IsNumeric(\"1,23\")", "False"},
        {"IsNumeric(\"1D3\")", "True"},
        {"IsNumeric(\"\")", "False"},
        {"IsNumeric(\"1/2/2023\")", "False"},
        {"IsNumeric(Null)", "False"},
        {"Partition(267, 0, 500, 50)", "250:299"},
        {"Partition(5, 0, 100, 10)", "  0:  9"},
        {"Partition(100, 0, 100, 10)", "100:100"},
        {"Partition(150, 0, 100, 10)", "101:   "},
        {"Partition(-5, 0, 100, 10)", "   : -1"},
        {"Partition(1, 0, 0, 1)", kInvalid},
        {"MonthName(2)", "February"},
        {"MonthName(2, True)", "Feb"},
        {"MonthName(13)", kInvalid},
        {"WeekdayName(1)", "Sunday"},
        {"WeekdayName(1, True, 2)", "Mon"},
        {"WeekdayName(7, False, 2)", "Sunday"},
        {"TimeSerial(14, 30, 0)", "2:30:00 PM"},
        {"TimeSerial(0, 90, 0)", "1:30:00 AM"},
        {"TimeSerial(25, 0, 0)", "12/31/1899 1:00:00 AM"},
        {"TimeSerial(-1, 0, 0)", "12/29/1899 11:00:00 PM"},
    });
}

TEST_F(Jet, ResultsOutsideTheirTypeOverflow) {
    Check({
        {"CByte(254.5)", "254"},
        {"CByte(255.5)", "#Overflow"},  // rounds to 256
        {"CByte(-1)", "#Overflow"},
        {"CInt(-32768.5)", "-32768"},
        {"CInt(32767.5)", "#Overflow"},
        {"CLng(2147483648)", "#Overflow"},
        {"CCur(922337203685477)", "922337203685477"},
        {"CCur(-922337203685477)", "-922337203685477"},
        {"CCur(1E+15)", "#Overflow"},
        {"CSng(1E+39)", "#Overflow"},
        {"CDec(1E+29)", "#Overflow"},
        {"Abs(CInt(-32768))", "#Overflow"},
        {"Abs(CLng(-5))", "5"},
        {"CDate(3000000)", "#Overflow"},
        {"DateSerial(10000, 1, 1)", "#Overflow"},
        {"DateSerial(2023, 1, 2 ^ 40)", "#Overflow"},
        {"DateAdd(\"yyyy\", 8000, #1/1/2023#)", "#Overflow"},
        {"DateAdd(\"s\", 1E+300, #1/1/2023#)", "#Overflow"},
        {"Round(1E+308, 2)", "1E+308"},
    });
}

TEST_F(Jet, FormatPatterns) {
    Check({
        {"Format(1234.5, \"0.00E+00\")", "1.23E+03"},
        {"Format(-1234.5, \"0.00E+00\")", "-1.23E+03"},
        {"Format(0.000123, \"0.0e-0\")", "1.2e-4"},
        {"Format(12345, \"0.0E-0\")", "1.2E4"},
        {"Format(99999, \"0.0E+00\")", "1.0E+05"},
        {"Format(12345, \"00.00E+00\")", "12.35E+03"},
        {"Format(0, \"0.00E+00\")", "0.00E+00"},
        {"Format(1234.5, \"Scientific\")", "1.23E+03"},
        {"Format(2.5, \"0\")", "3"},  // Format rounds half away from zero, unlike Round
        {"Format(1.005, \"0.00\")", "1.01"},
        {"Format(9.996, \"0.00\")", "10.00"},
        {"Format(\"abc\", \"@@@@@\")", "  abc"},
        {"Format(\"abc\", \"!@@@@@\")", "abc  "},
        {"Format(\"abc\", \"&&&&&\")", "abc"},
        {"Format(\"abcdef\", \"@@@\")", "abcdef"},
        {"Format(\"5551234\", \"@@@-@@@@\")", "555-1234"},
        {"Format(\"Hello\", \">\")", "HELLO"},
        {"Format(\"Hello\", \"<\")", "hello"},
        {"Format(Null, \"@;\"\"(none)\"\"\")", "(none)"},
        {"Format(\"\", \"@;\"\"(none)\"\"\")", "(none)"},
        {"Format(\"ab\", \"@@@;\"\"(none)\"\"\")", " ab"},
        {"Format(5, \"Currency\")", "$5.00"},
        {"Format(-5, \"Currency\")", "($5.00)"},
        {"Format(1234.5, \"Fixed\")", "1234.50"},
        {"Format(1234.5, \"Standard\")", "1,234.50"},
        {"Format(1234.5, \"General Number\")", "1234.5"},
        {"Format(0, \"Yes/No\")", "No"},
        {"Format(3, \"True/False\")", "True"},
        {"Format(0, \"On/Off\")", "Off"},
        {"Format(#1/2/2023 15:04:05#, \"General Date\")", "1/2/2023 3:04:05 PM"},
        {"Format(#1/2/2023 15:04:05#, \"Long Date\")", "Monday, January 2, 2023"},
        {"Format(#1/2/2023 15:04:05#, \"Medium Date\")", "02-Jan-23"},
        {"Format(#1/2/2023 15:04:05#, \"Short Date\")", "1/2/2023"},
        {"Format(#1/2/2023 15:04:05#, \"Long Time\")", "3:04:05 PM"},
        {"Format(#1/2/2023 15:04:05#, \"Medium Time\")", "03:04 PM"},
        {"Format(#1/2/2023 15:04:05#, \"Short Time\")", "15:04"},
        {"Format(\"1/2/2023\", \"yyyy\")", "2023"},
        {"FormatNumber(1234.567)", "1,234.57"},
        {"FormatNumber(-0.5, 0)", "-1"},
        {"FormatNumber(0.5, 2, 0)", ".50"},
        {"FormatNumber(-1234.5, 1, -1, -1, 0)", "(1234.5)"},
        {"FormatNumber(1, 2, 3)", kInvalid},
        {"FormatCurrency(-1234.5)", "($1,234.50)"},
        {"FormatPercent(0.256)", "25.60%"},
        {"FormatPercent(0.256, 0)", "26%"},
        {"FormatDateTime(#1/2/2023 15:04#, 1)", "Monday, January 2, 2023"},
        {"FormatDateTime(#1/2/2023 15:04#, 4)", "15:04"},
        {"FormatDateTime(#1/2/2023 15:04#)", "1/2/2023 3:04:00 PM"},
        {"FormatDateTime(#1/2/2023#, 5)", kInvalid},
    });
}

TEST_F(Jet, LikeKeepsAccessPatternsWithoutBacktrackingBlowUp) {
    const std::string sixtyAs = "\"" + std::string(60, 'a') + "\"";
    Check({
        {"\"abc\" Like \"a*c\"", "True"},
        {"\"abc\" Like \"a*b\"", "False"},
        {"\"aXbXc\" Like \"*X*X*\"", "True"},
        {"\"a1c\" Like \"a#c\"", "True"},
        {"\"abc\" Like \"a#c\"", "False"},
        {"\"ABC\" Like \"a[a-c]?\"", "True"},
        {"\"abc\" Like \"a[!a-b]c\"", "False"},
        {"\"ab\" Like \"a[]b\"", "True"},  // "[]" stands for nothing
        {"\"a*\" Like \"a[*]\"", "True"},
        {"\"abc\" Like \"[a\"", "#Invalid pattern string."},
        {"\"\" Like \"*\"", "True"},
        {"\"\" Like \"?\"", "False"},
        // Twelve stars that cannot all match: exponential for a matcher that tries every split.
        {sixtyAs + " Like \"*a*a*a*a*a*a*a*a*a*a*a*b\"", "False"},
        {sixtyAs + " Like \"*a*a*a*a*a*a*a*a*a*a*a*a\"", "True"},
        // Patterns far longer than any stack of calls one per character.
        {"\"a\" Like String(300000, \"*\")", "True"},
        {"String(300000, \"a\") Like String(299999, \"?\") & \"a\"", "True"},
        {"String(300000, \"a\") Like String(300000, \"?\") & \"a\"", "False"},
    });
}

// A constant pattern is read once for all rows; a pattern that changes from row to row is read for each.
TEST_F(Jet, LikeReadsEachRowsOwnPattern) {
    AddRows("(2), (3), (12)");
    Check({
        {"CStr(n) Like \"[12]\"", "True,True,False,False"},
        {"\"12\" Like \"*\" & CStr(n)", "False,True,False,True"},
        {"CStr(n) Like IIf(n = 3, \"[\", \"*\")", "#Invalid pattern string."},
    });
}

TEST_F(Jet, NoValueGrowsPastTheCap) {
    const std::string tooLarge = "#Out of string space: one value of a query may hold at most 64 MiB.";
    Check({
        {"String(2000000000, \"x\")", tooLarge},
        {"Space(70000000)", tooLarge},
        {"Len(String(34000000, \"a\") & String(34000000, \"b\"))", tooLarge},
        {"Len(Replace(String(1000, \"a\"), \"a\", String(70000, \"b\")))", tooLarge},
        {"Len(Replace(String(1000, \"a\"), \"a\", String(1000, \"b\")))", "1000000"},
        {"Len(String(3, ChrW(55357) & ChrW(56832)))", "3"},  // one UTF-16 unit of a surrogate pair each
        {"String(-1, \"x\")", kInvalid},
    });
}

}  // namespace
}  // namespace tabvert::ado::sql
