// Connection-string parsing, SELECT texts and the value-to-text rule: the pure parts of the provider.

#include "platform/provider/connection_string.h"
#include "platform/provider/provider_error.h"
#include "platform/provider/select_text.h"
#include "platform/provider/value_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace tabvert::ado {
namespace {

TEST(ConnectionString, ParsesAsOleDbDoes) {
    const auto cs = ConnectionString::Parse(
        "provider = Microsoft.Jet.OLEDB.4.0 ;  DATA SOURCE=  C:\\x y\\a.mdb  ;"
        "Jet OLEDB:Database Password=\"a;b\"\"c\"; Other='it''s'; empty=;");
    EXPECT_EQ(cs.Get("Provider"), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(cs.Get("data source"), "C:\\x y\\a.mdb");
    EXPECT_EQ(cs.Get("jet oledb:database password"), "a;b\"c");
    EXPECT_EQ(cs.Get("other"), "it's");
    EXPECT_EQ(cs.Get("empty"), "");
    EXPECT_FALSE(cs.Get("Persist Security Info").has_value());
    // A key given twice keeps its last value.
    EXPECT_EQ(ConnectionString::Parse("a=1;A=2").Get("a"), "2");
}

TEST(ConnectionString, RejectsMalformedText) {
    for (const char* text : {"Data Source=\"unclosed", "Data Source='x' trailing;", "just words;", "=value"}) {
        EXPECT_THROW(ConnectionString::Parse(text), ProviderError) << text;
    }
}

TEST(ConnectionString, QuotesOnlyWhatNeedsIt) {
    const struct {
        const char* value;
        const char* written;
    } cases[] = {
        {"plain", "plain"},          {"C:\\a b\\c.mdb", "C:\\a b\\c.mdb"}, {"", ""},
        {"a;b", "\"a;b\""},          {"say \"x\"", "'say \"x\"'"},          {"it's", "\"it's\""},
        {" lead", "\" lead\""},      {"trail ", "\"trail \""},              {"'\"", "'''\"'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteConnectionValue(c.value), c.written) << c.value;
        EXPECT_EQ(ConnectionString::Parse(std::string("k=") + QuoteConnectionValue(c.value) + ";x=1").Get("k"),
                  c.value);
    }
}

TEST(SelectText, AcceptsTheProgramsQueries) {
    const struct {
        const char* sql;
        const char* table;
        std::int64_t top;  // -1: none
    } cases[] = {
        {"select * from [Orders]", "Orders", -1},
        {"SELECT * FROM [Order Details]", "Order Details", -1},
        {"select Top 10000 * from [T]", "T", 10000},
        {"  sElEcT   tOp 0   *   FrOm   [a]]b]  ; ", "a]b", 0},
        {"select*from[x]", "x", -1},
        {"select * from [ blanks ]", " blanks ", -1},
    };
    for (const auto& c : cases) {
        const auto s = ParseSelect(c.sql);
        EXPECT_EQ(s.table, c.table) << c.sql;
        EXPECT_EQ(s.top.value_or(-1), c.top) << c.sql;
    }
}

TEST(SelectText, RejectsEverythingElse) {
    for (const char* sql : {"", "delete * from [x]", "select a from [x]", "select * from x", "select * from [x",
                            "select * from []", "select * from [x] where 1", "select top * from [x]",
                            "select top -1 * from [x]", "selectx * from [x]", "select * from [x]] y"}) {
        try {
            ParseSelect(sql);
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const ProviderError& e) {
            EXPECT_EQ(e.number(), kErrSyntax) << sql;
        }
    }
}

TEST(ValueToText, FollowsTheLocale) {
    const auto us = text::Locale::enUS();
    const auto de = text::Locale::deDE();
    DecimalValue dec{true, "1234500", 4};       // -123.45
    DecimalValue small{false, "5", 6};          // 0.000005
    DecimalValue zero{true, "0", 2};
    GuidBytes guid = {0x78, 0x56, 0x34, 0x12, 0xbc, 0x9a, 0xf0, 0xde, 0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    const struct {
        Variant value;
        const char* us;
        const char* de;
    } cases[] = {
        {Variant::Null(), "", ""},
        {Variant::Boolean(true), "True", "True"},
        {Variant::Boolean(false), "False", "False"},
        {Variant::Byte(255), "255", "255"},
        {Variant::Integer(-32768), "-32768", "-32768"},
        {Variant::Long(2147483647), "2147483647", "2147483647"},
        {Variant::BigInt(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808", "-9223372036854775808"},
        {Variant::Double(1234567.125), "1234567.125", "1234567,125"},
        {Variant::Double(0.1 + 0.2), "0.3", "0,3"},
        {Variant::Double(-0.0), "0", "0"},
        {Variant::Double(1e15), "1E+15", "1E+15"},
        {Variant::Double(123456789012345.0), "123456789012345", "123456789012345"},
        {Variant::Double(1.5e-7), "1.5E-07", "1,5E-07"},
        {Variant::Single(3.14159274f), "3.141593", "3,141593"},
        {Variant::Single(0.1f), "0.1", "0,1"},
        {Variant::Single(16777216.0f), "1.677722E+07", "1,677722E+07"},
        {Variant::Currency(35000), "3.5", "3,5"},
        {Variant::Currency(-1), "-0.0001", "-0,0001"},
        {Variant::Currency(1230000), "123", "123"},
        {Variant::Currency(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808", "-922337203685477,5808"},
        {Variant::Decimal(dec), "-123.45", "-123,45"},
        {Variant::Decimal(small), "0.000005", "0,000005"},
        {Variant::Decimal(zero), "0", "0"},
        {Variant::Text("a\tb"), "a\tb", "a\tb"},
        {Variant::Binary({0x00, 0xAB, 0x7f}), "00AB7F", "00AB7F"},
        {Variant::Guid(guid), "{12345678-9ABC-DEF0-0123-456789ABCDEF}", "{12345678-9ABC-DEF0-0123-456789ABCDEF}"},
        {Variant::Date(text::JoinOleDate({2024, 2, 29, 0, 0, 0})), "2/29/2024", "29.02.2024"},
        {Variant::Date(text::JoinOleDate({1899, 12, 30, 13, 5, 9})), "1:05:09 PM", "13:05:09"},
        {Variant::Date(text::JoinOleDate({1582, 10, 15, 6, 0, 0})), "10/15/1582 6:00:00 AM", "15.10.1582 06:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValueToText(c.value, us), c.us) << TypeName(c.value.type());
        EXPECT_EQ(ValueToText(c.value, de), c.de) << TypeName(c.value.type());
    }
}

}  // namespace
}  // namespace tabvert::ado
