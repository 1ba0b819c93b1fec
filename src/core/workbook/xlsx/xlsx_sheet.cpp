#include "core/workbook/xlsx/xlsx_sheet.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "core/text/strings.h"
#include "core/workbook/column_fit.h"
#include "core/workbook/limits.h"

namespace tabvert::excel {

namespace {

constexpr size_t kPiece = 256u << 10;  // bytes of XML handed to the package at a time
constexpr double kDefaultPoints = kXlsxDefaultPoints;

constexpr std::string_view kSheetStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><dimension ref=\"";
constexpr size_t kLongestRef = 13;  // A1:XFD1048576
constexpr std::string_view kSelected = "tabSelected=\"1\" ";
constexpr std::string_view kSheetTail =
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
    "footer=\"0.3\"/></worksheet>";

// Row 1 stays in view, the cursor below it.
constexpr std::string_view kFrozenHeader =
    "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
    "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/>";

// The head with the used range and the selection filled in; for one sheet always the same length.
std::string SheetHead(std::string_view ref, bool selected, bool frozenHeader) {
    std::string head(kSheetStart);
    head += ref;
    head += '"';
    head.append(kLongestRef - ref.size(), ' ');
    head += "/><sheetViews><sheetView ";
    head += selected ? kSelected : std::string(kSelected.size(), ' ');
    head += "workbookViewId=\"0\"";
    if (frozenHeader) {
        head += '>';
        head += kFrozenHeader;
        head += "</sheetView>";
    } else {
        head += "/>";
    }
    head += "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    return head;
}

void AppendColumn(std::string& out, uint32_t column) {
    char letters[4];
    int n = 0;
    while (column > 0) {
        const uint32_t rem = (column - 1) % 26;
        letters[n++] = static_cast<char>('A' + rem);
        column = (column - 1) / 26;
    }
    while (n > 0) out += letters[--n];
}

void AppendNumber(std::string& out, uint64_t value) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, res.ptr);
}

void AppendCellRef(std::string& out, uint32_t row, uint32_t column) {
    AppendColumn(out, column);
    AppendNumber(out, row);
}

std::string Ref(uint32_t row1, uint32_t col1, uint32_t row2, uint32_t col2) {
    std::string ref;
    AppendCellRef(ref, row1, col1);
    if (row1 != row2 || col1 != col2) {
        ref += ':';
        AppendCellRef(ref, row2, col2);
    }
    return ref;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool LooksEscaped(std::string_view text, size_t i) {
    return i + 6 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) && IsHex(text[i + 3]) &&
           IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_';
}

bool NeedsCare(std::string_view text) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == '&' || c == '<' || c == '>' || c == '_') return true;
    }
    return false;
}

constexpr char kHex[] = "0123456789ABCDEF";

// A character as it is, or a control character as _xHHHH_.
void AppendCharacter(std::string& out, char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20) {
        out += "_x00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
        out += '_';
    } else {
        out += ch;
    }
}

// & < > as XML entities; false, with nothing appended, for any other character.
bool AppendEntity(std::string& out, char ch) {
    switch (ch) {
        case '&':
            out += "&amp;";
            return true;
        case '<':
            out += "&lt;";
            return true;
        case '>':
            out += "&gt;";
            return true;
        default:
            return false;
    }
}

void AppendEscaped(std::string& out, std::string_view text, bool guard) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (AppendEntity(out, ch)) continue;
        switch (ch) {
            case '\t':
            case '\n':
                out += ch;
                continue;
            case '_':
                if (guard && LooksEscaped(text, i)) out += "_x005F";
                out += ch;
                continue;
            default:
                break;
        }
        AppendCharacter(out, ch);
    }
}

// Characters the guards add: six for every literal _xHHHH_.
size_t GuardChars(std::string_view text) {
    size_t n = 0;
    for (size_t i = text.find('_'); i != std::string_view::npos; i = text.find('_', i + 1)) {
        if (LooksEscaped(text, i)) n += 6;
    }
    return n;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// "xl/worksheets/sheet1.xml" -> "xl/worksheets/_rels/sheet1.xml.rels"
std::string RelationshipsPart(const std::string& partName) {
    const size_t slash = partName.rfind('/') + 1;
    return partName.substr(0, slash) + "_rels/" + partName.substr(slash) + ".rels";
}

// Keeps a cell's last link; the rest in (row, column) order.
void SortLinks(std::vector<Hyperlink>& links) {
    auto before = [](const Hyperlink& a, const Hyperlink& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    };
    std::stable_sort(links.begin(), links.end(), before);
    size_t kept = 0;
    for (size_t i = 0; i < links.size(); ++i) {
        if (i + 1 < links.size() && !before(links[i], links[i + 1])) continue;  // a later one replaces it
        if (kept != i) links[kept] = std::move(links[i]);
        ++kept;
    }
    links.resize(kept);
}

}  // namespace

