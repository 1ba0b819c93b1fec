// Written workbooks read back by independent readers: openpyxl (.xlsx), xlrd (.xls) and LibreOffice.

#include "platform/workbook/excel.h"
#include "support/paths.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace tabvert::excel {
namespace {

using testing::Slurp;
using testing::StartExcel;
namespace fs = std::filesystem;

const text::Locale kUs = text::Locale::enUS();

std::string Repeat(const std::string& piece, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i) s += piece;
    return s;
}

// What a test writes into a cell, and what a reader must find there.
struct Expected {
    std::string written;
    std::string type;  // "s", "n", "d"; "" for no cell
    double number = 0;
    std::string format;  // for numbers and dates
};

std::vector<Expected> ValueRow() {
    const text::CivilDateTime day{2024, 2, 29, 0, 0, 0};
    const text::CivilDateTime moment{2023, 12, 31, 23, 59, 58};
    const text::CivilDateTime time{1899, 12, 30, 8, 30, 0};
    return {
        {"42", "n", 42, "General"},
        {"-3.5", "n", -3.5, "0.0"},
        {"1.500", "n", 1.5, "0.000"},
        {"007", "s", 0, ""},
        {"12345678901234567890", "s", 0, ""},
        {"1,000", "s", 0, ""},
        {text::FormatDateTime(day, kUs), "d", text::JoinOleDate(day), text::ExcelDateFormat(text::DateTextKind::DateOnly, kUs)},
        {text::FormatDateTime(moment, kUs), "d", text::JoinOleDate(moment), text::ExcelDateFormat(text::DateTextKind::DateTime, kUs)},
        {text::FormatDateTime(time, kUs), "d", text::JoinOleDate(time), text::ExcelDateFormat(text::DateTextKind::TimeOnly, kUs)},
        {"2024-02-29", "s", 0, ""},
        {"=1+1", "s", 0, ""},
        {"TRUE", "s", 0, ""},
        {"Ünïcödé € 漢字 😀", "s", 0, ""},
        {"line one\nline two\ttab", "s", 0, ""},
        {"", "", 0, ""},
        {"  spaced  ", "s", 0, ""},
        {"bell\x07 and _x0041_ as typed", "s", 0, ""},
        {Repeat("long text ", 3276) + "1234567", "s", 0, ""},  // exactly 32,767 characters
    };
}

// The header format as the export sets it: three look-ups of A1:Z1, one property each.
void FormatHeader(Worksheet& sheet) {
    sheet.GetRange("A1", "Z1").GetFont().SetBold(true);
    sheet.GetRange("A1", "Z1").GetFont().SetSize(15);
    sheet.GetRange("A1", "Z1").GetFont().SetUnderline(true);
}

void WriteExportShapedWorkbook(Workbook& book) {
    Worksheets& sheets = book.GetWorksheets();
    Worksheet& orders = sheets.Add();
    orders.SetName("Orders");
    for (long c = 1; c <= 30; ++c) orders.Cells(1, c).SetValue("Field" + std::to_string(c));
    FormatHeader(orders);
    const auto values = ValueRow();
    for (long r = 2; r <= 4; ++r) {
        for (size_t c = 0; c < values.size(); ++c) orders.Cells(r, static_cast<long>(c) + 1).SetValue(values[c].written);
    }
    Worksheet& empty = sheets.Add();
    empty.SetName("No Records");
    for (long c = 1; c <= 3; ++c) empty.Cells(1, c).SetValue("H" + std::to_string(c));
    FormatHeader(empty);
}

