// tabvert-cli when stopped mid-export, passwords kept off the command line, inputs that are no files or
// too long, paths that start with "-".

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "fixtures/fixture_set.h"
#include "support/export_test_support.h"
#include "support/paths.h"

namespace tabvert::exporting::test {
namespace {

namespace fs = std::filesystem;
using tabvert::test::ShellQuote;

std::string Cli() { return ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()); }

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// True once process `pid` has `file` open.
bool HasOpen(pid_t pid, const fs::path& file) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
        if (fs::read_symlink(fd.path(), ec) == file) return true;
    return false;
}

TEST(CliStop, AStoppedExportWritesNothingAndKeepsTheWorkbookThatWasThere) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path db = fixtures::WriteFixtureInto("big", root);
    const fs::path target = root / "book.xlsx", tmp = root / "tmp", err = root / "err.txt";
    fs::create_directory(tmp);
    std::ofstream(target) << "the workbook from last week";
    const std::pair<int, int> cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}, {SIGKILL, -1}};
    for (const auto& [signal, status] : cases) {
        SCOPED_TRACE(signal);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(fd, STDERR_FILENO);
            setenv("TMPDIR", tmp.c_str(), 1);
            const std::string cli = (tabvert::test::BuildDir() / "tabvert-cli").string();
            execl(cli.c_str(), cli.c_str(), "export", db.c_str(), target.c_str(), nullptr);
            _exit(127);
        }
        // Stopped while it copies: the database is open then.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!HasOpen(child, db) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(child, signal);
        int result = 0;
        waitpid(child, &result, 0);
        if (status < 0) {
            EXPECT_TRUE(WIFSIGNALED(result) && WTERMSIG(result) == SIGKILL);
        } else {
            ASSERT_TRUE(WIFEXITED(result));
            EXPECT_EQ(WEXITSTATUS(result), status);
            EXPECT_NE(FileText(err).find("nothing was written"), std::string::npos) << FileText(err);
        }
        EXPECT_EQ(FileText(target), "the workbook from last week");
        EXPECT_EQ(Entries(root), (std::set<std::string>{"big.mdb", "book.xlsx", "tmp", "err.txt"}));
        EXPECT_TRUE(fs::is_empty(tmp));
    }
}

TEST(CliPassword, FromAFileStandardInputOrTheEnvironment) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string db = ShellQuote(fixtures::WriteFixtureInto("password", root).string());
    const std::string good = ShellQuote((root / "good.txt").string()),
                      crlf = ShellQuote((root / "crlf.txt").string());
    std::ofstream(root / "good.txt") << fixtures::kFixturePassword << "\n";
    std::ofstream(root / "crlf.txt") << fixtures::kFixturePassword << "\r\nsecond line\n";
    const std::string env = std::string("TABVERT_PASSWORD=") + ShellQuote(fixtures::kFixturePassword) + " ";
    const struct {
        std::string command;
        int status;
    } cases[] = {
        {Cli() + " tables " + db + " --password-file " + good, 0},
        {Cli() + " tables " + db + " --password-file " + crlf, 0},
        {"printf '%s\\n' " + ShellQuote(fixtures::kFixturePassword) + " | " + Cli() + " tables " + db +
             " --password-file -",
         0},
        {env + Cli() + " tables " + db, 0},
        {env + Cli() + " tables " + db + " --password wrong", 1},  // the command line wins
        {"TABVERT_PASSWORD=wrong " + Cli() + " tables " + db, 1},
        {Cli() + " tables " + db + " --password-file " + ShellQuote((root / "none.txt").string()), 2},
        {Cli() + " export " + db + " " + ShellQuote((root / "o.xlsx").string()) + " --password-file " + good,
         0},
        {env + Cli() + " export " + db + " " + ShellQuote((root / "e.xlsx").string()), 0},
        {Cli() + " export " + db + " " + ShellQuote((root / "n.xlsx").string()) + " --password-file " +
             ShellQuote((root / "none.txt").string()),
         2},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(tabvert::test::RunCommand("env -u TABVERT_PASSWORD " + c.command + " 2>&1", &out), c.status)
            << c.command << "\n"
            << out;
        const bool listed = out.find("Contacts") != std::string::npos;
        EXPECT_TRUE(c.status != 0 || c.command.find(" tables ") == std::string::npos || listed) << out;
    }
    EXPECT_TRUE(fs::exists(root / "o.xlsx") && fs::exists(root / "e.xlsx") && !fs::exists(root / "n.xlsx"));
}

