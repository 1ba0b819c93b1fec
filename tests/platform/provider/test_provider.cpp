// The provider stand-in against files: opening and its failures, passwords, the tables schema, reading
// rows back exactly as the fixture writer stored them, and damaged files.

#include "database/connection_rule.h"
#include "fixtures/fixture_set.h"
#include "platform/provider/ado.h"
#include "platform/provider/value_text.h"
#include "support/paths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;
using fixtures::FixtureByName;
using fixtures::WriteFixtureInto;

std::string Jet(const fs::path& p) { return database::BuildConnectionString(p.string(), 0, ""); }
std::string Protected(const fs::path& p, const std::string& pw) {
    return database::BuildConnectionString(p.string(), 1, pw);
}

// Opens, reads the schema and every table whole; returns the number of rows read.
long ReadEverything(const std::string& connectionString) {
    Connection c;
    c.Open(connectionString, "", "", -1);
    long rows = 0;
    auto schema = c.OpenSchema(kSchemaTables);
    std::vector<std::string> names;
    for (; !schema->Eof(); schema->MoveNext()) names.push_back(schema->GetFields().Item("TABLE_NAME").Value().text());
    for (const auto& name : names) {
        std::string quoted;
        for (char ch : name) quoted += ch == ']' ? std::string("]]") : std::string(1, ch);
        Recordset rs;
        try {
            rs.Open("select * from [" + quoted + "]", c);
        } catch (const ProviderError&) {
            continue;  // views and links
        }
        for (; !rs.Eof(); rs.MoveNext()) {
            for (long i = 0; i < rs.GetFields().Count(); ++i) ValueToText(rs.GetFields().Item(i).Value(), text::Locale::enUS());
            ++rows;
        }
    }
    return rows;
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProviderTest : public ::testing::Test {
protected:
    fs::path dir() const { return fs::path(tmp_.path().toStdString()); }
    fs::path fixture(const char* name) { return WriteFixtureInto(name, dir()); }
    QTemporaryDir tmp_;
};

TEST_F(ProviderTest, OpenFailuresCarryTheProvidersNumbersAndWords) {
    const fs::path small = fixture("accdb");
    const fs::path jetFile = fixture("password");
    const std::string real = ReadFile(jetFile);
    WriteFile(dir() / "zero.mdb", "");
    WriteFile(dir() / "garbage.mdb", std::string(8192, '\x5a'));
    WriteFile(dir() / "text.mdb", "This is not a database, just some words.\n");
    WriteFile(dir() / "cut-odd.mdb", real.substr(0, real.size() / 2 + 100));
    WriteFile(dir() / "cut-page.mdb", real.substr(0, 4096 * 2));
    WriteFile(dir() / "header-only.mdb", real.substr(0, 300));
    fs::create_directory(dir() / "folder.mdb");
    const struct {
        std::string connection;
        long number;
        std::string startsWith;
    } cases[] = {
        {Jet(dir() / "missing.mdb"), kErrUnspecified, "Could not find file '"},
        {Jet(""), kErrUnspecified, "Could not find file ''."},
        {Jet("   "), kErrUnspecified, "Could not find file '"},
        {Jet(dir() / "folder.mdb"), kErrUnspecified, "Could not find file '"},
        {Jet(dir() / "zero.mdb"), kErrUnspecified, "Unrecognized database format '"},
        {Jet(dir() / "garbage.mdb"), kErrUnspecified, "Unrecognized database format '"},
        {Jet(dir() / "text.mdb"), kErrUnspecified, "Unrecognized database format '"},
        {Jet(dir() / "cut-odd.mdb"), kErrUnspecified, "Unrecognized database format '"},
        {Jet(dir() / "cut-page.mdb"), kErrUnspecified, "Unrecognized database format '"},
        {Jet(dir() / "header-only.mdb"), kErrUnspecified, "Unrecognized database format '"},
        // The Jet 4.0 provider does not read ACE files, whatever their name.
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + small.string(), kErrUnspecified,
         "Unrecognized database format '" + small.string() + "'."},
        {"Provider=Microsoft.Jet.OLEDB.3.51;Data Source=" + small.string(), kErrProviderNotFound,
         "Provider cannot be found. It may not be properly installed."},
        {"Data Source=" + small.string(), kErrUnspecified, "[Microsoft][ODBC Driver Manager]"},
    };
    for (const auto& c : cases) {
        try {
            Connection conn;
            conn.Open(c.connection);
            ADD_FAILURE() << "opened: " << c.connection;
        } catch (const ProviderError& e) {
            EXPECT_EQ(e.number(), c.number) << c.connection;
            EXPECT_EQ(e.description().rfind(c.startsWith, 0), 0u) << c.connection << " -> " << e.description();
        }
    }
    // The ACE provider reads ACE and Jet files alike.
    EXPECT_GT(ReadEverything(database::BuildConnectionString(small.string(), 0, "")), 0);
    EXPECT_NO_THROW(ReadEverything("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + fixture("big").string()));
}

TEST_F(ProviderTest, DatabasePasswordIsChecked) {
    const fs::path pw = fixture("password");
    const fs::path semi = fixture("password-semicolon");
    const fs::path plain = fixture("big");
    for (const std::string& wrong : {std::string(), std::string("wrong"), std::string("S3CRET PW")}) {
        try {
            Connection c;
            c.Open(wrong.empty() ? Jet(pw) : Protected(pw, wrong));
            ADD_FAILURE() << "opened with '" << wrong << "'";
        } catch (const ProviderError& e) {
            EXPECT_EQ(e.number(), kErrAuthentication);
            EXPECT_EQ(e.description(), "Not a valid password.");
        }
    }
    EXPECT_GT(ReadEverything(Protected(pw, fixtures::kFixturePassword)), 0);
    // Typed with blanks around it: trimmed by the connection rule.
    EXPECT_GT(ReadEverything(Protected(pw, std::string("  ") + fixtures::kFixturePassword + " ")), 0);
    EXPECT_GT(ReadEverything(Protected(semi, fixtures::kSemicolonPassword)), 0);
    EXPECT_THROW(ReadEverything(Protected(semi, "a")), ProviderError);
    // An unprotected database opens whatever password is given.
    EXPECT_GT(ReadEverything(Protected(plain, "anything")), 0);
}

TEST_F(ProviderTest, NeverWritesToTheDatabase) {
    const fs::path p = fixture("catalogue");
    const std::string before = ReadFile(p);
    const auto mtime = fs::last_write_time(p);
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_GT(ReadEverything(Jet(p)), 0);
    EXPECT_EQ(ReadFile(p), before);
    EXPECT_EQ(fs::last_write_time(p), mtime);
}

TEST_F(ProviderTest, SchemaListsEveryTableByTypeThenName) {
    Connection c;
    c.Open(Jet(fixture("catalogue")));
    auto schema = c.OpenSchema(kSchemaTables);
    std::vector<std::pair<std::string, std::string>> rows;
    for (; !schema->Eof(); schema->MoveNext()) {
        auto& f = schema->GetFields();
        rows.emplace_back(f.Item("table_type").Value().text(), f.Item("Table_Name").Value().text());
        EXPECT_EQ(f.Item("DATE_CREATED").Value().type(), Variant::Type::Date);
    }
    EXPECT_THROW(schema->MoveNext(), ProviderError);
    const auto expected = FixtureByName("catalogue");
    std::size_t userTables = 0;
    for (const auto& t : expected.tables) {
        const std::string type = t.system ? "SYSTEM TABLE" : "TABLE";
        EXPECT_NE(std::find(rows.begin(), rows.end(), std::make_pair(type, t.name)), rows.end()) << t.name;
        userTables += !t.system;
    }
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](auto& r) { return r.first == "TABLE"; }),
              static_cast<long>(userTables));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& a = rows[i - 1];
        const auto& b = rows[i];
        EXPECT_TRUE(a.first < b.first ||
                    (a.first == b.first &&
                     QString::fromStdString(a.second).compare(QString::fromStdString(b.second), Qt::CaseInsensitive) <= 0))
            << a.second << " before " << b.second;
    }
    EXPECT_THROW(c.OpenSchema(4), ProviderError);
}

