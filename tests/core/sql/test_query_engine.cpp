// Stored queries run: each query of the queries test database is read through the provider as the
// preview and the export read it ("select * from [query]") and compared with the same data loaded into
// a separate SQLite database by this test and queried there with hand-written SQLite SQL.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDateTime>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "fixtures/access_writer.h"
#include "fixtures/fixture_set.h"
#include "support/paths.h"
#include "support/sqlite_reference.h"

namespace tabvert::ado {
namespace {

using VT = Variant::Type;
using Rows = std::vector<std::vector<std::string>>;

// A value in one form both sides can produce: numbers plainly, dates as ISO text, Null as "NULL".
std::string Canonical(const Variant& v) {
    char buf[64];
    switch (v.type()) {
        case VT::Null:
            return "NULL";
        case VT::Boolean:
            return v.ToBool() ? "-1" : "0";
        case VT::Single:
            std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v.ToSingle()));
            return buf;
        case VT::Double:
            std::snprintf(buf, sizeof buf, "%.15g", v.ToDouble());
            return buf;
        case VT::Currency:
            std::snprintf(buf, sizeof buf, "%.15g", static_cast<double>(v.CurrencyUnits()) / 10000.0);
            return buf;
        case VT::Date: {
            const QDateTime t = QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)
                                    .addMSecs(std::llround(v.OleDate() * 86400000.0));
            return t.toString("yyyy-MM-dd HH:mm:ss").toStdString();
        }
        case VT::Text:
            return v.text();
        default:
            return text::ValueToText(v, text::Locale::EnUS());
    }
}

// The fixture's tables in SQLite, dates as the canonical ISO text.
class Reference : public test::SqliteReference {
  public:
    explicit Reference(const fixtures::Database& db)
        : SqliteReference(db, [](sqlite3_stmt* s, int i, double ole) {
              sqlite3_bind_text(s, i, Canonical(Variant::Date(ole)).c_str(), -1, SQLITE_TRANSIENT);
          }) {}
    Rows rows(const std::string& sql) { return Query(sql); }
};

struct Read {
    std::vector<std::string> names;
    std::vector<VT> types;
    Rows rows;
};

Read ReadQuery(Connection& c, const std::string& name, const char* top = nullptr) {
    Recordset rs;
    rs.Open(std::string("select ") + (top ? std::string("Top ") + top + " " : "") + "* from [" + name + "]",
            c);
    Read r;
    auto& f = rs.GetFields();
    for (long i = 0; i < f.Count(); ++i) {
        r.names.push_back(f.Item(i).Name());
        r.types.push_back(f.Item(i).DeclaredType());
    }
    for (; !rs.Eof(); rs.MoveNext()) {
        std::vector<std::string> row;
        for (long i = 0; i < f.Count(); ++i) row.push_back(Canonical(f.Item(i).Value()));
        r.rows.push_back(row);
    }
    return r;
}

class QueryEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.filePath("queries.mdb").toStdString();
        fixtures::WriteDatabase(fixtures::QueriesFixture(), path_);
        connection_.Open(database::BuildConnectionString(path_, 0, ""));
    }
    QTemporaryDir dir_;
    std::string path_;
    Connection connection_;
};

