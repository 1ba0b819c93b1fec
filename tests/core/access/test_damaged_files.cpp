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

// Where a value's 12-byte long-value reference lies in the file: the only place holding `head` (its
// length and flags), little-endian. npos when it is not there exactly once.
std::size_t ReferenceAt(const std::string& bytes, std::uint32_t head) {
    const std::string key{static_cast<char>(head), static_cast<char>(head >> 8),
                          static_cast<char>(head >> 16), static_cast<char>(head >> 24)};
    const std::size_t at = bytes.find(key);
    if (at == std::string::npos || bytes.find(key, at + 1) != std::string::npos) return std::string::npos;
    return at;
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}
void PutU32At(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
}

// The first row of a page (a Jet 4 data page: the row count at 12, the first row's offset at 14).
std::size_t FirstRowAt(const std::string& bytes, std::uint32_t page) {
    const std::size_t base = page * kPage;
    return base + (U32At(bytes, base + 14) & 0x1FFF);
}

const std::vector<std::string>& Problems(const exporting::ExportResult& result) {
    static std::vector<std::string> texts;
    texts.clear();
    for (const auto& p : result.problems) texts.push_back(p.table + ": " + p.what);
    return texts;
}

// A memo whose chain of pages loops back or stops early is never taken for the whole memo: that value
// is reported damaged with its record, its row's other values and the table's other records are kept,
// and the export is not called complete.
TEST(DamagedDatabase, BrokenLongValueChainsAreReportedNotCut) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string longMemo(20000, 'm');  // 40,000 bytes: a chain of about ten pages
    fixtures::Table notes;
    notes.name = "Notes";
    notes.columns = {{"ID", fixtures::ColumnType::Long}, {"Body", fixtures::ColumnType::Memo}};
    notes.rows = {{std::int64_t{1}, "short"}, {std::int64_t{2}, longMemo}, {std::int64_t{3}, "after"}};
    fixtures::Database desc;
    desc.tables = {notes};
    const fs::path whole = exporting::test::WriteDb(desc, root / "whole.mdb");
    const std::vector<std::vector<std::string>> intact = {{"1", "short"}, {"2", longMemo}, {"3", "after"}};
    ASSERT_EQ(exporting::test::TableTexts(whole.string(), "Notes"), intact);

    const std::string bytes = Bytes(whole);
    const std::size_t reference = ReferenceAt(bytes, static_cast<std::uint32_t>(longMemo.size() * 2));
    ASSERT_NE(reference, std::string::npos);
    const std::uint32_t firstPiece = U32At(bytes, reference + 4);
    const std::size_t firstRow = FirstRowAt(bytes, firstPiece >> 8);
    ASSERT_EQ(U32At(bytes, firstRow), ((firstPiece >> 8) + 1) << 8);  // the next piece is on the next page

    const std::uint32_t secondPiece = U32At(bytes, firstRow);
    const std::size_t secondRow = FirstRowAt(bytes, secondPiece >> 8);
    struct Damage {
        const char* name;
        std::size_t at;
        std::uint32_t next;
        const char* says;
    };
    for (const Damage& d : {Damage{"itself", firstRow, firstPiece, "lead back to page"},
                            Damage{"earlier", secondRow, firstPiece, "lead back to page"},
                            Damage{"short", firstRow, 0, "ends after"}}) {
        SCOPED_TRACE(d.name);
        std::string damaged = bytes;
        PutU32At(damaged, d.at, d.next);
        const fs::path db = root / (std::string(d.name) + ".mdb");
        Put(db, damaged);

        Connection c;
        c.Open(database::BuildConnectionString(db.string(), 0, ""));
        Recordset rs;
        rs.Open("select * from [Notes]", c);
        rs.MoveNext();
        EXPECT_EQ(rs.GetFields().Item("ID").Value().ToInt64(), 2);
        try {
            const Variant& body = rs.GetFields().Item("Body").Value();
            ADD_FAILURE() << "read " << body.text().size() << " characters of a broken memo";
        } catch (const ProviderError& e) {
            EXPECT_TRUE(SaysDamaged(e.Description())) << e.Description();
            EXPECT_NE(e.Description().find(d.says), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find("'Body'"), std::string::npos) << e.Description();
        }
        rs.MoveNext();
        EXPECT_EQ(rs.GetFields().Item("Body").Value().text(), "after");

        exporting::test::RecordingObserver observer;
        exporting::NameDigitGenerator digits;
        const fs::path out = root / (std::string(d.name) + ".xlsx");
        const auto result =
            exporting::RunExport(exporting::test::Request(db.string(), out.string()), observer, digits);
        ASSERT_EQ(result.outcome, exporting::ExportResult::Outcome::CompletedWithWarnings) << result.message;
        ASSERT_EQ(result.problems.size(), 1u) << testing::PrintToString(Problems(result));
        EXPECT_EQ(result.problems[0].table, "Notes");
        EXPECT_NE(result.problems[0].what.find("1 value of the field \"Body\" could not be read and its cell "
                                               "is empty (record 2): "),
                  std::string::npos)
            << result.problems[0].what;
        EXPECT_NE(result.message.find(exporting::kCompletedText), std::string::npos);
        EXPECT_NE(result.message.find("Not everything could be copied"), std::string::npos);
    }
}

