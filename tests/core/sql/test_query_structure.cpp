// Stored queries whose shape Access resolves before it reads a row: aliases used by other columns of the
// same select list, crosstabs with fixed column headings, TOP with ties, tables of another database file,
// Access's date literals and text read as a date. Rows are compared with the same data loaded into a
// separate SQLite database by this test and queried there with hand-written SQLite SQL.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "core/access/stored_query.h"
#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/sql/access_sql.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"
#include "fixtures/access_writer.h"
#include "fixtures/fixture_set.h"
#include "fixtures/stored_queries.h"
#include "support/paths.h"
#include "support/sqlite_reference.h"

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;
using fixtures::QueryBuilder;
using Rows = std::vector<std::vector<std::string>>;

// Numbers as "%.15g", text as it is, Null as "NULL": a form both sides can give.
std::string Canonical(const Variant& v) {
    if (v.IsNull()) return "NULL";
    char buf[64];
    switch (v.type()) {
        case Variant::Type::Text:
            return v.text();
        case Variant::Type::Currency:
            std::snprintf(buf, sizeof buf, "%.15g", static_cast<double>(v.CurrencyUnits()) / 10000.0);
            return buf;
        case Variant::Type::Boolean:
            return v.ToBool() ? "-1" : "0";
        case Variant::Type::Date:
            return text::ValueToText(v, text::Locale::EnUS());
        default:
            std::snprintf(buf, sizeof buf, "%.15g", v.ToDouble());
            return buf;
    }
}

// The fixture's tables in SQLite, dates as days since 1899-12-30.
class Reference : public test::SqliteReference {
  public:
    explicit Reference(const fixtures::Database& db)
        : SqliteReference(db, [](sqlite3_stmt* s, int i, double ole) { sqlite3_bind_double(s, i, ole); }) {}
};

struct Read {
    std::vector<std::string> names;
    Rows rows;
    std::string error;
};

Read ReadQuery(Connection& c, const std::string& name) {
    Read r;
    try {
        Recordset rs;
        rs.Open("select * from [" + name + "]", c);
        auto& f = rs.GetFields();
        for (long i = 0; i < f.Count(); ++i) r.names.push_back(f.Item(i).Name());
        for (; !rs.Eof(); rs.MoveNext()) {
            std::vector<std::string> row;
            for (long i = 0; i < f.Count(); ++i) row.push_back(Canonical(f.Item(i).Value()));
            r.rows.push_back(row);
        }
    } catch (const ProviderError& e) {
        r.error = e.Description();
    }
    return r;
}

fixtures::QueryRow RemoteRow(std::optional<std::string> path, std::optional<std::string> connect = {}) {
    fixtures::QueryRow row;
    row.attribute = 4;
    row.name1 = std::move(path);
    row.expression = std::move(connect);
    return row;
}

class QueryStructure : public ::testing::Test {
  protected:
    // The queries fixture with `queries` added, written and opened.
    void Open(const std::vector<fixtures::StoredQuery>& queries) {
        fixtures::Database db = fixtures::QueriesFixture();
        db.queries.insert(db.queries.end(), queries.begin(), queries.end());
        path_ = fs::path(dir_.path().toStdString()) / "structure.mdb";
        fixtures::WriteDatabase(db, path_);
        connection_.Open(database::BuildConnectionString(path_.string(), 0, ""));
    }
    // Rows of a query and of the reference SQL, compared without regard to order when `ordered` is false.
    void ExpectSame(const std::string& query, const std::vector<std::string>& names, const std::string& sql,
                    bool ordered = true) {
        SCOPED_TRACE(query);
        Read got = ReadQuery(connection_, query);
        ASSERT_EQ(got.error, "");
        EXPECT_EQ(got.names, names);
        Rows want = reference_.Query(sql);
        if (!ordered) {
            std::sort(got.rows.begin(), got.rows.end());
            std::sort(want.begin(), want.end());
        }
        EXPECT_EQ(got.rows, want);
    }

