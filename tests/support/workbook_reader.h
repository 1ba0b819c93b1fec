#pragma once
// Reads a saved workbook back through tests/tools/read_workbook.py (openpyxl for .xlsx, xlrd for
// .xls), so tests check written files with readers that share no code with the writer.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tabvert::test {

struct ReadCell {
    long row = 0;       // 1-based
    long column = 0;    // 1-based
    std::string type;   // "s" text, "n" number, "d" date/time, "b" Boolean, "blank" formatted empty cell
    std::string text;   // the value of a text cell
    double number = 0;  // the value of a number or date cell (dates as serial numbers)
    std::string numberFormat;
    bool bold = false;
    bool underline = false;
    double fontSize = 0;
};

struct ReadSheet {
    std::string name;
    std::vector<ReadCell> cells;                        // in row, then column order
    std::map<long, double> widths;                      // columns (1-based) with a width of their own
    std::string freeze;                                 // "A2" with row 1 frozen; "" when nothing is
    const ReadCell* Find(long row, long column) const;  // nullptr when the sheet has no such cell
};

struct ReadWorkbook {
    std::string format;  // "xlsx" or "xls"
    int active = 0;      // 0-based
    std::vector<ReadSheet> sheets;
    std::vector<std::string> SheetNames() const;
};

// Nothing when the reader fails; *error (if given) then says why.
std::optional<ReadWorkbook> ReadWorkbookFile(const std::filesystem::path& path, std::string* error = nullptr);

// Several workbooks read by one run of the reader, which saves a start of Python and its readers per
// workbook: one entry per path, in order, nothing where that workbook could not be read; *errors (if
// given) gets one entry per path, empty where the read succeeded.
std::vector<std::optional<ReadWorkbook>> ReadWorkbookFiles(const std::vector<std::filesystem::path>& paths,
                                                           std::vector<std::string>* errors = nullptr);

}  // namespace tabvert::test
