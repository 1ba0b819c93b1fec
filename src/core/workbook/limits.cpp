#include "core/workbook/limits.h"

#include "core/text/strings.h"
#include "core/workbook/excel.h"

namespace tabvert::excel {

std::optional<std::string> SheetNameFault(std::string_view name) {
    if (name.empty()) return "a worksheet name cannot be empty";
    if (!text::IsValidUtf8(name)) return "a worksheet name must be valid text";
    if (text::Utf16Length(name) > kMaxSheetNameChars)
        return "a worksheet name cannot be longer than 31 characters";
    if (name.find_first_of(":\\/?*[]") != std::string_view::npos) {
        return "a worksheet name cannot contain any of the characters : \\ / ? * [ ]";
    }
    if (name.front() == '\'' || name.back() == '\'') {
        return "a worksheet name cannot begin or end with an apostrophe";
    }
    if (SameSheetName(name, "History")) return "\"History\" is a name Excel reserves";
    return std::nullopt;
}

bool SameSheetName(std::string_view a, std::string_view b) { return text::EqualsIgnoringCase(a, b); }

std::optional<CellRef> ParseCellRef(std::string_view ref) {
    size_t i = 0;
    if (i < ref.size() && ref[i] == '$') ++i;
    long column = 0;
    const size_t lettersStart = i;
    while (i < ref.size() && i - lettersStart < 4) {
        const char c = ref[i];
        if (c >= 'A' && c <= 'Z') {
            column = column * 26 + (c - 'A' + 1);
        } else if (c >= 'a' && c <= 'z') {
            column = column * 26 + (c - 'a' + 1);
        } else {
            break;
        }
        ++i;
    }
    if (i == lettersStart || column > kMaxColumns) return std::nullopt;
    if (i < ref.size() && ref[i] == '$') ++i;
    long row = 0;
    const size_t digitsStart = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && i - digitsStart < 8) {
        row = row * 10 + (ref[i] - '0');
        ++i;
    }
    if (i == digitsStart || i != ref.size() || row < 1 || row > kMaxRows) return std::nullopt;
    return CellRef{row, column};
}

std::string ColumnName(long column) {
    std::string name;
    while (column > 0) {
        const long rem = (column - 1) % 26;
        name.insert(name.begin(), static_cast<char>('A' + rem));
        column = (column - 1) / 26;
    }
    return name;
}

std::string CellName(long row, long column) { return ColumnName(column) + std::to_string(row); }

}  // namespace tabvert::excel
