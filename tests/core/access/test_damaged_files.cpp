// Databases cut short, with pages lost, or rewritten while they are read: never read as if whole, and
// the export never calls them complete.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "fixtures/fixture_set.h"
#include "support/export_test_support.h"

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;
using Tables = std::map<std::string, std::vector<std::string>>;  // each table's rows, one text a row
constexpr std::size_t kPage = 4096;

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

Tables ReadAll(const fs::path& db) {
    Connection c;
    c.Open(database::BuildConnectionString(db.string(), 0, ""));
    std::vector<std::string> names;
    for (auto schema = c.OpenSchema(kSchemaTables); !schema->Eof(); schema->MoveNext())
        names.push_back(schema->GetFields().Item("TABLE_NAME").Value().text());
    Tables tables;
    for (const auto& name : names) {
        Recordset rs;
        rs.Open(exporting::TableQuery(name), c);
        auto& rows = tables[name];
        for (; !rs.Eof(); rs.MoveNext()) {
            rows.emplace_back();
            for (long i = 0; i < rs.GetFields().Count(); ++i)
                rows.back() += text::ValueToText(rs.GetFields().Item(i).Value(), text::Locale::EnUS()) + "\t";
        }
    }
    return tables;
}

bool SaysDamaged(const std::string& text) { return text.find("damaged or incomplete") != std::string::npos; }

// Every cut at a page boundary and every page lost to zeros (a download stopped short, a copy that
// never got its last blocks) either reads exactly the whole database or fails saying it is damaged.
TEST(DamagedDatabase, LostPagesAreNeverReadAsAWholeDatabase) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string whole = Bytes(fixtures::WriteFixtureInto("northwind-lite", root));
    const Tables expected = ReadAll(root / "northwind-lite.mdb");
    ASSERT_EQ(whole.size() % kPage, 0u);
    const std::size_t pages = whole.size() / kPage;
    ASSERT_GT(pages, 8u);
    int refused = 0;
    for (std::size_t damage = 0; damage < 2; ++damage) {
        for (std::size_t page = 3; page < pages; ++page) {
            std::string bytes = whole;
            if (damage == 0)
                bytes.resize(page * kPage);
            else
                bytes.replace(page * kPage, kPage, kPage, '\0');
            const fs::path p =
                root / ("damaged-" + std::to_string(damage) + "-" + std::to_string(page) + ".mdb");
            Put(p, bytes);
            SCOPED_TRACE(p.filename().string());
            try {
                EXPECT_EQ(ReadAll(p), expected);
            } catch (const ProviderError& e) {
                EXPECT_TRUE(SaysDamaged(e.Description())) << e.Description();
                ++refused;
            }
        }
    }
    EXPECT_GE(refused, static_cast<int>(pages));  // every cut loses something here: the fixture is dense
    // Cut inside a page, or down to the catalogue: not opened at all.
    for (std::size_t size : {5 * kPage + 100, 3 * kPage}) {
        Put(root / "short.mdb", whole.substr(0, size));
        try {
            ReadAll(root / "short.mdb");
            ADD_FAILURE() << size << " bytes read as a database";
        } catch (const ProviderError& e) {
            EXPECT_TRUE(SaysDamaged(e.Description())) << e.Description();
        }
    }
}

TEST(DamagedDatabase, TheExportListsTheDamagedTableInsteadOfCompleting) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Database desc;
    desc.tables = {exporting::test::NumberedTable("First", 20), exporting::test::NumberedTable("Long", 3000)};
    const fs::path db = exporting::test::WriteDb(desc, root / "lost.mdb");
    // The last data page of a user table (the catalogue's has its definition on page 2) lost to zeros.
    std::string bytes = Bytes(db);
    std::size_t last = 0;
    for (std::size_t page = 3; page < bytes.size() / kPage; ++page) {
        const char* p = bytes.data() + page * kPage;
        if (p[0] == 0x01 && (p[4] != 2 || p[5] != 0 || p[6] != 0 || p[7] != 0)) last = page;
    }
    ASSERT_GT(last, 0u);
    bytes.replace(last * kPage, kPage, kPage, '\0');
    Put(db, bytes);
    exporting::test::RecordingObserver observer;
    exporting::NameDigitGenerator digits;
    const auto result = exporting::RunExport(
        exporting::test::Request(db.string(), (root / "out.xlsx").string()), observer, digits);
    ASSERT_EQ(result.outcome, exporting::ExportResult::Outcome::CompletedWithWarnings) << result.message;
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].table, "Long");
    EXPECT_TRUE(SaysDamaged(result.problems[0].what)) << result.problems[0].what;
    EXPECT_NE(result.message.find("Long"), std::string::npos);
}

// A file written to while a recordset reads it: the read fails instead of mixing two files.
TEST(DamagedDatabase, AFileChangingUnderAReadStopsIt) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Database desc;
    desc.tables = {exporting::test::NumberedTable("Long", 3000)};
    for (int change = 0; change < 2; ++change) {
        const fs::path db =
            exporting::test::WriteDb(desc, root / ("changing" + std::to_string(change) + ".mdb"));
        Connection c;
        c.Open(database::BuildConnectionString(db.string(), 0, ""));
        Recordset rs;
        rs.Open("select * from [Long]", c);
        rs.MoveNext();
        if (change == 0) {
            std::ofstream(db, std::ios::binary | std::ios::app) << std::string(kPage, '\0');  // grows
        } else {
            const timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 60, 0}};  // saved again
            ASSERT_EQ(utimensat(AT_FDCWD, db.c_str(), later, 0), 0);
        }
        std::string failure;
        try {
            while (!rs.Eof()) rs.MoveNext();
        } catch (const ProviderError& e) {
            failure = e.Description();
        }
        EXPECT_NE(failure.find("changed while"), std::string::npos) << change << ": " << failure;
    }
}

}  // namespace
}  // namespace tabvert::ado
