#pragma once
// Values whose stored form mdbtools does not read (or reads wrong), decoded from their bytes.

#include <cstdint>
#include <optional>
#include <span>

#include "core/value/variant.h"

namespace tabvert::ado::detail {

// Decimal: a sign byte, then a 128-bit magnitude stored as four little-endian 32-bit words, most
// significant word first; `scale` digits of it lie behind the decimal point.
DecimalValue DecimalFromStored(std::span<const std::uint8_t, 17> bytes, int scale);

// Date/Time Extended (Access 2019): 42 ASCII bytes, "DDDDDDDDDDDDDDDDDDD:SSSSSSSSSSSSFFFFFFF:7" and a NUL:
// the days since 1 Jan 0001, the seconds of the day and 100-nanosecond units. Years 1 to 9999; nothing
// when the bytes are malformed or out of range.
std::optional<DateValue> ParseExtendedDateTime(std::span<const std::uint8_t> bytes);

}  // namespace tabvert::ado::detail
