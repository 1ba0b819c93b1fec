// The provider stand-in against files: opening and its failures, passwords, the tables schema, reading
// rows back exactly as the fixture writer stored them, and damaged files.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "fixtures/fixture_set.h"
#include "support/paths.h"

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;
using fixtures::ColumnType;
using fixtures::FixtureByName;
using VT = Variant::Type;

std::string Jet(const fs::path& p) { return database::BuildConnectionString(p.string(), 0, ""); }
std::string Protected(const fs::path& p, const std::string& pw) {
    return database::BuildConnectionString(p.string(), 1, pw);
}
std::string SelectAll(const std::string& table) {
    std::string quoted;
    for (char ch : table) quoted += ch == ']' ? std::string("]]") : std::string(1, ch);
    return "select * from [" + quoted + "]";
}
std::string Text(const Variant& v) { return text::ValueToText(v, text::Locale::EnUS()); }

// The error an action throws; number 0 when it throws none.
template <class Action>
NumberedError ErrorOf(Action&& action) {
    try {
        action();
    } catch (const ProviderError& e) {
        return e;
    }
    return NumberedError(0, ErrorReason::InvalidArgument, "no error");
}

// Opens, reads the schema and every table whole; returns the number of rows read.
long ReadEverything(const std::string& connectionString) {
    Connection c;
    c.Open(connectionString);
    std::vector<std::string> names;
    for (auto schema = c.OpenSchema(kSchemaTables); !schema->Eof(); schema->MoveNext())
        names.push_back(schema->GetFields().Item("TABLE_NAME").Value().text());
    long rows = 0;
    for (const auto& name : names) {
        Recordset rs;
        try {
            rs.Open(SelectAll(name), c);
        } catch (const ProviderError&) {
            continue;  // views and links
        }
        for (; !rs.Eof(); rs.MoveNext(), ++rows)
            for (long i = 0; i < rs.GetFields().Count(); ++i) Text(rs.GetFields().Item(i).Value());
    }
    return rows;
}

void WriteFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProviderTest : public ::testing::Test {
  protected:
    fs::path Dir() const { return fs::path(tmp_.path().toStdString()); }
    fs::path Fixture(const char* name) { return fixtures::WriteFixtureInto(name, Dir()); }
    QTemporaryDir tmp_;
};

