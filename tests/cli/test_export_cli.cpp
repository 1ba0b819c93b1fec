// tabvert-cli export: exit status, what goes where, and the same workbook as the program's run.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "core/export_run.h"
#include "support/export_test_support.h"
#include "fixtures/fixture_set.h"
#include "support/paths.h"

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

TEST(ExportCli, WritesTheSameWorkbookAsTheProgram) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path db = fixtures::WriteFixtureInto("catalogue", root);
    for (const char* ext : {"xlsx", "xls"}) {
        SCOPED_TRACE(ext);
        const fs::path fromCli = root / (std::string("cli.") + ext);
        const fs::path fromRun = root / (std::string("run.") + ext);
        tabvert::test::RunCommand(ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()) +
                                  " export " + ShellQuote(db.string()) + " " + ShellQuote(fromCli.string()) +
                                  " >/dev/null");
        ExportRequest request = Request(db.string(), fromRun.string());
        request.locale = text::Locale::system();
        RecordingObserver observer;
        NameDigitGenerator digits;
        RunExport(request, observer, digits);
        // The readers' whole account of each file: sheets, cells, values and formats.
        auto readBack = [](const fs::path& path) {
            std::string json;
            tabvert::test::RunCommand(
                std::string(tabvert::test::SystemPython()) + " " +
                    ShellQuote((tabvert::test::SourceDir() / "tests/tools/read_workbook.py").string()) + " " +
                    ShellQuote(path.string()),
                &json);
            return json;
        };
        const std::string cli = readBack(fromCli);
        EXPECT_GT(cli.size(), 1000u);
        EXPECT_EQ(cli, readBack(fromRun));
    }
}

}  // namespace
}  // namespace tabvert::exporting::test
