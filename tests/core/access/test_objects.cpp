// What the provider makes of the objects beyond plain tables: which catalogue rows the tables schema
// lists and under which type, which object a FROM clause reaches, and the values of calculated,
// extended-date and complex columns; against the fixture writer's files and the sample databases.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <set>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "fixtures/access_objects.h"
#include "fixtures/fixture_set.h"
#include "support/paths.h"

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;
namespace fx = tabvert::fixtures;

std::string Connect(const fs::path& p, const std::string& password = "") {
    return database::BuildConnectionString(p.string(), password.empty() ? 0 : 1, password);
}

// The schema's rows other than system and Access tables, as "TYPE name".
std::set<std::string> UserRows(const fs::path& file) {
    Connection c;
    c.Open(Connect(file));
    std::set<std::string> rows;
    for (auto schema = c.OpenSchema(kSchemaTables); !schema->Eof(); schema->MoveNext()) {
        auto& f = schema->GetFields();
        const std::string type = f.Item("TABLE_TYPE").Value().text();
        if (type != "SYSTEM TABLE" && type != "ACCESS TABLE")
            rows.insert(type + " " + f.Item("TABLE_NAME").Value().text());
    }
    return rows;
}

// The rows of a table as text, "|" between fields; or "error: " and the provider's description.
std::vector<std::string> Read(const fs::path& file, const std::string& table) {
    Connection c;
    c.Open(Connect(file));
    Recordset rs;
    std::vector<std::string> rows;
    try {
        rs.Open("select * from [" + table + "]", c);
        for (; !rs.Eof(); rs.MoveNext()) {
            std::string row;
            for (long i = 0; i < rs.GetFields().Count(); ++i)
                row += (i ? "|" : "") + ValueToText(rs.GetFields().Item(i).Value(), text::Locale::EnUS());
            rows.push_back(row);
        }
    } catch (const ProviderError& e) {
        rows.push_back("error: " + e.Description());
    }
    return rows;
}

class ObjectsTest : public ::testing::Test {
  protected:
    fs::path Dir() const { return fs::path(tmp_.path().toStdString()); }
    QTemporaryDir tmp_;
};

TEST_F(ObjectsTest, SchemaListsTablesAndPlainQueriesOnly) {
    const fs::path file = fx::WriteFixtureInto("objects", Dir());
    // No report, form, macro or module; no hidden table of the multi-value column; the parameter and
    // action queries are procedures.
    EXPECT_EQ(UserRows(file), (std::set<std::string>{"TABLE Lookups", "TABLE Orders", "TABLE tblMSysCopy",
                                                     "VIEW Everything", "VIEW Pivot", "VIEW Summary"}));
    // A FROM clause reaches the object of the listed kind, never the report or form of the same name.
    EXPECT_EQ(Read(file, "orders"), (std::vector<std::string>{"1|one", "2|two"}));
    EXPECT_EQ(Read(file, "Lookups"), (std::vector<std::string>{"1|one|red", "2|two|"}));
    EXPECT_EQ(Read(file, "Summary"), Read(file, "Orders"));  // the query, not the report
    EXPECT_NE(Read(file, "ByCustomer").at(0).find("required parameters"), std::string::npos);
    EXPECT_EQ(Read(file, "PurgeOld").at(0).rfind("error: ", 0), 0u);
    EXPECT_NE(Read(file, "Helpers").at(0).find("cannot find"), std::string::npos);
    for (const fx::Table& t : fx::FixtureByName("objects").tables) {
        if (t.name.rfind("f_", 0) != 0) continue;
        EXPECT_NE(Read(file, t.name).at(0).find("cannot find"), std::string::npos);
    }
}

