#include "core/workbook/cell_value.h"

#include <charconv>
#include <cmath>

namespace tabvert::excel {

namespace {


bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal number that a number format can show digit for digit.
bool PlainNumber(std::string_view text, std::string_view separator, CellValue& out) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    const size_t intStart = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    const size_t intDigits = i - intStart;
    if (intDigits == 0) return false;
    if (intDigits > 1 && text[intStart] == '0') return false;
    size_t decimals = 0;
    if (i < text.size()) {
        if (separator.empty() || text.substr(i, separator.size()) != separator) return false;
        i += separator.size();
        const size_t fracStart = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        decimals = i - fracStart;
        if (decimals == 0 || i != text.size()) return false;
    }
    if (decimals > kMaxDecimals) return false;

    std::string canonical;
    canonical.reserve(text.size());
    int significant = 0;
    bool seenNonZero = false;
    for (size_t k = intStart; k < text.size(); ++k) {
        const char c = text[k];
        if (!IsDigit(c)) {
            canonical += '.';
            k += separator.size() - 1;
            continue;
        }
        canonical += c;
        seenNonZero = seenNonZero || c != '0';
        if (seenNonZero) ++significant;
    }
    if (significant > kMaxSignificantDigits) return false;
    if (negative && !seenNonZero) return false;  // "-0" would show as "0"

    double value = 0;
    const auto res = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (res.ec != std::errc() || res.ptr != canonical.data() + canonical.size()) return false;
    out.kind = CellValue::Kind::Number;
    out.number = negative ? -value : value;
    if (decimals > 0) {
        out.numberFormat = "0." + std::string(decimals, '0');
    } else if (intDigits > kGeneralIntegerDigits) {
        out.numberFormat = "0";
    }
    return true;
}

bool StartsWithField(const std::string& pattern) {
    return !pattern.empty() && std::string_view("dMyhH").find(pattern[0]) != std::string_view::npos;
}

bool DateTime(std::string_view text, const text::Locale& locale, CellValue& out) {
    // Every form the program writes starts with a digit field in the usual locales: a cheap test
    // spares the parser the bulk of ordinary texts.
    if (!IsDigit(text[0]) && StartsWithField(locale.datePattern) && StartsWithField(locale.timePattern)) {
        return false;
    }
    const auto parsed = text::ParseDateTime(text, locale);
    if (!parsed) return false;
    double serial = parsed->oleDate;
    if (parsed->kind == text::DateTextKind::TimeOnly) {
        if (serial < 0 || serial >= 1) return false;
    } else if (serial < kFirstTrueExcelDate) {
        return false;  // Excel's calendar is off by one day before March 1900; keep the text
    }
    out.kind = CellValue::Kind::DateTime;
    out.number = serial;
    out.numberFormat = text::ExcelDateFormat(parsed->kind, locale);
    return true;
}

}  // namespace

CellValue ClassifyText(std::string_view text, const text::Locale& locale) {
    CellValue out;
    if (text.empty()) return out;
    if (PlainNumber(text, locale.decimalSeparator, out)) return out;
    out = CellValue{};
    if (text.size() <= 64 && DateTime(text, locale, out)) return out;
    out = CellValue{};
    out.kind = CellValue::Kind::Text;
    return out;
}

}  // namespace tabvert::excel