    QTemporaryDir dir_;
    fs::path path_;
    Connection connection_;
    Reference reference_{fixtures::QueriesFixture()};
};

// An alias stands for its expression anywhere in the same select list, before or after it, also inside
// an aggregate's query; aliases that lead back to themselves are refused instead of followed forever.
TEST_F(QueryStructure, SelectListAliasesStandForTheirExpressions) {
    Open({QueryBuilder("qAvailable")
              .Table("Orders")
              .Column("[Qty In]-[Qty Out]", "Available")
              .Column("[Qty]*2", "Qty In")
              .Column("[OrderID]-10", "Qty Out")
              .OrderBy("OrderID")
              .Build(),
          QueryBuilder("qMean")
              .Table("Orders")
              .Column("CustomerID")
              .Column("[Total]/[N]", "Mean")
              .Column("Sum(Qty)", "Total")
              .Column("Count(*)", "N")
              .GroupBy("CustomerID")
              .Build(),
          QueryBuilder("qCycle").Table("Orders").Column("[B]+1", "A").Column("[A]+1", "B").Build(),
          QueryBuilder("qOnAvailable").Table("qAvailable").Column("Sum([Available])", "S").Build(), [] {
              QueryBuilder q("qDoubling");
              q.Table("Orders").Column("[Qty]", "a0");
              for (int i = 1; i <= 60; ++i) {
                  const std::string before = "[a" + std::to_string(i - 1) + "]";
                  q.Column(before + "+" + before, "a" + std::to_string(i));
              }
              return q.Build();
          }()});
    ExpectSame("qAvailable", {"Available", "Qty In", "Qty Out"},
               "SELECT Qty * 2 - (OrderID - 10), Qty * 2, OrderID - 10 FROM Orders ORDER BY OrderID");
    ExpectSame("qMean", {"CustomerID", "Mean", "Total", "N"},
               "SELECT CustomerID, sum(Qty) * 1.0 / count(*), sum(Qty), count(*) FROM Orders GROUP BY 1",
               false);
    ExpectSame("qOnAvailable", {"S"}, "SELECT sum(Qty * 2 - (OrderID - 10)) FROM Orders");
    const Read cycle = ReadQuery(connection_, "qCycle");
    EXPECT_NE(cycle.error.find("Circular reference caused by alias"), std::string::npos) << cycle.error;
    // Aliases that each use the one before twice stand for text that doubles at every step: refused once
    // too large, in far less time than the doubling would take.
    EXPECT_EQ(ReadQuery(connection_, "qDoubling").error, "Query is too complex.");
}

// PIVOT ... In (...) gives those headings in that order, also one no row has, and only those.
TEST_F(QueryStructure, CrosstabHeadingsComeFromTheInList) {
    Open({QueryBuilder("qMonths")
              .Crosstab()
              .Table("Orders")
              .Column("Sum(Orders.Qty)", "SumOfQty", 0)
              .Column("Orders.CustomerID", {}, 2)
              .Column("Month([OrderDate]) In (3, 1, 12)", {}, 1)
              .GroupBy("Orders.CustomerID", 2)
              .Build(),
          QueryBuilder("qNotes")
              .Crosstab()
              .Table("Orders")
              .Column("Count(*)", "N", 0)
              .Column("Orders.Shipped", {}, 2)
              .Column("[Note] In (\"rush\", \"none\", \"first\")", {}, 1)
              .GroupBy("Orders.Shipped", 2)
              .Build()});
    // Dates are OLE days here: 2415018.5 is the Julian day of 1899-12-30.
    const std::string m = "CAST(strftime('%m', OrderDate + 2415018.5) AS INTEGER)";
    ExpectSame("qMonths", {"CustomerID", "3", "1", "12"},
               "SELECT CustomerID, sum(CASE WHEN " + m + " = 3 THEN Qty END), sum(CASE WHEN " + m +
                   " = 1 THEN Qty END), sum(CASE WHEN " + m +
                   " = 12 THEN Qty END) FROM Orders GROUP BY "
                   "CustomerID ORDER BY CustomerID");
    // Text headings match without regard to case, as Jet compares text.
    ExpectSame(
        "qNotes", {"Shipped", "rush", "none", "first"},
        "SELECT Shipped, nullif(sum(lower(Note) = 'rush'), 0), NULL, nullif(sum(lower(Note) = 'first'), 0) "
        "FROM Orders GROUP BY Shipped ORDER BY Shipped");
}

