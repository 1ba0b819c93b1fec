#pragma once
// Excel's naming and addressing rules as small pure functions.

#include <optional>
#include <string>
#include <string_view>

namespace tabvert::excel {

// Why Excel would refuse the text as a worksheet name, or nothing when it takes it. Uniqueness
// within the workbook is the caller's business (see SameSheetName).
std::optional<std::string> SheetNameFault(std::string_view name);

// Sheet names are compared without regard to case (Unicode-aware, as Excel does).
bool SameSheetName(std::string_view a, std::string_view b);

struct CellRef {
    long row = 0;     // 1-based
    long column = 0;  // 1-based
};

// "A1", "$B$2", "xfd1048576" (letters in any case); nothing for anything else or outside the grid.
std::optional<CellRef> ParseCellRef(std::string_view ref);
std::string ColumnName(long column);          // 1 -> "A", 27 -> "AA"
std::string CellName(long row, long column);  // (1, 1) -> "A1"

}  // namespace tabvert::excel