std::string Folded(std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

TEST_F(QueryEngine, RowsMatchTheSameQueriesWrittenForSqlite) {
    struct Case {
        const char* query;
        std::vector<std::string> names;
        std::string reference;
        bool ordered = true;
        bool foldCase = false;  // Jet compares text without case, so which spelling a group shows is open
        std::vector<VT> types = {};
    };
    const std::string inner = "FROM Customers c JOIN Orders o ON c.ID = o.CustomerID";
    const std::vector<Case> cases = {
        {"qInner",
         {"Name", "OrderID", "Amount"},
         "SELECT c.Name, o.OrderID, o.Amount " + inner + " ORDER BY o.OrderID",
         true,
         false,
         {VT::Text, VT::Long, VT::Currency}},
        {"qLeft",
         {"ID", "OrderID", "Twice"},
         "SELECT c.ID, o.OrderID, o.Qty * 2 FROM Customers c LEFT JOIN Orders o ON c.ID = o.CustomerID ORDER "
         "BY c.ID, o.OrderID"},
        {"qRight",
         {"Name", "OrderID"},
         "SELECT c.Name, o.OrderID FROM Orders o LEFT JOIN Customers c ON c.ID = o.CustomerID ORDER BY "
         "o.OrderID DESC"},
        {"qTotals",
         {"City", "Total", "Orders", "Expr1000"},
         "SELECT lower(c.City), sum(o.Amount), count(*), avg(o.Qty) " + inner +
             " GROUP BY lower(c.City) HAVING sum(o.Amount) > 1 ORDER BY lower(c.City)",
         true,
         true,
         {VT::Text, VT::Currency, VT::Long, VT::Double}},
        {"qTop",
         {"OrderID", "CustomerID", "Amount", "Qty", "Shipped", "OrderDate", "Note"},
         "SELECT * FROM Orders ORDER BY Amount DESC LIMIT 3"},
        {"qTopPercent",
         {"OrderID"},
         "SELECT OrderID FROM Orders ORDER BY OrderID LIMIT 3"},  // 25% of 9, rounded up
        {"qTopTies",
         {"OrderID", "Qty"},
         "SELECT OrderID, Qty FROM Orders WHERE Qty >= (SELECT Qty FROM Orders ORDER BY Qty DESC LIMIT 1 "
         "OFFSET 4)",
         false},
        {"qDistinctCity", {"City"}, "SELECT DISTINCT lower(City) FROM Customers ORDER BY 1", true, true},
        {"qUnion",
         {"Name"},
         "SELECT lower(Name) FROM Customers WHERE City = 'Lyon' UNION SELECT lower(Note) FROM Orders WHERE "
         "lower(Note) = 'rush'",
         false,
         true},
        {"qUnionAll",
         {"Place"},
         "SELECT City FROM Customers UNION ALL SELECT City FROM Customers WHERE Rating >= 5",
         false},
        {"qCrosstab",
         {"CustomerID", "1", "2", "3", "4", "5"},
         "SELECT CustomerID, " +
             [] {
                 std::string s;
                 for (int m = 1; m <= 5; ++m)
                     s += std::string(m > 1 ? ", " : "") +
                          "CASE WHEN max(0 + substr(OrderDate, 6, 2) = " + std::to_string(m) +
                          ") THEN sum(CASE WHEN 0 + substr(OrderDate, 6, 2) = " + std::to_string(m) +
                          " THEN Qty END) END";
                 return s;
             }() +
             " FROM Orders GROUP BY CustomerID ORDER BY CustomerID"},
        {"qSubquery",
         {"Name"},
         "SELECT Name FROM Customers WHERE ID IN (SELECT CustomerID FROM Orders WHERE Amount > 10) ORDER BY "
         "ID"},
        // Anna and ANNA are two records: DISTINCTROW keeps both where DISTINCT would not.
        {"qDistinctRow",
         {"Name"},
         "SELECT Name FROM Customers WHERE ID IN (SELECT CustomerID FROM Orders)",
         false},
        {"qCorrelated",
         {"Name", "N"},
         "SELECT Name, (SELECT count(*) FROM Orders o WHERE o.CustomerID = c.ID) FROM Customers c ORDER BY "
         "ID"},
        {"qDerived",
         {"CustomerID", "N"},
         "SELECT CustomerID, count(*) FROM Orders GROUP BY CustomerID HAVING count(*) > 1",
         false},
        {"qOnQuery",
         {"City", "Doubled"},
         "SELECT lower(c.City), 2 * sum(o.Amount) " + inner +
             " GROUP BY lower(c.City) HAVING sum(o.Amount) > 1",
         false,
         true,
         {VT::Text, VT::Currency}},
        {"qText",
         {"ID", "Expr1000", "Code", "Expr1001", "Place", "R1", "FirstN"},
         "SELECT ID, Name || ' from ' || coalesce(City, ''), upper(substr(Name, 1, 2)) || '-' || "
         "substr(Name, 2), length(City), "
         "CASE WHEN City IS NULL THEN '?' ELSE lower(City) END, coalesce(Rating, 0) + 1, instr(lower(Name), "
         "'n') "
         "FROM Customers WHERE ID IN (1, 4, 5, 6) ORDER BY ID"},
        {"qNumbers",
         {"OrderID", "Half", "IntHalf", "Rest", "Power", "DoubleAmount", "Rounded", "Banker", "IntNeg",
          "FixNeg"},
         "SELECT OrderID, Qty / 2.0, Qty / 2, Qty % 3, 1 << Qty, Amount * 2, "
         "CASE OrderID WHEN 11 THEN 0.3 WHEN 13 THEN 0 WHEN 12 THEN 100 WHEN 15 THEN 7.8 WHEN 18 THEN "
         "12345.7 ELSE Amount END, "
         "CASE WHEN Qty % 2 = 1 THEN (CASE WHEN (Qty / 2) % 2 = 0 THEN Qty / 2 ELSE Qty / 2 + 1 END) ELSE "
         "Qty / 2 END, "
         "CASE WHEN Qty % 2 = 1 THEN -(Qty / 2) - 1 ELSE -(Qty / 2) END, -(Qty / 2) "
         "FROM Orders WHERE Qty BETWEEN 1 AND 7 ORDER BY OrderID",
         true,
         false,
         {VT::Long, VT::Single, VT::Long, VT::Long, VT::Double, VT::Currency, VT::Currency}},
        {"qDates",
         {"OrderID", "Y", "M", "WD", "NextMonth", "Days", "Iso"},
         "SELECT OrderID, 0 + strftime('%Y', OrderDate), 0 + strftime('%m', OrderDate), 1 + strftime('%w', "
         "OrderDate), "
         "datetime(OrderDate, '+1 month'), CAST(julianday(date(OrderDate)) - julianday('2023-01-01') AS "
         "INTEGER), date(OrderDate) "
         "FROM Orders WHERE OrderDate >= '2023-02-01' AND Shipped ORDER BY OrderID",
         true,
         false,
         {VT::Long, VT::Integer, VT::Integer, VT::Integer, VT::Date, VT::Long, VT::Text}},
    };
    const fixtures::Database description = fixtures::QueriesFixture();
    Reference reference(description);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        Read got;
        try {
            got = ReadQuery(connection_, c.query);
        } catch (const ProviderError& e) {
            ADD_FAILURE() << e.Description();
            continue;
        }
        Rows want = reference.rows(c.reference);
        EXPECT_EQ(got.names, c.names);
        for (std::size_t i = 0; i < c.types.size() && i < got.types.size(); ++i)
            EXPECT_EQ(got.types[i], c.types[i]) << i;
        if (c.foldCase)
            for (Rows* rows : {&got.rows, &want})
                for (auto& row : *rows)
                    for (auto& cell : row) cell = Folded(cell);
        if (!c.ordered) {
            std::sort(got.rows.begin(), got.rows.end());
            std::sort(want.begin(), want.end());
        }
        EXPECT_EQ(got.rows, want);
    }
}

