#pragma once
// A worksheet as the file writers see it: its cells in (row, column) order with their resolved font
// and number format, the formatted empty cells included.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/workbook/excel.h"
#include "core/workbook/spool.h"

namespace tabvert::excel {

struct FontSpec {
    bool bold = false;
    bool underline = false;
    double size = 0;  // points; 0 is the file's default size
    bool operator==(const FontSpec&) const = default;
    bool IsDefault() const { return *this == FontSpec{}; }
};

// One Font property set on a rectangle, in the order the calls came.
struct FontOp {
    enum class Property : uint8_t { Bold, Size, Underline };
    long row1, col1, row2, col2;
    Property property;
    double value;
    bool Contains(long row, long col) const {
        return row >= row1 && row <= row2 && col >= col1 && col <= col2;
    }
    long double Area() const { return static_cast<long double>(row2 - row1 + 1) * (col2 - col1 + 1); }
};

// The font at a cell: the properties of every operation that covers it, the later ones winning.
FontSpec FontAt(const std::vector<FontOp>& ops, long row, long column);

// Formatted empty cells are written one by one; a format on a larger area applies to the cells
// with values only (and the rest is reported).
inline constexpr long double kMaxFormattedBlankArea = 1'000'000;

struct OutCell {
    enum class Kind : uint8_t { Blank, Text, Number };
    uint32_t row = 0;
    uint16_t column = 0;
    Kind kind = Kind::Blank;
    double number = 0;
    uint16_t format = 0;  // index into the workbook's number formats; 0 is General
    std::string text;
    FontSpec font;
};

class SheetCursor {
  public:
    SheetCursor(std::unique_ptr<CellSpool::Reader> values, const std::vector<FontOp>& ops);
    bool Next(OutCell& cell);

  private:
    bool NextBlank(uint64_t after, uint64_t& key) const;

    std::unique_ptr<CellSpool::Reader> values_;
    const std::vector<FontOp>& ops_;
    std::vector<const FontOp*> blankOps_;
    SpooledCell value_;
    bool valueValid_ = false;
    uint64_t last_ = 0;
};

// How a sheet is laid out beyond its cells: what the export asks for on each of its sheets.
struct SheetLayout {
    bool fitColumns = false;    // columns sized to the text of the first rows (see column_fit.h)
    bool frozenHeader = false;  // row 1 stays in view while the rows below it scroll
};

// The width of columns first..last (1-based), in characters of the default font's digits as a user
// sees it in Excel's column width box (8.43 is the default width).
struct ColumnWidth {
    uint16_t first = 0, last = 0;
    double chars = 0;
    bool operator==(const ColumnWidth&) const = default;
};

// A cell that opens `target`, a URI reference (a path relative to the workbook, or absolute).
struct Hyperlink {
    uint32_t row = 0;
    uint16_t column = 0;
    std::string target;
};

// Where a sheet's cells go: the .xlsx part or the .xls records of the sheet.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // The widths of the columns, before the first cell (a sheet without it keeps the default widths).
    virtual void SetColumns(const std::vector<ColumnWidth>& widths) = 0;
    virtual void Add(const OutCell& cell) = 0;  // in (row, column) order
    // A link on a cell, at any time before Finish; a later link on the same cell replaces it. A
    // format without links keeps the cell's value only.
    virtual void AddLink(Hyperlink link) { (void)link; }
    virtual void Finish(bool selected) = 0;
};

struct SheetOut {
    std::string name;
    std::function<std::unique_ptr<SheetCursor>()> cells;
    SheetLayout layout{};
    const std::vector<Hyperlink>* links = nullptr;  // in the order they were set
};

struct BookOut {
    std::vector<SheetOut> sheets;  // tab order
    size_t active = 0;
    const std::vector<std::string>* formats = nullptr;  // [0] is "General"
    std::string tempFolder;
    std::function<void(Problem::Kind, const std::string& sheet, long row, long column)> problem;
};

// The file writers. Both throw ExcelError; the path is written as given (the caller renames).
void WriteXlsx(const std::string& path, const BookOut& book);
void WriteXls(const std::string& path, const BookOut& book);

}  // namespace tabvert::excel