// TOP n keeps the rows that tie with the n-th on every sort key; Null sorts first going up and last going
// down; text ties without regard to case; fewer rows than n are all kept.
TEST_F(QueryStructure, TopKeepsTiesOnTheSortKeys) {
    Open({QueryBuilder("qNullsFirst")
              .Table("Orders")
              .Column("OrderID")
              .Column("Qty")
              .Top(2)
              .OrderBy("Qty")
              .Build(),
          QueryBuilder("qMixed")
              .Table("Orders")
              .Column("OrderID")
              .Top(4)
              .OrderBy("Shipped")
              .OrderBy("Qty", true)
              .Build(),
          QueryBuilder("qCities").Table("Customers").Column("ID").Top(3).OrderBy("City").Build(),
          QueryBuilder("qAll").Table("Orders").Column("OrderID").Top(50).OrderBy("Qty", true).Build(),
          QueryBuilder("qHalf").Table("Orders").Column("OrderID").Top(50, true).OrderBy("Qty", true).Build(),
          QueryBuilder("qUnsorted").Table("Orders").Column("OrderID").Top(4).Build()});
    ExpectSame(
        "qNullsFirst", {"OrderID", "Qty"},
        "SELECT OrderID, Qty FROM (SELECT *, rank() OVER (ORDER BY Qty) AS r FROM Orders) WHERE r <= 2",
        false);
    ExpectSame("qMixed", {"OrderID"},
               "SELECT OrderID FROM (SELECT *, rank() OVER (ORDER BY Shipped, Qty DESC) AS r FROM Orders) "
               "WHERE r <= 4",
               false);
    ExpectSame(
        "qCities", {"ID"},
        "SELECT ID FROM (SELECT *, rank() OVER (ORDER BY lower(City)) AS r FROM Customers) WHERE r <= 3",
        false);
    ExpectSame("qAll", {"OrderID"}, "SELECT OrderID FROM Orders", false);
    // 50 percent of 9 rows is 5 (rounded up), and the fifth ties with the sixth.
    ExpectSame(
        "qHalf", {"OrderID"},
        "SELECT OrderID FROM (SELECT *, rank() OVER (ORDER BY Qty DESC) AS r FROM Orders) WHERE r <= 5",
        false);
    EXPECT_EQ(ReadQuery(connection_, "qUnsorted").rows.size(), 4u);
    // The rows come sorted: descending quantities, Nulls last.
    const Read all = ReadQuery(connection_, "qAll");
    ASSERT_EQ(all.rows.size(), 9u);
    EXPECT_EQ(all.rows.front(), std::vector<std::string>{"17"});
    EXPECT_EQ(all.rows.back(), std::vector<std::string>{"14"});
}

