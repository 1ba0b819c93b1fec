// Names and values from a database inside the .xlsx XML, byte for byte: sheet names in workbook.xml's
// attribute and in the document properties, cell texts as inline strings, number formats in styles.xml.
// Every part must also stay well-formed XML, whatever the names hold.

#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <QByteArray>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <filesystem>
#include <string>

#include "core/workbook/excel.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

namespace fs = std::filesystem;

// One part of a package, or "(missing)".
std::string PartOf(const fs::path& package, const std::string& part) {
    unzFile zip = unzOpen64(package.c_str());
    if (zip == nullptr) return "(missing)";
    std::string out = "(missing)";
    if (unzLocateFile(zip, part.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(zip) == UNZ_OK) {
        out.clear();
        char buffer[8192];
        int n;
        while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<size_t>(n));
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return out;
}

// Empty when the part is well-formed XML, else the parser's complaint.
std::string XmlFault(const std::string& xml) {
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    while (!reader.atEnd()) reader.readNext();
    return reader.hasError() ? reader.errorString().toStdString() : std::string();
}

class XlsxEscaping : public ::testing::Test {
  protected:
    // Saves the workbook as .xlsx (written whole, or streamed as the export does) and returns the parts.
    void Save(Workbook& book, bool streamed) {
        const fs::path path =
            fs::path(dir_.path().toStdString()) / (streamed ? "streamed.xlsx" : "whole.xlsx");
        book.SaveAs(path.string(), kOpenXmlWorkbook);
        path_ = path;
        ASSERT_NE(Part("xl/workbook.xml"), "(missing)");
        for (const char* part : {"xl/workbook.xml", "docProps/app.xml", "xl/worksheets/sheet1.xml",
                                 "xl/worksheets/sheet2.xml", "xl/styles.xml"}) {
            const std::string xml = Part(part);
            if (xml != "(missing)") {
                EXPECT_EQ(XmlFault(xml), "") << part;
            }
        }
    }
    std::string Part(const std::string& name) const { return PartOf(path_, name); }

    QTemporaryDir dir_;
    std::unique_ptr<Application> excel_ = testing::StartExcel(dir_);
    fs::path path_;
};

TEST_F(XlsxEscaping, SheetNamesInTheWorkbookAndItsProperties) {
    Workbook& book = excel_->GetWorkbooks().Add();
    Worksheet& first = book.ActiveSheet();
    first.SetName("Q\"&<>'s");
    Worksheet& second = book.GetWorksheets().Add();
    second.SetName(
        "Tab\there \x1b"
        "1m _x0041_");
    Save(book, false);

    const std::string workbook = Part("xl/workbook.xml");
    EXPECT_NE(workbook.find("<sheet name=\"Q&quot;&amp;&lt;&gt;'s\" sheetId="), std::string::npos)
        << workbook;
    EXPECT_NE(workbook.find("<sheet name=\"Tab_x0009_here _x001B_1m _x005F_x0041_\" sheetId="),
              std::string::npos)
        << workbook;
    const std::string app = Part("docProps/app.xml");
    EXPECT_NE(app.find("<vt:lpstr>Q\"&amp;&lt;&gt;'s</vt:lpstr>"), std::string::npos) << app;
    EXPECT_NE(app.find("<vt:lpstr>Tab\there _x001B_1m _x005F_x0041_</vt:lpstr>"), std::string::npos) << app;
}

TEST_F(XlsxEscaping, CellTextsAsInlineStringsWrittenWholeOrStreamed) {
    const std::pair<std::string, std::string> cases[] = {
        {"fish & <chips> \"quoted\" 'single'",
         "<is><t>fish &amp; &lt;chips&gt; \"quoted\" 'single'</t></is>"},
        {" padded ", "<is><t xml:space=\"preserve\"> padded </t></is>"},
        {"bell\x07 nul-free\x1f", "<is><t>bell_x0007_ nul-free_x001F_</t></is>"},
        {"tab\tline\nfeed", "<is><t>tab\tline\nfeed</t></is>"},
        {"_x0041_ and _x41_", "<is><t>_x005F_x0041_ and _x41_</t></is>"},
        {"]]> &amp;", "<is><t>]]&gt; &amp;amp;</t></is>"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "<is><t>\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80</t></is>"},
    };
    for (const bool streamed : {false, true}) {
        Workbook& book = excel_->GetWorkbooks().Add();
        if (streamed)
            book.PlanSaveAs((fs::path(dir_.path().toStdString()) / "streamed.xlsx").string(),
                            kOpenXmlWorkbook);
        Worksheet& sheet = book.ActiveSheet();
        long row = 1;
        for (const auto& [text, xml] : cases) sheet.Cells(row++, 1).SetValue(text);
        sheet.Cells(row, 1).SetNumber(2.5, "0.0 \"<kg> & 'lb'\"");
        Save(book, streamed);
        const std::string cells = Part("xl/worksheets/sheet1.xml");
        for (const auto& [text, xml] : cases)
            EXPECT_NE(cells.find(xml), std::string::npos) << streamed << " " << xml;
        EXPECT_NE(Part("xl/styles.xml").find("formatCode=\"0.0 &quot;&lt;kg&gt; &amp; 'lb'&quot;\""),
                  std::string::npos)
            << Part("xl/styles.xml");
        book.Close();
    }
}

}  // namespace
}  // namespace tabvert::excel