void CheckExportShapedWorkbook(const test::ReadWorkbook& read, double defaultFontSize, const std::string& who) {
    SCOPED_TRACE(who);
    ASSERT_EQ(read.SheetNames(), (std::vector<std::string>{"No Records", "Orders", "Sheet1"}));
    EXPECT_EQ(read.active, 0);
    EXPECT_TRUE(read.sheets[2].cells.empty());

    const test::ReadSheet& orders = read.sheets[1];
    for (long c = 1; c <= 30; ++c) {
        const auto* cell = orders.Find(1, c);
        ASSERT_NE(cell, nullptr) << c;
        EXPECT_EQ(cell->text, "Field" + std::to_string(c));
        const bool formatted = c <= 26;
        EXPECT_EQ(cell->bold, formatted) << c;
        EXPECT_EQ(cell->underline, formatted) << c;
        EXPECT_DOUBLE_EQ(cell->fontSize, formatted ? 15 : defaultFontSize) << c;
    }
    const auto values = ValueRow();
    for (long r = 2; r <= 4; ++r) {
        for (size_t i = 0; i < values.size(); ++i) {
            const Expected& want = values[i];
            const auto* cell = orders.Find(r, static_cast<long>(i) + 1);
            if (want.type.empty()) {
                EXPECT_EQ(cell, nullptr) << i;
                continue;
            }
            ASSERT_NE(cell, nullptr) << r << "," << i;
            EXPECT_EQ(cell->type, want.type) << want.written;
            EXPECT_FALSE(cell->bold);
            if (want.type == "s") {
                EXPECT_EQ(cell->text, want.written);
            } else {
                EXPECT_NEAR(cell->number, want.number, 1e-9) << want.written;
                EXPECT_EQ(cell->numberFormat, want.format) << want.written;
            }
        }
    }

    // Fewer fields than the header range: the empty cells up to Z1 carry the format too.
    const test::ReadSheet& empty = read.sheets[0];
    for (long c = 1; c <= 26; ++c) {
        const auto* cell = empty.Find(1, c);
        ASSERT_NE(cell, nullptr) << c;
        EXPECT_EQ(cell->type, c <= 3 ? "s" : "blank") << c;
        EXPECT_TRUE(cell->bold && cell->underline) << c;
        EXPECT_DOUBLE_EQ(cell->fontSize, 15) << c;
    }
    EXPECT_EQ(empty.Find(1, 27), nullptr);
    EXPECT_EQ(empty.Find(2, 1), nullptr);
}

TEST(WorkbookFiles, ExportShapedWorkbookReadsBackInBothFormats) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    for (const auto& [name, defaultSize] : {std::pair<std::string, double>{"book.xlsx", 11}, {"book.xls", 10}}) {
        Workbook& book = excel->GetWorkbooks().Add();
        WriteExportShapedWorkbook(book);
        const fs::path path = fs::path(dir.path().toStdString()) / name;
        book.SaveAs(path.string(), kWorkbookNormal, 1);
        EXPECT_TRUE(book.Problems().empty());
        std::string error;
        const auto read = test::ReadWorkbookFile(path, &error);
        ASSERT_TRUE(read.has_value()) << error;
        CheckExportShapedWorkbook(*read, defaultSize, name);
        book.Close();
    }
}

TEST(WorkbookFiles, SharedStringsSurviveContinueRecords) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    // Lengths and widths chosen so that strings and their headers fall across record boundaries in
    // every way: 8-bit and UTF-16 texts, short and up to the cell limit, repeated ones in between.
    std::vector<std::string> texts;
    for (int i = 0; i < 1500; ++i) {
        const std::string piece = (i % 3 == 0) ? "Ωμέγα" : (i % 3 == 1 ? "ascii" : "Grüße");
        texts.push_back(std::to_string(i) + ":" + Repeat(piece, static_cast<size_t>((i * 37) % 700)));
    }
    texts.push_back(Repeat("Ж", 32767));
    texts.push_back(Repeat("z", 32767));
    texts.push_back(Repeat("ab", 4110) + "c");  // nearly one record on its own
    for (size_t i = 0; i < texts.size(); ++i) {
        sheet.Cells(static_cast<long>(i) + 1, 1).SetValue(texts[i]);
        sheet.Cells(static_cast<long>(i) + 1, 2).SetValue(texts[(i * 7) % texts.size()]);
    }
    const fs::path path = fs::path(dir.path().toStdString()) / "strings.xls";
    book.SaveAs(path.string());
    std::string error;
    const auto read = test::ReadWorkbookFile(path, &error);
    ASSERT_TRUE(read.has_value()) << error;
    const auto& cells = read->sheets.at(0);
    ASSERT_EQ(cells.cells.size(), texts.size() * 2);
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(cells.Find(static_cast<long>(i) + 1, 1)->text, texts[i]) << i;
        ASSERT_EQ(cells.Find(static_cast<long>(i) + 1, 2)->text, texts[(i * 7) % texts.size()]) << i;
    }
}

