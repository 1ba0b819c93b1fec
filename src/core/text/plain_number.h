#pragma once
// Recognises a number written as plain decimal text in a locale: the half of the value-text rule that
// the workbook engine uses to turn such a text back into a number cell.

#include <optional>
#include <string_view>

#include "core/text/locale.h"

namespace tabvert::text {

// A number written as a plain decimal in the locale: optional "-", digits without grouping or leading
// zeros, the locale's decimal separator, at most the given significant digits and decimals, no
// exponent, not a negative zero. Anything else is not recognised, so "007" or "1E+20" stays text.
struct PlainNumber {
    double value = 0;
    int integerDigits = 0;
    int decimals = 0;
};
std::optional<PlainNumber> ParsePlainNumber(std::string_view text, const Locale& locale,
                                            int maxSignificantDigits, int maxDecimals);

}  // namespace tabvert::text
