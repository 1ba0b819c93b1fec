// The object model: starting, sheets and their names, limits and what they report, saving.

#include "platform/workbook/excel.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace tabvert::excel {
namespace {

using testing::IsXls;
using testing::IsXlsx;
using testing::Slurp;
using testing::StartExcel;
using testing::ThrownNumber;
namespace fs = std::filesystem;

std::vector<std::string> Names(Workbook& book) {
    std::vector<std::string> names;
    for (long i = 1; i <= book.GetWorksheets().Count(); ++i) names.push_back(book.GetWorksheets().Item(i).Name());
    return names;
}

TEST(Application, StartsOnlyForExcelsClassAndWithATemporaryFolder) {
    QTemporaryDir dir;
    ApplicationOptions options;
    options.tempFolder = dir.path().toStdString();
    EXPECT_NE(CreateApplication(kApplicationClassId, options), nullptr);
    EXPECT_NE(CreateApplication("00024500-0000-0000-c000-000000000046", options), nullptr);
    EXPECT_EQ(ThrownNumber([&] { CreateApplication("{00024500-0000-0000-C000-000000000047}", options); }),
              kErrorCannotCreateObject);
    EXPECT_EQ(ThrownNumber([&] { CreateApplication("Excel.Application.8", options); }), kErrorCannotCreateObject);

    options.tempFolder = (fs::path(dir.path().toStdString()) / "missing" / "deeper").string();
    EXPECT_EQ(ThrownNumber([&] { CreateApplication(kApplicationClassId, options); }), kErrorCannotCreateObject);
}

TEST(Worksheets, NewSheetsGoBeforeTheActiveOneAndBecomeActive) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    excel->SetVisible(false);
    Workbook& book = excel->GetWorkbooks().Add();
    EXPECT_EQ(Names(book), std::vector<std::string>{"Sheet1"});

    Worksheet& a = book.GetWorksheets().Add();
    a.SetName("Customers");
    Worksheet& b = book.GetWorksheets().Add();
    b.SetName("Orders");
    Worksheet& c = book.GetWorksheets().Add();
    EXPECT_EQ(Names(book), (std::vector<std::string>{"Sheet4", "Orders", "Customers", "Sheet1"}));
    EXPECT_EQ(&book.ActiveSheet(), &c);

    // Numbers go on from the highest handed out, skipping names that are taken in any case.
    c.SetName("sheet5");
    book.GetWorksheets().Item(4).Activate();
    Worksheet& d = book.GetWorksheets().Add();
    EXPECT_EQ(d.Name(), "Sheet6");
    EXPECT_EQ(Names(book), (std::vector<std::string>{"sheet5", "Orders", "Customers", "Sheet6", "Sheet1"}));
    EXPECT_EQ(&book.GetWorksheets().Item("ORDERS"), &b);
    EXPECT_EQ(ThrownNumber([&] { book.GetWorksheets().Item(6); }), kErrorSubscriptOutOfRange);
    EXPECT_EQ(ThrownNumber([&] { book.GetWorksheets().Item(0); }), kErrorSubscriptOutOfRange);
}

TEST(Worksheets, RefusedNamesLeaveTheNameAndAreReported) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.GetWorksheets().Add();  // Sheet2
    for (const std::string& name : std::vector<std::string>{"", "Sheet1", "SHEET1", "a/b", "x:y", "History", std::string(32, 'n'), "'q"}) {
        EXPECT_EQ(ThrownNumber([&] { sheet.SetName(name); }), kErrorObjectDefined) << name;
        EXPECT_EQ(sheet.Name(), "Sheet2");
    }
    ASSERT_EQ(book.Problems().size(), 1u);
    EXPECT_EQ(book.Problems()[0].kind, Problem::Kind::SheetNameRefused);
    EXPECT_EQ(book.Problems()[0].count, 8);
    EXPECT_EQ(book.Problems()[0].sheet, "Sheet2");

    sheet.SetName("SHEET2");  // its own name in another case
    EXPECT_EQ(sheet.Name(), "SHEET2");
    sheet.SetName(std::string(31, 'n'));
    EXPECT_EQ(sheet.Name(), std::string(31, 'n'));
}

