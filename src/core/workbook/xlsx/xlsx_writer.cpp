// Office Open XML: the package around the worksheet parts. The parts, their content types and
// relationships, and the order of their elements are those Excel writes for a plain workbook; the
// worksheets are streamed by XlsxSheetWriter, the rest is small and written whole at the end.

#include "core/workbook/xlsx/xlsx_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "core/workbook/column_fit.h"

namespace tabvert::excel {

namespace {

constexpr std::string_view kXmlDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kRelationshipsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
constexpr std::string_view kOfficeRel =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr std::string_view kOfficeType = "application/vnd.openxmlformats-officedocument.";

std::string Relationship(size_t id, std::string_view type, std::string_view target) {
    return "<Relationship Id=\"rId" + std::to_string(id) + "\" Type=\"" + std::string(type) + "\" Target=\"" +
           std::string(target) + "\"/>";
}

std::string Override(std::string_view part, std::string_view type) {
    return "<Override PartName=\"/" + std::string(part) + "\" ContentType=\"" + std::string(type) + "\"/>";
}

std::string ContentTypes(const std::vector<std::string>& sheetParts) {
    std::string out(kXmlDeclaration);
    out +=
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    const std::string office(kOfficeType);
    out += Override("docProps/app.xml", office + "extended-properties+xml");
    out += Override("docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml");
    out += Override("xl/styles.xml", office + "spreadsheetml.styles+xml");
    out += Override("xl/theme/theme1.xml", office + "theme+xml");
    out += Override("xl/workbook.xml", office + "spreadsheetml.sheet.main+xml");
    for (const auto& part : sheetParts) out += Override(part, office + "spreadsheetml.worksheet+xml");
    out += "</Types>";
    return out;
}

std::string RootRelationships() {
    std::string out(kXmlDeclaration);
    out += "<Relationships xmlns=\"" + std::string(kRelationshipsNs) + "\">";
    out += Relationship(1, std::string(kOfficeRel) + "officeDocument", "xl/workbook.xml");
    out += Relationship(
        2, "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
        "docProps/core.xml");
    out += Relationship(3, std::string(kOfficeRel) + "extended-properties", "docProps/app.xml");
    out += "</Relationships>";
    return out;
}

std::string WorkbookRelationships(const std::vector<std::string>& sheetParts) {
    std::string out(kXmlDeclaration);
    out += "<Relationships xmlns=\"" + std::string(kRelationshipsNs) + "\">";
    size_t id = 0;
    for (const auto& part : sheetParts) {
        out += Relationship(++id, std::string(kOfficeRel) + "worksheet", part.substr(3));  // relative to xl/
    }
    out += Relationship(++id, std::string(kOfficeRel) + "theme", "theme/theme1.xml");
    out += Relationship(++id, std::string(kOfficeRel) + "styles", "styles.xml");
    out += "</Relationships>";
    return out;
}

std::string WorkbookPart(const std::vector<std::string>& names, size_t active) {
    std::string out(kXmlDeclaration);
    out +=
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
        "<fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4505\"/>"
        "<workbookPr defaultThemeVersion=\"124226\"/><bookViews><workbookView xWindow=\"240\" yWindow=\"15\" "
        "windowWidth=\"16095\" windowHeight=\"9660\"";
    if (active > 0) out += " activeTab=\"" + std::to_string(active) + "\"";
    out += "/></bookViews><sheets>";
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        out += "<sheet name=\"" + XmlAttribute(names[i]) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    }
    out += "</sheets><calcPr calcId=\"124519\" fullCalcOnLoad=\"1\"/></workbook>";
    return out;
}

std::string AppProperties(const std::vector<std::string>& names) {
    std::string out(kXmlDeclaration);
    const std::string count = std::to_string(names.size());
    out +=
        "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
        "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
        "<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>"
        "<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr>"
        "</vt:variant><vt:variant><vt:i4>" +
        count + "</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts><vt:vector size=\"" + count +
        "\" baseType=\"lpstr\">";
    for (const auto& name : names) {
        out += "<vt:lpstr>";
        AppendXmlText(out, name);
        out += "</vt:lpstr>";
    }
    out +=
        "</vt:vector></TitlesOfParts><Company></Company><LinksUpToDate>false</LinksUpToDate>"
        "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>12.0000</"
        "AppVersion>"
        "</Properties>";
    return out;
}

std::string CoreProperties() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string out(kXmlDeclaration);
    out +=
        "<cp:coreProperties "
        "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
        "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
        "<dc:creator></dc:creator><cp:lastModifiedBy></cp:lastModifiedBy>";
    out += "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" + std::string(stamp) + "</dcterms:created>";
    out += "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + std::string(stamp) + "</dcterms:modified>";
    out += "</cp:coreProperties>";
    return out;
}