TEST_F(QueryEngine, QueriesThatCannotRunFailAloneWithTheProvidersMessage) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"qParameter", "No value given for one or more required parameters."},
        {"qFormReference", "No value given for one or more required parameters."},
        {"qUndeclared", "No value given for one or more required parameters."},
        {"qVba", "Undefined function 'MyDiscount' in expression."},
        {"qUngrouped",
         "You tried to execute a query that does not include the specified expression 'Name' as part of an "
         "aggregate function."},
    };
    for (const auto& [query, message] : cases) {
        std::string got = "no error";
        try {
            ReadQuery(connection_, query);
        } catch (const ProviderError& e) {
            got = e.Description();
        }
        EXPECT_EQ(got, message) << query;
    }
    // The connection is still good for the queries that can run.
    EXPECT_EQ(ReadQuery(connection_, "qInner", "2").rows.size(), 2u);
}

// Jet's operators and functions, one expression per stored query over a one-row table, against values
// worked out by hand from Access's rules.
TEST(QueryEngineFiles, ExpressionsFollowJetRules) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"\"abc\" = \"ABC\"", "True"},
        {"\"a\" < \"B\"", "True"},
        {"\"é\" = \"e\"", "False"},
        {"\"1\" + \"2\"", "12"},
        {"\"x\" & Null", "x"},
        {"Null & Null", ""},
        {"[X] + Null", ""},
        {"\"a\" & 1.5 & True", "a1.5True"},
        {"\"abc\" Like \"A?C\"", "True"},
        {"\"a1\" Like \"[!b-z]#\"", "True"},
        {"\"b1\" Like \"[!b-z]#\"", "False"},
        {"\"50%\" Like \"*[%]\"", "True"},
        {"\"abc\" Not Like \"*c\"", "False"},
        {"7 Mod 3", "1"},
        {"-7 Mod 3", "-1"},
        {"7.5 \\ 2", "4"},
        {"10 / 4", "2.5"},
        {"2 ^ 10", "1024"},
        {"-2 ^ 2", "-4"},
        {"\"b\" Between \"A\" And \"C\"", "True"},
        {"3 In (1, 2, 3)", "True"},
        {"Null Is Null", "True"},
        {"#1/31/2023# + 1", "2/1/2023"},
        {"DateAdd(\"m\", 1, #1/31/2023#)", "2/28/2023"},
        {"DateSerial(2023, 13, 1)", "1/1/2024"},
        {"DateDiff(\"m\", #1/31/2023#, #2/1/2023#)", "1"},
        {"Weekday(#1/1/2023#)", "1"},
        {"DatePart(\"q\", #8/15/2023#)", "3"},
        {"Format(1234.5, \"#,##0.00\")", "1,234.50"},
        {"Format(0.256, \"Percent\")", "25.60%"},
        {"Format(#3/4/2023#, \"Long Date\")", "Saturday, March 4, 2023"},
        {"Format(#3/4/2023 14:05#, \"dd/mm/yy hh:nn\")", "04/03/23 14:05"},
        {"Round(2.5)", "2"},
        {"Round(3.5)", "4"},
        {"Round(0.125, 2)", "0.12"},
        {"Int(-2.5)", "-3"},
        {"Fix(-2.5)", "-2"},
        {"CInt(2.5)", "2"},
        {"CLng(3.5)", "4"},
        {"Val(\"  12 34abc\")", "1234"},
        {"Str(5)", " 5"},
        {"Len(\"héllo\")", "5"},
        {"InStr(\"abcABC\", \"C\")", "3"},
        {"Replace(\"aXbXc\", \"X\", \"-\")", "a-b-c"},
        {"String(3, \"ab\")", "aaa"},
        {"\"[\" & Space(2) & \"]\"", "[  ]"},
        {"\"[\" & Trim(\"  a  \") & \"]\"", "[a]"},
        {"IIf(Null, 1, 2)", "2"},
        {"Nz(Null, \"z\")", "z"},
        {"IsNumeric(\"1e3\")", "True"},
        {"CCur(1.23456)", "1.2346"},
        {"CCur(0.1) + CCur(0.2)", "0.3"},
        {"Sgn(-3)", "-1"},
        {"Sqr(16)", "4"},
        {"UCase(\"héllo\")", "HÉLLO"},
        {"CBool(5)", "True"},
        {"Abs(-[X])", "1"},
        {"Mid(\"abcdef\", 2, 3)", "bcd"},
    };
    fixtures::Database db;
    fixtures::Table one;
    one.name = "One";
    one.columns = {{"X", fixtures::ColumnType::Long, 255, 18, 0}};
    one.rows = {{std::int64_t{1}}};
    db.tables = {one};
    for (std::size_t i = 0; i < cases.size(); ++i)
        db.queries.push_back(
            fixtures::QueryBuilder("e" + std::to_string(i)).Table("One").Column(cases[i].first, "V").Build());
    QTemporaryDir dir;
    const std::string path = dir.filePath("expressions.mdb").toStdString();
    fixtures::WriteDatabase(db, path);
    Connection c;
    c.Open(database::BuildConnectionString(path, 0, ""));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::string got;
        try {
            Recordset rs;
            rs.Open("select * from [e" + std::to_string(i) + "]", c);
            got = text::ValueToText(rs.GetFields().Item(0L).Value(), text::Locale::EnUS());
        } catch (const ProviderError& e) {
            got = "error: " + e.Description();
        }
        EXPECT_EQ(got, cases[i].second) << cases[i].first;
    }
}

