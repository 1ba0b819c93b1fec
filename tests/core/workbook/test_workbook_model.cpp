// The object model: starting, sheets and their names, limits and what they report, saving.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>

#include "core/workbook/excel.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

using testing::IsXls;
using testing::IsXlsx;
using testing::Slurp;
using testing::StartExcel;
using testing::ThrownNumber;
using testing::ThrownReason;
namespace fs = std::filesystem;

std::vector<std::string> Names(Workbook& book) {
    std::vector<std::string> names;
    for (long i = 1; i <= book.GetWorksheets().Count(); ++i)
        names.push_back(book.GetWorksheets().Item(i).Name());
    return names;
}

TEST(Application, StartsOnlyForExcelsClassAndWithATemporaryFolder) {
    QTemporaryDir dir;
    ApplicationOptions options;
    options.tempFolder = dir.path().toStdString();
    EXPECT_NE(CreateApplication("00024500-0000-0000-c000-000000000046", options), nullptr);
    for (const char* refused : {"{00024500-0000-0000-C000-000000000047}", "Excel.Application.8"}) {
        EXPECT_EQ(ThrownNumber([&] { CreateApplication(refused, options); }), kErrorCannotCreateObject)
            << refused;
    }
    options.tempFolder = (fs::path(dir.path().toStdString()) / "missing" / "deeper").string();
    EXPECT_EQ(ThrownNumber([&] { CreateApplication(kApplicationClassId, options); }),
              kErrorCannotCreateObject);

    // A TMPDIR that does not exist must not send the spool to the root folder.
    const QByteArray saved = qgetenv("TMPDIR");
    const bool hadTmpdir = qEnvironmentVariableIsSet("TMPDIR");
    qputenv("TMPDIR", options.tempFolder.c_str());
    const long number = ThrownNumber([] { CreateApplication(kApplicationClassId); });
    hadTmpdir ? qputenv("TMPDIR", saved) : qunsetenv("TMPDIR");
    EXPECT_EQ(number, kErrorCannotCreateObject);
}

TEST(Worksheets, NewSheetsGoBeforeTheActiveOneAndRefusedNamesAreKept) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    book.GetWorksheets().Add().SetName("Customers");
    Worksheet& orders = book.GetWorksheets().Add();
    orders.SetName("Orders");
    Worksheet& fourth = book.GetWorksheets().Add();
    EXPECT_EQ(Names(book), (std::vector<std::string>{"Sheet4", "Orders", "Customers", "Sheet1"}));
    EXPECT_EQ(&book.ActiveSheet(), &fourth);

    // Numbers go on from the highest handed out, skipping names that are taken in any case.
    fourth.SetName("sheet5");
    book.GetWorksheets().Item(4).Activate();
    Worksheet& sheet = book.GetWorksheets().Add();
    EXPECT_EQ(Names(book), (std::vector<std::string>{"sheet5", "Orders", "Customers", "Sheet6", "Sheet1"}));
    EXPECT_EQ(&book.GetWorksheets().Item("ORDERS"), &orders);
    for (long index : {0L, 6L}) {
        EXPECT_EQ(ThrownNumber([&] { book.GetWorksheets().Item(index); }), kErrorSubscriptOutOfRange)
            << index;
    }

    const std::string invalid[] = {"", "a/b", "x:y", "History", std::string(32, 'n'), "'q"};
    for (const std::string& name : invalid) {
        EXPECT_EQ(ThrownReason([&] { sheet.SetName(name); }), ErrorReason::SheetNameInvalid) << name;
        EXPECT_EQ(sheet.Name(), "Sheet6");
    }
    for (const char* name : {"SHEET1", "orders"}) {
        EXPECT_EQ(ThrownNumber([&] { sheet.SetName(name); }), kErrorObjectDefined) << name;
        EXPECT_EQ(ThrownReason([&] { sheet.SetName(name); }), ErrorReason::SheetNameTaken) << name;
    }
    EXPECT_TRUE(book.Problems().empty());  // a refusal is thrown, not kept
    sheet.SetName("SHEET6");               // its own name in another case
    EXPECT_EQ(sheet.Name(), "SHEET6");
    sheet.SetName(std::string(31, 'n'));
    EXPECT_EQ(sheet.Name(), std::string(31, 'n'));
}