// The Office colour and font scheme that the styles' theme colour 1 and "minor" font refer to, with
// the three-entry format lists DrawingML requires kept to plain solid fills and lines.
std::string ThemePart() {
    std::string out(kXmlDeclaration);
    out +=
        "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Office Theme\">"
        "<a:themeElements><a:clrScheme name=\"Office\">"
        "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
        "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>";
    const std::pair<const char*, const char*> colours[] = {
        {"dk2", "1F497D"},     {"lt2", "EEECE1"},      {"accent1", "4F81BD"}, {"accent2", "C0504D"},
        {"accent3", "9BBB59"}, {"accent4", "8064A2"},  {"accent5", "4BACC6"}, {"accent6", "F79646"},
        {"hlink", "0000FF"},   {"folHlink", "800080"},
    };
    for (const auto& [slot, rgb] : colours) {
        out += "<a:" + std::string(slot) + "><a:srgbClr val=\"" + rgb + "\"/></a:" + slot + ">";
    }
    out +=
        "</a:clrScheme><a:fontScheme name=\"Office\">"
        "<a:majorFont><a:latin typeface=\"Cambria\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:majorFont>"
        "<a:minorFont><a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/></a:minorFont>"
        "</a:fontScheme><a:fmtScheme name=\"Office\"><a:fillStyleLst>";
    const std::string fill = "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>";
    for (int i = 0; i < 3; ++i) out += fill;
    out += "</a:fillStyleLst><a:lnStyleLst>";
    for (const char* width : {"9525", "25400", "38100"}) {
        out += "<a:ln w=\"" + std::string(width) + "\">" + fill + "</a:ln>";
    }
    out += "</a:lnStyleLst><a:effectStyleLst>";
    for (int i = 0; i < 3; ++i) out += "<a:effectStyle><a:effectLst/></a:effectStyle>";
    out += "</a:effectStyleLst><a:bgFillStyleLst>";
    for (int i = 0; i < 3; ++i) out += fill;
    out +=
        "</a:bgFillStyleLst></a:fmtScheme></a:themeElements><a:objectDefaults/><a:extraClrSchemeLst/></"
        "a:theme>";
    return out;
}

}  // namespace

void WritePackageParts(ZipPackage& zip, const std::vector<std::string>& names,
                       const std::vector<std::string>& sheetParts, size_t active, const XlsxStyles& styles) {
    zip.AddPart("xl/workbook.xml", WorkbookPart(names, active));
    zip.AddPart("xl/theme/theme1.xml", ThemePart());
    zip.AddPart("xl/styles.xml", styles.Part());
    zip.AddPart("docProps/core.xml", CoreProperties());
    zip.AddPart("docProps/app.xml", AppProperties(names));
    zip.AddPart("[Content_Types].xml", ContentTypes(sheetParts));
    zip.AddPart("_rels/.rels", RootRelationships());
    zip.AddPart("xl/_rels/workbook.xml.rels", WorkbookRelationships(sheetParts));
    zip.Finish();
}

void WriteXlsx(const std::string& path, const BookOut& book) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw ExcelError(ErrorReason::SaveFailed, std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};

    XlsxStyles styles(*book.formats);
    std::vector<std::string> names, parts;
    {
        ZipPackage zip(fd);
        for (size_t i = 0; i < book.sheets.size(); ++i) {
            const SheetOut& sheet = book.sheets[i];
            names.push_back(sheet.name);
            parts.push_back("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml");
            std::unique_ptr<RowSink> sink = std::make_unique<XlsxSheetWriter>(
                zip, parts.back(), styles,
                [&](long row, long column) {
                    if (book.problem) book.problem(Problem::Kind::TextNotExact, sheet.name, row, column);
                },
                sheet.layout.frozenHeader);
            if (sheet.layout.fitColumns)
                sink = std::make_unique<FittingSink>(std::move(sink), *book.formats, kXlsxDefaultPoints);
            auto cursor = sheet.cells();
            OutCell cell;
            while (cursor->Next(cell)) sink->Add(cell);
            if (sheet.links)
                for (const Hyperlink& link : *sheet.links) sink->AddLink(link);
            sink->Finish(i == book.active);
        }
        WritePackageParts(zip, names, parts, book.active, styles);
    }
}

}  // namespace tabvert::excel