// FROM ... IN: an empty remote-database row is the open database; a named file is read at its path or
// beside the open database, and a file that is in neither place fails that query with Access's message
// instead of reading the open database's table of the same name.
TEST_F(QueryStructure, TablesOfAnotherDatabaseAreReadFromThatFile) {
    fixtures::Database other = fixtures::QueriesFixture();
    other.queries.clear();
    other.tables[0].rows.resize(1);
    std::get<std::string>(other.tables[0].rows[0][1]) = "Remote Anna";
    fixtures::WriteDatabase(other, fs::path(dir_.path().toStdString()) / "other.mdb");

    auto withRows = [](QueryBuilder q, std::vector<fixtures::QueryRow> rows) {
        fixtures::StoredQuery s = q.Build();
        s.rows.insert(s.rows.begin() + 1, rows.begin(), rows.end());
        return s;
    };
    fixtures::QueryRow bracketed;
    bracketed.attribute = 5;
    bracketed.name1 = "Customers";
    bracketed.expression = ";DATABASE=C:\\Shared\\other.mdb";
    Open({withRows(QueryBuilder("qHere").Table("Customers").Column("Name"), {RemoteRow({})}),
          withRows(QueryBuilder("qBeside").Table("Customers").Column("Name"),
                   {RemoteRow("C:\\Shared\\other.mdb")}),
          withRows(QueryBuilder("qConnect").Table("Customers").Column("Name"),
                   {RemoteRow("", ";DATABASE=C:\\Shared\\other.mdb")}),
          withRows(QueryBuilder("qBracketed").Column("Name"), {bracketed}),
          withRows(QueryBuilder("qGone").Table("Customers").Column("Name"),
                   {RemoteRow("C:\\Shared\\gone.mdb")})});
    EXPECT_EQ(ReadQuery(connection_, "qHere").rows.size(), 6u);
    for (const char* query : {"qBeside", "qConnect", "qBracketed"}) {
        const Read r = ReadQuery(connection_, query);
        EXPECT_EQ(r.error, "") << query;
        EXPECT_EQ(r.rows, Rows{{"Remote Anna"}}) << query;
    }
    EXPECT_EQ(ReadQuery(connection_, "qGone").error, "Could not find file 'C:\\Shared\\gone.mdb'.");
}

// A query that fails inside another query is named in the message.
TEST_F(QueryStructure, FailuresNameTheQueryThatFails) {
    Open({QueryBuilder("qOnVba").Table("qVba").Star().Build()});
    EXPECT_EQ(ReadQuery(connection_, "qOnVba").error,
              "Query \"qVba\": Undefined function 'MyDiscount' in expression.");
}

// Date literals as Access reads them, and text compared with a date read as a date.
TEST_F(QueryStructure, DatesAsJetReadsThem) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"#13/1/2023#", "1/13/2023"},
        {"#1/13/2023#", "1/13/2023"},
        {"#2023-01-13 14:30#", "1/13/2023 2:30:00 PM"},
        {"#1/1/2023# = \"1/1/2023\"", "-1"},
        {"\"1/2/2023\" > #1/1/2023#", "-1"},
        {"#1/1/2023# = \"1/2/2023\"", "0"},
        {"#1/2/2023# In (\"1/1/2023\", \"1/2/2023\")", "-1"},
        {"#1/5/2023# Between \"1/1/2023\" And \"1/9/2023\"", "-1"},
    };
    std::vector<fixtures::StoredQuery> queries;
    for (std::size_t i = 0; i < cases.size(); ++i)
        queries.push_back(QueryBuilder("d" + std::to_string(i))
                              .Table("Customers")
                              .Column(cases[i].first, "V")
                              .Where("ID = 1")
                              .Build());
    Open(queries);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Read r = ReadQuery(connection_, "d" + std::to_string(i));
        EXPECT_EQ(r.error, "") << cases[i].first;
        EXPECT_EQ(r.rows, Rows{{cases[i].second}}) << cases[i].first;
    }
    // A date no reading of which is valid stays an error.
    EXPECT_THROW(sql::Parse("SELECT #13/13/2023#"), ProviderError);
}

