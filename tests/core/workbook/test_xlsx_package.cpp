// Our .xlsx package against libxlsxwriter's for the same cells (the reference Excel opens): the
// same parts, content types, relationships and element order, every part well-formed
// (tests/tools/compare_xlsx.py does the comparing).

#include <gtest/gtest.h>
#include <xlsxwriter.h>

#include <QTemporaryDir>

#include "core/workbook/excel.h"
#include "support/paths.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

namespace fs = std::filesystem;

struct Cell {
    long row, column;
    std::string text;  // what the export writes
    enum Kind { Text, Number, Blank } kind;
    double number;  // Number
    int format;     // 0 none, 1 header font, 2 "0.00", 3 the date format
};

const text::Locale kUs = text::Locale::EnUS();

std::vector<Cell> OrdersCells() {
    std::vector<Cell> cells = {{1, 1, "OrderID", Cell::Text, 0, 1},
                               {1, 2, "Price", Cell::Text, 0, 1},
                               {1, 3, "Placed", Cell::Text, 0, 1}};
    for (long c = 4; c <= 26; ++c) cells.push_back({1, c, "", Cell::Blank, 0, 1});
    const double day = text::JoinOleDate({2024, 2, 29, 0, 0, 0});
    cells.insert(cells.end(), {{2, 1, "42", Cell::Number, 42, 0},
                               {2, 2, "1.50", Cell::Number, 1.5, 2},
                               {2, 3, text::FormatDateTime(day, kUs), Cell::Number, day, 3},
                               {3, 1, "fish & <chips>", Cell::Text, 0, 0},
                               {3, 3, " padded ", Cell::Text, 0, 0},
                               {4, 2, "bell\x07", Cell::Text, 0, 0}});
    return cells;
}

void WriteReference(const fs::path& path, const std::vector<Cell>& cells) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // inline strings, as ours
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
    ASSERT_NE(wb, nullptr);
    lxw_worksheet* empty = workbook_add_worksheet(wb, "Empty");
    lxw_worksheet* orders = workbook_add_worksheet(wb, "Orders & Co");
    workbook_add_worksheet(wb, "Sheet1");
    (void)empty;
    worksheet_activate(orders);
    lxw_format* formats[4] = {nullptr, workbook_add_format(wb), workbook_add_format(wb),
                              workbook_add_format(wb)};
    format_set_bold(formats[1]);
    format_set_underline(formats[1], LXW_UNDERLINE_SINGLE);
    format_set_font_size(formats[1], 15);
    format_set_num_format(formats[2], "0.00");
    format_set_num_format(formats[3], text::ExcelDateFormat(text::DateTextKind::DateOnly, kUs).c_str());
    for (const Cell& c : cells) {
        const auto row = static_cast<lxw_row_t>(c.row - 1);
        const auto col = static_cast<lxw_col_t>(c.column - 1);
        switch (c.kind) {
            case Cell::Text:
                worksheet_write_string(orders, row, col, c.text.c_str(), formats[c.format]);
                break;
            case Cell::Number:
                worksheet_write_number(orders, row, col, c.number, formats[c.format]);
                break;
            case Cell::Blank:
                worksheet_write_blank(orders, row, col, formats[c.format]);
                break;
        }
    }
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);
}

TEST(XlsxPackage, HasTheReferencePartsContentTypesRelationshipsAndElementOrder) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const auto cells = OrdersCells();
    WriteReference(root / "reference.xlsx", cells);

    auto excel = testing::StartExcel(dir, kUs);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& orders = book.GetWorksheets().Add();
    orders.SetName("Orders & Co");
    book.GetWorksheets().Add().SetName("Empty");
    for (const Cell& c : cells) {
        if (c.kind != Cell::Blank) orders.Cells(c.row, c.column).SetValue(c.text);
    }
    orders.GetRange("A1", "Z1").GetFont().SetBold(true);
    orders.GetRange("A1", "Z1").GetFont().SetSize(15);
    orders.GetRange("A1", "Z1").GetFont().SetUnderline(true);
    orders.Activate();
    book.SaveAs((root / "ours.xlsx").string());

    std::string output;
    const int status =
        test::RunCommand(std::string(test::SystemPython()) + " " +
                             test::ShellQuote((test::SourceDir() / "tests/tools/compare_xlsx.py").string()) +
                             " " + test::ShellQuote((root / "ours.xlsx").string()) + " " +
                             test::ShellQuote((root / "reference.xlsx").string()) + " 2>&1",
                         &output);
    EXPECT_EQ(status, 0) << output;
}

}  // namespace
}  // namespace tabvert::excel
