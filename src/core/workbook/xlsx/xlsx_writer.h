#pragma once
// The .xlsx package: worksheet parts streamed first, then the workbook, styles, theme, properties,
// content types and relationships.

#include <string>
#include <vector>

#include "core/workbook/sheet_cells.h"
#include "core/workbook/xlsx/xlsx_sheet.h"
#include "core/workbook/xlsx/zip_package.h"

namespace tabvert::excel {

// The parts after the worksheets; `sheetParts` are the worksheet part names ("xl/worksheets/...") in
// tab order, beside the sheet names. Finishes the package.
void WritePackageParts(ZipPackage& zip, const std::vector<std::string>& names,
                       const std::vector<std::string>& sheetParts, size_t active, const XlsxStyles& styles);

}  // namespace tabvert::excel