std::string UriReference(std::string_view path) {
    static constexpr std::string_view kKept = "-._~/!$&'()*+,;=";
    std::string out;
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            kKept.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

bool AppendXmlText(std::string& out, std::string_view text) {
    if (!NeedsCare(text)) {
        out += text;
        return true;
    }
    // Control characters are escaped in every case (XML cannot hold them); a reader counts each as one.
    const size_t guards = GuardChars(text);
    const bool fits = guards == 0 || text::Utf16Length(text) + guards <= static_cast<size_t>(kMaxCellChars);
    AppendEscaped(out, text, fits);
    return fits;
}

std::string XmlAttribute(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (AppendEntity(out, ch)) continue;
        switch (ch) {
            case '"':
                out += "&quot;";
                break;
            case '_':
                if (LooksEscaped(text, i)) out += "_x005F";  // a literal _xHHHH_, as in cell texts
                out += ch;
                break;
            default:
                // XML cannot hold control characters, and a reader turns a tab or line break in an
                // attribute into a space: each is written as the _xHHHH_ escape Excel reads in names.
                AppendCharacter(out, ch);
        }
    }
    return out;
}

uint32_t XlsxStyles::Xf(const FontSpec& font, uint16_t numberFormat) {
    if (font.IsDefault() && numberFormat == 0) return 0;
    const Key key{font.bold, font.underline, font.size > 0 ? font.size : kDefaultPoints, numberFormat};
    const auto it = index_.find(key);
    if (it != index_.end()) return it->second;
    order_.push_back(key);
    const auto xf = static_cast<uint32_t>(order_.size());
    index_.emplace(key, xf);
    return xf;
}

std::string XlsxStyles::Part() const {
    // Number formats and fonts numbered in the order their first cell style uses them.
    std::vector<uint16_t> formats;
    std::vector<Key> fonts{{false, false, kDefaultPoints, 0}};
    std::vector<std::pair<uint32_t, uint32_t>> xfs;  // numFmtId, fontId
    for (const Key& key : order_) {
        uint32_t formatId = 0;
        if (key.format != 0) {
            size_t i = 0;
            while (i < formats.size() && formats[i] != key.format) ++i;
            if (i == formats.size()) formats.push_back(key.format);
            formatId = static_cast<uint32_t>(164 + i);
        }
        const Key fontKey{key.bold, key.underline, key.size, 0};
        size_t f = 0;
        while (f < fonts.size() && fonts[f] != fontKey) ++f;
        if (f == fonts.size()) fonts.push_back(fontKey);
        xfs.emplace_back(formatId, static_cast<uint32_t>(f));
    }

    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
    if (!formats.empty()) {
        out += "<numFmts count=\"" + std::to_string(formats.size()) + "\">";
        for (size_t i = 0; i < formats.size(); ++i) {
            out += "<numFmt numFmtId=\"" + std::to_string(164 + i) + "\" formatCode=\"" +
                   XmlAttribute(numberFormats_.at(formats[i])) + "\"/>";
        }
        out += "</numFmts>";
    }
    out += "<fonts count=\"" + std::to_string(fonts.size()) + "\">";
    for (const Key& f : fonts) {
        char size[32];
        const auto res = std::to_chars(size, size + sizeof size, f.size);
        out += "<font>";
        if (f.bold) out += "<b/>";
        if (f.underline) out += "<u/>";
        out += "<sz val=\"" + std::string(size, res.ptr) +
               "\"/><color theme=\"1\"/><name val=\"Calibri\"/><family val=\"2\"/><scheme "
               "val=\"minor\"/></font>";
    }
    out +=
        "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
        "patternType=\"gray125\"/></fill></fills><borders count=\"1\"><border><left/><right/><top/><bottom/>"
        "<diagonal/></border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" "
        "fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs>";
    out += "<cellXfs count=\"" + std::to_string(xfs.size() + 1) +
           "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    for (const auto& [formatId, fontId] : xfs) {
        out += "<xf numFmtId=\"" + std::to_string(formatId) + "\" fontId=\"" + std::to_string(fontId) +
               "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"";
        if (formatId != 0) out += " applyNumberFormat=\"1\"";
        if (fontId != 0) out += " applyFont=\"1\"";
        out += "/>";
    }
    out +=
        "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" "
        "builtinId=\"0\"/></cellStyles>"
        "<dxfs count=\"0\"/><tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" "
        "defaultPivotStyle=\"PivotStyleLight16\"/></styleSheet>";
    return out;
}

XlsxSheetWriter::XlsxSheetWriter(ZipPackage& zip, const std::string& partName, XlsxStyles& styles,
                                 TextProblem problem, bool frozenHeader)
    : zip_(zip),
      partName_(partName),
      styles_(styles),
      problem_(std::move(problem)),
      frozenHeader_(frozenHeader) {
    zip_.BeginPart(partName, SheetHead("A1", false, frozenHeader_));
    buffer_.reserve(kPiece + 64 * 1024);
}