TEST_F(ProviderTest, OpenFailuresCarryTheProvidersNumbersAndWords) {
    const fs::path ace = Fixture("accdb");
    const std::string real = ReadFile(Fixture("password"));
    fs::create_directory(Dir() / "folder.mdb");
    const std::string notFound = "Could not find file '", unrecognized = "Unrecognized database format '";
    struct Case {
        std::string connection;
        long number;
        ErrorReason reason;
        std::string startsWith;
    };
    constexpr auto kMissing = ErrorReason::FileNotFound;
    std::vector<Case> cases = {
        {Jet(Dir() / "missing.mdb"), kErrUnspecified, kMissing, notFound},
        {Jet(""), kErrUnspecified, kMissing, "Could not find file ''."},
        {Jet("   "), kErrUnspecified, kMissing, notFound},
        {Jet(Dir() / "folder.mdb"), kErrUnspecified, kMissing, notFound},
        // The Jet 4.0 provider does not read ACE files, whatever their name.
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + ace.string(), kErrUnspecified,
         ErrorReason::NotADatabase, unrecognized + ace.string() + "'."},
        {"Provider=Microsoft.Jet.OLEDB.3.51;Data Source=" + ace.string(), kErrProviderNotFound,
         ErrorReason::UnknownProvider, "Provider cannot be found. It may not be properly installed."},
        {"Data Source=" + ace.string(), kErrUnspecified, ErrorReason::NoProvider,
         "[Microsoft][ODBC Driver Manager]"},
        {"Provider=\"Microsoft.ACE.OLEDB.12.0", kErrUnspecified, ErrorReason::BadConnectionString, ""},
    };
    const std::pair<const char*, std::string> unreadable[] = {
        {"zero.mdb", ""},
        {"garbage.mdb", std::string(8192, '\x5a')},
        {"text.mdb", "This is not a database, just some words.\n"},
        {"cut-page.mdb", real.substr(0, 4096 * 2)},
        {"header-only.mdb", real.substr(0, 300)}};
    for (const auto& [name, bytes] : unreadable) {
        WriteFile(Dir() / name, bytes);
        cases.push_back({Jet(Dir() / name), kErrUnspecified, ErrorReason::NotADatabase, unrecognized});
    }
    // A copy that stops inside a page says so.
    WriteFile(Dir() / "cut-odd.mdb", real.substr(0, real.size() / 2 + 100));
    cases.push_back({Jet(Dir() / "cut-odd.mdb"), kErrUnspecified, ErrorReason::DamagedData,
                     "The database '" + (Dir() / "cut-odd.mdb").string() + "' is damaged or incomplete"});
    for (const auto& c : cases) {
        const auto e = ErrorOf([&] { Connection().Open(c.connection); });
        EXPECT_EQ(e.Number(), c.number) << c.connection;
        EXPECT_EQ(e.Reason(), c.reason) << c.connection;
        EXPECT_EQ(e.Description().rfind(c.startsWith, 0), 0u) << c.connection << " -> " << e.Description();
    }
    // The ACE provider reads ACE and Jet files alike.
    EXPECT_GT(ReadEverything(Jet(ace)), 0);
    EXPECT_NO_THROW(
        ReadEverything("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + Fixture("big").string()));
}

TEST_F(ProviderTest, DatabasePasswordIsChecked) {
    const fs::path pw = Fixture("password"), semi = Fixture("password-semicolon");
    for (const std::string& wrong : {std::string(), std::string("wrong"), std::string("S3CRET PW")}) {
        const auto e = ErrorOf([&] { Connection().Open(wrong.empty() ? Jet(pw) : Protected(pw, wrong)); });
        EXPECT_EQ(e.Number(), kErrAuthentication) << wrong;
        EXPECT_EQ(e.Reason(), ErrorReason::WrongPassword) << wrong;
        EXPECT_EQ(e.Description(), "Not a valid password.") << wrong;
    }
    EXPECT_GT(ReadEverything(Protected(pw, fixtures::kFixturePassword)), 0);
    // Typed with blanks around it: trimmed by the connection rule.
    EXPECT_GT(ReadEverything(Protected(pw, std::string("  ") + fixtures::kFixturePassword + " ")), 0);
    EXPECT_GT(ReadEverything(Protected(semi, fixtures::kSemicolonPassword)), 0);
    EXPECT_EQ(ErrorOf([&] { ReadEverything(Protected(semi, "a")); }).Number(), kErrAuthentication);
    // An unprotected database opens whatever password is given.
    EXPECT_GT(ReadEverything(Protected(Fixture("big"), "anything")), 0);
}

TEST_F(ProviderTest, NeverWritesToTheDatabase) {
    const fs::path p = Fixture("catalogue");
    const std::string before = ReadFile(p);
    const auto mtime = fs::last_write_time(p);
    fs::permissions(p, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_GT(ReadEverything(Jet(p)), 0);
    EXPECT_EQ(ReadFile(p), before);
    EXPECT_EQ(fs::last_write_time(p), mtime);
}

TEST_F(ProviderTest, SchemaListsEveryTableByTypeThenName) {
    Connection c;
    c.Open(Jet(Fixture("catalogue")));
    auto schema = c.OpenSchema(kSchemaTables);
    std::vector<std::pair<std::string, std::string>> rows;
    for (; !schema->Eof(); schema->MoveNext()) {
        auto& f = schema->GetFields();
        rows.emplace_back(f.Item("table_type").Value().text(), f.Item("Table_Name").Value().text());
        EXPECT_EQ(f.Item("DATE_CREATED").Value().type(), VT::Date);
    }
    EXPECT_THROW(schema->MoveNext(), ProviderError);
    long userTables = 0;
    for (const auto& t : FixtureByName("catalogue").tables) {
        const auto row = std::make_pair(std::string(t.system ? "SYSTEM TABLE" : "TABLE"), t.name);
        EXPECT_NE(std::find(rows.begin(), rows.end(), row), rows.end()) << t.name;
        userTables += !t.system;
    }
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](auto& r) { return r.first == "TABLE"; }),
              userTables);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto &a = rows[i - 1], &b = rows[i];
        EXPECT_TRUE(a.first < b.first ||
                    (a.first == b.first && QString::fromStdString(a.second).compare(
                                               QString::fromStdString(b.second), Qt::CaseInsensitive) <= 0))
            << a.second << " before " << b.second;
    }
    EXPECT_THROW(c.OpenSchema(4), ProviderError);
}