// Every value of every table comes back with its type and its exact value.
TEST_F(ProviderTest, RowsReadBackAsWritten) {
    for (const char* name : {"catalogue", "accdb", "northwind-lite"}) {
        const auto expected = FixtureByName(name);
        Connection c;
        c.Open(database::BuildConnectionString(fixture(name).string(), 0, ""));
        for (const auto& table : expected.tables) {
            std::string quoted;
            for (char ch : table.name) quoted += ch == ']' ? std::string("]]") : std::string(1, ch);
            Recordset rs;
            rs.Open("select * from [" + quoted + "]", c);
            auto& fields = rs.GetFields();
            ASSERT_EQ(fields.Count(), static_cast<long>(table.columns.size())) << table.name;
            for (std::size_t col = 0; col < table.columns.size(); ++col)
                EXPECT_EQ(fields.Item(static_cast<long>(col)).Name(), table.columns[col].name);
            std::size_t row = 0;
            for (; !rs.Eof(); rs.MoveNext(), ++row) {
                ASSERT_LT(row, table.RowCount()) << table.name;
                const auto values = table.RowAt(row);
                for (std::size_t col = 0; col < values.size(); ++col) {
                    const Variant& got = fields.Item(static_cast<long>(col)).Value();
                    const auto& want = values[col];
                    const auto type = table.columns[col].type;
                    const std::string where = table.name + " row " + std::to_string(row) + " " + table.columns[col].name;
                    if (std::holds_alternative<fixtures::Null>(want)) {
                        if (type != fixtures::ColumnType::Bool) {
                            EXPECT_TRUE(got.isNull()) << where;
                        }
                    } else if (auto* b = std::get_if<bool>(&want)) {
                        EXPECT_EQ(got.toBool(), *b) << where;
                    } else if (auto* i = std::get_if<std::int64_t>(&want)) {
                        if (type == fixtures::ColumnType::Currency)
                            EXPECT_EQ(got.currencyUnits(), *i * 10000) << where;
                        else
                            EXPECT_EQ(got.toInt64(), *i) << where;
                    } else if (auto* d = std::get_if<double>(&want)) {
                        if (type == fixtures::ColumnType::Single)
                            EXPECT_EQ(got.toSingle(), static_cast<float>(*d)) << where;
                        else
                            EXPECT_EQ(got.toDouble(), *d) << where;
                    } else if (auto* s = std::get_if<std::string>(&want)) {
                        if (type == fixtures::ColumnType::Guid || type == fixtures::ColumnType::Decimal) {
                            std::string w = *s;
                            if (type == fixtures::ColumnType::Guid && w.front() != '{') w = "{" + w + "}";
                            if (type == fixtures::ColumnType::Decimal && w.find('.') != std::string::npos) {
                                while (w.back() == '0') w.pop_back();
                                if (w.back() == '.') w.pop_back();
                            }
                            if (type == fixtures::ColumnType::Guid)
                                for (char& ch : w) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                            EXPECT_EQ(ValueToText(got, text::Locale::enUS()), w) << where;
                        } else {
                            EXPECT_EQ(got.text(), *s) << where;
                        }
                    } else if (auto* bytes = std::get_if<fixtures::Bytes>(&want)) {
                        EXPECT_EQ(got.bytes(), *bytes) << where;
                    } else if (auto* money = std::get_if<fixtures::Currency>(&want)) {
                        EXPECT_EQ(got.currencyUnits(), money->tenThousandths) << where;
                    } else if (auto* date = std::get_if<fixtures::DateTime>(&want)) {
                        EXPECT_EQ(got.oleDate(), date->ole) << where;
                    }
                }
            }
            EXPECT_EQ(row, table.RowCount()) << table.name;
        }
    }
}

