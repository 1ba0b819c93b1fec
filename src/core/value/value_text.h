#pragma once
// The one value-to-text rule shared by the preview, the export and tabvert-cli: the platform's standard
// text form of a value in the user's locale.

#include <optional>
#include <string>
#include <string_view>

#include "core/text/locale.h"
#include "core/value/variant.h"

namespace tabvert::text {

using ado::Variant;

// Null -> ""; Boolean "True"/"False"; integers plain; Single/Double with up to 7/15 significant digits
// in their shortest form, the locale's decimal separator and no grouping; Currency and Decimal exact,
// without trailing zeros or symbol; Date via text::FormatDateTime (a date its type cannot hold throws
// ado::ProviderError with ErrorReason::ValueOutOfRange: it has no text); GUID as {8-4-4-4-12} upper case;
// binary as upper-case hexadecimal.
std::string ValueToText(const Variant& value, const Locale& locale);

}  // namespace tabvert::text