TEST_F(ObjectsTest, CalculatedExtendedDateAndComplexColumnsGiveTheirValues) {
    const fs::path file = fx::WriteFixtureInto("columns", Dir());
    // Results in the type the column's properties name; an empty result is Null (False for Yes/No).
    EXPECT_EQ(Read(file, "Readings"),
              (std::vector<std::string>{
                  "1|42|forty-two|0.5|True|12.5|-3.25|2/29/2024|6/14/2021 10:45:12.3456789 AM",
                  "2||||False||||1/1/0001", "3|-7|||False||0||12/31/9999 11:59:59.9999999 PM"}));
    Connection c;
    c.Open(Connect(file));
    Recordset rs;
    rs.Open("select * from [Readings]", c);
    using VT = Variant::Type;
    std::vector<VT> types;
    for (long i = 0; i < rs.GetFields().Count(); ++i) types.push_back(rs.GetFields().Item(i).DeclaredType());
    EXPECT_EQ(types, (std::vector<VT>{VT::Long, VT::Long, VT::Text, VT::Double, VT::Boolean, VT::Currency,
                                      VT::Decimal, VT::Date, VT::Date}));
    // Attachments show their file names, multi-value lists their values, in stored order; none is Null.
    EXPECT_EQ(Read(file, "Attached"), (std::vector<std::string>{"1|one|a.txt, b.pdf|x, y, z", "2|two||"}));
    const std::string odd = Read(file, "Odd").at(0);
    EXPECT_NE(odd.find("error: "), std::string::npos);
    EXPECT_NE(odd.find("'Shape'"), std::string::npos) << odd;
}

// A table name is matched whole, only its case aside: blanks or a line break around it name another
// table, or none.
TEST_F(ObjectsTest, TableNamesMatchWholeButForCase) {
    auto table = [](std::string name, std::int64_t id) {
        fx::Table t;
        t.name = std::move(name);
        t.columns = {{"ID", fx::ColumnType::Long}};
        t.rows = {{id}};
        return t;
    };
    fx::Database db;
    db.tables = {table("Orders", 1), table("Orders\n", 2), table("Lone", 3)};
    const fs::path file = Dir() / "names.mdb";
    fx::WriteDatabase(db, file);
    EXPECT_EQ(Read(file, "Orders"), std::vector<std::string>{"1"});
    EXPECT_EQ(Read(file, "orders\n"), std::vector<std::string>{"2"});
    EXPECT_EQ(Read(file, "LONE"), std::vector<std::string>{"3"});
    for (const char* other : {"Lone\n", "Lone\r\n", "Lone ", " Lone", "Lone\t", "Orders\n\n"}) {
        const auto rows = Read(file, other);
        ASSERT_EQ(rows.size(), 1u) << other;
        EXPECT_EQ(rows[0].rfind("error: The database engine cannot find the input table", 0), 0u) << rows[0];
    }
}

