// Written workbooks read back by independent readers: openpyxl (.xlsx), xlrd (.xls) and LibreOffice.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "core/workbook/excel.h"
#include "support/paths.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

using testing::Slurp;
using testing::StartExcel;
namespace fs = std::filesystem;

const text::Locale kUs = text::Locale::EnUS();

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
    std::string format{};  // for numbers and dates
};

std::vector<Expected> ValueRow() {
    const auto date = [](const text::CivilDateTime& dt, text::DateTextKind kind) {
        return Expected{text::FormatDateTime(dt, kUs), "d", text::JoinOleDate(dt),
                        text::ExcelDateFormat(kind, kUs)};
    };
    return {
        {"42", "n", 42, "General"},
        {"-3.5", "n", -3.5, "0.0"},
        {"1.500", "n", 1.5, "0.000"},
        {"007", "s"},
        {"12345678901234567890", "s"},
        {"1,000", "s"},
        date({2024, 2, 29, 0, 0, 0}, text::DateTextKind::DateOnly),
        date({2023, 12, 31, 23, 59, 58}, text::DateTextKind::DateTime),
        date({1899, 12, 30, 8, 30, 0}, text::DateTextKind::TimeOnly),
        {"2024-02-29", "s"},
        {"=1+1", "s"},
        {"TRUE", "s"},
        {"Ünïcödé € 漢字 😀", "s"},
        {"line one\nline two\ttab", "s"},
        {"", ""},
        {"  spaced  ", "s"},
        {"bell\x07 and _x0041_ as typed", "s"},
        {Repeat("long text ", 3276) + "1234567", "s"},  // exactly 32,767 characters
    };
}

// Saves and reads back with the independent reader; nothing (and a failure) when that reader fails.
std::optional<test::ReadWorkbook> SaveAndRead(Workbook& book, const fs::path& path) {
    book.SaveAs(path.string());
    std::string error;
    auto read = test::ReadWorkbookFile(path, &error);
    EXPECT_TRUE(read.has_value()) << path << ": " << error;
    return read;
}

// Reads the saved workbooks back with one run of the independent reader; a failure for each it cannot read.
std::vector<std::optional<test::ReadWorkbook>> ReadAll(const std::vector<fs::path>& paths) {
    std::vector<std::string> errors;
    auto read = test::ReadWorkbookFiles(paths, &errors);
    for (size_t i = 0; i < paths.size(); ++i)
        EXPECT_TRUE(read[i].has_value()) << paths[i] << ": " << errors[i];
    return read;
}

// The export's sheets: a header formatted over A1:Z1 (three look-ups of the range, one property each),
// here once with more fields than that and once with fewer and no records.
void WriteExportShapedWorkbook(Workbook& book, const std::vector<Expected>& values) {
    for (const auto& [name, fields] : {std::pair<std::string, long>{"Orders", 30}, {"No Records", 3}}) {
        Worksheet& sheet = book.GetWorksheets().Add();
        sheet.SetName(name);
        sheet.FitColumnWidths();
        sheet.FreezeTopRow();
        for (long c = 1; c <= fields; ++c) sheet.Cells(1, c).SetValue("Field" + std::to_string(c));
        sheet.GetRange("A1", "Z1").GetFont().SetBold(true);
        sheet.GetRange("A1", "Z1").GetFont().SetSize(15);
        sheet.GetRange("A1", "Z1").GetFont().SetUnderline(true);
        for (long r = 2; r <= 4 && fields == 30; ++r) {
            for (size_t c = 0; c < values.size(); ++c) {
                sheet.Cells(r, static_cast<long>(c) + 1).SetValue(values[c].written);
            }
        }
    }
}