TEST_F(ProviderTest, RecordsetFailuresAndLimits) {
    Connection c;
    c.Open(Jet(fixture("big")));
    try {
        Recordset rs;
        rs.Open("select * from [No Such Table]", c);
        ADD_FAILURE();
    } catch (const ProviderError& e) {
        EXPECT_EQ(e.description(), "The database engine cannot find the input table or query 'No Such Table'. Make "
                                   "sure it exists and that its name is spelled correctly.");
    }
    Recordset rs;
    rs.Open("SELECT TOP 7 * FROM [big]", c);
    long n = 0;
    for (; !rs.Eof(); rs.MoveNext()) ++n;
    EXPECT_EQ(n, 7);
    EXPECT_THROW(rs.GetFields().Item(rs.GetFields().Count()), ProviderError);
    EXPECT_THROW(rs.GetFields().Item(-1), ProviderError);
    EXPECT_THROW(rs.GetFields().Item("no such field"), ProviderError);
    EXPECT_THROW(rs.Open("select * from [big]", c), ProviderError);  // already open
    rs.Close();
    EXPECT_THROW(rs.Eof(), ProviderError);
    // Two recordsets on one connection read independently.
    Recordset a, b;
    a.Open("select * from [big]", c);
    b.Open("select * from [BIG]", c);
    b.MoveNext();
    const std::string firstOfA = ValueToText(a.GetFields().Item(0L).Value(), text::Locale::enUS());
    a.MoveNext();
    EXPECT_NE(firstOfA, ValueToText(a.GetFields().Item(0L).Value(), text::Locale::enUS()));
    EXPECT_EQ(ValueToText(a.GetFields().Item(0L).Value(), text::Locale::enUS()),
              ValueToText(b.GetFields().Item(0L).Value(), text::Locale::enUS()));
    c.Close();  // the recordsets keep the file open until they go
    a.MoveNext();
    EXPECT_FALSE(a.Eof());
}

