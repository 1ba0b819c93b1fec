#pragma once
// SpreadsheetML worksheet parts and the cell styles they refer to. Cells arrive in (row, column)
// order and leave as XML at once, built with std::to_chars into one buffer that is handed to the
// package in pieces; inline strings keep nothing of a sheet in memory.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/workbook/sheet_cells.h"
#include "core/workbook/xlsx/zip_package.h"

namespace tabvert::excel {

inline constexpr double kXlsxDefaultPoints = 11;  // Calibri 11, the Normal style's font

// The cellXfs of the workbook: one per font and number format in the order of first use, 0 plain.
class XlsxStyles {
  public:
    explicit XlsxStyles(const std::vector<std::string>& numberFormats) : numberFormats_(numberFormats) {}
    uint32_t Xf(const FontSpec& font, uint16_t numberFormat);
    std::string Part() const;  // xl/styles.xml

  private:
    struct Key {
        bool bold, underline;
        double size;
        uint16_t format;
        auto operator<=>(const Key&) const = default;
    };
    const std::vector<std::string>& numberFormats_;
    std::map<Key, uint32_t> index_;
    std::vector<Key> order_;
};

class XlsxSheetWriter : public RowSink {
  public:
    using TextProblem = std::function<void(long row, long column)>;
    // Starts the part; `problem` hears of texts written unescaped because their escapes did not fit.
    // A frozen header keeps row 1 in view.
    XlsxSheetWriter(ZipPackage& zip, const std::string& partName, XlsxStyles& styles, TextProblem problem,
                    bool frozenHeader = false);
    void SetColumns(const std::vector<ColumnWidth>& widths) override;
    void Add(const OutCell& cell) override;
    void AddLink(Hyperlink link) override { links_.push_back(std::move(link)); }
    // Completes the part: its used range, and whether it is the selected tab.
    void Finish(bool selected) override;

  private:
    void Text(const std::string& text, long row, long column);
    void StartData();  // the column widths, if any, and the start of the cells

    ZipPackage& zip_;
    std::string partName_;
    XlsxStyles& styles_;
    TextProblem problem_;
    bool frozenHeader_;
    std::string buffer_;
    std::vector<ColumnWidth> widths_;
    bool dataStarted_ = false;
    uint32_t row_ = 0;
    bool any_ = false;
    uint32_t firstRow_ = 0, lastRow_ = 0;
    uint16_t firstCol_ = 0, lastCol_ = 0;
    std::vector<Hyperlink> links_;  // written after the cells, with the part's relationships
};

// XML character data: & < > escaped, control characters as _xHHHH_, a literal _xHHHH_ guarded.
// Returns false when the guard would take the text past Excel's cell limit: it is then written
// without the guard (and a reader turns the sequence into its character).
bool AppendXmlText(std::string& out, std::string_view text);
// An attribute value between double quotes: & < > " escaped, control characters as _xHHHH_, a literal
// _xHHHH_ guarded.
std::string XmlAttribute(std::string_view text);
// A path as a URI reference: the bytes other than letters, digits, - . _ ~ / and the sub-delimiters
// ! $ & ' ( ) * + , ; = percent-encoded (a space as %20, a UTF-8 character byte by byte).
std::string UriReference(std::string_view path);

}  // namespace tabvert::excel