// A data page whose row count was zeroed hides its rows from every reader, and a row whose header is
// broken cannot be split into its values: the records after them are still read, and the loss is
// reported (the definition still holds the count) instead of exporting the rest as if whole.
TEST(DamagedDatabase, LostRecordsAreReportedAndTheRestKept) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Database desc;
    desc.tables = {exporting::test::NumberedTable("Long", 3000)};
    const fs::path whole = exporting::test::WriteDb(desc, root / "whole.mdb");
    const std::string bytes = Bytes(whole);
    std::vector<std::size_t> dataPages;  // the table's: data pages not of the catalogue (page 2)
    for (std::size_t page = 3; page < bytes.size() / kPage; ++page) {
        const char* p = bytes.data() + page * kPage;
        if (p[0] == 0x01 && U32At(bytes, page * kPage + 4) != 2 && p[4] != 'L') dataPages.push_back(page);
    }
    ASSERT_GE(dataPages.size(), 3u);
    const std::size_t middle = dataPages[dataPages.size() / 2] * kPage;
    const std::size_t rowsOnPage =
        static_cast<unsigned char>(bytes[middle + 12]) | static_cast<unsigned char>(bytes[middle + 13]) << 8;
    ASSERT_GT(rowsOnPage, 4u);

    for (const bool zeroedCount : {true, false}) {
        SCOPED_TRACE(zeroedCount ? "zeroed row count" : "broken row");
        std::string damaged = bytes;
        std::size_t lost = 0;
        std::string says;
        if (zeroedCount) {
            damaged[middle + 12] = damaged[middle + 13] = 0;
            lost = rowsOnPage;
            says = "its definition holds 3000 records, but only " + std::to_string(3000 - lost);
        } else {
            // The column count at the start of the page's fourth row, far beyond the row's own length.
            const std::size_t row = middle + (U32At(damaged, middle + 14 + 2 * 3) & 0x1FFF);
            damaged[row] = damaged[row + 1] = '\xFF';
            lost = 1;
            says =
                "1 record could not be split into its values and was left out (the first is row 3 of page " +
                std::to_string(middle / kPage) + ")";
        }
        const fs::path db = root / (zeroedCount ? "count.mdb" : "row.mdb");
        Put(db, damaged);

        Connection c;
        c.Open(database::BuildConnectionString(db.string(), 0, ""));
        Recordset rs;
        rs.Open("select * from [Long]", c);
        std::int64_t read = 0, lastId = 0;
        std::string failure;
        try {
            for (; !rs.Eof(); rs.MoveNext()) {
                ++read;
                lastId = rs.GetFields().Item("ID").Value().ToInt64();
            }
        } catch (const ProviderError& e) {
            failure = e.Description();
        }
        EXPECT_EQ(read, static_cast<std::int64_t>(3000 - lost));
        EXPECT_EQ(lastId, 3000);
        EXPECT_TRUE(SaysDamaged(failure)) << failure;
        EXPECT_NE(failure.find(says), std::string::npos) << failure;

        // A TOP below what is left reads as usual: nothing it asked for is missing.
        Recordset top;
        top.Open("select top 10 * from [Long]", c);
        for (int i = 0; i < 10; ++i) top.MoveNext();
        EXPECT_TRUE(top.Eof());

        exporting::test::RecordingObserver observer;
        exporting::NameDigitGenerator digits;
        const auto result = exporting::RunExport(
            exporting::test::Request(db.string(), (root / "lost.xlsx").string()), observer, digits);
        ASSERT_EQ(result.outcome, exporting::ExportResult::Outcome::CompletedWithWarnings) << result.message;
        ASSERT_EQ(result.problems.size(), 1u) << testing::PrintToString(Problems(result));
        EXPECT_EQ(
            result.problems[0].what.rfind("reading stopped after record " + std::to_string(read) + ": ", 0),
            0u)
            << result.problems[0].what;
        EXPECT_NE(result.problems[0].what.find(says), std::string::npos) << result.problems[0].what;
    }
}

}  // namespace
}  // namespace tabvert::ado
