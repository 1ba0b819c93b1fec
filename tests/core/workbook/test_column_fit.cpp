// Column widths fitted to a sheet's first rows, and the frozen header: what a cell counts as, the
// holding back of the first rows, and the widths and panes independent readers find in the files.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "core/workbook/column_fit.h"
#include "core/workbook/excel.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

namespace fs = std::filesystem;
using testing::StartExcel;
using testing::ThrownReason;

const text::Locale kUs = text::Locale::EnUS();

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

TEST(ColumnFit, TextCountsItsLongestLineWideCharactersTwiceMarksNot) {
    EXPECT_EQ(TextChars("Chai"), 4);
    EXPECT_EQ(TextChars("ab\ncdefg\nh"), 5);
    EXPECT_EQ(TextChars("ab\r\ncd"), 2);
    EXPECT_EQ(TextChars("東京タワー"), 10);
    EXPECT_EQ(TextChars("ｶﾀｶﾅ"), 4);               // halfwidth forms are narrow
    EXPECT_EQ(TextChars("Cafe\u0301 \u00e9"), 6);  // a combining accent takes no room of its own
    EXPECT_EQ(TextChars("😀!"), 3);
    // A long text is not walked to its end: counting stops once past the limit.
    const double counted = TextChars(std::string(100000, 'x'), 60);
    EXPECT_GT(counted, 60);
    EXPECT_LE(counted, 61);
}

TEST(ColumnFit, NumbersAndDatesCountWhatTheirFormatShows) {
    for (const double value : {0.0, 7.0, -3.5, 9.999, 123456.789, 0.0049, -98765.4321}) {
        for (int decimals = 0; decimals <= 3; ++decimals) {
            const std::string code = decimals == 0 ? "0" : "0." + std::string(decimals, '0');
            SCOPED_TRACE(code + " " + Fixed(value, 6));
            EXPECT_EQ(NumberChars(value, code), Fixed(value, decimals).size());
        }
    }
    EXPECT_EQ(NumberChars(1234567, "#,##0"), 9);  // 1,234,567
    EXPECT_EQ(NumberChars(0.25, "0%"), 3);
    EXPECT_EQ(NumberChars(0.5, "\"$\"0.00"), 5);
    // General: integers in full, anything else at most 11 characters.
    EXPECT_EQ(NumberChars(42, "General"), 2);
    EXPECT_EQ(NumberChars(0.1, "General"), 3);
    EXPECT_EQ(NumberChars(1.0 / 3, "General"), 11);

    // A date or time as the program writes it and as its format shows it: never narrower, and
    // wider only by the one-digit fields counted as two.
    for (const auto& locale : {text::Locale::EnUS(), text::Locale::DeDE()}) {
        for (const text::CivilDateTime& dt :
             {text::CivilDateTime{2024, 2, 9, 0, 0, 0}, text::CivilDateTime{2023, 12, 31, 23, 59, 58},
              text::CivilDateTime{1899, 12, 30, 8, 5, 0}, text::CivilDateTime{1999, 1, 1, 9, 0, 1}}) {
            const double serial = text::JoinOleDate(dt);
            const std::string shown = text::FormatDateTime(serial, locale);
            const std::string code = text::ExcelDateFormat(text::KindOf(dt), locale);
            SCOPED_TRACE(shown + " as " + code);
            EXPECT_GE(NumberChars(serial, code), TextChars(shown));
            EXPECT_LE(NumberChars(serial, code), TextChars(shown) + 3);
        }
    }
}

