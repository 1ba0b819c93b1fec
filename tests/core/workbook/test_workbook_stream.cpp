// Workbooks told their file before they are filled (PlanSaveAs): read back by the independent
// readers, they equal the same workbook kept the general way; what they refuse, and failed saves.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <csignal>
#include <fstream>

#include "core/workbook/excel.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

using testing::Slurp;
using testing::StartExcel;
using testing::ThrownNumber;
namespace fs = std::filesystem;

// Rows in order, as the export writes them, with the other things a sheet can get: a formatted
// header wider than its fields, a font over rows that have no values, a cell written twice, an
// emptied cell, numbers and dates, and (for .xls) rows beyond the file's grid.
void Fill(Workbook& book, long rows) {
    Worksheet& data = book.GetWorksheets().Add();
    data.SetName("Data");
    data.FitColumnWidths();
    data.FreezeTopRow();
    for (long c = 1; c <= 4; ++c) data.Cells(1, c).SetValue("Field" + std::to_string(c));
    data.GetRange("A1", "Z1").GetFont().SetBold(true);
    data.GetRange("A1", "Z1").GetFont().SetSize(15);
    data.GetRange("B5", "C7").GetFont().SetUnderline(true);
    for (long r = 2; r <= rows; ++r) {
        if (r == 6 || (r > 300 && r < rows - 5)) continue;  // a formatted row without values; a gap
        data.Cells(r, 1).SetValue(std::to_string(r));
        data.Cells(r, 2).SetValue(r % 3 == 0 ? "12.50" : "text " + std::to_string(r));
        data.Cells(r, 3).SetValue(r % 5 == 0 ? "3/1/2024" : "");
        data.Cells(r, 3).SetValue(r % 7 == 0 ? "rewritten" : (r % 5 == 0 ? "3/1/2024" : ""));
        data.Cells(r, 4).SetNumber(static_cast<double>(r) + 0.25, "0.00");
    }
    book.GetWorksheets().Add().SetName("Empty");
}

void ExpectSameCells(const test::ReadWorkbook& a, const test::ReadWorkbook& b) {
    ASSERT_EQ(a.SheetNames(), b.SheetNames());
    EXPECT_EQ(a.active, b.active);
    for (size_t s = 0; s < a.sheets.size(); ++s) {
        EXPECT_EQ(a.sheets[s].widths, b.sheets[s].widths) << a.sheets[s].name;
        EXPECT_EQ(a.sheets[s].freeze, b.sheets[s].freeze) << a.sheets[s].name;
        const auto &x = a.sheets[s].cells, &y = b.sheets[s].cells;
        ASSERT_EQ(x.size(), y.size()) << a.sheets[s].name;
        for (size_t i = 0; i < x.size(); ++i) {
            SCOPED_TRACE(a.sheets[s].name + " R" + std::to_string(x[i].row) + "C" +
                         std::to_string(x[i].column));
            EXPECT_EQ(std::tie(x[i].row, x[i].column, x[i].type, x[i].text, x[i].numberFormat, x[i].bold,
                               x[i].underline),
                      std::tie(y[i].row, y[i].column, y[i].type, y[i].text, y[i].numberFormat, y[i].bold,
                               y[i].underline));
            EXPECT_EQ(x[i].number, y[i].number);
            EXPECT_EQ(x[i].fontSize, y[i].fontSize);
        }
    }
}

TEST(PlannedWorkbook, ReadsBackLikeTheSameWorkbookKeptTheGeneralWay) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    for (const auto& [name, rows] :
         {std::pair<std::string, long>{"book.xlsx", 300}, {"book.xls", kMaxXlsRows + 3}}) {
        SCOPED_TRACE(name);
        Workbook& general = excel->GetWorkbooks().Add();
        Fill(general, rows);
        general.SaveAs((root / ("general-" + name)).string());
        Workbook& planned = excel->GetWorkbooks().Add();
        planned.PlanSaveAs((root / name).string());
        Fill(planned, rows);
        planned.SaveAs((root / name).string());

        const auto a = test::ReadWorkbookFile(root / ("general-" + name));
        const auto b = test::ReadWorkbookFile(root / name);
        ASSERT_TRUE(a && b);
        ExpectSameCells(*a, *b);
        // The sized columns are the four with values (not the header's formatted empty cells).
        for (const auto& sheet : b->sheets) {
            EXPECT_EQ(sheet.widths.size(), sheet.name == "Data" ? 4u : 0u) << sheet.name;
            EXPECT_EQ(sheet.freeze, sheet.name == "Data" ? "A2" : "") << sheet.name;
        }
        ASSERT_EQ(planned.Problems().size(), general.Problems().size());
        for (size_t i = 0; i < general.Problems().size(); ++i) {
            EXPECT_EQ(planned.Problems()[i].kind, general.Problems()[i].kind);
            EXPECT_EQ(planned.Problems()[i].count, general.Problems()[i].count);  // .xls: 3 rows of 3 values
            EXPECT_EQ(planned.Problems()[i].firstCell, general.Problems()[i].firstCell);
        }
        general.Close();
        planned.Close();
    }
}