TEST(CliInputs, OnlyARegularFileIsOpenedAndAPasswordFileIsReadOnlyToItsLimit) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const std::string db = ShellQuote(fixtures::WriteFixtureInto("password", root).string());
    const std::string fifo = (root / "pipe.mdb").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(root / "folder.mdb");
    std::ofstream(root / "limit.txt") << std::string(4096, 'x') << "\n";
    std::ofstream(root / "over.txt") << std::string(4097, 'x') << "\n";
    const std::string book = " " + ShellQuote((root / "out.xlsx").string());
    // timeout: a database or password file that is read without end fails as 124 instead of hanging.
    const std::string cli = "env -u TABVERT_PASSWORD timeout 60 " + Cli();
    const struct {
        std::string arguments;
        int status;
        std::string says;
    } cases[] = {
        {"tables " + ShellQuote(fifo), 1, "it is a pipe, a device or a socket"},
        {"export " + ShellQuote(fifo) + book, 2, "it is a pipe, a device or a socket"},
        {"tables /dev/zero", 1, "it is a pipe, a device or a socket"},
        {"tables " + ShellQuote((root / "folder.mdb").string()), 1, "it is a folder, not a database file"},
        {"export " + ShellQuote((root / "folder.mdb").string()) + book, 2, "it is a folder"},
        {"tables " + db + " --password-file /dev/zero", 2, "its first line is longer than 4096 bytes"},
        {"tables " + db + " --password-file " + ShellQuote((root / "over.txt").string()), 2,
         "longer than 4096 bytes"},
        // Exactly the limit is a password, only the wrong one.
        {"tables " + db + " --password-file " + ShellQuote((root / "limit.txt").string()), 1,
         "Not a valid password."},
        {"tables " + db + " --password-file " + ShellQuote(root.string()), 2, "is a folder"},
        // An option the command has no use for is a mistake, not something silently ignored.
        {"tables " + db + " --top 3", 2, "unknown option --top"},
        {"queries " + db + " --locale de_DE", 2, "unknown option --locale"},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(tabvert::test::RunCommand(cli + " " + c.arguments + " 2>&1", &out), c.status)
            << c.arguments << "\n"
            << out;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.arguments << "\n" << out;
    }
    std::string out;
    EXPECT_EQ(tabvert::test::RunCommand("head -c 100000 /dev/zero | tr '\\0' x | " + cli + " tables " + db +
                                            " --password-file - 2>&1",
                                        &out),
              2)
        << out;
    EXPECT_FALSE(fs::exists(root / "out.xlsx"));
}

TEST(CliArguments, DashDashEndsOptionsAndTopTakesAnyPositiveCount) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::WriteFixture("password", root / "-db.mdb");
    const std::string in = "cd " + ShellQuote(root.string()) + " && env -u TABVERT_PASSWORD " + Cli();
    const std::string pw = " --password " + ShellQuote(fixtures::kFixturePassword);
    std::string out;
    EXPECT_EQ(
        tabvert::test::RunCommand(in + " rows --top 9223372036854775807" + pw + " -- -db.mdb Contacts", &out),
        0);
    const auto lines = std::count(out.begin(), out.end(), '\n');
    EXPECT_GT(lines, 1);
    out.clear();
    EXPECT_EQ(tabvert::test::RunCommand(in + " rows --top 1" + pw + " -- -db.mdb Contacts", &out), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
    for (const char* top : {"0", "-1", "9223372036854775808", "1e3"})
        EXPECT_EQ(
            tabvert::test::RunCommand(in + " rows --top " + top + pw + " -- -db.mdb Contacts 2>/dev/null"), 2)
            << top;
    EXPECT_EQ(tabvert::test::RunCommand(in + " export" + pw + " -- -db.mdb -out.xlsx >/dev/null"), 0);
    EXPECT_TRUE(fs::exists(root / "-out.xlsx"));
    EXPECT_EQ(tabvert::test::RunCommand(in + " export" + pw + " -db.mdb -out2.xlsx 2>/dev/null"), 2);
}

TEST(CliRows, AValueThatIsNoDateIsPrintedEmptyAndNamed) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Table table;
    table.name = "Dates";
    table.columns = {{"ID", fixtures::ColumnType::Long}, {"When", fixtures::ColumnType::DateTime}};
    table.rows = {{std::int64_t{1}, fixtures::DateTime{45000.5}},
                  {std::int64_t{2}, fixtures::DateTime{std::nan("")}},
                  {std::int64_t{3}, fixtures::DateTime{-1e12}}};
    fixtures::Database desc;
    desc.tables = {table};
    const fs::path db = WriteDb(desc, root / "dates.mdb");
    std::string out;
    ASSERT_EQ(
        tabvert::test::RunCommand(Cli() + " rows " + ShellQuote(db.string()) + " Dates --locale en_US 2>" +
                                      ShellQuote((root / "err.txt").string()),
                                  &out),
        0);
    EXPECT_EQ(out, "ID\tWhen\n1\t3/15/2023 12:00:00 PM\n2\t\n3\t\n");
    const std::string err = FileText(root / "err.txt");
    EXPECT_NE(err.find("record 2, field When: printed empty"), std::string::npos) << err;
    EXPECT_NE(err.find("record 3, field When: printed empty"), std::string::npos) << err;
}

}  // namespace
}  // namespace tabvert::exporting::test
