#include "core/value/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "core/value/provider_error.h"

namespace tabvert::text {
namespace {

using ado::DecimalValue;
using ado::GuidBytes;

// Shortest text with at most `digits` significant digits, as the platform writes floating-point values:
// plain notation for exponents from -5 up to digits-1, "1.5E+20" beyond.
std::string FloatText(double v, int digits, const Locale& locale) {
    if (v == 0) return "0";  // also for -0
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    std::string out;
    for (const char* p = buf; p != res.ptr; ++p) {
        if (*p == '.')
            out += locale.decimalSeparator;
        else if (*p == 'e')
            out += 'E';
        else
            out += *p;
    }
    return out;
}

// An exact decimal from its digits and the count of those behind the point, trailing zeros dropped.
std::string ExactText(bool negative, std::string digits, int scale, const Locale& locale) {
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<std::size_t>(scale) - digits.size() + 1, '0');
        std::string whole = digits.substr(0, digits.size() - static_cast<std::size_t>(scale));
        std::string fraction = digits.substr(digits.size() - static_cast<std::size_t>(scale));
        while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
        digits = fraction.empty() ? whole : whole + locale.decimalSeparator + fraction;
    }
    const std::size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) return "0";
    // Leading zeros of the whole part, kept a single "0" before the separator.
    const std::size_t sep = digits.find(locale.decimalSeparator);
    const std::size_t wholeEnd = sep == std::string::npos ? digits.size() : sep;
    std::size_t strip = 0;
    while (strip + 1 < wholeEnd && digits[strip] == '0') ++strip;
    digits.erase(0, strip);
    return negative ? "-" + digits : digits;
}

std::string CurrencyText(std::int64_t units, const Locale& locale) {
    const bool negative = units < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    return ExactText(negative, std::to_string(magnitude), 4, locale);
}

std::string GuidText(const GuidBytes& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g[3], g[2], g[1], g[0], g[5], g[4], g[7], g[6], g[8], g[9], g[10], g[11], g[12], g[13],
                  g[14], g[15]);
    return buf;
}

std::string HexText(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

}  // namespace

std::string ValueToText(const Variant& value, const Locale& locale) {
    switch (value.type()) {
        case Variant::Type::Null:
            return {};
        case Variant::Type::Boolean:
            return value.ToBool() ? "True" : "False";
        case Variant::Type::Byte:
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::BigInt:
            return std::to_string(value.ToInt64());
        case Variant::Type::Single:
            return FloatText(static_cast<double>(value.ToSingle()), 7, locale);
        case Variant::Type::Double:
            return FloatText(value.ToDouble(), 15, locale);
        case Variant::Type::Currency:
            return CurrencyText(value.CurrencyUnits(), locale);
        case Variant::Type::Decimal: {
            const DecimalValue& d = value.decimal();
            return ExactText(d.negative, d.digits, d.scale, locale);
        }
        case Variant::Type::Date: {
            const int firstYear = value.IsExtendedDate() ? kFirstExtendedDateYear : kFirstDateYear;
            std::optional<CivilDateTime> civil = SplitOleDateInRange(value.OleDate(), firstYear);
            if (!civil)
                throw ado::ProviderError(ErrorReason::ValueOutOfRange,
                                         "A stored date (" + FloatText(value.OleDate(), 15, Locale::EnUS()) +
                                             " days from 30 December 1899) lies outside the years " +
                                             std::to_string(firstYear) + " to 9999 and cannot be shown.");
            civil->fraction = static_cast<int>(value.DateFraction());
            return FormatDateTime(*civil, locale);
        }
        case Variant::Type::Text:
            return value.text();
        case Variant::Type::Binary:
            return HexText(value.Bytes());
        case Variant::Type::Guid:
            return GuidText(value.guid());
    }
    return {};
}

}  // namespace tabvert::text