TEST(Limits, WritesOutsideTheGridOrTooLongAreRefusedWithTheirReason) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    const std::pair<long, long> outside[] = {
        {0, 1}, {1, 0}, {kMaxRows + 1, 1}, {1, kMaxColumns + 1}, {-5, -5}};
    for (const auto& [r, c] : outside) {
        const long row = r, column = c;  // clang 14 does not capture structured bindings
        EXPECT_EQ(ThrownNumber([&] { sheet.Cells(row, column).SetValue("x"); }), kErrorObjectDefined) << row;
        EXPECT_EQ(ThrownReason([&] { sheet.Cells(row, column); }), ErrorReason::CellOutsideGrid) << row;
    }
    sheet.Cells(kMaxRows, kMaxColumns).SetValue("corner");

    sheet.Cells(1, 1).SetValue(std::string(kMaxCellChars, 'a'));
    EXPECT_EQ(ThrownNumber([&] { sheet.Cells(1, 2).SetValue(std::string(kMaxCellChars + 1, 'a')); }),
              kErrorObjectDefined);
    std::string emoji;  // 16,384 emoji are 32,768 UTF-16 units: one too many
    for (int i = 0; i < 16384; ++i) emoji += "😀";
    EXPECT_EQ(ThrownReason([&] { sheet.Cells(1, 3).SetValue(emoji); }), ErrorReason::TextTooLong);
    EXPECT_EQ(ThrownReason([&] { sheet.GetRange("A1", "Z"); }), ErrorReason::BadReference);
    EXPECT_EQ(ThrownReason([&] { sheet.GetRange("A1", "Z1").GetFont().SetSize(0.5); }),
              ErrorReason::FontSizeOutOfRange);
    EXPECT_TRUE(book.Problems().empty());  // refusals are thrown, not kept
}

// Descriptors still open on files in `folder` (spool files are unlinked at once, so only /proc sees them).
int OpenSpoolFiles(const std::string& folder) {
    int open = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (fs::read_symlink(entry.path(), ec).string().rfind(folder, 0) == 0 && !ec) ++open;
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
    const std::tuple<std::string, long, std::string, bool> cases[] = {
        // name, format, file written, .xlsx
        {"a.xlsx", kWorkbookNormal, "a.xlsx", true},
        {"b.XlsX", kWorkbookNormal, "b.XlsX", true},
        {"c.xls", kWorkbookNormal, "c.xls", false},
        {"d.txt", kWorkbookNormal, "d.txt", false},
        {"e", kWorkbookNormal, "e.xls", false},
        {"f.xlsm", kWorkbookNormal, "f.xlsm", false},
        {"g.xls", kOpenXmlWorkbook, "g.xls", true},
        {"h.xlsx", kExcel8, "h.xlsx", false},
        {"dir.v2/i", kWorkbookNormal, "dir.v2/i.xls", false},
        {"j", kOpenXmlWorkbook, "j.xlsx", true},
    };
    fs::create_directory(out / "dir.v2");
    for (const auto& [name, format, file, xlsx] : cases) {
        Workbook& book = excel->GetWorkbooks().Add();
        book.SaveAs((out / name).string(), format);
        EXPECT_EQ(book.FullName(), (out / file).string());
        EXPECT_TRUE(xlsx ? IsXlsx(out / file) : IsXls(out / file)) << name;
        book.Close();
    }
    Workbook& book = excel->GetWorkbooks().Add();
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs((out / "x.xls").string(), 52); }), kErrorObjectDefined);
    EXPECT_EQ(ThrownNumber([&] { book.SaveAs(""); }), kErrorObjectDefined);
}

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
            for (long c = 1; c <= 10; ++c)
                sheet.Cells(r, c).SetValue("r" + std::to_string(r * 10 + c) + " text");
        }
        std::string description = "saved";
        try {
            testing::FileSizeLimit full(64 * 1024);
            book.SaveAs(target.string());
        } catch (const ExcelError& e) {
            EXPECT_EQ(e.Number(), kErrorObjectDefined);
            description = e.Description();
        }
        EXPECT_NE(description.find(target.string()), std::string::npos) << description;
        EXPECT_EQ(Slurp(target), "the previous workbook");
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(folder))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{name}) << "temporary file left";
        // The same workbook saves once there is room again.
        fs::remove(target);
        book.SaveAs(target.string());
        EXPECT_TRUE(name.ends_with("x") ? IsXlsx(target) : IsXls(target));
        book.Close();
    }
    // Into a missing folder, onto a folder, onto a folder named like the file with the extension added.
    Workbook& book = excel->GetWorkbooks().Add();
    fs::create_directory(out / "taken.xls");
    for (const fs::path& refused : {out / "no such folder" / "book.xlsx", out / "", out / "taken"}) {
        EXPECT_EQ(ThrownNumber([&] { book.SaveAs(refused.string()); }), kErrorObjectDefined) << refused;
    }
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
        EXPECT_EQ(read->sheets.at(0).cells.size(), static_cast<size_t>(kRows) - 1);  // one emptied
        for (long r = 1; r <= kRows; ++r) {
            const auto* cell = read->sheets[0].Find(r, (r % 3) + 1);
            if (r == 20) {
                EXPECT_EQ(cell, nullptr);
                continue;
            }
            ASSERT_NE(cell, nullptr) << r;
            if (r == 30) {
                EXPECT_EQ(cell->type, "n");
                EXPECT_DOUBLE_EQ(cell->number, 12.5);
            } else {
                EXPECT_EQ(cell->text, r == 10 ? "second" : "v" + std::to_string(r));
            }
        }
        book.Close();
    }
}

}  // namespace
}  // namespace tabvert::excel
