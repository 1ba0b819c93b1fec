#include "core/workbook/sheet_stream.h"

#include <algorithm>
#include <limits>

namespace tabvert::excel {

namespace {

bool WritesBlanks(const FontOp& op) { return op.Area() <= kMaxFormattedBlankArea; }

}  // namespace

void SheetStream::Put(uint32_t row, uint16_t column, OutCell::Kind kind, uint16_t format, double number,
                      std::string_view text) {
    if (row != row_) {
        if (row_ != 0) EmitRow(row_);
        EmitFormattedRows(row_, row);
        row_ = row;
        count_ = 0;
    }
    size_t i = count_;
    if (count_ > 0 && cells_[count_ - 1].column >= column) {
        const auto begin = cells_.begin();
        i = static_cast<size_t>(
            std::lower_bound(begin, begin + static_cast<std::ptrdiff_t>(count_), column,
                             [](const OutCell& c, uint16_t col) { return c.column < col; }) -
            begin);
    }
    const bool exists = i < count_ && cells_[i].column == column;
    if (kind == OutCell::Kind::Blank) {  // emptied: no cell, unless a font's range makes it a formatted one
        if (exists) {
            std::rotate(cells_.begin() + static_cast<std::ptrdiff_t>(i),
                        cells_.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        cells_.begin() + static_cast<std::ptrdiff_t>(count_));
            --count_;
        }
        return;
    }
    if (!exists) {
        if (count_ == cells_.size()) cells_.emplace_back();
        if (i < count_) {
            std::rotate(cells_.begin() + static_cast<std::ptrdiff_t>(i),
                        cells_.begin() + static_cast<std::ptrdiff_t>(count_),
                        cells_.begin() + static_cast<std::ptrdiff_t>(count_) + 1);
        }
        ++count_;
    }
    OutCell& cell = cells_[i];
    cell.row = row;
    cell.column = column;
    cell.kind = kind;
    cell.format = format;
    cell.number = number;
    cell.text.assign(text);
}

void SheetStream::AddFont(const FontOp& op) {
    ops_.push_back(op);
    if (WritesBlanks(op)) lastFormattedRow_ = std::max(lastFormattedRow_, static_cast<uint32_t>(op.row2));
}

// The current row's values merged with the formatted empty cells of that row.
void SheetStream::EmitRow(uint32_t row) {
    std::vector<uint16_t> blanks;
    if (row <= lastFormattedRow_) {
        for (const auto& op : ops_) {
            if (!WritesBlanks(op) || row < op.row1 || row > op.row2) continue;
            for (long c = op.col1; c <= op.col2; ++c) blanks.push_back(static_cast<uint16_t>(c));
        }
        std::sort(blanks.begin(), blanks.end());
        blanks.erase(std::unique(blanks.begin(), blanks.end()), blanks.end());
    }
    const bool fonts = !ops_.empty();
    size_t v = 0, b = 0;
    while (v < count_ || b < blanks.size()) {
        const bool takeValue = v < count_ && (b == blanks.size() || cells_[v].column <= blanks[b]);
        if (takeValue) {
            OutCell& cell = cells_[v++];
            if (b < blanks.size() && blanks[b] == cell.column) ++b;
            cell.font = fonts ? FontAt(ops_, row, cell.column) : FontSpec{};
            sink_->Add(cell);
        } else {
            out_.row = row;
            out_.column = blanks[b++];
            out_.kind = OutCell::Kind::Blank;
            out_.format = 0;
            out_.number = 0;
            out_.text.clear();
            out_.font = FontAt(ops_, row, out_.column);
            sink_->Add(out_);
        }
    }
}

void SheetStream::EmitFormattedRows(uint32_t after, uint32_t before) {
    const size_t values = count_;
    count_ = 0;
    for (uint32_t row = after; row < lastFormattedRow_;) {
        // The next row after `row` that a blank-writing range covers.
        uint32_t next = std::numeric_limits<uint32_t>::max();
        for (const auto& op : ops_) {
            if (!WritesBlanks(op) || static_cast<uint32_t>(op.row2) <= row) continue;
            next = std::min(next, std::max(static_cast<uint32_t>(op.row1), row + 1));
        }
        if (next >= before) break;
        EmitRow(next);
        row = next;
    }
    count_ = values;
}

void SheetStream::Finish(bool selected) {
    if (row_ != 0) EmitRow(row_);
    EmitFormattedRows(row_, std::numeric_limits<uint32_t>::max());
    row_ = std::numeric_limits<uint32_t>::max();  // nothing more
    count_ = 0;
    sink_->Finish(selected);
}

}  // namespace tabvert::excel