TEST(ColumnFit, WidthsRunFromTheDefaultToTheCapInExcelsUnits) {
    // Excel's default column, 8.43 characters, is stored as 2340/256 (9.140625).
    EXPECT_EQ(ColumnWidthUnits(kMinColumnChars), 2340);

    const std::vector<std::string> formats{"General", "0.00"};
    ColumnMeasure measure(formats, 11);
    const auto cell = [](uint32_t row, uint16_t column, OutCell::Kind kind, std::string text,
                         double number = 0, uint16_t format = 0, FontSpec font = {}) {
        OutCell c;
        c.row = row;
        c.column = column;
        c.kind = kind;
        c.text = std::move(text);
        c.number = number;
        c.format = format;
        c.font = font;
        return c;
    };
    measure.Add(cell(1, 1, OutCell::Kind::Text, "Name", 0, 0, {true, false, 22}));  // 4 x 2 x bold
    measure.Add(cell(2, 1, OutCell::Kind::Text, "Chai"));
    measure.Add(cell(2, 2, OutCell::Kind::Text, std::string(500, 'w')));
    measure.Add(cell(2, 3, OutCell::Kind::Number, "", -1234.5, 1));
    measure.Add(cell(1, 4, OutCell::Kind::Blank, "", 0, 0, {true, false, 15}));  // formatted, empty
    measure.Add(cell(2, 5, OutCell::Kind::Text, ""));
    measure.Add(cell(2, 6, OutCell::Kind::Number, "", 1, 0));
    measure.Add(cell(3, 7, OutCell::Kind::Number, "", 1, 0));
    measure.Add(cell(4, 7, OutCell::Kind::Text, "12345678901234567890"));
    const auto widths = measure.Widths();
    ASSERT_EQ(widths.size(), 5u);
    EXPECT_EQ(widths[0].first, 1);
    EXPECT_NEAR(widths[0].chars, 4 * 2 * 1.1, 1e-9);
    EXPECT_EQ(widths[1], (ColumnWidth{2, 2, kMaxColumnChars}));
    // -1234.50 shows 8 characters: the default width.
    EXPECT_EQ(widths[2], (ColumnWidth{3, 3, kMinColumnChars}));
    // Column 4 holds no value; an empty text and a short number share the default width.
    EXPECT_EQ(widths[3], (ColumnWidth{5, 6, kMinColumnChars}));
    EXPECT_EQ(widths[4], (ColumnWidth{7, 7, 20}));
}

// Records what reaches the file writer.
class RecordingSink : public RowSink {
  public:
    struct Log {
        std::vector<std::vector<ColumnWidth>> widths;
        size_t cellsBeforeWidths = 0;
        std::vector<OutCell> cells;
        int finished = 0;
        bool selected = false;
    };
    explicit RecordingSink(Log& log) : log_(log) {}
    void SetColumns(const std::vector<ColumnWidth>& widths) override {
        if (log_.widths.empty()) log_.cellsBeforeWidths = log_.cells.size();
        log_.widths.push_back(widths);
    }
    void Add(const OutCell& cell) override { log_.cells.push_back(cell); }
    void Finish(bool selected) override {
        ++log_.finished;
        log_.selected = selected;
    }

  private:
    Log& log_;
};

OutCell TextCell(uint32_t row, uint16_t column, std::string text) {
    OutCell c;
    c.row = row;
    c.column = column;
    c.kind = OutCell::Kind::Text;
    c.text = std::move(text);
    return c;
}

