#pragma once
// The one value-to-text rule shared by the preview, the export and tabvert-cli: the platform's standard
// text form of a value in the user's locale.

#include <string>

#include "core/provider/variant.h"
#include "core/text/locale.h"

namespace tabvert::ado {

// Null -> ""; Boolean "True"/"False"; integers plain; Single/Double with up to 7/15 significant digits
// in their shortest form, the locale's decimal separator and no grouping; Currency and Decimal exact,
// without trailing zeros or symbol; Date via text::FormatDateTime; GUID as {8-4-4-4-12} upper case;
// binary as upper-case hexadecimal.
std::string ValueToText(const Variant& value, const text::Locale& locale);

}  // namespace tabvert::ado
