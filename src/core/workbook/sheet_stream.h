#pragma once
// A worksheet written row by row into a file writer: only the current row is held. A row is final
// when a later row starts or the sheet is finished; it then goes out with its fonts resolved and the
// formatted empty cells of the fonts' ranges filled in, followed by any formatted rows in between.

#include <memory>
#include <string_view>
#include <vector>

#include "core/workbook/sheet_cells.h"

namespace tabvert::excel {

class SheetStream {
  public:
    explicit SheetStream(std::unique_ptr<RowSink> sink) : sink_(std::move(sink)) {}

    // The row a write may still reach: the current one or a later one (1 when nothing is written yet).
    uint32_t FirstOpenRow() const { return row_ == 0 ? 1 : row_; }
    // Kind Blank empties the cell. The caller has checked that row >= FirstOpenRow().
    void Put(uint32_t row, uint16_t column, OutCell::Kind kind, uint16_t format, double number,
             std::string_view text);
    // The caller has checked that the range starts at FirstOpenRow() or later.
    void AddFont(const FontOp& op);
    // Goes to the sink at once: a sheet's links are written after its cells.
    void AddLink(Hyperlink link) { sink_->AddLink(std::move(link)); }
    // Sends the current row and the formatted rows after it, then completes the sink.
    void Finish(bool selected);

  private:
    void EmitRow(uint32_t row);
    void EmitFormattedRows(uint32_t after, uint32_t before);  // rows strictly between

    std::unique_ptr<RowSink> sink_;
    uint32_t row_ = 0;
    std::vector<OutCell> cells_;  // the current row's, by column; the first count_ are in use
    size_t count_ = 0;
    std::vector<FontOp> ops_;
    uint32_t lastFormattedRow_ = 0;  // of the ranges whose empty cells are written
    OutCell out_;
};

}  // namespace tabvert::excel