TEST(ColumnFit, HoldsOnlyTheFirstRowsAndPassesEveryCellOnInOrder) {
    const std::vector<std::string> formats{"General"};
    {
        RecordingSink::Log log;
        FittingSink sink(std::make_unique<RecordingSink>(log), formats, 11);
        std::vector<OutCell> sent;
        for (uint32_t row = 1; row <= 250; ++row) {
            sent.push_back(TextCell(row, 1, "r" + std::to_string(row)));
            // Column 2 is long only after the measured rows: it keeps the default width.
            sent.push_back(TextCell(row, 2, row > kFittedRows ? std::string(90, 'L') : "s"));
            for (size_t i = sent.size() - 2; i < sent.size(); ++i) sink.Add(sent[i]);
            // Nothing reaches the writer while the first rows are measured; after them, each cell at once.
            EXPECT_EQ(log.cells.size(), row <= kFittedRows ? 0 : sent.size()) << row;
        }
        sink.Finish(true);
        ASSERT_EQ(log.widths.size(), 1u);
        EXPECT_EQ(log.cellsBeforeWidths, 0u);
        EXPECT_EQ(log.widths[0], (std::vector<ColumnWidth>{{1, 2, kMinColumnChars}}));
        ASSERT_EQ(log.cells.size(), sent.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            ASSERT_EQ(std::tie(log.cells[i].row, log.cells[i].column, log.cells[i].text),
                      std::tie(sent[i].row, sent[i].column, sent[i].text))
                << i;
        }
        EXPECT_EQ(log.finished, 1);
        EXPECT_TRUE(log.selected);
    }
    {  // a sheet shorter than the measured rows, and one without cells, get their widths at the end
        RecordingSink::Log shortLog, emptyLog;
        FittingSink shortSheet(std::make_unique<RecordingSink>(shortLog), formats, 11);
        FittingSink emptySheet(std::make_unique<RecordingSink>(emptyLog), formats, 11);
        shortSheet.Add(TextCell(1, 3, std::string(20, 'h')));
        shortSheet.Add(TextCell(2, 3, "x"));
        EXPECT_TRUE(shortLog.cells.empty());
        shortSheet.Finish(false);
        emptySheet.Finish(false);
        EXPECT_EQ(shortLog.widths, (std::vector<std::vector<ColumnWidth>>{{{3, 3, 20}}}));
        EXPECT_EQ(shortLog.cells.size(), 2u);
        EXPECT_EQ(emptyLog.widths, (std::vector<std::vector<ColumnWidth>>{{}}));
        EXPECT_EQ(shortLog.finished + emptyLog.finished, 2);
    }
    {  // large texts end the measuring early rather than pile up
        RecordingSink::Log log;
        FittingSink sink(std::make_unique<RecordingSink>(log), formats, 11, kFittedRows, 64u << 10);
        const std::string big(16u << 10, 'b');
        uint32_t row = 1;
        while (log.widths.empty() && row <= kFittedRows) sink.Add(TextCell(row++, 1, big));
        EXPECT_LT(row, 10u);
        EXPECT_EQ(log.cells.size(), row - 1);
        EXPECT_EQ(log.widths[0], (std::vector<ColumnWidth>{{1, 1, kMaxColumnChars}}));
    }
}

// An export-shaped sheet: a bold 15-point header over A1:Z1, then records of several kinds.
const std::vector<std::string> kHeader{"ID",    "ProductName", "Notes", "東京タワー",
                                       "Price", "Ordered",     "Late"};
constexpr long kRecords = 150;

void WriteProducts(Workbook& book) {
    Worksheet& sheet = book.GetWorksheets().Add();
    sheet.SetName("Products");
    sheet.FitColumnWidths();
    sheet.FreezeTopRow();
    for (size_t c = 0; c < kHeader.size(); ++c) sheet.Cells(1, static_cast<long>(c) + 1).SetValue(kHeader[c]);
    sheet.GetRange("A1", "Z1").GetFont().SetBold(true);
    sheet.GetRange("A1", "Z1").GetFont().SetSize(15);
    const std::string ordered = text::FormatDateTime(text::CivilDateTime{2024, 12, 31, 10, 15, 0}, kUs);
    for (long r = 2; r <= kRecords + 1; ++r) {
        sheet.Cells(r, 1).SetValue(std::to_string(r - 1));
        sheet.Cells(r, 2).SetValue(r % 2 ? "Chai" : "Tofu");
        sheet.Cells(r, 3).SetValue(r == 5 ? std::string(80, 'n') + "\nsecond line" : "ok");
        sheet.Cells(r, 4).SetValue("漢字");
        sheet.Cells(r, 5).SetNumber(static_cast<double>(r) + 0.5, "0.00");
        sheet.Cells(r, 6).SetValue(ordered);
        sheet.Cells(r, 7).SetValue(r > 130 ? std::string(100, 'z') : "-");
    }
    Worksheet& plain = book.GetWorksheets().Add();  // the engine's default layout
    plain.SetName("Plain");
    plain.Cells(1, 1).SetValue(std::string(70, 'p'));
}

