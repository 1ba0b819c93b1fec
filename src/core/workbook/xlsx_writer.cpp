// Office Open XML through libxlsxwriter in its constant-memory mode: rows go out in order, strings
// are written inline, and nothing of a sheet stays in memory beyond the current row.

#include "core/workbook/sheet_cells.h"

#include <xlsxwriter.h>

#include <map>
#include <tuple>

namespace tabvert::excel {

namespace {

[[noreturn]] void Fail(lxw_error error, const std::string& what) {
    throw ExcelError(kErrorObjectDefined, what + ": " + lxw_strerror(error));
}

struct WorkbookCloser {
    void operator()(lxw_workbook* wb) const { workbook_close(wb); }
};
using WorkbookHandle = std::unique_ptr<lxw_workbook, WorkbookCloser>;

class Formats {
public:
    Formats(lxw_workbook* wb, const std::vector<std::string>& numberFormats)
        : wb_(wb), numberFormats_(numberFormats) {}

    lxw_format* Get(const FontSpec& font, uint16_t numberFormat) {
        if (font.IsDefault() && numberFormat == 0) return nullptr;
        const auto key = std::make_tuple(font.bold, font.underline, font.size, numberFormat);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        lxw_format* format = workbook_add_format(wb_);
        if (format == nullptr) throw ExcelError(kErrorObjectDefined, "Out of memory for a cell format.");
        if (font.bold) format_set_bold(format);
        if (font.underline) format_set_underline(format, LXW_UNDERLINE_SINGLE);
        if (font.size > 0) format_set_font_size(format, font.size);
        if (numberFormat != 0) format_set_num_format(format, numberFormats_.at(numberFormat).c_str());
        cache_.emplace(key, format);
        return format;
    }

private:
    lxw_workbook* wb_;
    const std::vector<std::string>& numberFormats_;
    std::map<std::tuple<bool, bool, double, uint16_t>, lxw_format*> cache_;
};

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Readers of the format take "_xHHHH_" for the character HHHH (libxlsxwriter writes control characters
// that way). A text holding such a sequence literally gets its underscore escaped as "_x005F_", and a
// NUL, which would end the C string handed to libxlsxwriter, is written as "_x0000_".
const char* LiteralXstring(const std::string& text, std::string& scratch) {
    if (text.find("_x") == std::string::npos && text.find('\0') == std::string::npos) return text.c_str();
    scratch.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0') {
            scratch += "_x0000_";
            continue;
        }
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) && IsHex(text[i + 3]) &&
            IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_') {
            scratch += "_x005F";
        }
        scratch += text[i];
    }
    return scratch.c_str();
}

}  // namespace

void WriteXlsx(const std::string& path, const BookOut& book) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(book.tempFolder.c_str());
    options.use_zip64 = LXW_TRUE;
    WorkbookHandle wb(workbook_new_opt(path.c_str(), &options));
    if (!wb) throw ExcelError(kErrorObjectDefined, "the workbook could not be set up");
    Formats formats(wb.get(), *book.formats);

    std::vector<lxw_worksheet*> sheets;
    for (const auto& sheet : book.sheets) {
        lxw_worksheet* ws = workbook_add_worksheet(wb.get(), sheet.name.c_str());
        if (ws == nullptr) throw ExcelError(kErrorObjectDefined, "the worksheet \"" + sheet.name + "\" could not be added");
        sheets.push_back(ws);
    }
    if (!sheets.empty()) worksheet_activate(sheets[std::min(book.active, sheets.size() - 1)]);

    for (size_t i = 0; i < book.sheets.size(); ++i) {
        lxw_worksheet* ws = sheets[i];
        auto cursor = book.sheets[i].cells();
        OutCell cell;
        std::string scratch;
        while (cursor->Next(cell)) {
            const auto row = static_cast<lxw_row_t>(cell.row - 1);
            const auto col = static_cast<lxw_col_t>(cell.column - 1);
            lxw_format* format = formats.Get(cell.font, cell.format);
            lxw_error error = LXW_NO_ERROR;
            switch (cell.kind) {
                case OutCell::Kind::Text: {
                    const char* text = LiteralXstring(cell.text, scratch);
                    error = worksheet_write_string(ws, row, col, text, format);
                    if (error == LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED && text != cell.text.c_str()) {
                        // The escapes made it too long: keep the text as given rather than lose it.
                        if (book.problem) book.problem(Problem::Kind::TextNotExact, book.sheets[i].name, cell.row, cell.column);
                        error = worksheet_write_string(ws, row, col, cell.text.c_str(), format);
                    }
                    break;
                }
                case OutCell::Kind::Number: error = worksheet_write_number(ws, row, col, cell.number, format); break;
                case OutCell::Kind::Blank: error = worksheet_write_blank(ws, row, col, format); break;
            }
            if (error != LXW_NO_ERROR) Fail(error, "cell " + std::to_string(cell.row) + "," + std::to_string(cell.column));
        }
    }
    const lxw_error error = workbook_close(wb.release());
    if (error != LXW_NO_ERROR) Fail(error, "writing the file failed");
}

}  // namespace tabvert::excel