TEST(WorkbookFiles, XlsLeavesOutWhatLiesBeyondItsGridAndSaysSo) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    sheet.Cells(kMaxXlsRows, kMaxXlsColumns).SetValue("last");
    sheet.Cells(kMaxXlsRows + 1, 1).SetValue("row beyond");
    sheet.Cells(1, kMaxXlsColumns + 1).SetValue("column beyond");
    sheet.Cells(kMaxRows, kMaxColumns).SetValue("far corner");

    const fs::path xlsx = fs::path(dir.path().toStdString()) / "grid.xlsx";
    book.SaveAs(xlsx.string());
    EXPECT_TRUE(book.Problems().empty());
    const auto wide = test::ReadWorkbookFile(xlsx);
    ASSERT_TRUE(wide.has_value());
    ASSERT_EQ(wide->sheets.at(0).cells.size(), 4u);
    EXPECT_EQ(wide->sheets[0].Find(kMaxRows, kMaxColumns)->text, "far corner");

    const fs::path xls = fs::path(dir.path().toStdString()) / "grid.xls";
    book.SaveAs(xls.string());
    book.SaveAs(xls.string());  // a second save reports what it left out, not twice as much
    ASSERT_EQ(book.Problems().size(), 1u);
    EXPECT_EQ(book.Problems()[0].kind, Problem::Kind::LeftOutOfXls);
    EXPECT_EQ(book.Problems()[0].count, 3);
    EXPECT_EQ(book.Problems()[0].sheet, "Sheet1");
    const auto narrow = test::ReadWorkbookFile(xls);
    ASSERT_TRUE(narrow.has_value());
    ASSERT_EQ(narrow->sheets.at(0).cells.size(), 1u);
    EXPECT_EQ(narrow->sheets[0].Find(kMaxXlsRows, kMaxXlsColumns)->text, "last");
}

TEST(WorkbookFiles, ControlCharactersAndNulSurviveInBothFormats) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    const std::vector<std::string> texts = {std::string("nul\0inside", 10), std::string("\0", 1), "bell\x07",
                                            "_x0000_", "_x005F_x0041_", "a\rb", "_xZZZZ_"};
    for (const std::string name : {"ctl.xlsx", "ctl.xls"}) {
        Workbook& book = excel->GetWorkbooks().Add();
        for (size_t i = 0; i < texts.size(); ++i) book.ActiveSheet().Cells(static_cast<long>(i) + 1, 1).SetValue(texts[i]);
        const fs::path path = fs::path(dir.path().toStdString()) / name;
        book.SaveAs(path.string());
        const auto read = test::ReadWorkbookFile(path);
        ASSERT_TRUE(read.has_value()) << name;
        for (size_t i = 0; i < texts.size(); ++i) {
            const auto* cell = read->sheets.at(0).Find(static_cast<long>(i) + 1, 1);
            ASSERT_NE(cell, nullptr) << name << " " << i;
            EXPECT_EQ(cell->text, texts[i]) << name << " " << i;
        }
        EXPECT_TRUE(book.Problems().empty());
        book.Close();
    }
    // At the cell limit the escapes no longer fit: the text goes in as given, and the save says so.
    Workbook& book = excel->GetWorkbooks().Add();
    const std::string full = "_x0041_" + std::string(kMaxCellChars - 7, 'y');
    book.ActiveSheet().Cells(1, 1).SetValue(full);
    const fs::path path = fs::path(dir.path().toStdString()) / "full.xlsx";
    book.SaveAs(path.string());
    ASSERT_EQ(book.Problems().size(), 1u);
    EXPECT_EQ(book.Problems()[0].kind, Problem::Kind::TextNotExact);
    const auto read = test::ReadWorkbookFile(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->sheets.at(0).Find(1, 1)->text.size(), static_cast<size_t>(kMaxCellChars) - 6);  // "A" + y...
}

