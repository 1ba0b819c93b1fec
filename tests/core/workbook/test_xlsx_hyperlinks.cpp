// Cells that link to files: the .xlsx parts as written, and the links as openpyxl and LibreOffice
// read them.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QUrl>
#include <map>

#include "core/workbook/excel.h"
#include "core/workbook/xlsx/xlsx_sheet.h"
#include "support/paths.h"
#include "support/workbook_reader.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

namespace fs = std::filesystem;
using testing::StartExcel;
using testing::ThrownReason;

// One part of a package, as unzip extracts it; "" when it is missing.
std::string Part(const fs::path& package, const std::string& name) {
    std::string out;
    if (test::RunCommand(
            "unzip -p " + test::ShellQuote(package.string()) + " " + test::ShellQuote(name) + " 2>/dev/null",
            &out) != 0)
        return {};
    return out;
}

// openpyxl's view of the links: "Sheet!A1" -> target, for every cell that has one.
std::map<std::string, std::string> LinksRead(const fs::path& path) {
    const std::string script =
        "import sys, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "for ws in wb.worksheets:\n"
        "    for row in ws.iter_rows():\n"
        "        for c in row:\n"
        "            if c.hyperlink is not None:\n"
        "                sys.stdout.write(ws.title + '!' + c.coordinate + '\\t' + str(c.hyperlink.target) + "
        "'\\n')\n";
    std::string out;
    EXPECT_EQ(test::RunCommand(std::string(test::SystemPython()) + " -c " + test::ShellQuote(script) + " " +
                                   test::ShellQuote(path.string()),
                               &out),
              0);
    std::map<std::string, std::string> links;
    size_t start = 0;
    for (size_t end = out.find('\n'); end != std::string::npos;
         start = end + 1, end = out.find('\n', start)) {
        const std::string line = out.substr(start, end - start);
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) links[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return links;
}

// A sheet of links the way the export writes them (value, then link), one set twice, one set before
// the cell to its left; and before it in tab order (created second), a sheet without links.
void FillLinkedBook(Workbook& book) {
    Worksheet& photos = book.ActiveSheet();
    photos.SetName("Photos");
    book.GetWorksheets().Add();
    Worksheet& plain = book.ActiveSheet();
    plain.SetName("Plain");
    plain.Cells(1, 1).SetValue("no links here");
    photos.Activate();
    photos.Cells(1, 1).SetValue("Photo");
    for (long row = 2; row <= 4; ++row) {
        const std::string path = "Employees/" + std::to_string(row - 1) + "-Photo.bmp";
        photos.Cells(row, 2).SetValue("x");
        photos.SetHyperlink(row, 2, "stale.bin");
        photos.Cells(row, 1).SetValue(path);
        photos.SetHyperlink(row, 1, path);
        photos.SetHyperlink(row, 2, "Employees/" + std::to_string(row - 1) + "-Notes.txt");
    }
}

// The book above saved at `path`; `planned`, it streams into the file as it is filled.
fs::path SaveLinkedBook(Application& excel, const fs::path& path, bool planned) {
    Workbook& book = excel.GetWorkbooks().Add();
    if (planned) book.PlanSaveAs(path.string());
    FillLinkedBook(book);
    book.SaveAs(path.string());
    book.Close();
    return path;
}

const std::map<std::string, std::string> kLinkedBookLinks = {
    {"Photos!A2", "Employees/1-Photo.bmp"}, {"Photos!A3", "Employees/2-Photo.bmp"},
    {"Photos!A4", "Employees/3-Photo.bmp"}, {"Photos!B2", "Employees/1-Notes.txt"},
    {"Photos!B3", "Employees/2-Notes.txt"}, {"Photos!B4", "Employees/3-Notes.txt"},
};

// Spooled and streamed workbooks give the same links, each cell's last one, and the sheet without
// links no relationships part; the elements keep the worksheet schema's order.
TEST(XlsxHyperlinks, SpooledAndStreamedWorkbooksLinkTheirCells) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    for (const bool planned : {false, true}) {
        SCOPED_TRACE(planned ? "planned" : "spooled");
        const fs::path path =
            SaveLinkedBook(*excel, root / (planned ? "planned.xlsx" : "spooled.xlsx"), planned);

        EXPECT_EQ(LinksRead(path), kLinkedBookLinks);
        const auto read = test::ReadWorkbookFile(path);
        ASSERT_TRUE(read.has_value());
        ASSERT_EQ(read->SheetNames(), (std::vector<std::string>{"Plain", "Photos"}));
        const auto* a3 = read->sheets.at(1).Find(3, 1);
        ASSERT_NE(a3, nullptr);
        EXPECT_EQ(a3->text, "Employees/2-Photo.bmp");

        // Parts are numbered by tab in a spooled workbook and by creation in a streamed one.
        const std::string linked = planned ? "sheet1.xml" : "sheet2.xml";
        const std::string plain = planned ? "sheet2.xml" : "sheet1.xml";
        const std::string sheet = Part(path, "xl/worksheets/" + linked);
        const size_t data = sheet.find("</sheetData>"), links = sheet.find("<hyperlinks>"),
                     margins = sheet.find("<pageMargins");
        ASSERT_NE(links, std::string::npos);
        EXPECT_LT(data, links);
        EXPECT_LT(links, margins);
        EXPECT_NE(sheet.find("<hyperlinks><hyperlink ref=\"A2\" r:id=\"rId1\"/><hyperlink ref=\"B2\""),
                  std::string::npos);
        size_t written = 0;  // one element per cell: a replaced link leaves nothing behind
        for (size_t at = sheet.find("<hyperlink "); at != std::string::npos;
             at = sheet.find("<hyperlink ", at + 1))
            ++written;
        EXPECT_EQ(written, kLinkedBookLinks.size());
        EXPECT_EQ(Part(path, "xl/worksheets/_rels/" + linked + ".rels").find("stale.bin"), std::string::npos);
        EXPECT_EQ(Part(path, "xl/worksheets/_rels/" + plain + ".rels"), "");
        EXPECT_EQ(Part(path, "xl/worksheets/" + plain).find("hyperlink"), std::string::npos);
    }
}

