#include "core/workbook/limits.h"

#include "core/workbook/excel.h"

#include <QString>

namespace tabvert::excel {

std::optional<std::string> SheetNameFault(std::string_view name) {
    if (name.empty()) return "a worksheet name cannot be empty";
    if (!IsValidUtf8(name)) return "a worksheet name must be valid text";
    if (ExcelLength(name) > kMaxSheetNameChars) return "a worksheet name cannot be longer than 31 characters";
    if (name.find_first_of(":\\/?*[]") != std::string_view::npos) {
        return "a worksheet name cannot contain any of the characters : \\ / ? * [ ]";
    }
    if (name.front() == '\'' || name.back() == '\'') {
        return "a worksheet name cannot begin or end with an apostrophe";
    }
    if (SameSheetName(name, "History")) return "\"History\" is a name Excel reserves";
    return std::nullopt;
}

bool SameSheetName(std::string_view a, std::string_view b) {
    const QString qa = QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
    const QString qb = QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
    return qa.compare(qb, Qt::CaseInsensitive) == 0;
}

size_t ExcelLength(std::string_view utf8) {
    size_t units = 0;
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) ++units;  // a lead byte starts a character
        if ((c & 0xF8) == 0xF0) ++units;  // four-byte sequences need a surrogate pair
    }
    return units;
}

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

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
