#pragma once
// Where a save goes, and saving so that a failure leaves nothing behind: the file is written beside
// the target under a temporary name and renamed over the target only once it is complete.

#include <functional>
#include <string>

namespace tabvert::excel {

struct SaveTarget {
    std::string path;  // with ".xls" added when the name has no extension
    bool xlsx = false;
};

// ".xlsx" in any case is Office Open XML, every other extension Excel 97-2003, and a name without one
// gets ".xls" added. kOpenXmlWorkbook and kExcel8 choose the format whatever the extension.
SaveTarget ResolveSaveTarget(const std::string& fileName, long fileFormat);

// Calls write(tempPath), then renames tempPath over path. Throws ExcelError naming the path and the
// reason; the temporary file is removed and an existing file at path left untouched on any failure.
void SaveAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& write);

}  // namespace tabvert::excel
