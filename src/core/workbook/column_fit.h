#pragma once
// Column widths that fit a sheet's text. Only the first rows are looked at (the header and the first
// 100 records): their cells are held back until the widths are known, because both file formats put
// the widths before the cells, and then go on in order; after them a sheet streams as before.
//
// A width counts the characters a cell shows: a text's longest line, a number or date as its number
// format displays it. East Asian wide characters count two, combining marks none; a cell in a larger
// or bold font counts in proportion to the file's default font.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/workbook/sheet_cells.h"

namespace tabvert::excel {

inline constexpr uint32_t kFittedRows = 101;        // row 1 (the header) and 100 records
inline constexpr double kMinColumnChars = 8.43;     // Excel's default column width
inline constexpr double kMaxColumnChars = 60;       // longer texts wrap out of view rather than widen
inline constexpr size_t kMaxHeldBytes = 32u << 20;  // held cells beyond this end the measuring early

// Display width of a text in characters: its longest line. Counting stops once `limit` is passed.
double TextChars(std::string_view utf8, double limit = kMaxColumnChars);
// The characters a number shows in `formatCode` ("General", "0.00", "m/d/yyyy h:mm:ss AM/PM", ...).
double NumberChars(double number, std::string_view formatCode);

// The width a file stores for a column showing `chars` characters: Excel's rule for a 7-pixel digit
// with 5 pixels of padding, in 1/256 of a character.
uint16_t ColumnWidthUnits(double chars);

class ColumnMeasure {
  public:
    // `formats` are the workbook's number formats by index; `defaultPoints` the file's default font size.
    ColumnMeasure(const std::vector<std::string>& formats, double defaultPoints)
        : formats_(formats), defaultPoints_(defaultPoints) {}
    void Add(const OutCell& cell);
    // The columns that hold a text or number, from kMinColumnChars to kMaxColumnChars; neighbours
    // of equal width share one entry.
    std::vector<ColumnWidth> Widths() const;

  private:
    const std::vector<std::string>& formats_;
    double defaultPoints_;
    std::vector<double> chars_;  // by column - 1; 0 where nothing was measured
};

// A sink that measures and holds the cells of the first rows, then gives the widths and the held
// cells to the sink behind it. Finish releases them too (a sheet shorter than the measured rows).
class FittingSink : public RowSink {
  public:
    FittingSink(std::unique_ptr<RowSink> next, const std::vector<std::string>& formats, double defaultPoints,
                uint32_t rows = kFittedRows, size_t maxHeldBytes = kMaxHeldBytes);
    void SetColumns(const std::vector<ColumnWidth>& widths) override { next_->SetColumns(widths); }
    void Add(const OutCell& cell) override;
    void AddLink(Hyperlink link) override { next_->AddLink(std::move(link)); }
    void Finish(bool selected) override;

  private:
    void Release();

    std::unique_ptr<RowSink> next_;
    ColumnMeasure measure_;
    uint32_t rows_;
    size_t maxHeldBytes_;
    std::vector<OutCell> held_;
    size_t heldBytes_ = 0;
    bool released_ = false;
};

}  // namespace tabvert::excel
