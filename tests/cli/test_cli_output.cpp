// What tabvert-cli writes: names and values with control characters on a terminal, in a file and in
// messages; standard output that cannot be written.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <string>

#include "fixtures/access_objects.h"
#include "fixtures/fixture_set.h"
#include "support/export_test_support.h"
#include "support/paths.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;
using tabvert::test::RunCommand;
using tabvert::test::ShellQuote;
using namespace std::string_literals;

std::string Cli() { return ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()); }

const std::string kRedTable = "Esc\x1b[31mRed";
// A "[" keeps it from being a sheet name, so the closing message names it.
const std::string kBrokenTable = "Odd\x1b[1m\tTab\nLine";

// Names and values that would recolour, retitle or clear a terminal, or break a line.
fs::path WriteHostile(const fs::path& dir) {
    fixtures::Table red;
    red.name = kRedTable;
    red.columns = {{"ID", fixtures::ColumnType::Long}, {"Note\a", fixtures::ColumnType::Memo}};
    red.rows = {{std::int64_t{1}, std::string("a\x1b]0;title\ab")},
                {std::int64_t{2}, std::string("tab\there\nnext\\end")},
                {std::int64_t{3}, "del\x7f csi\xc2\x9b nul\0end"s}};
    fixtures::Table broken;
    broken.name = kBrokenTable;
    broken.columns = {{"ID", fixtures::ColumnType::Long}};
    broken.rows = {{std::int64_t{1}}};
    fixtures::Database db;
    db.tables = {red, broken};
    db.queries.push_back(fixtures::QueryBuilder("Q\x1b[2J").Table(kRedTable).Star().Build());
    return WriteDb(db, dir / "hostile.mdb");
}

// The first byte that acts on a terminal, other than the tab between fields and a line end (a terminal
// shows "\n" as "\r\n"); empty when there is none.
std::string FirstRawControl(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\t' || c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) continue;
        const bool c1 = c == 0xC2 && i + 1 < text.size() && (text[i + 1] & 0xE0) == 0x80;
        if (c < 0x20 || c == 0x7F || c1)
            return "byte " + std::to_string(c) + " after \"" +
                   text.substr(i < 30 ? 0 : i - 30, i < 30 ? i : 30) + "\"";
    }
    return {};
}

// Runs a command with its standard output on a terminal of its own (script's pseudo-terminal).
std::string OnTerminal(const std::string& command) {
    std::string out;
    RunCommand("script -qec " + ShellQuote(command) + " /dev/null </dev/null", &out);
    return out;
}