// Damaged copies of a real file either open and read or fail with a ProviderError: never a crash.
TEST_F(ProviderTest, DamagedFilesNeverCrash) {
    std::mt19937 random(20240517);
    int opened = 0, refused = 0;
    const std::string files[] = {ReadFile(fixture("catalogue")), ReadFile(fixture("accdb"))};
    constexpr int kRounds = 600;
    for (int round = 0; round < kRounds; ++round) {
        const std::string& original = files[round % 2];
        std::string bytes = original;
        const int damage = (round / 2) % 3;
        if (damage == 0) {  // scattered bytes
            for (int k = 0; k < 40; ++k) bytes[random() % bytes.size()] = static_cast<char>(random());
        } else if (damage == 1) {  // one page overwritten
            const std::size_t page = 1 + random() % (bytes.size() / 4096 - 1);
            for (std::size_t k = 0; k < 4096; ++k) bytes[page * 4096 + k] = static_cast<char>(random());
        } else {  // cut at a page boundary
            bytes.resize(4096 * (3 + random() % (bytes.size() / 4096 - 3)));
        }
        const fs::path p = dir() / ("damaged" + std::to_string(round) + (round % 2 ? ".accdb" : ".mdb"));
        WriteFile(p, bytes);
        try {
            ReadEverything(database::BuildConnectionString(p.string(), 0, ""));
            ++opened;
        } catch (const ProviderError&) {
            ++refused;
        }
        fs::remove(p);
    }
    EXPECT_EQ(opened + refused, kRounds);
    // Most damage leaves the file readable in part: the rounds must reach the rows, not stop at the door.
    EXPECT_GT(opened, kRounds / 4) << opened << " opened, " << refused << " refused";
}

fs::path Sample(const char* name) {
    const fs::path dir = test::SamplesDir();
    return dir.empty() ? fs::path() : dir / name;
}

