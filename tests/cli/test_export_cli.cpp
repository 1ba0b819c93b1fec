// tabvert-cli export: exit status, what goes where, and the same workbook as the program's run.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "core/database/catalogue.h"
#include "core/export/export_run.h"
#include "fixtures/fixture_set.h"
#include "support/export_test_support.h"
#include "support/paths.h"
#include "support/workbook_reader.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;
using tabvert::test::ShellQuote;

struct CliCase {
    const char* label;
    const char* fixture;  // "" for a file that does not exist
    const char* extraArgs;
    int status;
};

// A failing case names itself rather than showing the struct's bytes.
void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.label << " (fixture \"" << c.fixture << "\", arguments \"" << c.extraArgs << "\", status "
        << c.status << ")";
}

class ExportCli : public ::testing::TestWithParam<CliCase> {};

TEST_P(ExportCli, ExitStatusSaysWhatWasWritten) {
    const CliCase& c = GetParam();
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path db = *c.fixture ? fixtures::WriteFixtureInto(c.fixture, root) : root / "missing.mdb";
    const fs::path target = root / "out.xlsx";
    std::string out;
    // stderr is a file here, not a terminal: no progress line may appear in it.
    const int status = tabvert::test::RunCommand(
        ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()) + " export " +
            ShellQuote(db.string()) + " " + ShellQuote(target.string()) + " " + c.extraArgs + " 2>" +
            ShellQuote((root / "err.txt").string()),
        &out);
    const std::string err = FileText(root / "err.txt");
    EXPECT_EQ(status, c.status) << out << err;
    if (c.status == 2) {
        EXPECT_EQ(out, "");
        EXPECT_NE(err, "");
        EXPECT_FALSE(fs::exists(target));
    } else {
        EXPECT_EQ(out.rfind(kCompletedText, 0), 0u) << out;
        EXPECT_EQ(out.find("Not everything could be copied") != std::string::npos, c.status == 1) << out;
        EXPECT_EQ(err, "");
        EXPECT_TRUE(fs::exists(target));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportCli,
    ::testing::Values(CliCase{"Clean", "northwind-lite", "", 0},
                      CliCase{"Password", "password", "--password 's3cret pw'", 0},
                      CliCase{"WithWarnings", "catalogue", "", 1},
                      CliCase{"PasswordMissing", "password", "", 2}, CliCase{"NoDatabase", "", "", 2},
                      CliCase{"PasswordWithoutValue", "northwind-lite", "--password", 2}),
    [](const ::testing::TestParamInfo<CliCase>& i) { return std::string(i.param.label); });

// The readers' whole account of a workbook: sheets, cells, values and formats, as JSON.
std::string ReadBack(const fs::path& path) {
    std::string json;
    tabvert::test::RunCommand(
        std::string(tabvert::test::SystemPython()) + " " +
            ShellQuote((tabvert::test::SourceDir() / "tests/tools/read_workbook.py").string()) + " " +
            ShellQuote(path.string()),
        &json);
    return json;
}

std::string Cli() { return ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()); }

TEST(ExportCli, WritesTheSameWorkbookAsTheProgram) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path db = fixtures::WriteFixtureInto("catalogue", root);
    // The .xlsx run names a locale, the .xls run takes the default (the user's).
    const struct {
        const char* ext;
        const char* option;
        text::Locale locale;
    } cases[] = {{"xlsx", " --locale de_DE", text::Locale::DeDE()}, {"xls", "", text::Locale::System()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ext);
        const fs::path fromCli = root / (std::string("cli.") + c.ext);
        const fs::path fromRun = root / (std::string("run.") + c.ext);
        tabvert::test::RunCommand(Cli() + " export " + ShellQuote(db.string()) + " " +
                                  ShellQuote(fromCli.string()) + c.option + " >/dev/null");
        ExportRequest request = Request(db.string(), fromRun.string());
        request.locale = c.locale;
        RecordingObserver observer;
        NameDigitGenerator digits;
        RunExport(request, observer, digits);
        const std::string cli = ReadBack(fromCli);
        EXPECT_GT(cli.size(), 1000u);
        EXPECT_EQ(cli, ReadBack(fromRun));
    }
}

