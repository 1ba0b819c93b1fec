#pragma once
// What a text set into a cell becomes. Excel would turn "007" into 7 and "12345678901234567890" into
// 1.23457E+19; this engine keeps every text as it was given unless a number or a date shows it exactly:
//  - a plain decimal number in the locale (optional "-", digits without grouping or leading zeros,
//    the locale's decimal separator, at most 15 significant digits, no exponent, not a negative zero)
//    becomes a number with a format that displays the same digits;
//  - exactly the date/time text form the program writes (text::ParseDateTime) becomes a date/time with
//    the number format that displays the same text;
//  - the empty text empties the cell; everything else stays text, to the character.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/text/locale.h"

namespace tabvert::excel {

// The bounds of that rule.
inline constexpr int kMaxSignificantDigits = 15;   // beyond this Excel would round the number
inline constexpr int kMaxDecimals = 30;            // the most decimal places a number format shows
inline constexpr int kGeneralIntegerDigits = 11;   // General switches to scientific form beyond this
inline constexpr double kFirstTrueExcelDate = 61;  // 1 Mar 1900: from here Excel's serials equal OLE dates

struct CellValue {
    enum class Kind : uint8_t { Empty, Text, Number, DateTime };
    Kind kind = Kind::Empty;
    double number = 0;                     // Number and DateTime (an Excel serial in the 1900 system)
    std::string numberFormat = "General";  // Number and DateTime
};

// The text itself is not copied: a Text result refers to the text the caller holds.
CellValue ClassifyText(std::string_view text, const text::Locale& locale);

}  // namespace tabvert::excel