// Every value of every table comes back with its type and its exact value.
TEST_F(ProviderTest, RowsReadBackAsWritten) {
    const std::map<ColumnType, VT> types = {
        {ColumnType::Bool, VT::Boolean},      {ColumnType::Byte, VT::Byte},
        {ColumnType::Integer, VT::Integer},   {ColumnType::Long, VT::Long},
        {ColumnType::Currency, VT::Currency}, {ColumnType::Single, VT::Single},
        {ColumnType::Double, VT::Double},     {ColumnType::DateTime, VT::Date},
        {ColumnType::Binary, VT::Binary},     {ColumnType::Text, VT::Text},
        {ColumnType::Ole, VT::Binary},        {ColumnType::Memo, VT::Text},
        {ColumnType::Guid, VT::Guid},         {ColumnType::Decimal, VT::Decimal}};
    for (const char* name : {"catalogue", "accdb", "northwind-lite"}) {
        Connection c;
        c.Open(Jet(Fixture(name)));
        for (const auto& table : FixtureByName(name).tables) {
            Recordset rs;
            rs.Open(SelectAll(table.name), c);
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
                    SCOPED_TRACE(table.name + " row " + std::to_string(row) + " " + table.columns[col].name);
                    const bool null =
                        std::holds_alternative<fixtures::Null>(want) && type != ColumnType::Bool;
                    EXPECT_EQ(got.type(), null ? VT::Null : types.at(type));
                    if (auto* b = std::get_if<bool>(&want)) {
                        EXPECT_EQ(got.ToBool(), *b);
                    } else if (auto* i = std::get_if<std::int64_t>(&want)) {
                        if (type == ColumnType::Currency)
                            EXPECT_EQ(got.CurrencyUnits(), *i * 10000);
                        else
                            EXPECT_EQ(got.ToInt64(), *i);
                    } else if (auto* d = std::get_if<double>(&want)) {
                        if (type == ColumnType::Single)
                            EXPECT_EQ(got.ToSingle(), static_cast<float>(*d));
                        else
                            EXPECT_EQ(got.ToDouble(), *d);
                    } else if (auto* s = std::get_if<std::string>(&want)) {
                        std::string w = *s;
                        if (type == ColumnType::Guid) {
                            if (w.front() != '{') w = "{" + w + "}";
                            for (char& ch : w)
                                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                        } else if (type == ColumnType::Decimal && w.find('.') != std::string::npos) {
                            while (w.back() == '0') w.pop_back();
                            if (w.back() == '.') w.pop_back();
                        }
                        EXPECT_EQ(
                            type == ColumnType::Guid || type == ColumnType::Decimal ? Text(got) : got.text(),
                            w);
                    } else if (auto* bytes = std::get_if<fixtures::Bytes>(&want)) {
                        EXPECT_EQ(got.Bytes(), *bytes);
                    } else if (auto* money = std::get_if<fixtures::Currency>(&want)) {
                        EXPECT_EQ(got.CurrencyUnits(), money->tenThousandths);
                    } else if (auto* date = std::get_if<fixtures::DateTime>(&want)) {
                        EXPECT_EQ(got.OleDate(), date->ole);
                    }
                }
            }
            EXPECT_EQ(row, table.RowCount()) << table.name;
        }
    }
}

// Memos that share long-value pages and run over chains of them, more pages than are kept at a time.
TEST_F(ProviderTest, LongMemosOnSharedAndChainedPagesReadBackWhole) {
    fixtures::Table notes;
    notes.name = "Notes";
    notes.columns = {{"ID", ColumnType::Long}, {"Body", ColumnType::Memo}};
    const auto body = [](std::size_t i) {
        std::string text = "note " + std::to_string(i) + ":";
        while (text.size() < 60 + (i * 997) % 7000) text += " w" + std::to_string(text.size() * (i + 3));
        return text;
    };
    notes.rowCount = 300;
    notes.generate = [&](std::size_t i) { return fixtures::Row{static_cast<std::int64_t>(i), body(i)}; };
    fixtures::Database db;
    db.tables = {notes};
    const fs::path path = Dir() / "notes.mdb";
    fixtures::WriteDatabase(db, path);
    Connection c;
    c.Open(Jet(path));
    Recordset rs;
    rs.Open(SelectAll("Notes"), c);
    std::size_t row = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++row)
        ASSERT_EQ(rs.GetFields().Item(1).Value().text(), body(row)) << row;
    EXPECT_EQ(row, 300u);
}

TEST_F(ProviderTest, RecordsetFailuresAndLimits) {
    Connection c;
    c.Open(Jet(Fixture("big")));
    EXPECT_EQ(ErrorOf([&] { Recordset().Open("select * from [No Such Table]", c); }).Description(),
              "The database engine cannot find the input table or query 'No Such Table'. Make sure it exists "
              "and that its name is spelled correctly.");
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
    const std::string firstOfA = Text(a.GetFields().Item(0L).Value());
    a.MoveNext();
    EXPECT_NE(firstOfA, Text(a.GetFields().Item(0L).Value()));
    EXPECT_EQ(Text(a.GetFields().Item(0L).Value()), Text(b.GetFields().Item(0L).Value()));
    c.Close();  // the recordsets keep the file open until they go
    a.MoveNext();
    EXPECT_FALSE(a.Eof());
}

