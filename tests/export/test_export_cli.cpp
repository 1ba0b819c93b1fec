// tabvert-cli export: exit status, what goes where, and the same workbook as the program's run.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>

#include "export/export_run.h"
#include "export_test_support.h"
#include "fixtures/fixture_set.h"
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
        ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()) + " export " + ShellQuote(db.string()) +
            " " + ShellQuote(target.string()) + " " + c.extraArgs + " 2>" + ShellQuote((root / "err.txt").string()),
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
                      CliCase{"PasswordMissing", "password", "", 2},
                      CliCase{"NoDatabase", "", "", 2},
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
        tabvert::test::RunCommand(ShellQuote((tabvert::test::BuildDir() / "tabvert-cli").string()) + " export " +
                                  ShellQuote(db.string()) + " " + ShellQuote(fromCli.string()) + " >/dev/null");
        ExportRequest request = Request(db.string(), fromRun.string());
        request.locale = text::Locale::system();
        RecordingObserver observer;
        NameDigitGenerator digits;
        RunExport(request, observer, digits);
        const auto a = tabvert::test::ReadWorkbookFile(fromCli);
        const auto b = tabvert::test::ReadWorkbookFile(fromRun);
        ASSERT_TRUE(a && b);
        ASSERT_EQ(a->SheetNames(), b->SheetNames());
        for (std::size_t s = 0; s < a->sheets.size(); ++s) {
            const auto& x = a->sheets[s].cells;
            const auto& y = b->sheets[s].cells;
            ASSERT_EQ(x.size(), y.size()) << a->sheets[s].name;
            for (std::size_t i = 0; i < x.size(); ++i) {
                EXPECT_TRUE(x[i].row == y[i].row && x[i].column == y[i].column && x[i].type == y[i].type &&
                            x[i].text == y[i].text && x[i].number == y[i].number && x[i].bold == y[i].bold)
                    << a->sheets[s].name << " R" << x[i].row << "C" << x[i].column;
            }
        }
    }
}

}  // namespace
}  // namespace tabvert::exporting::test
