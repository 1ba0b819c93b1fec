#include "core/access/stored_values.h"

#include "core/access/little_endian.h"
#include "core/text/locale.h"

namespace tabvert::ado::detail {

DecimalValue DecimalFromStored(std::span<const std::uint8_t, 17> p, int scale) {
    __extension__ typedef unsigned __int128 U128;
    U128 magnitude = 0;
    for (int word = 0; word < 4; ++word) magnitude = (magnitude << 32) | Le32(p.data() + 1 + 4 * word);
    DecimalValue d;
    d.negative = p[0] != 0;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    d.digits = digits;
    d.scale = scale < 0 ? 0 : scale;
    if (d.digits == "0") d.negative = false;
    return d;
}

std::optional<DateValue> ParseExtendedDateTime(std::span<const std::uint8_t> bytes) {
    static_assert(text::kOleEpochDaysFromYear1 == 693593);
    constexpr std::uint64_t kLastDay = 3652058;  // 31 Dec 9999
    constexpr std::uint64_t kSecondsPerDay = 86400, kUnitsPerSecond = 10000000;
    if (bytes.size() < 41 || bytes[19] != ':' || bytes[39] != ':') return std::nullopt;
    // Nineteen digits may exceed the signed 64-bit range, never the unsigned one.
    auto number = [&](std::size_t from, std::size_t count) -> std::optional<std::uint64_t> {
        std::uint64_t v = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (bytes[i] < '0' || bytes[i] > '9') return std::nullopt;
            v = v * 10 + static_cast<std::uint64_t>(bytes[i] - '0');
        }
        return v;
    };
    const auto days = number(0, 19);
    const auto seconds = number(20, 12);
    const auto fraction = number(32, 7);
    if (!days || !seconds || !fraction || *days > kLastDay || *seconds >= kSecondsPerDay) return std::nullopt;
    const double day = static_cast<double>(*days) - static_cast<double>(text::kOleEpochDaysFromYear1);
    const double time = static_cast<double>(*seconds) / static_cast<double>(kSecondsPerDay);
    // OLE dates before 30 Dec 1899 keep the time of day as a positive fraction behind a negative day.
    static_assert(kUnitsPerSecond == 10000000);
    return DateValue{day < 0 ? day - time : day + time, static_cast<std::uint32_t>(*fraction)};
}

}  // namespace tabvert::ado::detail
