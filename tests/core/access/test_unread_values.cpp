// One value that cannot be read never costs its table: the value's cell stays empty and is counted for
// its field, the other values are kept; a column of a type the reader does not know keeps its bytes.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "fixtures/access_objects.h"
#include "fixtures/access_writer.h"
#include "support/export_test_support.h"
#include "support/workbook_reader.h"

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;
using exporting::ExportResult;

std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

ExportResult Export(const fs::path& db, const fs::path& out) {
    exporting::test::RecordingObserver observer;
    exporting::NameDigitGenerator digits;
    return exporting::RunExport(exporting::test::Request(db.string(), out.string()), observer, digits);
}

const test::ReadCell* Cell(const test::ReadSheet& sheet, long row, long column) {
    const test::ReadCell* cell = sheet.Find(row, column);
    return cell && cell->type != "blank" ? cell : nullptr;
}

// Date/Time Extended values Access could never have stored, beside good ones, and a column whose type
// code no version of Access uses: the records are all there, the bad values empty and counted per field
// with the first record, the unknown column in hexadecimal and named once.
TEST(UnreadValues, OneBadValueLeavesOneCellEmpty) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    // Days since 1 Jan 0001, seconds of the day and 100-nanosecond units, as 42 characters.
    const std::string good = fixtures::ExtendedDateTimeText(738521, 36000, 0);  // 2 Jan 2023, 10:00
    ASSERT_EQ(good.size(), 42u);
    const std::string afterYear9999 = fixtures::ExtendedDateTimeText(3652059, 36000, 0);
    std::string letters = good;
    letters[17] = 'x';  // "...7385x1:..."
    fixtures::Table table;
    table.name = "Mixed";
    fixtures::Column odd{"Odd", fixtures::ColumnType::Binary};
    odd.storedType = 0x3C;
    table.columns = {
        {"ID", fixtures::ColumnType::Long}, {"When", fixtures::ColumnType::ExtendedDateTime}, odd};
    const fixtures::Bytes raw = {0x00, 0xAB, 0x7F};
    for (std::int64_t id = 1; id <= 6; ++id) {
        const std::string& when = id == 2 ? afterYear9999 : id == 5 ? letters : good;
        table.rows.push_back({id, when, raw});
    }
    fixtures::Database desc;
    desc.format = fixtures::Format::Ace12;
    desc.tables = {table, exporting::test::NumberedTable("Next", 3)};
    const fs::path db = exporting::test::WriteDb(desc, root / "mixed.accdb");

    Connection c;
    c.Open(database::BuildConnectionString(db.string(), 0, ""));
    Recordset rs;
    rs.Open("select * from [Mixed]", c);
    EXPECT_TRUE(Has(rs.GetFields().Item("Odd").Note(), "(0x3C)")) << rs.GetFields().Item("Odd").Note();
    EXPECT_EQ(rs.GetFields().Item("When").Note(), "");
    std::vector<std::string> unread;
    for (; !rs.Eof(); rs.MoveNext()) {
        Fields& f = rs.GetFields();
        EXPECT_EQ(f.Item("Odd").Value().Bytes(), raw);
        try {
            f.Item("When").Value();
        } catch (const ProviderError& e) {
            unread.push_back(std::to_string(f.Item("ID").Value().ToInt64()) + ": " + e.Description());
        }
    }
    ASSERT_EQ(unread.size(), 2u);
    EXPECT_EQ(unread[0].rfind("2: The value of the column 'When' in the table 'Mixed' cannot be read", 0), 0u)
        << unread[0];
    EXPECT_EQ(unread[1].rfind("5: ", 0), 0u) << unread[1];

    const fs::path out = root / "mixed.xlsx";
    const ExportResult result = Export(db, out);
    ASSERT_EQ(result.outcome, ExportResult::Outcome::CompletedWithWarnings) << result.message;
    ASSERT_EQ(result.problems.size(), 2u) << result.message;
    EXPECT_EQ(result.problems[0].table, "Mixed");
    EXPECT_TRUE(Has(result.problems[0].what, "the field \"Odd\": its type (0x3C) is not one"))
        << result.message;
    EXPECT_TRUE(Has(result.problems[1].what,
                    "2 values of the field \"When\" could not be read and their cells are empty (the first "
                    "in record 2): The value of the column 'When'"))
        << result.message;
    EXPECT_TRUE(Has(result.message, "- Table \"Mixed\": 2 values of the field \"When\"")) << result.message;

    const auto book = test::ReadWorkbookFile(out);
    ASSERT_TRUE(book.has_value());
    const auto sheetNamed = [&](const std::string& name) -> const test::ReadSheet* {
        for (const auto& sheet : book->sheets)
            if (sheet.name == name) return &sheet;
        return nullptr;
    };
    ASSERT_NE(sheetNamed("Mixed"), nullptr);
    ASSERT_NE(sheetNamed("Next"), nullptr);
    const test::ReadSheet& sheet = *sheetNamed("Mixed");
    ASSERT_NE(Cell(sheet, 1, 3), nullptr);  // the header row is there
    EXPECT_EQ(Cell(sheet, 1, 3)->text, "Odd");
    for (long record = 1; record <= 6; ++record) {
        SCOPED_TRACE(record);
        const long row = record + 1;
        ASSERT_NE(Cell(sheet, row, 1), nullptr);
        EXPECT_EQ(Cell(sheet, row, 1)->number, static_cast<double>(record));
        ASSERT_NE(Cell(sheet, row, 3), nullptr);
        EXPECT_EQ(Cell(sheet, row, 3)->text, "00AB7F");
        EXPECT_EQ(Cell(sheet, row, 2) == nullptr, record == 2 || record == 5);
    }
    EXPECT_NE(Cell(*sheetNamed("Next"), 4, 1), nullptr);  // the next table is whole
}