TEST(ProviderSamples, PasswordsAndEncryption) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    EXPECT_GT(ReadEverything(Protected(Sample("V2000_with-password.mdb"), "password")), 0);
    EXPECT_GE(ReadEverything(Protected(Sample("password.mdb"), "ucanaccess")), 0);
    for (const char* name : {"V2003_with-password.mdb", "db2007-enc.accdb", "db2013-enc.accdb"}) {
        try {
            Connection c;
            c.Open(database::BuildConnectionString(Sample(name).string(), 0, ""));
            ADD_FAILURE() << name;
        } catch (const ProviderError& e) {
            EXPECT_EQ(e.number(), kErrAuthentication) << name;
        }
    }
    try {
        Connection c;
        c.Open(Protected(Sample("db2007-enc.accdb"), "Test123"));
        ADD_FAILURE();
    } catch (const ProviderError& e) {
        EXPECT_NE(e.number(), kErrAuthentication);
        EXPECT_NE(e.description().find("encrypt"), std::string::npos) << e.description();
    }
    // RC4-coded pages without a password read as usual.
    EXPECT_GT(ReadEverything(Jet(Sample("db-enc.mdb"))), 0);
    EXPECT_GT(ReadEverything(Jet(Sample("db97-enc.mdb"))), 0);
}

TEST(ProviderSamples, ValuesMdbtoolsGetsWrong) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    auto firstValue = [](const char* file, const char* table, const char* column) {
        Connection c;
        c.Open(database::BuildConnectionString(Sample(file).string(), 0, ""));
        Recordset rs;
        rs.Open(std::string("select * from [") + table + "]", c);
        return rs.GetFields().Item(column).Value();
    };
    EXPECT_EQ(firstValue("charsetGBK.mdb", "table1", "field1").text(), "GBK编码");
    EXPECT_EQ(firstValue("bigint.accdb", "Table", "Numeric").type(), Variant::Type::BigInt);
    const auto old = text::SplitOleDate(firstValue("oldDatesV2007.accdb", "Table1", "DateField").oleDate());
    EXPECT_GE(old.year, 1300);
    EXPECT_LT(old.year, 1700);
    // Rows that grew and moved come back in their own place, as Jet reads them (mdbtools puts them last).
    {
        Connection c;
        c.Open(database::BuildConnectionString(Sample("overflowTestV2003.mdb").string(), 0, ""));
        Recordset rs;
        rs.Open("select * from [Table1]", c);
        std::string order;
        for (; !rs.Eof(); rs.MoveNext())
            for (long i = 0; i < rs.GetFields().Count(); ++i) {
                const Variant& v = rs.GetFields().Item(i).Value();
                if (v.type() == Variant::Type::Text && v.text().rfind("row", 0) == 0) {
                    order += v.text().substr(3, 1);
                    break;
                }
            }
        EXPECT_EQ(order, "1234567");
    }
    // Characters beyond the Basic Multilingual Plane arrive as four-byte UTF-8.
    Connection c;
    c.Open(database::BuildConnectionString(Sample("testEmoticonsV2010.accdb").string(), 0, ""));
    Recordset rs;
    rs.Open("select * from [data]", c);
    int fourByte = 0;
    for (; !rs.Eof(); rs.MoveNext())
        for (long i = 0; i < rs.GetFields().Count(); ++i) {
            const Variant& v = rs.GetFields().Item(i).Value();
            if (v.type() == Variant::Type::Text)
                for (unsigned char ch : v.text()) fourByte += ch >= 0xF0;
        }
    EXPECT_GT(fourByte, 0);
}

TEST(ProviderSamples, ViewsAndLinksFailClearly) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    const struct {
        const char* file;
        const char* object;
        const char* says;
    } cases[] = {{"queryTestV2003.mdb", "SelectQuery", "query"}, {"linkerTestV2007.accdb", "Table2", "linked"}};
    for (const auto& k : cases) {
        Connection c;
        c.Open(database::BuildConnectionString(Sample(k.file).string(), 0, ""));
        Recordset rs;
        try {
            rs.Open(std::string("select * from [") + k.object + "]", c);
            ADD_FAILURE() << k.object;
        } catch (const ProviderError& e) {
            EXPECT_NE(e.description().find(k.says), std::string::npos) << e.description();
        }
    }
}

}  // namespace
}  // namespace tabvert::ado