// LibreOffice, headless, converts our files: to the other format (read back again) and to CSV,
// which shows each cell as displayed, so number formats must show exactly the text written.
TEST(WorkbookFiles, LibreOfficeOpensBothFormats) {
    if (test::RunCommand("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "soffice is not installed";
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    const auto values = ValueRow();
    for (const auto& [name, other] : {std::pair<std::string, std::string>{"lo.xlsx", "xls"}, {"lo.xls", "xlsx"}}) {
        SCOPED_TRACE(name);
        Workbook& book = excel->GetWorkbooks().Add();
        WriteExportShapedWorkbook(book);
        book.SaveAs((root / name).string());
        book.Close();
        const fs::path outDir = root / ("converted-" + name);
        // A profile of its own per conversion: a second start on a profile still in use fails.
        int conversions = 0;
        const auto convert = [&](const std::string& filter) {
            const std::string profile = (outDir / ("profile" + std::to_string(++conversions))).string();
            return test::RunCommand("cd " + test::ShellQuote(root.string()) + " && HOME=" +
                                    test::ShellQuote(root.string()) +
                                    " soffice --headless --norestore -env:UserInstallation=file://" + profile +
                                    " --convert-to " + test::ShellQuote(filter) + " --outdir " +
                                    test::ShellQuote(outDir.string()) + " " + test::ShellQuote((root / name).string()) +
                                    " >/dev/null 2>&1");
        };
        ASSERT_EQ(convert(other), 0);
        std::string error;
        const auto read = test::ReadWorkbookFile(outDir / ("lo." + other), &error);
        ASSERT_TRUE(read.has_value()) << error;
        ASSERT_EQ(read->SheetNames(), (std::vector<std::string>{"No Records", "Orders", "Sheet1"}));
        const auto& orders = read->sheets[1];
        ASSERT_NE(orders.Find(1, 1), nullptr);
        EXPECT_EQ(orders.Find(1, 1)->text, "Field1");
        EXPECT_TRUE(orders.Find(1, 1)->bold && orders.Find(1, 1)->underline);
        EXPECT_DOUBLE_EQ(orders.Find(1, 1)->fontSize, 15);
        EXPECT_FALSE(orders.Find(1, 27)->bold);
        for (size_t i = 0; i < values.size(); ++i) {
            if (values[i].type.empty()) continue;
            const auto* cell = orders.Find(2, static_cast<long>(i) + 1);
            ASSERT_NE(cell, nullptr) << i;
            EXPECT_EQ(cell->type, values[i].type) << values[i].written;
            // LibreOffice's own .xlsx leaves a typed "_x0041_" unescaped, so that one is compared
            // only where LibreOffice read our .xlsx and wrote .xls.
            if (values[i].type == "s" && (other == "xls" || values[i].written.find("_x") == std::string::npos)) {
                EXPECT_EQ(cell->text, values[i].written);
            }
            if (values[i].type == "d") {
                // LibreOffice writes the same format with its spaces escaped ("h:mm:ss\\ AM/PM").
                std::string format = cell->numberFormat;
                std::erase(format, '\\');
                EXPECT_EQ(format, values[i].format);
            }
        }

        // Comma-separated UTF-8, cells as shown, the second sheet (Orders).
        ASSERT_EQ(convert("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,2"), 0);
        const std::string csv = Slurp(outDir / "lo-Orders.csv").empty() ? Slurp(outDir / "lo.csv")
                                                                         : Slurp(outDir / "lo-Orders.csv");
        const std::string secondRow = csv.substr(csv.find('\n') + 1);
        for (const auto& v : values) {
            if (v.type == "n" || v.type == "d") {
                EXPECT_NE(secondRow.find(v.written), std::string::npos) << "displayed differently: " << v.written << "\n" << secondRow.substr(0, 300);
            }
        }
    }
}

}  // namespace
}  // namespace tabvert::excel