void XlsxSheetWriter::SetColumns(const std::vector<ColumnWidth>& widths) {
    if (!dataStarted_) widths_ = widths;
}

void XlsxSheetWriter::StartData() {
    dataStarted_ = true;
    if (!widths_.empty()) {
        buffer_ += "<cols>";
        for (const ColumnWidth& w : widths_) {
            buffer_ += "<col min=\"";
            AppendNumber(buffer_, w.first);
            buffer_ += "\" max=\"";
            AppendNumber(buffer_, w.last);
            buffer_ += "\" width=\"";
            char digits[32];
            const auto res = std::to_chars(digits, digits + sizeof digits, ColumnWidthUnits(w.chars) / 256.0);
            buffer_.append(digits, res.ptr);
            buffer_ += "\" customWidth=\"1\"/>";
        }
        buffer_ += "</cols>";
        widths_.clear();
    }
    buffer_ += "<sheetData>";
}

void XlsxSheetWriter::Text(const std::string& text, long row, long column) {
    const bool preserve = !text.empty() && (IsSpace(text.front()) || IsSpace(text.back()));
    buffer_ += preserve ? "<is><t xml:space=\"preserve\">" : "<is><t>";
    if (!AppendXmlText(buffer_, text) && problem_) problem_(row, column);
    buffer_ += "</t></is></c>";
}

void XlsxSheetWriter::Add(const OutCell& cell) {
    if (!dataStarted_) StartData();
    if (cell.row != row_) {
        if (row_ != 0) buffer_ += "</row>";
        if (buffer_.size() >= kPiece) zip_.Write(buffer_);
        row_ = cell.row;
        buffer_ += "<row r=\"";
        AppendNumber(buffer_, row_);
        buffer_ += "\">";
    }
    if (!any_) {
        firstRow_ = cell.row;
        firstCol_ = cell.column;
        any_ = true;
    }
    lastRow_ = cell.row;
    firstCol_ = std::min(firstCol_, cell.column);
    lastCol_ = std::max(lastCol_, cell.column);

    // A text carries no number format, whatever the cell held before.
    const uint32_t xf = styles_.Xf(cell.font, cell.kind == OutCell::Kind::Number ? cell.format : 0);
    buffer_ += "<c r=\"";
    AppendCellRef(buffer_, cell.row, cell.column);
    buffer_ += '"';
    if (xf != 0) {
        buffer_ += " s=\"";
        AppendNumber(buffer_, xf);
        buffer_ += '"';
    }
    switch (cell.kind) {
        case OutCell::Kind::Blank:
            buffer_ += "/>";
            break;
        case OutCell::Kind::Number: {
            buffer_ += "><v>";
            char digits[32];
            const auto res = std::to_chars(digits, digits + sizeof digits, cell.number);
            buffer_.append(digits, res.ptr);
            buffer_ += "</v></c>";
            break;
        }
        case OutCell::Kind::Text:
            buffer_ += " t=\"inlineStr\">";
            Text(cell.text, cell.row, cell.column);
            break;
    }
}

void XlsxSheetWriter::Finish(bool selected) {
    if (!dataStarted_) StartData();
    if (row_ != 0) buffer_ += "</row>";
    buffer_ += "</sheetData>";
    SortLinks(links_);
    std::string relationships;
    if (!links_.empty()) {
        relationships =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
        buffer_ += "<hyperlinks>";
        uint64_t id = 0;
        for (const Hyperlink& link : links_) {
            buffer_ += "<hyperlink ref=\"";
            AppendCellRef(buffer_, link.row, link.column);
            buffer_ += "\" r:id=\"rId";
            AppendNumber(buffer_, ++id);
            buffer_ += "\"/>";
            relationships += "<Relationship Id=\"rId" + std::to_string(id) +
                             "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                             "hyperlink\" Target=\"";
            // Percent-encoding leaves & as the one character XML needs escaped in an attribute.
            for (const char ch : UriReference(link.target))
                relationships += ch == '&' ? "&amp;" : std::string(1, ch);
            relationships += "\" TargetMode=\"External\"/>";
            if (buffer_.size() >= kPiece) zip_.Write(buffer_);
        }
        buffer_ += "</hyperlinks>";
        relationships += "</Relationships>";
        links_.clear();
        links_.shrink_to_fit();
    }
    zip_.Write(buffer_);
    const std::string ref = any_ ? Ref(firstRow_, firstCol_, lastRow_, lastCol_) : "A1";
    zip_.EndPart(SheetHead(ref, selected, frozenHeader_), std::string(kSheetTail));
    if (!relationships.empty()) zip_.AddPart(RelationshipsPart(partName_), std::move(relationships));
}

}  // namespace tabvert::excel