TEST(Limits, WritesOutsideTheGridOrTooLongAreRefusedAndCounted) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    const std::pair<long, long> outside[] = {{0, 1}, {1, 0}, {kMaxRows + 1, 1}, {1, kMaxColumns + 1}, {-5, -5}};
    for (const auto& [row, column] : outside) {
        EXPECT_EQ(ThrownNumber([&] { sheet.Cells(row, column).SetValue("x"); }), kErrorObjectDefined) << row;
    }
    sheet.Cells(kMaxRows, kMaxColumns).SetValue("corner");

    sheet.Cells(1, 1).SetValue(std::string(kMaxCellChars, 'a'));
    EXPECT_EQ(ThrownNumber([&] { sheet.Cells(1, 2).SetValue(std::string(kMaxCellChars + 1, 'a')); }),
              kErrorObjectDefined);
    // 16,384 emoji are 32,768 UTF-16 units: one too many.
    std::string emoji;
    for (int i = 0; i < 16384; ++i) emoji += "😀";
    EXPECT_EQ(ThrownNumber([&] { sheet.Cells(1, 3).SetValue(emoji); }), kErrorObjectDefined);

    EXPECT_EQ(ThrownNumber([&] { sheet.GetRange("A1", "Z"); }), kErrorObjectDefined);
    EXPECT_EQ(ThrownNumber([&] { sheet.GetRange("A1", "Z1").GetFont().SetSize(0.5); }), kErrorObjectDefined);

    ASSERT_EQ(book.Problems().size(), 2u);
    EXPECT_EQ(book.Problems()[0].kind, Problem::Kind::CellOutsideGrid);
    EXPECT_EQ(book.Problems()[0].count, 5);
    EXPECT_EQ(book.Problems()[1].kind, Problem::Kind::TextTooLong);
    EXPECT_EQ(book.Problems()[1].count, 2);
    EXPECT_EQ(book.Problems()[1].firstCell, "B1");
}

// Descriptors of spool files still open in `folder` (they are unlinked at once, so only /proc sees them).
int OpenSpoolFiles(const std::string& folder) {
    int open = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto target = fs::read_symlink(entry.path(), ec);
        if (!ec && target.string().rfind(folder, 0) == 0) ++open;
    }
    return open;
}

TEST(Lifetime, CloseReleasesTheSpoolAndLaterCallsFail) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    for (long r = 1; r <= 100; ++r) sheet.Cells(r, 1).SetValue("row " + std::to_string(r));
    EXPECT_GT(OpenSpoolFiles(dir.path().toStdString()), 0);
    book.Close();
    EXPECT_EQ(OpenSpoolFiles(dir.path().toStdString()), 0);
    EXPECT_EQ(ThrownNumber([&] { sheet.Cells(1, 1).SetValue("x"); }), kErrorObjectGone);
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs((dir.path() + "/x.xlsx").toStdString()); }), kErrorObjectGone);
    book.Close();  // twice is harmless

    excel->Quit();
    EXPECT_EQ(ThrownNumber([&] { excel->GetWorkbooks(); }), kErrorObjectGone);
    excel.reset();
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty());
}

TEST(Saving, TheExtensionChoosesTheFormat) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    const fs::path out = dir.path().toStdString();
    const struct {
        std::string name;
        long format;
        std::string written;
        bool xlsx;
    } cases[] = {
        {"a.xlsx", kWorkbookNormal, "a.xlsx", true},   {"b.XlsX", kWorkbookNormal, "b.XlsX", true},
        {"c.xls", kWorkbookNormal, "c.xls", false},    {"d.txt", kWorkbookNormal, "d.txt", false},
        {"e", kWorkbookNormal, "e.xls", false},        {"f.xlsm", kWorkbookNormal, "f.xlsm", false},
        {"g.xls", kOpenXmlWorkbook, "g.xls", true},    {"h.xlsx", kExcel8, "h.xlsx", false},
        {"dir.v2/i", kWorkbookNormal, "dir.v2/i.xls", false}, {"j", kOpenXmlWorkbook, "j.xlsx", true},
    };
    fs::create_directory(out / "dir.v2");
    for (const auto& c : cases) {
        Workbook& book = excel->GetWorkbooks().Add();
        book.ActiveSheet().Cells(1, 1).SetValue(c.name);
        book.SaveAs((out / c.name).string(), c.format, 1);
        const fs::path written = out / c.written;
        ASSERT_TRUE(fs::exists(written)) << c.name;
        EXPECT_EQ(book.FullName(), written.string());
        EXPECT_EQ(c.xlsx ? IsXlsx(written) : IsXls(written), true) << c.name;
        std::string error;
        const auto read = test::ReadWorkbookFile(written, &error);
        ASSERT_TRUE(read.has_value()) << c.name << ": " << error;
        ASSERT_NE(read->sheets.at(0).Find(1, 1), nullptr);
        EXPECT_EQ(read->sheets[0].Find(1, 1)->text, c.name);
        book.Close();
    }
    Workbook& book = excel->GetWorkbooks().Add();
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs((out / "x.xls").string(), 52, 1); }), kErrorObjectDefined);
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs((out / "x.xls").string(), kWorkbookNormal, 7); }), kErrorObjectDefined);
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs(""); }), kErrorObjectDefined);
}