TEST(WorkbookFiles, ExportShapedWorkbookReadsBackInBothFormats) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    auto values = ValueRow();  // and control characters, NULs, and texts that look like escapes
    for (const char* text : {"bell\x07", "a\rb", "_x0000_", "_x005F_x0041_", "_xZZZZ_"})
        values.push_back({text, "s"});
    values.push_back({std::string("nul\0inside", 10), "s"});
    values.push_back({std::string("\0", 1), "s"});
    const std::vector<std::pair<std::string, double>> files = {{"book.xlsx", 11}, {"book.xls", 10}};
    std::vector<fs::path> paths;
    for (const auto& [name, defaultSize] : files) {
        SCOPED_TRACE(name);
        Workbook& book = excel->GetWorkbooks().Add();
        WriteExportShapedWorkbook(book, values);
        paths.push_back(fs::path(dir.path().toStdString()) / name);
        book.SaveAs(paths.back().string());
        EXPECT_TRUE(book.Problems().empty());
        book.Close();
    }
    const auto books = ReadAll(paths);
    for (size_t f = 0; f < files.size(); ++f) {
        const auto& [name, defaultSize] = files[f];
        SCOPED_TRACE(name);
        const auto& read = books[f];
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->SheetNames(), (std::vector<std::string>{"No Records", "Orders", "Sheet1"}));
        EXPECT_EQ(read->active, 0);
        EXPECT_TRUE(read->sheets[2].cells.empty());
        // Both headers are formatted up to Z1, empty cells included, and not beyond.
        for (const auto& [sheet, fields] : {std::pair{&read->sheets[1], 30L}, {&read->sheets[0], 3L}}) {
            for (long c = 1; c <= 30; ++c) {
                const auto* cell = sheet->Find(1, c);
                if (c > fields && c > 26) {
                    EXPECT_EQ(cell, nullptr) << c;
                    continue;
                }
                ASSERT_NE(cell, nullptr) << c;
                EXPECT_EQ(cell->type + cell->text, c <= fields ? "sField" + std::to_string(c) : "blank") << c;
                EXPECT_EQ(cell->bold, c <= 26) << c;
                EXPECT_EQ(cell->underline, c <= 26) << c;
                EXPECT_DOUBLE_EQ(cell->fontSize, c <= 26 ? 15 : defaultSize) << c;
            }
        }
        EXPECT_EQ(read->sheets[0].Find(2, 1), nullptr);
        // Every column with a header or value is sized, the header row frozen; not on the engine's
        // own first sheet.
        EXPECT_EQ(read->sheets[1].widths.size(), 30u);
        EXPECT_EQ(read->sheets[0].widths.size(), 3u);
        EXPECT_TRUE(read->sheets[2].widths.empty());
        EXPECT_EQ(read->sheets[1].freeze + read->sheets[0].freeze + read->sheets[2].freeze, "A2A2");
        const long longText = static_cast<long>(values.size()) - 7;  // the 32,767 characters
        ASSERT_EQ(read->sheets[1].Find(2, longText)->text.size(), size_t{kMaxCellChars});
        EXPECT_GT(read->sheets[1].widths.at(longText), 60);
        EXPECT_LT(read->sheets[1].widths.at(longText), 61);
        EXPECT_LT(read->sheets[1].widths.at(1), 15);
        for (long r = 2; r <= 4; ++r) {
            for (size_t i = 0; i < values.size(); ++i) {
                const Expected& want = values[i];
                const auto* cell = read->sheets[1].Find(r, static_cast<long>(i) + 1);
                if (want.type.empty()) {
                    EXPECT_EQ(cell, nullptr) << i;
                    continue;
                }
                ASSERT_NE(cell, nullptr) << r << "," << i;
                EXPECT_EQ(cell->type, want.type) << want.written;
                EXPECT_FALSE(cell->bold);
                if (want.type == "s") {
                    EXPECT_EQ(cell->text, want.written);
                    // Text written after a number or date cell takes none of its number format.
                    EXPECT_EQ(cell->numberFormat, "General") << want.written;
                } else {
                    EXPECT_NEAR(cell->number, want.number, 1e-9) << want.written;
                    EXPECT_EQ(cell->numberFormat, want.format) << want.written;
                }
            }
        }
    }
}

