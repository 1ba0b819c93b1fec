// Connection strings and SELECT texts: the pure parts of the provider.

#include <gtest/gtest.h>

#include "core/provider/connection_string.h"
#include "core/provider/select_text.h"
#include "core/value/provider_error.h"

namespace tabvert::ado {
namespace {

TEST(ConnectionString, ParsesQuotesAndRejectsAsOleDbDoes) {
    const auto cs = ConnectionString::Parse(
        "provider = Microsoft.Jet.OLEDB.4.0 ;  DATA SOURCE=  C:\\x y\\a.mdb  ;"
        "Jet OLEDB:Database Password=\"a;b\"\"c\"; Other='it''s'; empty=;a=1;A=2");
    EXPECT_EQ(cs.Get("Provider"), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(cs.Get("data source"), "C:\\x y\\a.mdb");
    EXPECT_EQ(cs.Get("jet oledb:database password"), "a;b\"c");
    EXPECT_EQ(cs.Get("other"), "it's");
    EXPECT_EQ(cs.Get("empty"), "");
    EXPECT_EQ(cs.Get("a"), "2");  // a key given twice keeps its last value
    EXPECT_FALSE(cs.Get("Persist Security Info").has_value());
    for (const char* text : {"Data Source=\"unclosed", "Data Source='x' trailing;", "just words;", "=value"})
        EXPECT_THROW(ConnectionString::Parse(text), ProviderError) << text;
    // Values are quoted only where they need it, and every written value parses back.
    const std::pair<const char*, const char*> quoted[] = {{"plain", "plain"},
                                                          {"C:\\a b\\c.mdb", "C:\\a b\\c.mdb"},
                                                          {"", ""},
                                                          {"a;b", "\"a;b\""},
                                                          {"say \"x\"", "'say \"x\"'"},
                                                          {"it's", "\"it's\""},
                                                          {" lead", "\" lead\""},
                                                          {"trail ", "\"trail \""},
                                                          {"'\"", "'''\"'"}};
    for (const auto& [value, written] : quoted) {
        EXPECT_EQ(QuoteConnectionValue(value), written) << value;
        EXPECT_EQ(ConnectionString::Parse(std::string("k=") + QuoteConnectionValue(value) + ";x=1").Get("k"),
                  value);
    }
}

TEST(SelectText, AcceptsTheProgramsQueriesAndNothingElse) {
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
        {"select top 9223372036854775807 * from [x]", "x", INT64_MAX},
    };
    for (const auto& c : cases) {
        const auto s = ParseSelect(c.sql);
        EXPECT_EQ(s.table, c.table) << c.sql;
        EXPECT_EQ(s.top.value_or(-1), c.top) << c.sql;
    }
    for (const char* sql :
         {"", "delete * from [x]", "select a from [x]", "select * from x", "select * from [x",
          "select * from []", "select * from [x] where 1", "select top * from [x]",
          "select top -1 * from [x]", "select top 9223372036854775808 * from [x]", "selectx * from [x]",
          "select * from [x]] y"}) {
        try {
            ParseSelect(sql);
            ADD_FAILURE() << "accepted: " << sql;
        } catch (const ProviderError& e) {
            EXPECT_EQ(e.Number(), kErrSyntax) << sql;
        }
    }
}

}  // namespace
}  // namespace tabvert::ado
