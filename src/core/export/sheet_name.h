#pragma once
// Worksheet names for exported tables, and the one-digit suffix generator that tells shortened names
// apart.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tabvert::exporting {

/// A 24-bit linear congruential generator giving numbers in [0, 1). Every shortened sheet name draws
/// one number from it. It starts from the same fixed seed each time it is made, so a program start
/// (or a command-line run) names the same tables the same way; the program owns one instance and
/// never reseeds it.
class NameDigitGenerator {
  public:
    /// The next number in [0, 1).
    double Next();
    /// The next decimal digit, 0 to 9: the whole part of ten times Next().
    int NextDigit();

  private:
    std::uint32_t state_ = 0x50000;
};

inline constexpr std::size_t kLongestSheetName = 30;
inline constexpr std::size_t kShortenedSheetName = 25;

/// The worksheet name for a table (UTF-8 in and out). "/" becomes "-"; a name that had a slash, or
/// is longer than 30 characters, keeps its first 25 characters and gets one digit from the
/// generator. Every other name is returned as it is; nothing else is checked. Lengths count UTF-16
/// code units, as Excel does (an emoji counts two), and a character is never cut in half.
std::string GetSheetName(std::string_view tableName, NameDigitGenerator& digits);

/// The name of a further sheet that takes a table's records once its first sheet (named `firstSheet`)
/// is full: "Name (2)", "Name (3)", ... for `part` 2, 3, ... The first sheet's name is cut (never inside
/// a character) so that the whole stays within Excel's 31 characters. When `taken` says a name is in
/// use already, the number goes up until one is free.
std::string ContinuedSheetName(std::string_view firstSheet, int part,
                               const std::function<bool(std::string_view)>& taken);

}  // namespace tabvert::exporting
