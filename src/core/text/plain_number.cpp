#include "core/text/plain_number.h"

#include <charconv>
#include <string>
#include <system_error>

namespace tabvert::text {

std::optional<PlainNumber> ParsePlainNumber(std::string_view text, const Locale& locale,
                                            int maxSignificantDigits, int maxDecimals) {
    const std::string_view separator = locale.decimalSeparator;
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    const size_t intStart = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    const size_t intDigits = i - intStart;
    if (intDigits == 0) return std::nullopt;
    if (intDigits > 1 && text[intStart] == '0') return std::nullopt;
    size_t decimals = 0;
    if (i < text.size()) {
        if (separator.empty() || text.substr(i, separator.size()) != separator) return std::nullopt;
        i += separator.size();
        const size_t fracStart = i;
        while (i < text.size() && isDigit(text[i])) ++i;
        decimals = i - fracStart;
        if (decimals == 0 || i != text.size()) return std::nullopt;
    }
    if (decimals > static_cast<size_t>(maxDecimals)) return std::nullopt;

    std::string canonical;
    canonical.reserve(text.size());
    int significant = 0;
    bool seenNonZero = false;
    for (size_t k = intStart; k < text.size(); ++k) {
        const char c = text[k];
        if (!isDigit(c)) {
            canonical += '.';
            k += separator.size() - 1;
            continue;
        }
        canonical += c;
        seenNonZero = seenNonZero || c != '0';
        if (seenNonZero) ++significant;
    }
    if (significant > maxSignificantDigits) return std::nullopt;
    if (negative && !seenNonZero) return std::nullopt;  // "-0" would show as "0"

    double value = 0;
    const auto res = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (res.ec != std::errc() || res.ptr != canonical.data() + canonical.size()) return std::nullopt;
    return PlainNumber{negative ? -value : value, static_cast<int>(intDigits), static_cast<int>(decimals)};
}

}  // namespace tabvert::text