// Links to another Access file are followed: at the stored path, else beside the database; with the
// database's own password unless the link names one. A missing file or an ODBC link fails that table
// alone, naming what it tried.
TEST_F(ObjectsTest, LinkedTablesReadTheLinkedFile) {
    const fs::path linkee = fx::WriteFixtureInto("password", Dir());  // table Contacts, kFixturePassword
    fs::create_directories(Dir() / "elsewhere");
    fs::copy_file(linkee, Dir() / "elsewhere" / "other.mdb");
    fx::Database linker = fx::PasswordFixture();
    linker.tables[0].name = "Local";
    auto link = [&](std::string name, std::int16_t type, std::string database, std::string connect) {
        linker.objects.push_back(fx::CatalogueObject{std::move(name), type, 0, std::move(database),
                                                     std::move(connect), "Contacts"});
    };
    link("Beside", fx::kObjectAccessLink, "C:\\Shared\\" + linkee.filename().string(),
         ";DATABASE=C:\\Shared");
    link("Stored", fx::kObjectAccessLink, (Dir() / "elsewhere" / "other.mdb").string(), "");
    link("WrongPassword", fx::kObjectAccessLink, linkee.string(), ";PWD=not it;DATABASE=x");
    link("Gone", fx::kObjectAccessLink, "C:\\Shared\\gone.mdb", "");
    link("Remote", fx::kObjectOdbcLink, "", "ODBC;DSN=Sales;DATABASE=sales");
    link("Guarded", fx::kObjectOdbcLink, "", "ODBC;DSN=Sales;UID=ann; Pwd =hunter2;DATABASE=sales");
    const fs::path file = Dir() / "linker.mdb";
    fx::WriteDatabase(linker, file);

    Connection c;
    c.Open(Connect(file, fx::kFixturePassword));
    auto rows = [&](const std::string& table) {
        Recordset rs;
        std::vector<std::string> out;
        try {
            rs.Open("select * from [" + table + "]", c);
            for (; !rs.Eof(); rs.MoveNext())
                out.push_back(ValueToText(rs.GetFields().Item(1).Value(), text::Locale::EnUS()));
        } catch (const ProviderError& e) {
            out.push_back("error: " + e.Description());
        }
        return out;
    };
    const auto local = rows("Local");
    ASSERT_GT(local.size(), 1u);
    EXPECT_EQ(rows("Beside"), local);
    EXPECT_EQ(rows("Stored"), local);
    EXPECT_NE(rows("WrongPassword").at(0).find("Not a valid password"), std::string::npos);
    const std::string gone = rows("Gone").at(0);
    EXPECT_NE(gone.find("C:\\Shared\\gone.mdb"), std::string::npos) << gone;
    EXPECT_NE(gone.find((Dir() / "gone.mdb").string()), std::string::npos) << gone;
    EXPECT_NE(rows("Remote").at(0).find("ODBC;DSN=Sales;DATABASE=sales"), std::string::npos);
    // The password of an ODBC connect string is never shown; the rest of it is.
    const std::string guarded = rows("Guarded").at(0);
    EXPECT_EQ(guarded.find("hunter2"), std::string::npos) << guarded;
    EXPECT_NE(guarded.find("ODBC;DSN=Sales;UID=ann; Pwd =***;DATABASE=sales"), std::string::npos) << guarded;
}

TEST(ObjectSamples, SchemaMatchesTheProviders) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    const fs::path samples = test::SamplesDir();
    EXPECT_EQ(UserRows(samples / "empty2016.accdb"), std::set<std::string>{});
    EXPECT_EQ(UserRows(samples / "complexDataTestV2010.accdb"), std::set<std::string>{"TABLE Table1"});
    EXPECT_EQ(UserRows(samples / "queryTestV2003.mdb"),
              (std::set<std::string>{"TABLE Table1", "TABLE Table2", "TABLE Table3", "VIEW CrosstabQuery",
                                     "VIEW SelectQuery", "VIEW UnionQuery"}));
    EXPECT_EQ(UserRows(samples / "linkerTestV2007.accdb"),
              (std::set<std::string>{"TABLE Table1", "LINK Table2"}));
}

// The values Jackcess's complex-column tests expect of this file: id, version history (the memo's
// current text), memo, append-only memo, multi-value list, attachments.
TEST(ObjectSamples, LinkedTableReadsItsLinkee) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    // The link keeps "Z:\\jackcess_test\\linkeeTest.accdb"; the file lies beside the linker here.
    const auto linked = Read(test::SamplesDir() / "linkerTestV2007.accdb", "Table2");
    EXPECT_EQ(linked, Read(test::SamplesDir() / "linkeeTest.accdb", "Table1"));
    EXPECT_EQ(linked.at(0).find("error"), std::string::npos) << linked.at(0);
}

TEST(ObjectSamples, ComplexColumnsAsAccessShowsThem) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    EXPECT_EQ(
        Read(test::SamplesDir() / "complexDataTestV2010.accdb", "Table1"),
        (std::vector<std::string>{
            "row1|||||", "row2|row2-memo|row2-memo|row2-memo|value1, value4|test_data.txt, test_data2.txt",
            "row3|row3-memo-again|row3-memo|row3-memo-again|value1, value2, value3, value4|",
            "row4|row4-memo|row4-memo|row4-memo||test_data2.txt"}));
}

}  // namespace
}  // namespace tabvert::ado
