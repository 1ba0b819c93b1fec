#include "core/export/export_cell.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "core/workbook/cell_value.h"

namespace tabvert::exporting {

namespace {

constexpr std::string_view kGeneral = "General";
constexpr std::string_view kInteger = "0";

int DigitCount(unsigned long long n) {
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
}

}  // namespace

ValueCells::ValueCells(text::Locale locale) : locale_(std::move(locale)) {
    for (int d = 1; d <= excel::kMaxDecimals; ++d)
        decimals_.push_back("0." + std::string(static_cast<size_t>(d), '0'));
    for (const auto kind :
         {text::DateTextKind::DateOnly, text::DateTextKind::TimeOnly, text::DateTextKind::DateTime}) {
        dateFormats_[static_cast<int>(kind)] = text::ExcelDateFormat(kind, locale_);
    }
}

// A plain decimal, as the text rule reads it: at most 15 significant digits; a format with as many
// decimals as the text shows, or "0" for a long whole number.
std::optional<NumberCell> ValueCells::Decimal(bool negative, unsigned long long whole,
                                              unsigned long long fraction, int fractionDigits) const {
    const int wholeDigits = DigitCount(whole);
    const int significant =
        whole > 0 ? wholeDigits + fractionDigits : (fraction > 0 ? DigitCount(fraction) : 0);
    if (significant > excel::kMaxSignificantDigits) return std::nullopt;
    NumberCell cell;
    cell.format = fractionDigits > 0 ? decimals_[static_cast<size_t>(fractionDigits - 1)]
                  : wholeDigits > excel::kGeneralIntegerDigits ? kInteger
                                                               : kGeneral;
    double scale = 1;
    for (int i = 0; i < fractionDigits; ++i) scale *= 10;
    // One correctly rounded division of two exact values: the double nearest the decimal, as parsing gives.
    cell.number = static_cast<double>(whole * static_cast<unsigned long long>(scale) + fraction) / scale;
    if (negative) cell.number = -cell.number;
    return cell;
}

// The digits text::ValueToText writes for a floating-point value (before the locale's separator goes in).
std::optional<NumberCell> ValueCells::Float(double value, int digits) const {
    if (!std::isfinite(value)) return std::nullopt;
    if (value == 0) return NumberCell{0, kGeneral};
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, digits);
    const std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    if (text.find('e') != std::string_view::npos) return std::nullopt;  // exponent form stays text
    const bool negative = text.front() == '-';
    const size_t point = text.find('.');
    const size_t wholeDigits = (point == std::string_view::npos ? text.size() : point) - (negative ? 1 : 0);
    const size_t decimals = point == std::string_view::npos ? 0 : text.size() - point - 1;
    NumberCell cell;
    std::from_chars(buf, res.ptr, cell.number);
    cell.format = decimals > 0                                                      ? decimals_[decimals - 1]
                  : wholeDigits > static_cast<size_t>(excel::kGeneralIntegerDigits) ? kInteger
                                                                                    : kGeneral;
    return cell;
}

std::optional<NumberCell> ValueCells::Date(double oleDate) const {
    const std::optional<text::CivilDateTime> split = text::SplitOleDateInRange(oleDate);
    if (!split) return std::nullopt;  // no date: the text rule says why
    const text::CivilDateTime& dt = *split;
    const text::DateTextKind kind = text::KindOf(dt);
    const double serial = text::JoinOleDate(dt);
    // Excel's calendar is off by one day before March 1900: the text rule keeps those dates as text.
    if (kind != text::DateTextKind::TimeOnly && serial < excel::kFirstTrueExcelDate) return std::nullopt;
    return NumberCell{serial, dateFormats_[static_cast<int>(kind)]};
}

std::optional<NumberCell> ValueCells::Classify(const ado::Variant& value) const {
    using Type = ado::Variant::Type;
    switch (value.type()) {
        case Type::Byte:
        case Type::Integer:
        case Type::Long:
        case Type::BigInt: {
            const std::int64_t n = value.ToInt64();
            const auto magnitude =
                n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
            return Decimal(n < 0, magnitude, 0, 0);
        }
        case Type::Currency: {
            const std::int64_t units = value.CurrencyUnits();
            auto magnitude = units < 0 ? 0ULL - static_cast<unsigned long long>(units)
                                       : static_cast<unsigned long long>(units);
            unsigned long long fraction = magnitude % 10000;
            int digits = 4;
            while (fraction > 0 && fraction % 10 == 0) {
                fraction /= 10;
                --digits;
            }
            if (fraction == 0) digits = 0;
            if (magnitude == 0) return NumberCell{0, kGeneral};
            return Decimal(units < 0, magnitude / 10000, fraction, digits);
        }
        case Type::Single:
            return Float(static_cast<double>(value.ToSingle()), 7);
        case Type::Double:
            return Float(value.ToDouble(), 15);
        case Type::Date:
            // No Excel format shows a fraction of a second to seven digits: such a date keeps its text.
            if (value.DateFraction() != 0) return std::nullopt;
            return Date(value.OleDate());
        default:
            return std::nullopt;  // texts, Booleans, decimals, binary data, GUIDs: the text decides
    }
}

}  // namespace tabvert::exporting