std::vector<std::string> SheetNames(const fs::path& workbook) {
    std::string out;
    tabvert::test::RunCommand(
        std::string(tabvert::test::SystemPython()) +
            " -c 'import openpyxl,sys; print(*openpyxl.load_workbook(sys.argv[1]).sheetnames, "
            "sep=\"\\n\")' " +
            ShellQuote(workbook.string()),
        &out);
    std::vector<std::string> names;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        names.push_back(out.substr(at, end - at));
    return names;
}

TEST(ExportCli, ChosenTablesOnlyInTheDatabasesOrder) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path db = fixtures::WriteFixtureInto("northwind-lite", root);
    std::vector<std::string> tables;
    for (const auto& entry : database::ListTables({db.string(), 0, ""})) tables.push_back(entry.storedName);
    ASSERT_GE(tables.size(), 3u);
    const auto exportTo = [&](const fs::path& target, const std::string& options) {
        return tabvert::test::RunCommand(Cli() + " export " + ShellQuote(db.string()) + " " +
                                         ShellQuote(target.string()) + options + " >/dev/null");
    };
    // Named last first, and one twice: the workbook is the whole export without the other tables.
    ASSERT_EQ(exportTo(root / "all.xlsx", ""), 0);
    ASSERT_EQ(
        exportTo(root / "chosen.xlsx", " --table " + ShellQuote(tables.back()) + " --table " +
                                           ShellQuote(tables[0]) + " --table " + ShellQuote(tables.back())),
        0);
    std::vector<std::string> expected = SheetNames(root / "all.xlsx");
    ASSERT_EQ(expected.size(), tables.size() + 1);  // and the sheet a new workbook starts with
    std::erase_if(expected, [&](const std::string& sheet) {
        return sheet != tables[0] && sheet != tables.back() &&
               std::find(tables.begin(), tables.end(), sheet) != tables.end();
    });
    EXPECT_EQ(SheetNames(root / "chosen.xlsx"), expected);
}

// Every failure is reported on stderr behind the program's name; mistakes on the command line exit 2,
// and no workbook is left behind.
TEST(ExportCli, FailuresAreNamedAndUsageErrorsExitTwo) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string db = ShellQuote(fixtures::WriteFixtureInto("northwind-lite", root).string());
    const std::string target = ShellQuote((root / "out.xlsx").string());
    const struct {
        std::string args;
        int status;
    } cases[] = {
        {"", 2},
        {"frobnicate", 2},
        {"export " + db, 2},
        {"export " + db + " " + target + " --locale xx_XX", 2},
        {"export " + db + " " + target + " --table", 2},
        {"export " + db + " " + target + " --table NoSuchTable", 2},
        {"export " + db + " " + target + " --bogus", 2},
        {"export " + ShellQuote((root / "missing.mdb").string()) + " " + target, 2},
        {"rows " + db + " NoSuchTable", 1},
        {"tables " + db + " --top", 2},
        {"export " + db + " " + target + " --attachments", 2},
        {"export " + db + " " + target + " --attachments ''", 2},
        {"rows " + db + " Customers --continue-sheets", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const fs::path errFile = root / "err.txt";
        std::string out;
        const int status =
            tabvert::test::RunCommand(Cli() + " " + c.args + " 2>" + ShellQuote(errFile.string()), &out);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(out, "");
        EXPECT_EQ(FileText(errFile).rfind("tabvert-cli: ", 0), 0u) << FileText(errFile);
        EXPECT_FALSE(fs::exists(root / "out.xlsx"));
    }

    std::string version;
    EXPECT_EQ(tabvert::test::RunCommand(Cli() + " --version", &version), 0);
    EXPECT_EQ(version, "tabvert-cli (Norrin Tabvert) " TABVERT_VERSION "\n");
}