TEST(WorkbookFiles, SharedStringsSurviveContinueRecords) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    // Lengths and widths chosen so that strings and their headers fall across record boundaries in
    // every way: 8-bit and UTF-16 texts, short and up to the cell limit, repeated ones in between.
    std::vector<std::string> texts;
    for (int i = 0; i < 1500; ++i) {
        const std::string piece = (i % 3 == 0) ? "Ωμέγα" : (i % 3 == 1 ? "ascii" : "Grüße");
        texts.push_back(std::to_string(i) + ":" + Repeat(piece, static_cast<size_t>((i * 37) % 700)));
    }
    // Up to the cell limit, and nearly one record on its own.
    texts.insert(texts.end(), {Repeat("Ж", 32767), Repeat("z", 32767), Repeat("ab", 4110) + "c"});
    const auto row = [&](size_t i) { return static_cast<long>(i) + 1; };
    for (size_t i = 0; i < texts.size(); ++i) {
        book.ActiveSheet().Cells(row(i), 1).SetValue(texts[i]);
        book.ActiveSheet().Cells(row(i), 2).SetValue(texts[(i * 7) % texts.size()]);
    }
    const auto read = SaveAndRead(book, fs::path(dir.path().toStdString()) / "strings.xls");
    ASSERT_TRUE(read.has_value());
    const auto& sheet = read->sheets.at(0);
    ASSERT_EQ(sheet.cells.size(), texts.size() * 2);
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(sheet.Find(row(i), 1)->text, texts[i]) << i;
        ASSERT_EQ(sheet.Find(row(i), 2)->text, texts[(i * 7) % texts.size()]) << i;
    }
}

TEST(WorkbookFiles, SavingSaysWhatItLeftOutOrCouldNotWriteExactly) {
    QTemporaryDir dir;
    auto excel = StartExcel(dir);
    const fs::path root = dir.path().toStdString();
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    sheet.Cells(kMaxXlsRows, kMaxXlsColumns).SetValue("last");
    sheet.Cells(kMaxXlsRows + 1, 1).SetValue("row beyond");
    sheet.Cells(1, kMaxXlsColumns + 1).SetValue("column beyond");
    sheet.Cells(kMaxRows, kMaxColumns).SetValue("far corner");
    book.SaveAs((root / "grid.xlsx").string());
    EXPECT_TRUE(book.Problems().empty());

    book.SaveAs((root / "grid.xls").string());  // a second save reports what it left out, not twice as much
    book.SaveAs((root / "grid.xls").string());
    ASSERT_EQ(book.Problems().size(), 1u);
    EXPECT_EQ(book.Problems()[0].kind, Problem::Kind::LeftOutOfXls);
    EXPECT_EQ(book.Problems()[0].count, 3);
    EXPECT_EQ(book.Problems()[0].sheet, "Sheet1");

    // At the cell limit a text's escapes no longer fit: it goes into the .xlsx as given, and the save
    // says so.
    Workbook& full = excel->GetWorkbooks().Add();
    full.ActiveSheet().Cells(1, 1).SetValue("_x0041_" + std::string(kMaxCellChars - 7, 'y'));
    full.SaveAs((root / "full.xlsx").string());
    ASSERT_EQ(full.Problems().size(), 1u);
    EXPECT_EQ(full.Problems()[0].kind, Problem::Kind::TextNotExact);

    const auto books = ReadAll({root / "grid.xlsx", root / "grid.xls", root / "full.xlsx"});
    const auto &wide = books[0], &narrow = books[1], &read = books[2];
    ASSERT_TRUE(wide.has_value());
    ASSERT_EQ(wide->sheets.at(0).cells.size(), 4u);
    EXPECT_EQ(wide->sheets[0].Find(kMaxRows, kMaxColumns)->text, "far corner");
    ASSERT_TRUE(narrow.has_value());
    ASSERT_EQ(narrow->sheets.at(0).cells.size(), 1u);
    EXPECT_EQ(narrow->sheets[0].Find(kMaxXlsRows, kMaxXlsColumns)->text, "last");
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->sheets.at(0).Find(1, 1)->text.size(),
              static_cast<size_t>(kMaxCellChars) - 6);  // "A" + y...
}