TEST(PlannedWorkbook, RefusesRowsItWroteOutAndOtherFormatsButSavesCopies) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    book.PlanSaveAs((root / "plan").string(), kOpenXmlWorkbook);
    EXPECT_EQ(ThrownNumber([&] { book.PlanSaveAs((root / "again.xlsx").string()); }), kErrorObjectDefined);
    Worksheet& first = book.ActiveSheet();
    first.Cells(1, 1).SetValue("a");
    first.Cells(3, 2).SetValue("b");
    first.Cells(3, 1).SetValue("c");  // same row, earlier column: still open
    const std::function<void()> refused[] = {
        [&] { first.Cells(2, 1).SetValue("too late"); },
        [&] { first.GetRange("A1", "B1").GetFont().SetBold(true); },
    };
    for (const auto& write : refused) EXPECT_EQ(ThrownNumber(write), kErrorObjectDefined);
    Worksheet& second = book.GetWorksheets().Add();
    second.Cells(1, 1).SetValue("42");
    EXPECT_EQ(ThrownNumber([&] { first.Cells(9, 1).SetValue("left behind"); }), kErrorObjectDefined);

    EXPECT_EQ(ThrownNumber([&] { book.SaveAs((root / "other.xls").string()); }), kErrorObjectDefined);
    book.SaveAs((root / "plan").string(), kOpenXmlWorkbook);
    book.SaveAs((root / "copy.xlsx").string());
    EXPECT_EQ(book.FullName(), (root / "copy.xlsx").string());
    EXPECT_EQ(Slurp(root / "plan.xlsx"), Slurp(root / "copy.xlsx"));
    const auto read = test::ReadWorkbookFile(root / "copy.xlsx");
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->SheetNames(), (std::vector<std::string>{"Sheet2", "Sheet1"}));
    EXPECT_EQ(read->sheets[1].cells.size(), 3u);
    EXPECT_EQ(read->sheets[1].Find(3, 1)->text, "c");
    EXPECT_EQ(ThrownNumber([&] { second.Cells(2, 1).SetValue("after the save"); }), kErrorObjectDefined);
}

TEST(PlannedWorkbook, AFailedSaveKeepsTheOldFileAndLeavesNoTemporaryFile) {
    QTemporaryDir dir, spool;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(spool);
    EXPECT_EQ(
        ThrownNumber([&] { excel->GetWorkbooks().Add().PlanSaveAs((root / "missing" / "b.xlsx").string()); }),
        kErrorObjectDefined);
    for (const std::string name : {"full.xlsx", "full.xls"}) {
        const fs::path target = root / name;
        { std::ofstream(target) << "the previous workbook"; }
        Workbook& book = excel->GetWorkbooks().Add();
        std::string description;
        {
            // The disk fills while the rows stream, or at the save.
            testing::FileSizeLimit full(64 * 1024);
            book.PlanSaveAs(target.string());
            for (long r = 1; r <= 20000; ++r) {
                try {
                    book.ActiveSheet().Cells(r, 1).SetValue("row " + std::to_string(r * 7919));
                } catch (const ExcelError&) {  // the package could not take more
                }
            }
            try {
                book.SaveAs(target.string());
            } catch (const ExcelError& e) {
                description = e.Description();
            }
        }
        EXPECT_NE(description.find(target.string()), std::string::npos) << description;
        EXPECT_EQ(Slurp(target), "the previous workbook");
        for (const auto& entry : fs::directory_iterator(root)) {
            EXPECT_FALSE(entry.path().filename().string().starts_with(".~"))
                << "temporary file left: " << entry.path();
        }
        book.Close();
    }
}

}  // namespace
}  // namespace tabvert::excel