// OLE objects go to the folder --attachments names, or else to the one the [Export] settings name
// (relative to the workbook's folder); the cells hold the paths from the workbook's folder.
TEST(ExportCli, ObjectsGoToTheChosenFolder) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Table table;
    table.name = "Pics";
    table.columns = {{"ID", fixtures::ColumnType::Long}, {"Pic", fixtures::ColumnType::Ole}};
    table.rows = {{std::int64_t{1}, fixtures::Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F', 0}}};
    fixtures::Database desc;
    desc.tables = {table};
    const std::string db = ShellQuote(WriteDb(desc, root / "pics.mdb").string());
    fs::create_directories(root / "config/Norrin Tabvert");
    fs::create_directories(root / "books");
    std::ofstream(root / "config/Norrin Tabvert/Norrin Tabvert.ini")
        << "[Export]\nAttachmentsFolder=stored\n";
    const std::string env = "XDG_CONFIG_HOME=" + ShellQuote((root / "config").string()) + " ";

    std::string out;
    ASSERT_EQ(tabvert::test::RunCommand("cd " + ShellQuote(root.string()) + " && " + env + Cli() +
                                            " export " + db + " books/a.xlsx --attachments given",
                                        &out),
              0)
        << out;
    EXPECT_TRUE(fs::is_regular_file(root / "given/Pics/1-Pic.jpg"));
    ASSERT_EQ(tabvert::test::RunCommand(
                  env + Cli() + " export " + db + " " + ShellQuote((root / "books/b.xls").string()), &out),
              0)
        << out;
    EXPECT_TRUE(fs::is_regular_file(root / "books/stored/Pics/1-Pic.jpg"));
    EXPECT_FALSE(fs::exists(root / "stored"));

    const auto books = tabvert::test::ReadWorkbookFiles({root / "books/a.xlsx", root / "books/b.xls"});
    ASSERT_TRUE(books[0] && books[1]);
    const auto* given = books[0]->sheets.at(0).Find(2, 2);
    const auto* stored = books[1]->sheets.at(0).Find(2, 2);
    ASSERT_TRUE(given && stored);
    EXPECT_EQ(given->text, "../given/Pics/1-Pic.jpg");
    EXPECT_EQ(stored->text, "stored/Pics/1-Pic.jpg");
}

TEST(ExportCli, StoredQueriesFillTheirSheetsAndTheOnesThatCannotRunAreListed) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path db = fixtures::WriteFixtureInto("queries", root);
    const fs::path target = root / "q.xlsx";
    std::string out;
    EXPECT_EQ(tabvert::test::RunCommand(Cli() + " export " + ShellQuote(db.string()) + " " +
                                            ShellQuote(target.string()) +
                                            " --locale en_US --table qInner --table qVba",
                                        &out),
              1);
    EXPECT_NE(
        out.find("\"qVba\": its records could not be read: Undefined function 'MyDiscount' in expression."),
        std::string::npos)
        << out;
    EXPECT_EQ(out.find("qInner\":"), std::string::npos) << out;
    const auto book = tabvert::test::ReadWorkbookFile(target);
    ASSERT_TRUE(book);
    const tabvert::test::ReadSheet* inner = nullptr;
    for (const auto& sheet : book->sheets)
        if (sheet.name == "qInner") inner = &sheet;
    ASSERT_NE(inner, nullptr);
    // The orders whose customer exists (7 of the 9), by order number: the first is Anna's 10 of 12.5.
    EXPECT_EQ(inner->cells.back().row, 8);
    const auto* name = inner->Find(2, 1);
    const auto* amount = inner->Find(2, 3);
    ASSERT_TRUE(name && amount);
    EXPECT_EQ(name->text, "Anna");
    // The worksheet writer decides between a number cell and a text cell; the value is the same.
    EXPECT_TRUE(amount->type == "n" ? amount->number == 12.5 : amount->text == "12.5") << amount->type;
}

}  // namespace
}  // namespace tabvert::exporting::test
