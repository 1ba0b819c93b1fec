#include "core/workbook/cell_value.h"

#include "core/text/plain_number.h"

namespace tabvert::excel {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A plain decimal number that a number format can show digit for digit.
bool PlainNumber(std::string_view text, const text::Locale& locale, CellValue& out) {
    const auto number = text::ParsePlainNumber(text, locale, kMaxSignificantDigits, kMaxDecimals);
    if (!number) return false;
    out.kind = CellValue::Kind::Number;
    out.number = number->value;
    if (number->decimals > 0) {
        out.numberFormat = "0." + std::string(static_cast<std::size_t>(number->decimals), '0');
    } else if (number->integerDigits > kGeneralIntegerDigits) {
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
    if (PlainNumber(text, locale, out)) return out;
    out = CellValue{};
    if (text.size() <= 64 && DateTime(text, locale, out)) return out;
    out = CellValue{};
    out.kind = CellValue::Kind::Text;
    return out;
}

}  // namespace tabvert::excel
