#pragma once
// What a database value becomes in a worksheet cell, decided from its type where the type decides
// it. The text rule (text::ValueToText, then the engine's reading of that text) stays the one source
// of what a cell shows; for the values whose text form is always a plain number or one of the
// program's date forms, this finds the same number and format straight from the value, without
// writing the text and parsing it back. Everything else (texts, Booleans, exponent forms, dates
// Excel's calendar cannot show, ...) is left to the text rule.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/locale.h"
#include "core/value/variant.h"

namespace tabvert::exporting {

struct NumberCell {
    double number = 0;
    std::string_view format;  // "General", "0", "0.00", a date format; valid while its ValueCells lives
};

class ValueCells {
  public:
    explicit ValueCells(text::Locale locale);
    const text::Locale& Locale() const { return locale_; }
    // The number and format the text rule gives the value's text, or nothing when only the text can say.
    std::optional<NumberCell> Classify(const ado::Variant& value) const;

  private:
    std::optional<NumberCell> Decimal(bool negative, unsigned long long whole, unsigned long long fraction,
                                      int fractionDigits) const;
    std::optional<NumberCell> Float(double value, int digits) const;
    std::optional<NumberCell> Date(double oleDate) const;

    text::Locale locale_;
    std::vector<std::string> decimals_;  // "0.0", "0.00", ... by number of decimals
    std::string dateFormats_[3];         // by text::DateTextKind
};

}  // namespace tabvert::exporting
