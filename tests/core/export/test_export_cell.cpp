// A value whose type decides its cell gets, straight from the value, exactly the number and format
// that its text form gets from the engine's text rule: random values of every such type, both locales.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/export/export_cell.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"
#include "core/workbook/cell_value.h"

namespace tabvert::exporting {
namespace {

using ado::Variant;

// Magnitudes spread over every digit count, so that the 11- and 15-digit bounds are crossed often.
std::int64_t SpreadInteger(std::mt19937_64& random, int maxDigits) {
    const int digits = std::uniform_int_distribution<int>(0, maxDigits)(random);
    std::int64_t limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    std::int64_t n = std::uniform_int_distribution<std::int64_t>(0, limit)(random);
    if (random() % 3 == 0) n -= n % 1000;  // trailing zeros
    return random() % 2 ? -n : n;
}

std::vector<Variant> RandomValues(std::mt19937_64& random) {
    std::vector<Variant> values = {
        Variant::Double(0.0),
        Variant::Double(-0.0),
        Variant::Double(0.1 + 0.2),
        Variant::Double(1e15),
        Variant::Double(123456789012.5),
        Variant::Double(std::nan("")),
        Variant::Double(-INFINITY),
        Variant::Single(0.1f),
        Variant::Long(0),
        Variant::BigInt(std::numeric_limits<std::int64_t>::min()),
        Variant::Currency(0),
        Variant::Currency(-1),
        Variant::Date(0),
        Variant::Date(60.5),
        Variant::Date(61),
        Variant::Date(-0.25),
        Variant::Date(2958465.9999999),
        Variant::Date(45351.99999999),
    };
    std::uniform_real_distribution<double> unit(0, 1);
    for (int i = 0; i < 3000; ++i) {
        values.push_back(Variant::Byte(static_cast<std::uint8_t>(random())));
        values.push_back(Variant::Integer(static_cast<std::int16_t>(random())));
        values.push_back(Variant::Long(static_cast<std::int32_t>(SpreadInteger(random, 10))));
        values.push_back(Variant::BigInt(SpreadInteger(random, 18)));
        values.push_back(Variant::Currency(SpreadInteger(random, 18)));
        const double scaled =
            (unit(random) - 0.5) * std::pow(10.0, std::uniform_int_distribution<int>(-22, 22)(random));
        values.push_back(Variant::Double(scaled));
        values.push_back(Variant::Double(std::round(scaled * 100) / 100));
        values.push_back(Variant::Single(static_cast<float>(scaled)));
        const double day = std::floor(unit(random) * 3200000 - 700000);
        values.push_back(Variant::Date(day));
        values.push_back(Variant::Date(day + unit(random)));
        values.push_back(Variant::Date(unit(random)));  // a time of day alone
    }
    return values;
}

TEST(ValueCells, TypedValuesGetTheNumberAndFormatTheirTextGets) {
    std::mt19937_64 random(20240229);
    const auto values = RandomValues(random);
    for (const text::Locale& locale : {text::Locale::EnUS(), text::Locale::DeDE()}) {
        SCOPED_TRACE(locale.name);
        const ValueCells cells(locale);
        size_t typed = 0;
        for (const Variant& value : values) {
            std::string text;
            try {
                text = text::ValueToText(value, locale);
            } catch (const ado::ProviderError&) {  // a date before the year 100 has no text, nor a cell
                EXPECT_FALSE(cells.Classify(value).has_value()) << value.OleDate();
                continue;
            }
            const excel::CellValue expected = excel::ClassifyText(text, locale);
            const bool isNumber = expected.kind == excel::CellValue::Kind::Number ||
                                  expected.kind == excel::CellValue::Kind::DateTime;
            const auto cell = cells.Classify(value);
            ASSERT_EQ(cell.has_value(), isNumber) << ado::TypeName(value.type()) << " " << text;
            if (!cell) continue;
            ++typed;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(cell->number),
                      std::bit_cast<std::uint64_t>(expected.number))
                << text << ": " << cell->number << " against " << expected.number;
            EXPECT_EQ(cell->format, expected.numberFormat) << text;
        }
        EXPECT_GT(typed, values.size() / 2);  // most values take the typed way
    }
}

// Values that only their text can classify are left to it, even where the text is a number.
TEST(ValueCells, TextsBooleansAndBinaryDataAreLeftToTheTextRule) {
    const ValueCells cells(text::Locale::EnUS());
    for (const Variant& value : {Variant::Text("42"), Variant::Boolean(true), Variant::Binary({0x12}),
                                 Variant::Decimal({false, "125", 1}), Variant::Null()}) {
        EXPECT_FALSE(cells.Classify(value).has_value()) << ado::TypeName(value.type());
    }
}

}  // namespace
}  // namespace tabvert::exporting