// Access 2010 keeps a calculated memo's wrapped result on a long-value page, while the reference in the
// row may declare only the length of the result: the wrapper's length says how much to read.
TEST(UnreadValues, CalculatedMemoReadsItsWholeWrappedResult) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Table table;
    table.name = "People";
    fixtures::Column all{"AllNames", fixtures::ColumnType::Memo};
    all.calculated = true;
    table.columns = {
        {"First", fixtures::ColumnType::Text, 40}, {"Last", fixtures::ColumnType::Text, 40}, all};
    // Text that fills the row, so that the memo goes to a long-value page of its own.
    fixtures::Row row = {"Bruce", "Wayne", "Wayne, Bruce=Wayne, Bruce"};
    for (int i = 0; i < 8; ++i) {
        table.columns.push_back({"Filler" + std::to_string(i), fixtures::ColumnType::Text, 255});
        row.push_back(std::string(i < 7 ? 255 : 195, 'f'));
    }
    table.rows = {row};
    fixtures::Database desc;
    desc.format = fixtures::Format::Ace12;
    desc.tables = {table};
    const fs::path db = exporting::test::WriteDb(desc, root / "calc.accdb");
    ASSERT_EQ(exporting::test::TableTexts(db.string(), "People").at(0).at(2), "Wayne, Bruce=Wayne, Bruce");

    // The reference on one long-value page (0x40000000) with the wrapped length: 20 + 50 + 3 bytes.
    std::string bytes = Bytes(db);
    const std::string wrapped = {73, 0, 0, 0x40};
    const std::size_t at = bytes.find(wrapped);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(bytes.find(wrapped, at + 1), std::string::npos);
    bytes[at] = 50;  // the result's length alone, as Access writes it
    Put(db, bytes);
    EXPECT_EQ(exporting::test::TableTexts(db.string(), "People").at(0).at(2), "Wayne, Bruce=Wayne, Bruce");

    // A wrapper that claims more than its page holds is still cut short, and only its cell is lost.
    const auto u8 = [&](std::size_t i) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]));
    };
    const std::size_t page = u8(at + 5) | u8(at + 6) << 8 | u8(at + 7) << 16;
    ASSERT_EQ(u8(at + 4), 0u);  // the first row of its page
    const std::size_t rowAt = page * 4096 + ((u8(page * 4096 + 14) | u8(page * 4096 + 15) << 8) & 0x1FFF);
    ASSERT_EQ(u8(rowAt + 16), 50u);  // the wrapper's length of the result
    bytes[rowAt + 16] = 90;
    Put(db, bytes);
    const ExportResult result = Export(db, root / "calc.xlsx");
    ASSERT_EQ(result.outcome, ExportResult::Outcome::CompletedWithWarnings) << result.message;
    ASSERT_EQ(result.problems.size(), 1u) << result.message;
    EXPECT_TRUE(Has(result.problems[0].what,
                    "1 value of the field \"AllNames\" could not be read and its cell "
                    "is empty (record 1)"))
        << result.problems[0].what;
    const auto book = test::ReadWorkbookFile(root / "calc.xlsx");
    ASSERT_TRUE(book.has_value());
    const test::ReadSheet& sheet =
        book->sheets.front().name == "People" ? book->sheets.front() : book->sheets.back();
    ASSERT_EQ(sheet.name, "People");
    ASSERT_NE(Cell(sheet, 2, 2), nullptr);
    EXPECT_EQ(Cell(sheet, 2, 2)->text, "Wayne");
    EXPECT_EQ(Cell(sheet, 2, 3), nullptr);
}

}  // namespace
}  // namespace tabvert::ado