// Makes every write beyond `bytes` fail (EFBIG) while alive, as a full disk would.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

TEST(Saving, AFailedSaveLeavesNoPartialFileAndTheOldOneIntact) {
    QTemporaryDir dir, spool;
    auto excel = StartExcel(spool);
    const fs::path out = dir.path().toStdString();
    for (const std::string name : {"kept.xls", "kept.xlsx"}) {
        const fs::path folder = out / (name + ".d");
        fs::create_directory(folder);
        const fs::path target = folder / name;
        { std::ofstream(target) << "the previous workbook"; }
        Workbook& book = excel->GetWorkbooks().Add();
        Worksheet& sheet = book.ActiveSheet();
        for (long r = 1; r <= 3000; ++r) {
            for (long c = 1; c <= 10; ++c) sheet.Cells(r, c).SetValue("r" + std::to_string(r * 10 + c) + " text");
        }
        {
            FileSizeLimit limit(64 * 1024);
            try {
                book.SaveAs(target.string());
                ADD_FAILURE() << "the save should fail";
            } catch (const ExcelError& e) {
                EXPECT_EQ(e.number(), kErrorObjectDefined);
                EXPECT_NE(e.description().find(target.string()), std::string::npos) << e.description();
            }
        }
        EXPECT_EQ(Slurp(target), "the previous workbook");
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(folder)) left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{name}) << "temporary file left";
        fs::remove(target);
        // The same workbook saves once there is room again.
        book.SaveAs(target.string());
        EXPECT_TRUE(name.ends_with("x") ? IsXlsx(target) : IsXls(target));
        book.Close();
    }

    Workbook& book = excel->GetWorkbooks().Add();
    const std::string missing = (out / "no such folder" / "book.xlsx").string();
    try {
        book.SaveAs(missing);
        ADD_FAILURE() << "saving into a missing folder should fail";
    } catch (const ExcelError& e) {
        EXPECT_NE(e.description().find(missing), std::string::npos) << e.description();
        EXPECT_NE(e.description().find("No such file"), std::string::npos) << e.description();
    }
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs(out.string() + "/"); }), kErrorObjectDefined);  // a folder
    fs::create_directory(out / "taken.xls");
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs((out / "taken").string()); }), kErrorObjectDefined);
}

TEST(Spool, CellsInAnyOrderAndRewrittenKeepTheirLastValue) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    for (const char* name : {"order.xlsx", "order.xls"}) {
        Workbook& book = excel->GetWorkbooks().Add();
        Worksheet& sheet = book.ActiveSheet();
        // Backwards, one run per cell: enough runs to be merged early, several times over.
        constexpr long kRows = 6000;
        for (long r = kRows; r >= 1; --r) sheet.Cells(r, (r % 3) + 1).SetValue("v" + std::to_string(r));
        sheet.Cells(10, 2).SetValue("first");
        sheet.Cells(10, 2).SetValue("second");
        sheet.Cells(20, 3).SetValue("");  // emptied again
        sheet.Cells(30, 1).SetValue("12.50");
        const fs::path path = fs::path(dir.path().toStdString()) / name;
        book.SaveAs(path.string());
        const auto read = test::ReadWorkbookFile(path);
        ASSERT_TRUE(read.has_value());
        const auto& cells = read->sheets.at(0).cells;
        EXPECT_EQ(cells.size(), static_cast<size_t>(kRows) - 1);  // one emptied
        for (long r = 1; r <= kRows; ++r) {
            const auto* cell = read->sheets[0].Find(r, (r % 3) + 1);
            if (r == 10) continue;
            if (r == 20) {
                EXPECT_EQ(cell, nullptr);
            } else if (r == 30) {
                ASSERT_NE(cell, nullptr);
                EXPECT_EQ(cell->type, "n");
                EXPECT_DOUBLE_EQ(cell->number, 12.5);
            } else {
                ASSERT_NE(cell, nullptr) << r;
                EXPECT_EQ(cell->text, "v" + std::to_string(r));
            }
        }
        ASSERT_NE(read->sheets[0].Find(10, 2), nullptr);
        EXPECT_EQ(read->sheets[0].Find(10, 2)->text, "second");
        book.Close();
    }
}

}  // namespace
}  // namespace tabvert::excel
