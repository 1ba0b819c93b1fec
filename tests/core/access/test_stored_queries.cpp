// Stored query definitions: the rows the fixture writer puts into MSysQueries come back as the Access SQL
// they stand for, and the sample database's queries read as Jackcess's tests expect them.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <map>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "fixtures/access_writer.h"
#include "fixtures/stored_queries.h"
#include "support/paths.h"

namespace tabvert::ado {
namespace {

using fixtures::QueryBuilder;

std::map<std::string, std::string> SqlByName(Connection& c) {
    std::map<std::string, std::string> out;
    for (const StoredQuery& q : c.StoredQueries()) {
        try {
            out[q.name] = QuerySql(q);
        } catch (const ProviderError& e) {
            out[q.name] = "error: " + e.Description();
        }
    }
    return out;
}

fixtures::Table OneColumn(const std::string& name) {
    fixtures::Table t;
    t.name = name;
    t.columns = {{"ID", fixtures::ColumnType::Long, 255, 18, 0}};
    return t;
}

TEST(StoredQueries, RebuildsTheSqlOfEachClause) {
    struct Case {
        QueryBuilder query;
        std::string sql;
    };
    const std::vector<Case> cases = {
        {QueryBuilder("three joins")
             .Table("A")
             .Table("B")
             .Table("Order Lines", "L")
             .Join("A", "B", "A.ID = B.ID", 2)
             .Join("B", "L", "B.ID = L.ID", 1)
             .Join("B", "L", "B.ID > 0", 1)
             .Column("A.ID")
             .Column("L.ID", "Line no"),
         "SELECT A.ID, L.ID AS [Line no]\n"
         "FROM (A LEFT JOIN B ON A.ID = B.ID) INNER JOIN [Order Lines] AS L ON (B.ID = L.ID) AND (B.ID > "
         "0);"},
        {QueryBuilder("unjoined tables stay listed")
             .Table("A")
             .Table("B")
             .Table("C")
             .Join("B", "C", "B.ID=C.ID", 3)
             .Star(),
         "SELECT *\nFROM A, B RIGHT JOIN C ON B.ID=C.ID;"},
        {QueryBuilder("predicates")
             .Parameter("From date", 8)
             .Parameter("Count", 4)
             .Table("A")
             .Column("ID")
             .Distinct()
             .Top(10, true)
             .Where("ID > [Count]")
             .GroupBy("ID")
             .Having("Count(*) > 1")
             .OrderBy("ID", true)
             .OrderBy("2"),
         "PARAMETERS [From date] DateTime, Count Long;\nSELECT DISTINCT TOP 10 PERCENT ID\nFROM A\n"
         "WHERE ID > [Count]\nGROUP BY ID\nHAVING Count(*) > 1\nORDER BY ID DESC, 2;"},
        {QueryBuilder("distinct row").Table("A").Column("A.ID").DistinctRow(),
         "SELECT DISTINCTROW A.ID\nFROM A;"},
        {QueryBuilder("cross")
             .Crosstab()
             .Table("A")
             .Column("Count(A.ID)", "N", 0)
             .Column("A.ID", {}, 2)
             .Column("Year(A.D)", {}, 1)
             .GroupBy("A.ID", 2)
             .GroupBy("Year(A.D)", 1),
         "TRANSFORM Count(A.ID) AS N\nSELECT A.ID\nFROM A\nGROUP BY A.ID\nPIVOT Year(A.D);"},
        {QueryBuilder("union").UnionOf("SELECT ID FROM A\r\n", "  SELECT ID\r\nFROM B", false),
         "SELECT ID FROM A\nUNION SELECT ID\nFROM B;"},
        {QueryBuilder("union all").UnionOf("SELECT ID FROM A", "SELECT ID FROM B", true).OrderBy("ID"),
         "SELECT ID FROM A\nUNION ALL SELECT ID FROM B\nORDER BY ID;"},
        {QueryBuilder("derived").DerivedTable("SELECT ID FROM A", "X").Column("X.ID"),
         "SELECT X.ID\nFROM (SELECT ID FROM A) AS X;"},
        {QueryBuilder("bad join").Table("A").Join("A", "Nowhere", "A.ID = Nowhere.ID").Column("A.ID"),
         "error: The definition of the query 'bad join' cannot be read: a join names 'Nowhere', which the "
         "query "
         "does not use."},
        {QueryBuilder("mixed joins")
             .Table("A")
             .Table("B")
             .Join("A", "B", "A.ID = B.ID", 1)
             .Join("A", "B", "A.ID > B.ID", 2)
             .Column("A.ID"),
         "error: The definition of the query 'mixed joins' cannot be read: two kinds of join between the "
         "same "
         "tables."},
    };
    fixtures::Database db;
    db.tables = {OneColumn("A"), OneColumn("B"), OneColumn("C"), OneColumn("Order Lines")};
    for (const Case& c : cases) db.queries.push_back(c.query.Build());
    QTemporaryDir dir;
    const std::string path = dir.filePath("q.mdb").toStdString();
    fixtures::WriteDatabase(db, path);

    Connection c;
    c.Open(database::BuildConnectionString(path, 0, ""));
    const auto sql = SqlByName(c);
    ASSERT_EQ(sql.size(), cases.size());
    for (const Case& k : cases) EXPECT_EQ(sql.at(k.query.Build().name), k.sql) << k.query.Build().name;
}

TEST(StoredQueries, SampleQueriesReadAsJackcessReadsThem) {
    const auto dir = test::SamplesDir();
    if (dir.empty()) GTEST_SKIP() << "no sample databases";
    Connection c;
    c.Open(database::BuildConnectionString((dir / "queryTestV2003.mdb").string(), 0, ""));
    const auto sql = SqlByName(c);
    const std::map<std::string, std::string> expected = {
        {"SelectQuery",
         "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\n"
         "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON (Table3.col1 = "
         "Table2.col1) AND (Table3.col1 = Table2.col2)\n"
         "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\nORDER BY Table2.col1;"},
        {"DeleteQuery",
         "DELETE Table1.col1, Table1.col2, Table1.col3\nFROM Table1\nWHERE (((Table1.col1)>\"blah\"));"},
        {"MakeTableQuery",
         "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\n"
         "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON Table1.col2 = "
         "Table3.col3\nGROUP BY Table2.col2, Table3.col2\n"
         "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
        {"CrosstabQuery",
         "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\n"
         "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\n"
         "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS Table2_1 "
         "ON "
         "[Table2].[col1]=Table2_1.col3\n"
         "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And "
         "((Avg(Table2_1.col2))>\"10\"))\n"
         "GROUP BY Table2_1.col1, [Table2].[col3]\nORDER BY [Table2].[col3]\nPIVOT [Table1].[col1];"},
        {"UnionQuery",
         "Select Table1.col1, Table1.col2\nwhere Table1.col1 = \"foo\"\nUNION\nSelect Table2.col1, "
         "Table2.col2\n"
         "UNION ALL Select Table3.col1, Table3.col2\nwhere Table3.col3 > \"blah\";"},
        {"DataDefinitionQuery", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
        {"PassthroughQuery", "ALTER TABLE Table4 DROP COLUMN col5;"},
    };
    for (const auto& [name, text] : expected) EXPECT_EQ(sql.at(name), text) << name;
    EXPECT_EQ(sql.size(), 9u);
}

}  // namespace
}  // namespace tabvert::ado