// LibreOffice, headless, converts our files: to the other format (read back again) and to CSV,
// which shows each cell as displayed, so number formats must show exactly the text written.
TEST(WorkbookFiles, LibreOfficeOpensBothFormats) {
    if (test::RunCommand("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    const auto values = ValueRow();
    // Our two files, named apart so that one conversion to CSV takes both.
    const std::vector<std::pair<std::string, std::string>> files = {{"ours-xlsx.xlsx", "xls"},
                                                                    {"ours-xls.xls", "xlsx"}};
    for (const auto& [name, other] : files) {
        Workbook& book = excel->GetWorkbooks().Add();
        WriteExportShapedWorkbook(book, values);
        book.SaveAs((root / name).string());
        book.Close();
    }
    const fs::path outDir = root / "converted";
    // A profile of its own per conversion: a second start on a profile still in use fails.
    int conversions = 0;
    const auto convert = [&](const std::string& filter, const std::vector<std::string>& names) {
        return testing::ConvertWithLibreOffice(root, "profile-" + std::to_string(++conversions), filter,
                                               outDir, names);
    };
    std::vector<fs::path> converted;
    for (const auto& [name, other] : files) {
        SCOPED_TRACE(name);
        ASSERT_EQ(convert(other, {name}), 0);
        converted.push_back(outDir / (fs::path(name).stem().string() + "." + other));
    }
    // Comma-separated UTF-8, cells as shown, the second sheet (Orders).
    ASSERT_EQ(convert("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,2",
                      {files[0].first, files[1].first}),
              0);
    const auto books = ReadAll(converted);
    for (size_t f = 0; f < files.size(); ++f) {
        const auto& [name, other] = files[f];
        SCOPED_TRACE(name);
        const auto& read = books[f];
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->SheetNames(), (std::vector<std::string>{"No Records", "Orders", "Sheet1"}));
        const auto& orders = read->sheets[1];
        const auto *a1 = orders.Find(1, 1), *aa1 = orders.Find(1, 27);
        ASSERT_TRUE(a1 && aa1);
        EXPECT_TRUE(a1->text == "Field1" && a1->bold && a1->underline && a1->fontSize == 15);
        EXPECT_FALSE(aa1->bold || aa1->underline || aa1->fontSize == 15);
        // The column of the long text wide, the others narrower; the header frozen where LibreOffice
        // read our .xls (converting an .xlsx headless, it keeps no view settings, any writer's).
        if (other == "xlsx") {
            EXPECT_EQ(orders.freeze, "A2");
        }
        const long longText = static_cast<long>(values.size());  // the 32,767 characters
        ASSERT_TRUE(orders.widths.contains(longText) && orders.widths.contains(1));
        EXPECT_GT(orders.widths.at(longText), 55);
        EXPECT_LT(orders.widths.at(1), orders.widths.at(longText) / 3);
        for (size_t i = 0; i < values.size(); ++i) {
            const auto* cell = orders.Find(2, static_cast<long>(i) + 1);
            if (values[i].type.empty()) continue;
            ASSERT_NE(cell, nullptr) << i;
            EXPECT_EQ(cell->type, values[i].type) << values[i].written;
            // LibreOffice's own .xlsx leaves a typed "_x0041_" unescaped, so that one is compared
            // only where LibreOffice read our .xlsx and wrote .xls.
            if (values[i].type == "s" &&
                (other == "xls" || values[i].written.find("_x") == std::string::npos)) {
                EXPECT_EQ(cell->text, values[i].written);
            }
            if (values[i].type == "d") {
                std::string format = cell->numberFormat;  // LibreOffice escapes the spaces: "h:mm:ss\ AM/PM"
                std::erase(format, '\\');
                EXPECT_EQ(format, values[i].format);
            }
        }
        const std::string stem = fs::path(name).stem().string();
        std::string csv = Slurp(outDir / (stem + "-Orders.csv"));
        if (csv.empty()) csv = Slurp(outDir / (stem + ".csv"));
        const std::string secondRow = csv.substr(csv.find('\n') + 1);
        for (const auto& v : values) {
            if (v.type == "n" || v.type == "d") {
                EXPECT_NE(secondRow.find(v.written), std::string::npos)
                    << "displayed differently: " << v.written;
            }
        }
    }
}

}  // namespace
}  // namespace tabvert::excel