TEST(ColumnFit, SheetsReadBackSizedAndFrozenInBothFormatsPlannedOrNot) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir, kUs);
    std::vector<fs::path> paths;
    for (const std::string name : {"planned.xlsx", "planned.xls", "general.xlsx", "general.xls"}) {
        Workbook& book = excel->GetWorkbooks().Add();
        paths.push_back(root / name);
        if (name.rfind("planned", 0) == 0) book.PlanSaveAs(paths.back().string());
        WriteProducts(book);
        // Once a sheet's rows started towards a planned file, its layout is fixed; else it can change.
        const auto late = ThrownReason([&] { book.GetWorksheets().Item("Products").FitColumnWidths(); });
        if (name.rfind("planned", 0) == 0) {
            EXPECT_EQ(late, ErrorReason::OutOfOrder) << name;
        } else {
            EXPECT_FALSE(late.has_value()) << name;
        }
        book.SaveAs(paths.back().string());
        EXPECT_TRUE(book.Problems().empty()) << name;
        book.Close();
    }
    std::vector<std::string> errors;
    const auto books = test::ReadWorkbookFiles(paths, &errors);
    const auto stored = [](double chars) { return ColumnWidthUnits(chars) / 256.0; };
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].filename().string());
        ASSERT_TRUE(books[i].has_value()) << errors[i];
        const auto* products = &books[i]->sheets.at(0);
        const auto* plain = &books[i]->sheets.at(1);
        if (products->name != "Products") std::swap(products, plain);
        ASSERT_EQ(products->name, "Products");
        EXPECT_EQ(products->freeze, "A2");
        EXPECT_EQ(plain->freeze, "");
        EXPECT_TRUE(plain->widths.empty());

        const auto& w = products->widths;
        ASSERT_EQ(w.size(), kHeader.size());  // the header's formatted empty cells get no width
        EXPECT_EQ(w.at(1), stored(kMinColumnChars));
        // The header at 15 points, bold: wider than its 11 characters at the default size.
        const double defaultPoints = paths[i].extension() == ".xls" ? 10 : 11;
        EXPECT_GE(w.at(2), stored(11 * 15 / defaultPoints));
        EXPECT_LT(w.at(2), stored(30));
        EXPECT_EQ(w.at(3), stored(kMaxColumnChars));          // an 80-character line, capped
        EXPECT_GE(w.at(4), stored(10 * 15 / defaultPoints));  // five wide characters count ten
        EXPECT_EQ(w.at(5), stored(kMinColumnChars));          // 151.50
        EXPECT_GE(w.at(6), stored(22));                       // 12/31/2024 10:15:00 AM
        EXPECT_LT(w.at(6), stored(26));
        EXPECT_EQ(w.at(7), stored(kMinColumnChars));  // long only after the first 100 records

        // The held rows came out whole and in place.
        const long valueCells = static_cast<long>(kHeader.size()) * (kRecords + 1);
        EXPECT_EQ(std::count_if(products->cells.begin(), products->cells.end(),
                                [](const test::ReadCell& c) { return c.type != "blank"; }),
                  valueCells);
        for (long r = 2; r <= kRecords + 1; ++r) {
            const auto* id = products->Find(r, 1);
            ASSERT_NE(id, nullptr) << r;
            EXPECT_EQ(id->number, static_cast<double>(r - 1));
        }
        EXPECT_EQ(products->Find(5, 3)->text, std::string(80, 'n') + "\nsecond line");
    }
}

}  // namespace
}  // namespace tabvert::excel
