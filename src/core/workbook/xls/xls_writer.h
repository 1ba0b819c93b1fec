#pragma once
// An Excel 97-2003 workbook built sheet by sheet: each sheet's cell records go, 32 rows at a time,
// into one temporary file shared by all sheets (sheets are written one after another), the shared
// strings into a second; Write puts the workbook stream together from them. Two open files, however
// many sheets.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/workbook/sheet_cells.h"
#include "core/workbook/xls/biff8.h"

namespace tabvert::excel {

inline constexpr double kXlsDefaultPoints = 10;  // Arial 10, the Normal style's font

class XlsBook {
  public:
    class Styles;
    class Spill;
    struct RowBuffer {
        uint16_t row;
        uint16_t firstCol, lastCol;
        double points;
        std::string records;
    };

    // One worksheet's records; only one sheet of a book is written at a time. Cells must lie within
    // an .xls sheet (the caller leaves out the rest).
    class Sheet {
      public:
        // A frozen header keeps row 1 in view.
        explicit Sheet(XlsBook& book, bool frozenHeader = false);
        // Widths of columns beyond an .xls sheet are left out.
        void SetColumns(const std::vector<ColumnWidth>& widths);
        void Add(const OutCell& cell);  // in (row, column) order
        void Finish();

      private:
        friend class XlsBook;
        XlsBook& book_;
        bool frozenHeader_;
        std::string columns_;  // COLINFO records
        std::vector<RowBuffer> block_;
        uint64_t begin_ = 0, end_ = 0;
        bool any_ = false, finished_ = false;
        uint32_t firstRow_ = 0, lastRow_ = 0;
        uint16_t firstCol_ = 0, lastCol_ = 0;
    };
    using NamedSheet = std::pair<std::string, Sheet*>;

    XlsBook(const std::string& tempFolder, const std::vector<std::string>& formats);  // throws ExcelError
    ~XlsBook();
    XlsBook(const XlsBook&) = delete;
    XlsBook& operator=(const XlsBook&) = delete;

    // Writes the file; the sheets in tab order (finished here if they are not yet). Can be called again.
    void Write(const std::string& path, const std::vector<NamedSheet>& sheets, size_t active);

  private:
    std::unique_ptr<Styles> styles_;
    std::unique_ptr<biff8::SstWriter> sst_;
    std::unique_ptr<Spill> cells_;
};

// A sheet's cells as a RowSink: cells beyond an .xls sheet are not written, `leftOut` hears of each.
class XlsSheetSink : public RowSink {
  public:
    XlsSheetSink(XlsBook::Sheet& sheet, std::function<void(long row, long column)> leftOut)
        : sheet_(sheet), leftOut_(std::move(leftOut)) {}
    void SetColumns(const std::vector<ColumnWidth>& widths) override { sheet_.SetColumns(widths); }
    void Add(const OutCell& cell) override;
    void Finish(bool) override { sheet_.Finish(); }

  private:
    XlsBook::Sheet& sheet_;
    std::function<void(long row, long column)> leftOut_;
};

}  // namespace tabvert::excel