// The parser: Asc( is a function call, not a sort direction; the forms of FROM ... IN.
TEST(QueryGrammar, AscCallsAndOtherDatabases) {
    const sql::Statement asc = sql::Parse("SELECT Asc(Name) FROM T ORDER BY Asc(Name) ASC, ID DESC");
    ASSERT_EQ(asc.parts.size(), 1u);
    EXPECT_EQ(asc.parts[0]->items[0].expr->kind, sql::Expr::Kind::Call);
    EXPECT_EQ(asc.parts[0]->items[0].expr->text, "Asc");
    ASSERT_EQ(asc.parts[0]->orderBy.size(), 2u);
    EXPECT_FALSE(asc.parts[0]->orderBy[0].descending);
    EXPECT_TRUE(asc.parts[0]->orderBy[1].descending);

    auto database = [](const std::string& sql) { return sql::Parse(sql).parts[0]->from[0]->database; };
    EXPECT_EQ(database("SELECT * FROM T IN ''"), std::nullopt);
    EXPECT_EQ(database("SELECT * FROM T IN '' [;DATABASE=]"), std::nullopt);
    EXPECT_EQ(database("SELECT * FROM T IN 'C:\\a.mdb'"), "C:\\a.mdb");
    EXPECT_EQ(database("SELECT * FROM T IN '' [MS Access;DATABASE=C:\\b.mdb]"), "C:\\b.mdb");
    EXPECT_EQ(database("SELECT * FROM [;database=C:\\c.mdb;PWD=x].[T]"), "C:\\c.mdb");
    EXPECT_EQ(database("SELECT * FROM [dbo].[T]"), std::nullopt);
    // Both sides of a join are read from the file IN names.
    const auto join =
        sql::Parse("SELECT * FROM A INNER JOIN B ON A.x = B.x IN 'C:\\d.mdb'").parts[0]->from[0];
    EXPECT_EQ(join->left->database, "C:\\d.mdb");
    EXPECT_EQ(join->right->database, "C:\\d.mdb");
    try {
        sql::Parse("SELECT * FROM T IN '' [dBASE IV;DATABASE=C:\\dbf]");
        ADD_FAILURE() << "a dBASE folder was accepted";
    } catch (const ProviderError& e) {
        EXPECT_EQ(e.Description(), "Could not find installable ISAM.");
    }
}

// An attribute-4 row with neither a path nor a connect string adds no IN clause; one with a path does.
TEST(QueryGrammar, RemoteDatabaseRowsRebuildAsAccessShowsThem) {
    StoredQuery q;
    q.name = "q";
    QueryAttribute table;
    table.attribute = QueryAttribute::Table;
    table.name1 = "Customers";
    QueryAttribute column;
    column.attribute = QueryAttribute::Column;
    column.expression = "Name";
    QueryAttribute remote;
    remote.attribute = QueryAttribute::RemoteDatabase;
    q.rows = {remote, table, column};
    EXPECT_EQ(QuerySql(q), "SELECT Name\nFROM Customers;");
    q.rows[0].name1 = "C:\\O'Brien\\x.mdb";
    EXPECT_EQ(QuerySql(q), "SELECT Name\nFROM Customers IN 'C:\\O''Brien\\x.mdb';");
    EXPECT_EQ(sql::Parse(QuerySql(q)).parts[0]->from[0]->database, "C:\\O'Brien\\x.mdb");
}

// The sample database's select, union and crosstab queries: the one Access runs reads; the other two fail
// as they fail in Access (their definitions put an aggregate in WHERE, or read fields with no FROM).
TEST(QuerySamples, TheQueriesSampleReadsAsAccessReadsIt) {
    const auto dir = test::SamplesDir();
    if (dir.empty()) GTEST_SKIP() << "no sample databases";
    Connection c;
    c.Open(database::BuildConnectionString((dir / "queryTestV2003.mdb").string(), 0, ""));
    const std::map<std::string, std::string> expected = {
        {"SelectQuery", ""},
        {"CrosstabQuery", "Cannot have aggregate function in WHERE clause."},
        {"UnionQuery", "No value given for one or more required parameters."}};
    std::map<std::string, std::string> got;
    for (const StoredQuery& q : c.StoredQueries())
        if (q.kind == QueryKind::Select || q.kind == QueryKind::Union || q.kind == QueryKind::Crosstab)
            got[q.name] = ReadQuery(c, q.name).error;
    EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace tabvert::ado