// The target is a URI reference inside an XML attribute: reserved and non-ASCII bytes percent-encoded,
// and the & that a URI keeps escaped for XML.
TEST(XlsxHyperlinks, TargetsAreEncodedForUriAndXml) {
    EXPECT_EQ(UriReference("Orders/12-Scan.pdf"), "Orders/12-Scan.pdf");
    EXPECT_EQ(UriReference("a b%c#d?e:f\\g"), "a%20b%25c%23d%3Fe%3Af%5Cg");

    QTemporaryDir dir;
    const fs::path path = fs::path(dir.path().toStdString()) / "escaped.xlsx";
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    const std::string target = "R&D \"Q\" <1>/Ünï 2.bin";
    book.ActiveSheet().Cells(1, 1).SetValue(target);
    book.ActiveSheet().SetHyperlink(1, 1, target);
    book.SaveAs(path.string());
    book.Close();

    const std::string rels = Part(path, "xl/worksheets/_rels/sheet1.xml.rels");
    EXPECT_NE(
        rels.find("<Relationship Id=\"rId1\" "
                  "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink\" "
                  "Target=\"R&amp;D%20%22Q%22%20%3C1%3E/%C3%9Cn%C3%AF%202.bin\" TargetMode=\"External\"/>"),
        std::string::npos)
        << rels;
    // openpyxl hands the reference back as written; undoing the percent-encoding gives the path.
    const auto links = LinksRead(path);
    ASSERT_EQ(links.count("Sheet1!A1"), 1u);
    EXPECT_EQ(QUrl::fromPercentEncoding(QByteArray::fromStdString(links.at("Sheet1!A1"))).toStdString(),
              target);
}

// A link follows the rules of the cells: inside the grid, and in a streamed sheet not on a row that
// went out already. An .xls file keeps the cell's text.
TEST(XlsxHyperlinks, RefusedWhereACellIsAndLeftAsTextInXls) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    book.PlanSaveAs((root / "order.xlsx").string());
    Worksheet& sheet = book.ActiveSheet();
    EXPECT_EQ(ThrownReason([&] { sheet.SetHyperlink(0, 1, "a.bin"); }), ErrorReason::CellOutsideGrid);
    EXPECT_EQ(ThrownReason([&] { sheet.SetHyperlink(1, kMaxColumns + 1, "a.bin"); }),
              ErrorReason::CellOutsideGrid);
    sheet.Cells(1, 1).SetValue("a.bin");
    sheet.Cells(2, 1).SetValue("b.bin");
    EXPECT_EQ(ThrownReason([&] { sheet.SetHyperlink(1, 1, "a.bin"); }), ErrorReason::OutOfOrder);
    book.Close();

    for (const bool planned : {false, true}) {
        SCOPED_TRACE(planned ? "planned" : "spooled");
        const fs::path path =
            SaveLinkedBook(*excel, root / (planned ? "planned.xls" : "spooled.xls"), planned);
        const auto read = test::ReadWorkbookFile(path);
        ASSERT_TRUE(read.has_value());
        const auto* b4 = read->sheets.at(1).Find(4, 1);
        ASSERT_NE(b4, nullptr);
        EXPECT_EQ(b4->text, "Employees/3-Photo.bmp");
    }
}

// LibreOffice opens the links: its own .xlsx of our file links the same cells to the same files.
TEST(XlsxHyperlinks, LibreOfficeKeepsTheLinks) {
    if (test::RunCommand("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    auto excel = StartExcel(dir);
    Workbook& book = excel->GetWorkbooks().Add();
    FillLinkedBook(book);
    book.SaveAs((root / "ours.xlsx").string());
    book.Close();

    const fs::path outDir = root / "converted";
    ASSERT_EQ(testing::ConvertWithLibreOffice(root, "profile", "xlsx", outDir, {"ours.xlsx"}), 0);
    const auto links = LinksRead(outDir / "ours.xlsx");
    ASSERT_EQ(links.size(), kLinkedBookLinks.size());
    for (const auto& [cell, target] : kLinkedBookLinks) {
        ASSERT_EQ(links.count(cell), 1u) << cell;
        // LibreOffice may write the reference it resolved against the file's folder.
        EXPECT_TRUE(links.at(cell) == target || links.at(cell).ends_with("/" + target)) << links.at(cell);
    }
}

}  // namespace
}  // namespace tabvert::excel