TEST(CliTerminal, ControlCharactersReachATerminalOnlyAsTextAndAFileAsData) {
    QTemporaryDir dir;
    const std::string db = ShellQuote(WriteHostile(dir.path().toStdString()).string());
    const std::string rows = Cli() + " rows " + db + " " + ShellQuote(kRedTable);

    // To a file the values stay as they are; only what would break a line or a field is escaped.
    std::string piped;
    ASSERT_EQ(RunCommand(rows, &piped), 0);
    EXPECT_EQ(
        piped,
        "ID\tNote\a\n1\ta\x1b]0;title\ab\n2\ttab\\there\\nnext\\\\end\n3\tdel\x7f csi\xc2\x9b nul\0end\n"s);

    if (RunCommand("script -qec true /dev/null </dev/null >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no pseudo-terminal (script) to run on";
    const std::string shownRows = OnTerminal(rows);
    EXPECT_EQ(FirstRawControl(shownRows), "") << shownRows;
    for (const char* shown : {"ID\tNote\\x07\r\n", "1\ta\\x1b]0;title\\x07b\r\n",
                              "2\ttab\\there\\nnext\\\\end\r\n", "del\\x7f csi\\u009b nul\\x00end"})
        EXPECT_NE(shownRows.find(shown), std::string::npos) << shown << " in " << shownRows;

    const std::string tables = OnTerminal(Cli() + " tables " + db);
    EXPECT_EQ(FirstRawControl(tables), "") << tables;
    EXPECT_NE(tables.find("Esc\\x1b[31mRed\tTABLE\r\n"), std::string::npos) << tables;
    EXPECT_NE(tables.find("Odd\\x1b[1m\\tTab\\nLine\tTABLE\r\n"), std::string::npos) << tables;

    const std::string queries = OnTerminal(Cli() + " queries " + db);
    EXPECT_EQ(FirstRawControl(queries), "") << queries;
    EXPECT_NE(queries.find("Q\\x1b[2J\tselect\r\n"), std::string::npos) << queries;
    EXPECT_NE(queries.find("Esc\\x1b[31mRed"), std::string::npos) << queries;  // in its SQL
}

TEST(CliMessages, ControlCharactersInMessagesAreShownAsText) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string db = ShellQuote(WriteHostile(root).string());
    const std::string missing = ShellQuote("Gone\x1b[31m");
    const struct {
        std::string command;
        int status;
        std::string shown;  // in the message
    } cases[] = {
        {Cli() + " rows " + db + " " + missing, 1, "Gone\\x1b[31m"},
        {Cli() + " export " + db + " " + ShellQuote((root / "a.xlsx").string()) + " --table " + missing, 2,
         "no table named 'Gone\\x1b[31m'"},
        {Cli() + " \x1b[2Jwipe", 2, "unknown command '\\x1b[2Jwipe'"},
        {Cli() + " export " + db + " " + ShellQuote((root / "b.xlsx").string()), 1,
         "- Table \"Odd\\x1b[1m\\tTab\\nLine\": the sheet keeps the name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        std::string out;
        EXPECT_EQ(RunCommand(c.command + " 2>&1", &out), c.status) << out;
        EXPECT_EQ(FirstRawControl(out), "") << out;
        EXPECT_NE(out.find(c.shown), std::string::npos) << out;
    }
}

TEST(CliWrites, OutputThatCannotBeWrittenIsAFailure) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string big = ShellQuote(fixtures::WriteFixtureInto("big", root).string());
    const std::string queries = ShellQuote(fixtures::WriteFixtureInto("queries", root).string());
    const fs::path book = root / "out.xlsx";
    const std::string commands[] = {
        Cli() + " rows " + big + " Big",  // fails on the way, far beyond any buffer
        Cli() + " tables " + big,
        Cli() + " queries " + queries,
        Cli() + " --help",
        Cli() + " export " + big + " " + ShellQuote(book.string()),
    };
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        // The same command with somewhere to write succeeds: the failure below is the full disk's.
        EXPECT_EQ(RunCommand(command + " >/dev/null 2>&1"), 0);
        std::string err;
        EXPECT_EQ(RunCommand(command + " 2>&1 >/dev/full", &err), 1);
        EXPECT_NE(err.find("cannot write the output: No space left on device"), std::string::npos) << err;
    }
    // The workbook itself was written; only its closing message was lost.
    EXPECT_TRUE(fs::exists(book));
}

// A value that cannot be decoded (a Date/Time Extended beyond year 9999) is printed empty with the
// reason on standard error, the records after it still come, and the command fails; a column of a type
// no reader knows is named once and printed as its bytes.
TEST(CliRows, AValueThatCannotBeReadIsPrintedEmptyAndTheCommandFails) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Table table;
    table.name = "Mixed";
    fixtures::Column odd{"Odd", fixtures::ColumnType::Binary};
    odd.storedType = 0x3C;
    table.columns = {
        {"ID", fixtures::ColumnType::Long}, {"When", fixtures::ColumnType::ExtendedDateTime}, odd};
    for (std::int64_t id = 1; id <= 3; ++id)
        table.rows.push_back({id, fixtures::ExtendedDateTimeText(id == 2 ? 3652059 : 738521, 36000, 0),
                              fixtures::Bytes{0x00, 0xAB, 0x7F}});
    fixtures::Database desc;
    desc.format = fixtures::Format::Ace12;
    desc.tables = {table};
    const fs::path db = WriteDb(desc, root / "mixed.accdb");

    const fs::path errFile = root / "err.txt";
    std::string out;
    EXPECT_EQ(
        RunCommand(Cli() + " rows " + ShellQuote(db.string()) + " Mixed 2>" + ShellQuote(errFile.string()),
                   &out),
        1);
    EXPECT_EQ(
        out,
        "ID\tWhen\tOdd\n1\t1/2/2023 10:00:00 AM\t00AB7F\n2\t\t00AB7F\n3\t1/2/2023 10:00:00 AM\t00AB7F\n");
    std::string err;
    RunCommand("cat " + ShellQuote(errFile.string()), &err);
    EXPECT_NE(err.find("record 2, field When: printed empty"), std::string::npos) << err;
    EXPECT_NE(err.find("field Odd: "), std::string::npos) << err;
}

}  // namespace
}  // namespace tabvert::exporting::test