// Damaged copies of a real file either open and read or fail with a ProviderError: never a crash.
TEST_F(ProviderTest, DamagedFilesNeverCrash) {
    std::mt19937 random(20240517);
    int opened = 0, refused = 0;
    const std::string files[] = {ReadFile(Fixture("catalogue")), ReadFile(Fixture("accdb"))};
    constexpr int kRounds = 600;
    for (int round = 0; round < kRounds; ++round) {
        std::string bytes = files[round % 2];
        const int damage = (round / 2) % 3;
        if (damage == 0) {  // scattered bytes
            for (int k = 0; k < 40; ++k) bytes[random() % bytes.size()] = static_cast<char>(random());
        } else if (damage == 1) {  // one page overwritten
            const std::size_t page = 1 + random() % (bytes.size() / 4096 - 1);
            for (std::size_t k = 0; k < 4096; ++k) bytes[page * 4096 + k] = static_cast<char>(random());
        } else {  // cut at a page boundary
            bytes.resize(4096 * (3 + random() % (bytes.size() / 4096 - 3)));
        }
        const fs::path p = Dir() / ("damaged" + std::to_string(round) + (round % 2 ? ".accdb" : ".mdb"));
        WriteFile(p, bytes);
        try {
            ReadEverything(Jet(p));
            ++opened;
        } catch (const ProviderError&) {
            ++refused;
        }
        fs::remove(p);
    }
    // Most damage leaves the file readable in part: the rounds must reach the rows, not stop at the door.
    EXPECT_GT(opened, kRounds / 4) << opened << " opened, " << refused << " refused";
}

fs::path Sample(const char* name) { return test::SamplesDir() / name; }

// Every row of one table of a sample database, as variants.
std::vector<std::vector<Variant>> SampleRows(const char* file, const std::string& table,
                                             const char* column = nullptr) {
    Connection c;
    c.Open(Jet(Sample(file)));
    Recordset rs;
    rs.Open(SelectAll(table), c);
    std::vector<std::vector<Variant>> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
        rows.emplace_back();
        if (column) rows.back().push_back(rs.GetFields().Item(column).Value());
        for (long i = 0; !column && i < rs.GetFields().Count(); ++i)
            rows.back().push_back(rs.GetFields().Item(i).Value());
    }
    return rows;
}

TEST(ProviderSamples, PasswordsEncryptionViewsAndLinks) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    EXPECT_GT(ReadEverything(Protected(Sample("V2000_with-password.mdb"), "password")), 0);
    EXPECT_GE(ReadEverything(Protected(Sample("password.mdb"), "ucanaccess")), 0);
    for (const char* name : {"V2003_with-password.mdb", "db2007-enc.accdb", "db2013-enc.accdb"})
        EXPECT_EQ(ErrorOf([&] { Connection().Open(Jet(Sample(name))); }).Number(), kErrAuthentication)
            << name;
    // RC4-coded pages without a password read as usual.
    EXPECT_GT(ReadEverything(Jet(Sample("db-enc.mdb"))), 0);
    EXPECT_GT(ReadEverything(Jet(Sample("db97-enc.mdb"))), 0);
    // Linked tables are read from their file (test_objects); views run (test_query_engine).
}

TEST(ProviderSamples, ValuesMdbtoolsGetsWrong) {
    if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    EXPECT_EQ(SampleRows("charsetGBK.mdb", "table1", "field1").at(0).at(0).text(), "GBK编码");
    EXPECT_EQ(SampleRows("bigint.accdb", "Table", "Numeric").at(0).at(0).type(), VT::BigInt);
    const auto old = SampleRows("oldDatesV2007.accdb", "Table1", "DateField").at(0).at(0).OleDate();
    EXPECT_GE(text::SplitOleDate(old).year, 1300);
    EXPECT_LT(text::SplitOleDate(old).year, 1700);
    // Rows that grew and moved come back in their own place, as Jet reads them (mdbtools puts them last).
    std::string order;
    for (const auto& row : SampleRows("overflowTestV2003.mdb", "Table1"))
        for (const Variant& v : row)
            if (v.type() == VT::Text && v.text().rfind("row", 0) == 0) {
                order += v.text().substr(3, 1);
                break;
            }
    EXPECT_EQ(order, "1234567");
    // Characters beyond the Basic Multilingual Plane arrive as four-byte UTF-8.
    int fourByte = 0;
    for (const auto& row : SampleRows("testEmoticonsV2010.accdb", "data"))
        for (const Variant& v : row)
            if (v.type() == VT::Text)
                for (unsigned char ch : v.text()) fourByte += ch >= 0xF0;
    EXPECT_GT(fourByte, 0);
}

}  // namespace
}  // namespace tabvert::ado
