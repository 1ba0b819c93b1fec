// The export run end to end: fixture databases written to disk, exported, and read back with openpyxl
// and xlrd.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "core/database/connection_rule.h"
#include "core/export/export_run.h"
#include "core/export/table_writer.h"
#include "core/provider/ado.h"
#include "fixtures/fixture_set.h"
#include "support/export_test_support.h"
#include "support/paths.h"
#include "support/workbook_reader.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;
using Outcome = ExportResult::Outcome;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
bool IsSystemName(const std::string& name) { return Has(name, "MSys"); }

std::vector<std::string> UserTables(const std::string& db, const std::string& password = "") {
    std::vector<std::string> tables;
    for (const std::string& name : SchemaNames(db, password))
        if (!IsSystemName(name)) tables.push_back(name);
    return tables;
}

// A cell holds the text the provider gave, or the number or date/time that text shows exactly.
void ExpectCellShows(const tabvert::test::ReadSheet& sheet, long row, long column,
                     const std::string& expected) {
    SCOPED_TRACE(sheet.name + " R" + std::to_string(row) + "C" + std::to_string(column) + " expected '" +
                 expected.substr(0, 60) + "'");
    const auto* cell = sheet.Find(row, column);
    if (expected.empty()) {
        EXPECT_TRUE(cell == nullptr || cell->type == "blank");
        return;
    }
    ASSERT_NE(cell, nullptr);
    if (cell->type == "s") {
        EXPECT_EQ(cell->text, expected);
    } else if (cell->type == "n") {
        EXPECT_DOUBLE_EQ(cell->number, std::stod(expected));
    } else if (cell->type == "d") {
        const auto parsed = text::ParseDateTime(expected, text::Locale::EnUS());
        ASSERT_TRUE(parsed.has_value());
        EXPECT_NEAR(cell->number, parsed->oleDate, 1e-6);
    } else {
        ADD_FAILURE() << "cell of type " << cell->type;
    }
}

// A sheet shows a table's records from row 2, each field as ExpectCellShows says; a text over Excel's cell
// limit is refused, so its cell stays empty.
void ExpectRecords(const tabvert::test::ReadSheet& sheet, const std::vector<std::vector<std::string>>& rows) {
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t f = 0; f < rows[r].size(); ++f)
            ExpectCellShows(sheet, static_cast<long>(r + 2), static_cast<long>(f + 1),
                            rows[r][f].size() > 32767 ? "" : rows[r][f]);
}