TEST(QueryEngineFiles, QueriesThatUseEachOtherAreRefused) {
    fixtures::Database db = fixtures::QueriesFixture();
    db.queries = {fixtures::QueryBuilder("qA").Table("qB").Star().Build(),
                  fixtures::QueryBuilder("qB").Table("qA").Star().Build()};
    QTemporaryDir dir;
    const std::string path = dir.filePath("cycle.mdb").toStdString();
    fixtures::WriteDatabase(db, path);
    Connection c;
    c.Open(database::BuildConnectionString(path, 0, ""));
    std::string got = "no error";
    try {
        ReadQuery(c, "qA");
    } catch (const ProviderError& e) {
        got = e.Description();
    }
    EXPECT_NE(got.find("Circular reference"), std::string::npos) << got;
}

TEST(QueryEngineFiles, SampleSelectQueryGivesAccessColumnNames) {
    const auto dir = test::SamplesDir();
    if (dir.empty()) GTEST_SKIP() << "no sample databases";
    Connection c;
    c.Open(database::BuildConnectionString((dir / "queryTestV2003.mdb").string(), 0, ""));
    const Read r = ReadQuery(c, "SelectQuery");
    // A field name that two tables of the output share is qualified by its table.
    EXPECT_EQ(r.names, std::vector<std::string>({"Table1.col1", "Table1.col2", "Table1.col3", "Table2.col1",
                                                 "Table2.col2", "Table3.col3"}));
    EXPECT_TRUE(r.rows.empty());  // the sample's tables hold no rows
}

}  // namespace
}  // namespace tabvert::ado
