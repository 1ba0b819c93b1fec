// The one value-to-text rule, in each locale.

#include <gtest/gtest.h>

#include <limits>

#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado {
namespace {

TEST(ValueToText, FollowsTheLocale) {
    GuidBytes guid = {0x78, 0x56, 0x34, 0x12, 0xbc, 0x9a, 0xf0, 0xde,
                      0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    const auto date = [](int y, int mo, int d, int h, int mi, int s) {
        return Variant::Date(text::JoinOleDate({y, mo, d, h, mi, s}));
    };
    const struct {
        Variant value;
        const char* us;
        const char* de;
    } cases[] = {
        {Variant::Null(), "", ""},
        {Variant::Boolean(true), "True", "True"},
        {Variant::Boolean(false), "False", "False"},
        {Variant::Byte(255), "255", "255"},
        {Variant::Integer(-32768), "-32768", "-32768"},
        {Variant::Long(2147483647), "2147483647", "2147483647"},
        {Variant::BigInt(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808",
         "-9223372036854775808"},
        {Variant::Double(1234567.125), "1234567.125", "1234567,125"},
        {Variant::Double(0.1 + 0.2), "0.3", "0,3"},
        {Variant::Double(-0.0), "0", "0"},
        {Variant::Double(1e15), "1E+15", "1E+15"},
        {Variant::Double(123456789012345.0), "123456789012345", "123456789012345"},
        {Variant::Double(1.5e-7), "1.5E-07", "1,5E-07"},
        {Variant::Single(3.14159274f), "3.141593", "3,141593"},
        {Variant::Single(0.1f), "0.1", "0,1"},
        {Variant::Single(16777216.0f), "1.677722E+07", "1,677722E+07"},
        {Variant::Currency(35000), "3.5", "3,5"},
        {Variant::Currency(-1), "-0.0001", "-0,0001"},
        {Variant::Currency(1230000), "123", "123"},
        {Variant::Currency(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808",
         "-922337203685477,5808"},
        {Variant::Decimal({true, "1234500", 4}), "-123.45", "-123,45"},
        {Variant::Decimal({false, "5", 6}), "0.000005", "0,000005"},
        {Variant::Decimal({true, "0", 2}), "0", "0"},
        {Variant::Text("a\tb"), "a\tb", "a\tb"},
        {Variant::Binary({0x00, 0xAB, 0x7f}), "00AB7F", "00AB7F"},
        {Variant::Guid(guid), "{12345678-9ABC-DEF0-0123-456789ABCDEF}",
         "{12345678-9ABC-DEF0-0123-456789ABCDEF}"},
        {date(2024, 2, 29, 0, 0, 0), "2/29/2024", "29.02.2024"},
        {date(1899, 12, 30, 13, 5, 9), "1:05:09 PM", "13:05:09"},
        {date(1582, 10, 15, 6, 0, 0), "10/15/1582 6:00:00 AM", "15.10.1582 06:00:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::ValueToText(c.value, text::Locale::EnUS()), c.us) << TypeName(c.value.type());
        EXPECT_EQ(text::ValueToText(c.value, text::Locale::DeDE()), c.de) << TypeName(c.value.type());
    }
}

}  // namespace
}  // namespace tabvert::ado