TEST(CompletionMessage, ListsProblemsUpToTheLimit) {
    EXPECT_EQ(CompletionMessage({}, kMessageProblemLimit), kCompletedText);
    const std::string text = CompletionMessage(std::vector<ExportProblem>(23, ExportProblem{"T", "x"}), 20);
    EXPECT_EQ(text.rfind(std::string(kCompletedText) + "\n\n", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 20 + 1);
    EXPECT_TRUE(text.ends_with("\n- and 3 more problems.")) << text;
}

class CatalogueExport : public ::testing::TestWithParam<std::string> {};

TEST_P(CatalogueExport, EveryUserTableBecomesASheetWithHeaderAndValues) {
    QTemporaryDir dir;
    const std::string db = WriteDb(fixtures::CatalogueFixture(), dir.filePath("catalogue.mdb").toStdString());
    const std::string target = dir.filePath("out." + QString::fromStdString(GetParam())).toStdString();
    RecordingObserver observer;
    NameDigitGenerator digits;
    const ExportResult result = RunExport(Request(db, target), observer, digits);

    // Exported tables, in catalogue order; their sheets come out in reverse order before Sheet1.
    const std::vector<std::string> tables = UserTables(db);
    ASSERT_TRUE(std::find(tables.begin(), tables.end(), "msysnotes") != tables.end());
    EXPECT_EQ(result.tablesExported, static_cast<int>(tables.size()));
    NameDigitGenerator reference;
    std::vector<std::string> sheets = {"Sheet1"};
    for (const std::string& name : tables) {
        const std::string sheet = GetSheetName(name, reference);
        // Names the workbook refuses leave the sheet with the name it was added with.
        const bool refused = sheet.find_first_of(":\\?*[]") != std::string::npos;
        sheets.insert(sheets.begin(), refused ? "Sheet" + std::to_string(sheets.size() + 1) : sheet);
    }

    // Long memo text, and the two refused sheet names: completed, with each one listed.
    EXPECT_EQ(result.outcome, Outcome::CompletedWithWarnings);
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_EQ(observer.messages[0].rfind(kCompletedText, 0), 0u) << observer.messages[0];
    for (const char* table : {"LongMemos", "Time:Slot", "Odd]Name", "32,767"})
        EXPECT_TRUE(Has(observer.messages[0], table)) << table;

    std::string error;
    const auto book = tabvert::test::ReadWorkbookFile(target, &error);
    ASSERT_TRUE(book.has_value()) << error;
    ASSERT_EQ(book->SheetNames(), sheets);
    for (std::size_t t = 0; t < tables.size(); ++t) {
        SCOPED_TRACE("table " + tables[t]);
        const auto& sheet = book->sheets[tables.size() - 1 - t];
        const auto fields = FieldNames(db, tables[t]);
        const auto rows = TableTexts(db, tables[t]);
        for (std::size_t f = 0; f < fields.size(); ++f)
            ExpectCellShows(sheet, 1, static_cast<long>(f + 1), HeaderText(fields[f]));
        // The header format covers A1:Z1 exactly, whatever the number of fields.
        for (long c = 1; c <= 30; ++c) {
            const auto* cell = sheet.Find(1, c);
            if (c <= 26) {
                ASSERT_NE(cell, nullptr) << "column " << c;
                EXPECT_TRUE(cell->bold && cell->underline && cell->fontSize == 15) << "column " << c;
            } else if (cell) {
                EXPECT_FALSE(cell->bold || cell->underline || cell->fontSize == 15) << "column " << c;
            }
        }
        ExpectRecords(sheet, rows);
        // Nothing below the last record (a table without records has its header alone), nor beside the
        // fields.
        for (const auto& cell : sheet.cells) {
            EXPECT_LE(cell.row, static_cast<long>(rows.size()) + 1) << "stray cell in row " << cell.row;
            EXPECT_TRUE(cell.column <= static_cast<long>(fields.size()) || cell.type == "blank")
                << cell.column;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CatalogueExport, ::testing::Values("xlsx", "xls"),
                         [](const ::testing::TestParamInfo<std::string>& format) { return format.param; });

// Objects and columns beyond plain tables: no sheet for a report, form or hidden table; the values
// of calculated, extended-date and complex columns as text; the closing message names a user table
// the "MSys" filter left out, a query it could not run and a column it could not read.
TEST(ObjectsExport, SheetsValuesAndClosingMessage) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::vector<std::string> fixtureNames = {"objects", "columns"};
    std::vector<fs::path> targets;
    std::vector<std::string> messages;
    for (const std::string& fixture : fixtureNames) {
        SCOPED_TRACE(fixture);
        const std::string db = fixtures::WriteFixtureInto(fixture, root).string();
        targets.push_back(root / (fixture + ".xlsx"));
        RecordingObserver observer;
        NameDigitGenerator digits;
        const ExportResult result = RunExport(Request(db, targets.back().string()), observer, digits);
        EXPECT_EQ(result.outcome, Outcome::CompletedWithWarnings);
        messages.push_back(result.message);
    }
    std::vector<std::string> errors;
    const auto books = tabvert::test::ReadWorkbookFiles(targets, &errors);
    for (std::size_t i = 0; i < fixtureNames.size(); ++i) {
        SCOPED_TRACE(fixtureNames[i]);
        const std::string& message = messages[i];
        const auto& book = books[i];
        ASSERT_TRUE(book.has_value()) << errors[i];
        if (fixtureNames[i] == "objects") {
            EXPECT_EQ(book->SheetNames(), (std::vector<std::string>{"Summary", "Pivot", "Everything",
                                                                    "Orders", "Lookups", "Sheet1"}));
            EXPECT_TRUE(Has(message, "\"tblMSysCopy\": not copied")) << message;
            EXPECT_FALSE(Has(message, "\"Summary\"")) << message;  // the query, not the report
            EXPECT_FALSE(Has(message, "MSysObjects")) << message;
            continue;
        }
        ASSERT_EQ(book->SheetNames(), (std::vector<std::string>{"Readings", "Odd", "Attached", "Sheet1"}));
        ExpectRecords(book->sheets[0], {{"1", "42", "forty-two", "0.5", "True", "12.5", "-3.25", "2/29/2024",
                                         "6/14/2021 10:45:12.3456789 AM"}});
        ExpectRecords(book->sheets[2], {{"1", "one", "a.txt, b.pdf", "x, y, z"}, {"2", "two", "", ""}});
        for (const auto& sheet : book->sheets)
            for (const auto& cell : sheet.cells) EXPECT_EQ(cell.text.find('\0'), std::string::npos);
        EXPECT_TRUE(Has(message, "\"Odd\": its records could not be read")) << message;
        EXPECT_TRUE(Has(message, "'Shape'")) << message;
    }
}

TEST(ExportRun, EmptyDatabaseGivesTheNewWorkbookAloneOrNothingWhenExcelCannotStart) {
    QTemporaryDir dir;
    const std::string db = WriteDb(fixtures::EmptyFixture(), dir.filePath("empty.mdb").toStdString());
    const std::string target = dir.filePath("empty.xlsx").toStdString();
    const char* saved = std::getenv("TMPDIR");
    const std::string previous = saved ? saved : "";
    ::setenv("TMPDIR", "/proc", 1);  // a folder where nothing can be created, not even by root
    RecordingObserver failed, observer;
    NameDigitGenerator digits;
    const ExportResult noExcel = RunExport(Request(db, target), failed, digits);
    saved ? ::setenv("TMPDIR", previous.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(noExcel.outcome, Outcome::NothingWritten);
    EXPECT_EQ(failed.events, std::vector<std::string>{"message"});
    EXPECT_TRUE(Has(failed.messages.at(0), "could not be started"));
    EXPECT_FALSE(fs::exists(target));

    EXPECT_EQ(RunExport(Request(db, target), observer, digits).outcome, Outcome::Completed);
    EXPECT_EQ(observer.messages, std::vector<std::string>{kCompletedText});
    const auto book = tabvert::test::ReadWorkbookFile(target);
    ASSERT_TRUE(book.has_value());
    EXPECT_EQ(book->SheetNames(), std::vector<std::string>{"Sheet1"});
}

TEST(ExportRun, ProgressFollowsEveryRecord) {
    QTemporaryDir dir;
    fixtures::Database desc;
    desc.tables = {NumberedTable("Long", 1200), NumberedTable("None", 0)};
    const std::string db = WriteDb(desc, dir.filePath("progress.mdb").toStdString());
    RecordingObserver observer;
    NameDigitGenerator digits;
    RunExport(Request(db, dir.filePath("p.xlsx").toStdString()), observer, digits);

    std::vector<std::string> expected = {"frame+", "clear", "dialog-"};
    for (const std::string& name : SchemaNames(db)) {
        if (!IsSystemName(name)) {
            expected.insert(expected.end(), {"table:" + name, "max:500", "bar:0"});
            for (int i = 1; i <= (name == "Long" ? 1200 : 0); ++i) {
                expected.push_back("record:" + std::to_string(i));
                expected.push_back("bar:" + std::to_string(i * 500 / 1200));  // the share of 1,200 done
            }
        }
        expected.push_back("bar:500");
    }
    expected.insert(expected.end(), {"message", "frame-"});
    EXPECT_EQ(observer.events, expected);
    EXPECT_EQ(observer.barValue, 500);
}

TEST(ExportRun, NameDigitsRepeatFromStartToStart) {
    QTemporaryDir dir;
    fixtures::Database desc;
    desc.tables = {NumberedTable("Orders/Q1", 1), NumberedTable("Quarterly figures of the north", 1),
                   NumberedTable("Quarterly figures of the north region", 1), NumberedTable("X/Y", 1)};
    const std::string db = WriteDb(desc, dir.filePath("names.mdb").toStdString());
    const auto exportWith = [&](NameDigitGenerator& digits, const char* file) {
        const fs::path target = dir.filePath(file).toStdString();
        RecordingObserver observer;
        RunExport(Request(db, target.string()), observer, digits);
        return target;
    };
    // What two program starts would name, and a second export within one start.
    NameDigitGenerator firstStart, secondStart, reference;
    std::vector<fs::path> targets;
    targets.push_back(exportWith(firstStart, "a.xlsx"));
    targets.push_back(exportWith(secondStart, "b.xlsx"));
    targets.push_back(exportWith(firstStart, "c.xlsx"));
    const auto books = tabvert::test::ReadWorkbookFiles(targets);
    const auto sheetsOf = [&](std::size_t i) {
        return books[i] ? books[i]->SheetNames() : std::vector<std::string>{};
    };
    const auto first = sheetsOf(0);
    EXPECT_EQ(sheetsOf(1), first);
    const auto again = sheetsOf(2);
    const auto expected = [&] {
        std::vector<std::string> names = {"Sheet1"};
        for (const std::string& n : UserTables(db)) names.insert(names.begin(), GetSheetName(n, reference));
        return names;
    };
    EXPECT_EQ(first, expected());
    EXPECT_EQ(again, expected());
    EXPECT_NE(first, again);
}

TEST(ExportRun, WritesNothingAndSaysWhyWhenTheDatabaseCannotBeOpenedOrTheWorkbookNotSaved) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    WriteDb(fixtures::PasswordFixture(), root / "locked.mdb");
    WriteDb(fixtures::EmptyFixture(), root / "open.mdb");
    WriteDb(fixtures::EmptyFixture(), root / ".hid.xls");
    fs::create_directory(root / "sub");
    fs::create_symlink(root / "open.mdb", root / "link.xls");
    const std::string dbBefore = FileText(root / "open.mdb"), hiddenBefore = FileText(root / ".hid.xls");
    const struct {
        const char* dbPath;  // relative to the test folder; "" for the empty path
        bool passwordProtected;
        const char* password;
        const char* target;  // relative to the test folder
        const char* says;    // part of the closing message; the provider's own description goes with "opened"
    } cases[] = {
        {"locked.mdb", true, "wrong", "out.xlsx", "could not be opened"},
        {"locked.mdb", false, "", "out.xlsx", "could not be opened"},
        {"missing.mdb", false, "", "out.xlsx", "could not be opened"},
        {"", false, "", "out.xls", "could not be opened"},
        {"open.mdb", false, "", "nowhere/out.xlsx", "was not saved"},
        {"open.mdb", false, "", "open.mdb", "over the database"},
        {"open.mdb", false, "", "sub/../open.mdb", "over the database"},
        {"open.mdb", false, "", "link.xls", "over the database"},
        {".hid.xls", false, "", ".hid", "over the database"},  // saved with ".xls" added
        {".hid.xls", false, "", ".hid.xls. ", "over the database"},
        {"open.mdb", false, "", ".", "names a folder"},
        {"open.mdb", false, "", "sub/", "names a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.dbPath) + " -> " + c.target);
        ExportRequest request =
            Request(*c.dbPath ? (root / c.dbPath).string() : "", (root / c.target).string());
        request.database.passwordProtected = c.passwordProtected;
        request.database.password = c.password;
        RecordingObserver observer;
        NameDigitGenerator digits;
        EXPECT_EQ(RunExport(request, observer, digits).outcome, Outcome::NothingWritten);
        ASSERT_EQ(observer.messages.size(), 1u);
        const std::string& message = observer.messages[0];
        EXPECT_TRUE(Has(message, c.says) && !Has(message, kCompletedText)) << message;
        if (Has(c.says, "opened")) {
            std::string description = "(the provider opened it)";
            try {
                ado::Connection probe;
                probe.Open(
                    database::BuildConnectionString(request.database.path, c.passwordProtected, c.password));
            } catch (const ado::ProviderError& e) {
                description = e.Description();
            }
            EXPECT_TRUE(Has(message, description)) << message;
        }
        // A failed save says where and why; writing over the database is refused before Excel starts.
        EXPECT_TRUE(!Has(c.says, "not saved") ||
                    (Has(message, request.target) && Has(message, "No such file")))
            << message;
        EXPECT_TRUE(Has(c.says, "opened") || Has(c.says, "not saved") ||
                    observer.events == std::vector<std::string>{"message"});
        EXPECT_EQ(FileText(root / "open.mdb"), dbBefore);
        EXPECT_EQ(FileText(root / ".hid.xls"), hiddenBefore);
        // Nothing is left behind, at the target or beside it.
        for (const auto& entry : fs::directory_iterator(root))
            EXPECT_TRUE(Has(" locked.mdb open.mdb .hid.xls sub link.xls ",
                            " " + entry.path().filename().string() + " "))
                << entry.path();
        EXPECT_TRUE(fs::is_symlink(root / "link.xls"));
    }
}

TEST(ExportRun, RowsBeyondAnOldFormatSheetAreListed) {
    QTemporaryDir dir;
    fixtures::Database desc;
    desc.tables = {NumberedTable("Tall", 65540)};
    const std::string db = WriteDb(desc, dir.filePath("tall.mdb").toStdString());
    NameDigitGenerator digits;
    RecordingObserver xls;
    const ExportResult old = RunExport(Request(db, dir.filePath("t.xls").toStdString()), xls, digits);
    EXPECT_EQ(old.outcome, Outcome::CompletedWithWarnings);
    ASSERT_EQ(old.problems.size(), 1u);
    EXPECT_EQ(old.problems[0].table, "Tall");
    EXPECT_TRUE(Has(old.problems[0].what, "65,536") && Has(old.problems[0].what, "A65537"))
        << old.problems[0].what;
    const auto book = tabvert::test::ReadWorkbookFile(dir.filePath("t.xls").toStdString());
    ASSERT_TRUE(book.has_value());
    ExpectCellShows(book->sheets[0], 65536, 2, "Row 65535");
}

// Asked to continue, a table longer than a sheet goes on to further sheets under the same header, and
// nothing is left out. "Z/Tall" gets the sheet "Z-Tall7" (the first digit drawn); the table "Z-Tall7 (2)"
// holds the name its second sheet would take, so the further sheets are "(3)" and "(4)".
TEST(ExportRun, ContinuedSheetsTakeEveryRecord) {
    QTemporaryDir dir;
    constexpr long kPerSheet = 65535;  // below the header row
    constexpr long kRecords = 2 * kPerSheet + 5;
    fixtures::Database desc;
    desc.tables = {NumberedTable("Z/Tall", kRecords), NumberedTable("Z-Tall7 (2)", 1)};
    const std::string db = WriteDb(desc, dir.filePath("tall.mdb").toStdString());
    NameDigitGenerator digits;
    RecordingObserver observer;
    ExportRequest request = Request(db, dir.filePath("t.xls").toStdString());
    request.continueSheets = true;
    const ExportResult result = RunExport(request, observer, digits);
    EXPECT_EQ(result.outcome, Outcome::Completed) << result.message;
    EXPECT_EQ(std::count(observer.events.begin(), observer.events.end(), "table:Z/Tall"), 1);

    const auto book = tabvert::test::ReadWorkbookFile(dir.filePath("t.xls").toStdString());
    ASSERT_TRUE(book.has_value());
    std::map<std::string, const tabvert::test::ReadSheet*> byName;
    for (const auto& sheet : book->sheets) byName[sheet.name] = &sheet;
    ASSERT_TRUE(byName.count("Z-Tall7") && byName.count("Z-Tall7 (2)") && byName.count("Z-Tall7 (3)") &&
                byName.count("Z-Tall7 (4)"))
        << ::testing::PrintToString(book->SheetNames());
    ExpectCellShows(*byName.at("Z-Tall7 (2)"), 2, 2, "Row 1");  // the one-row table, untouched
    EXPECT_EQ(byName.at("Z-Tall7 (2)")->Find(3, 1), nullptr);

    // The parts' records in order add up to the table, each part under the header row.
    long next = 1;
    for (const char* part : {"Z-Tall7", "Z-Tall7 (3)", "Z-Tall7 (4)"}) {
        const auto& sheet = *byName.at(part);
        SCOPED_TRACE(part);
        ExpectCellShows(sheet, 1, 1, "ID");
        ExpectCellShows(sheet, 1, 2, "Label");
        ASSERT_NE(sheet.Find(1, 1), nullptr);
        EXPECT_TRUE(sheet.Find(1, 1)->bold);
        long rows = 0;
        for (const auto& cell : sheet.cells) {
            if (cell.row < 2 || cell.column != 1) continue;
            ASSERT_EQ(cell.row, rows + 2);
            ASSERT_EQ(cell.number, static_cast<double>(next)) << "row " << cell.row;
            ++rows;
            ++next;
        }
        EXPECT_LE(rows, kPerSheet);
    }
    EXPECT_EQ(next - 1, kRecords);
}

// Open files do not grow with the number of tables: 1,200 of them export under a limit of 64.
TEST(ExportRun, ManyTablesExportUnderALowOpenFileLimit) {
    QTemporaryDir dir;
    fixtures::Database desc;
    for (int i = 1; i <= 1200; ++i) desc.tables.push_back(NumberedTable("T" + std::to_string(10000 + i), 2));
    const std::string db = WriteDb(desc, dir.filePath("many.mdb").toStdString());
    std::vector<fs::path> targets;
    for (const char* name : {"many.xlsx", "many.xls"}) {
        SCOPED_TRACE(name);
        targets.push_back(dir.filePath(name).toStdString());
        rlimit saved{};
        getrlimit(RLIMIT_NOFILE, &saved);
        rlimit low = saved;
        low.rlim_cur = 64;
        setrlimit(RLIMIT_NOFILE, &low);
        NameDigitGenerator digits;
        RecordingObserver observer;
        const ExportResult result = RunExport(Request(db, targets.back().string()), observer, digits);
        setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(result.outcome, Outcome::Completed) << result.message;
    }
    const auto books = tabvert::test::ReadWorkbookFiles(targets);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        SCOPED_TRACE(targets[i].filename().string());
        const auto& book = books[i];
        ASSERT_TRUE(book.has_value());
        ASSERT_EQ(book->sheets.size(), 1201u);
        EXPECT_EQ(book->sheets[0].name, "T11200");
        ExpectCellShows(book->sheets[0], 3, 2, "Row 2");
    }
}

TEST(ExportRun, DatesTheirTypeCannotHoldAreLeftEmptyAndCountedByField) {
    QTemporaryDir dir;
    fixtures::Table table;
    table.name = "Dates";
    table.columns = {{"ID", fixtures::ColumnType::Long},
                     {"When", fixtures::ColumnType::DateTime},
                     {"Due", fixtures::ColumnType::DateTime}};
    const double stored[] = {text::JoinOleDate({100, 1, 1}),
                             text::JoinOleDate({9999, 12, 31, 23, 59, 59}),
                             std::nan(""),
                             HUGE_VAL,
                             -HUGE_VAL,
                             text::JoinOleDate({100, 1, 1}) - 1,
                             text::JoinOleDate({9999, 12, 31, 23, 59, 59}) + 1.0 / 86400,
                             1e300};
    for (std::size_t i = 0; i < std::size(stored); ++i)
        table.rows.push_back({static_cast<std::int64_t>(i + 1), fixtures::DateTime{stored[i]},
                              fixtures::DateTime{i == 3 ? -1e12 : 45000.0}});
    fixtures::Database desc;
    desc.tables = {table};
    const std::string db = WriteDb(desc, dir.filePath("dates.mdb").toStdString());
    const std::string out = dir.filePath("dates.xlsx").toStdString();
    RecordingObserver observer;
    NameDigitGenerator digits;
    const ExportResult result = RunExport(Request(db, out), observer, digits);
    EXPECT_EQ(result.outcome, Outcome::CompletedWithWarnings);
    ASSERT_EQ(result.problems.size(), 2u);
    EXPECT_EQ(result.problems[0].table, "Dates");
    EXPECT_TRUE(Has(result.problems[0].what, "6 values of the field \"When\" could not be read"))
        << result.problems[0].what;
    EXPECT_TRUE(
        Has(result.problems[1].what, "1 value of the field \"Due\" could not be read and its cell is"))
        << result.problems[1].what;
    const auto book = tabvert::test::ReadWorkbookFile(out);
    ASSERT_TRUE(book.has_value());
    ExpectCellShows(book->sheets[0], 2, 2, "1/1/0100");
    ExpectCellShows(book->sheets[0], 3, 2, "12/31/9999 11:59:59 PM");
    for (long row = 4; row <= 9; ++row) ExpectCellShows(book->sheets[0], row, 2, "");
    ExpectCellShows(book->sheets[0], 5, 3, "");
    ExpectCellShows(book->sheets[0], 6, 3, "3/15/2023");
}

TEST(ExportRun, RealSampleDatabases) {
    const fs::path samples = tabvert::test::SamplesDir();
    if (samples.empty()) GTEST_SKIP() << "no sample databases";
    const std::map<std::string, std::string> passwords = {{"V2000_with-password.mdb", "password"},
                                                          {"V2003_with-password.mdb", "password"},
                                                          {"V2010_with-password.accdb", "password"},
                                                          {"office-agile-4.4.accdb", "password"},
                                                          {"password.mdb", "ucanaccess"},
                                                          {"db2007-enc.accdb", "Test123"},
                                                          {"db2007-oldenc.accdb", "Test123"},
                                                          {"db2013-enc.accdb", "1234"}};
    QTemporaryDir dir;
    // Every sample exported first, then all the workbooks read back by one run of the reader.
    struct Exported {
        std::string file, name, password;
        std::vector<std::string> tables;
        ExportResult result;
        fs::path target;
    };
    std::vector<Exported> exported;
    for (const auto& entry : fs::directory_iterator(samples)) {
        const std::string file = entry.path().string(), name = entry.path().filename().string();
        if (entry.path().extension() == ".md") continue;
        SCOPED_TRACE(name);
        const std::string password = passwords.contains(name) ? passwords.at(name) : "";
        ExportRequest request =
            Request(file, dir.filePath(QString::fromStdString(name + ".xlsx")).toStdString());
        request.database.passwordProtected = !password.empty();
        request.database.password = password;
        std::vector<std::string> tables;
        try {
            tables = UserTables(file, password);
        } catch (const ado::ProviderError&) {
            continue;  // databases the provider cannot open: see the failure cases above
        }
        RecordingObserver observer;
        NameDigitGenerator digits;
        const ExportResult result = RunExport(request, observer, digits);
        ASSERT_NE(result.outcome, Outcome::NothingWritten) << result.message;
        exported.push_back({file, name, password, tables, result, request.target});
    }
    std::vector<fs::path> targets;
    for (const Exported& e : exported) targets.push_back(e.target);
    std::vector<std::string> errors;
    const auto books = tabvert::test::ReadWorkbookFiles(targets, &errors);
    for (std::size_t i = 0; i < exported.size(); ++i) {
        const Exported& e = exported[i];
        SCOPED_TRACE(e.name);
        const auto& book = books[i];
        ASSERT_TRUE(book.has_value()) << errors[i];
        ASSERT_EQ(book->sheets.size(), e.tables.size() + 1);
        for (std::size_t t = 0; t < e.tables.size(); ++t) {
            SCOPED_TRACE(e.tables[t]);
            const auto& sheet = book->sheets[e.tables.size() - 1 - t];
            try {
                ExpectRecords(sheet, TableTexts(e.file, e.tables[t], e.password));
            } catch (const ado::ProviderError&) {
                // A view or linked table the provider cannot read: its sheet stays empty and the
                // closing message names it.
                EXPECT_TRUE(sheet.cells.empty());
                EXPECT_TRUE(std::any_of(e.result.problems.begin(), e.result.problems.end(),
                                        [&](const ExportProblem& p) { return p.table == e.tables[t]; }));
            }
        }
    }
}

}  // namespace
}  // namespace tabvert::exporting::test
