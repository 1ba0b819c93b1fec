#include "core/workbook/sheet_cells.h"

namespace tabvert::excel {

namespace {

uint64_t Key(long row, long column) {
    return (static_cast<uint64_t>(row) << 16) | static_cast<uint64_t>(column);
}

}  // namespace

SheetCursor::SheetCursor(std::unique_ptr<CellSpool::Reader> values, const std::vector<FontOp>& ops)
    : values_(std::move(values)), ops_(ops) {
    for (const auto& op : ops_) {
        if (op.Area() <= kMaxFormattedBlankArea) blankOps_.push_back(&op);
    }
    valueValid_ = values_->Next(value_);
}

// The first formatted position after `after`, over the union of the formatted rectangles.
bool SheetCursor::NextBlank(uint64_t after, uint64_t& key) const {
    const long row = static_cast<long>(after >> 16);
    const long col = static_cast<long>(after & 0xFFFF);
    bool found = false;
    for (const FontOp* op : blankOps_) {
        uint64_t candidate;
        if (row < op->row1) {
            candidate = Key(op->row1, op->col1);
        } else if (row > op->row2) {
            continue;
        } else if (col < op->col1) {
            candidate = Key(row, op->col1);
        } else if (col < op->col2) {
            candidate = Key(row, col + 1);
        } else if (row < op->row2) {
            candidate = Key(row + 1, op->col1);
        } else {
            continue;
        }
        if (!found || candidate < key) key = candidate;
        found = true;
    }
    return found;
}

FontSpec FontAt(const std::vector<FontOp>& ops, long row, long column) {
    FontSpec font;
    for (const auto& op : ops) {
        if (!op.Contains(row, column)) continue;
        switch (op.property) {
            case FontOp::Property::Bold:
                font.bold = op.value != 0;
                break;
            case FontOp::Property::Underline:
                font.underline = op.value != 0;
                break;
            case FontOp::Property::Size:
                font.size = op.value;
                break;
        }
    }
    return font;
}

bool SheetCursor::Next(OutCell& cell) {
    for (;;) {
        uint64_t blankKey = 0;
        const bool blank = NextBlank(last_, blankKey);
        const uint64_t valueKey = valueValid_ ? Key(value_.row, value_.column) : 0;
        if (!valueValid_ && !blank) return false;

        if (valueValid_ && (!blank || valueKey <= blankKey)) {
            last_ = valueKey;
            const bool cleared = value_.kind == SpooledCell::Kind::Clear;
            if (cleared && !(blank && valueKey == blankKey)) {
                valueValid_ = values_->Next(value_);
                continue;  // an emptied cell without a format is no cell at all
            }
            cell.row = value_.row;
            cell.column = value_.column;
            cell.kind = cleared ? OutCell::Kind::Blank
                                : (value_.kind == SpooledCell::Kind::Text ? OutCell::Kind::Text
                                                                          : OutCell::Kind::Number);
            cell.number = value_.number;
            cell.format = cleared ? 0 : value_.format;
            std::swap(cell.text, value_.text);
            cell.font = FontAt(ops_, cell.row, cell.column);
            valueValid_ = values_->Next(value_);
            return true;
        }
        last_ = blankKey;
        cell.row = static_cast<uint32_t>(blankKey >> 16);
        cell.column = static_cast<uint16_t>(blankKey & 0xFFFF);
        cell.kind = OutCell::Kind::Blank;
        cell.number = 0;
        cell.format = 0;
        cell.text.clear();
        cell.font = FontAt(ops_, cell.row, cell.column);
        return true;
    }
}

}  // namespace tabvert::excel
