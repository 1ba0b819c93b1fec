// Bytes as the file stores them: text in its encodings, object properties, bounds that cannot wrap,
// Decimal and Date/Time Extended values.

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "core/access/little_endian.h"
#include "core/access/properties.h"
#include "core/access/stored_values.h"
#include "core/access/text_decode.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<std::uint8_t> out;
    for (int b : list) out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

TEST(StoredText, DecodesUtf16TheCompressedFormAndJet3CodePages) {
    const std::pair<std::vector<std::uint8_t>, const char*> unicode[] = {
        {Bytes({'A', 0, 0xE9, 0}), "A\u00E9"},
        {Bytes({0xFF, 0xFE, 'a', 'b', 0xE9}), "ab\u00E9"},
        {Bytes({0xFF, 0xFE, 'x', 0, 0x34, 0x12, 0, 'y'}), "x\u1234y"},  // a zero byte switches width and back
        {Bytes({0x3D, 0xD8, 0x00, 0xDE}), "\U0001F600"},                // a surrogate pair
        {Bytes({0x3D, 0xD8, 'A', 0}), "\uFFFDA"},                       // an unpaired high surrogate
        {Bytes({0x00, 0xDE}), "\uFFFD"},                                // a lone low surrogate
        {Bytes({'A', 0, 'B'}), "A"},                                    // an odd trailing byte
    };
    for (const auto& [bytes, utf8] : unicode) EXPECT_EQ(detail::DecodeUnicodeText(bytes), utf8);
    detail::CodePageDecoder western(1252);
    EXPECT_EQ(western.Decode(Bytes({'C', 'a', 'f', 0xE9})), "Caf\u00E9");
    EXPECT_EQ(western.Decode(Bytes({'M', 0xFC, 'l', 'l', 'e', 'r'})), "M\u00FCller");
    EXPECT_EQ(western.Decode(Bytes({'c', 0xE7, 0xE3, 'o'})), "c\u00E7\u00E3o");  // one pair is not enough
    EXPECT_EQ(western.Decode(Bytes({'G', 'B', 'K', 0xB1, 0xE0, 0xC2, 0xEB})), "GBK\u7F16\u7801");
    EXPECT_EQ(detail::CodePageDecoder(1251).Decode(Bytes({0xC0, 0xE1})), "\u0410\u0431");
}

std::string NoJet3(std::span<const std::uint8_t>, void*) { return {}; }

// A property block as Access writes it (a names block, then a value block for the object and one for a
// column): the object's description is found, and every cut or damaged byte gives fewer blocks, never a
// read past the end.
TEST(Properties, FindsTheObjectsDescription) {
    std::vector<std::uint8_t> b = {'M', 'R', '2', 0};
    auto u8 = [&](std::size_t v) { b.push_back(static_cast<std::uint8_t>(v)); };
    auto u16 = [&](std::size_t v) {
        u8(v);
        u8(v >> 8);
    };
    auto u32 = [&](std::size_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    auto utf16 = [&](const std::string& s) {
        for (char c : s) u16(static_cast<unsigned char>(c));
    };
    u32(6 + 2 + 22 + 2 + 12);
    u16(0x80);
    for (const std::string n : {"Description", "Format"}) {
        u16(2 * n.size());
        utf16(n);
    }
    auto valueBlock = [&](const std::string& owner, const std::string& value) {
        const std::size_t header = 6 + 2 * owner.size(), entry = 8 + 2 * value.size();
        u32(6 + header + entry);
        u16(0x00);
        u32(header);
        u16(2 * owner.size());
        utf16(owner);
        u16(entry);
        u8(0);
        u8(0x0A);
        u16(0);
        u16(2 * value.size());
        utf16(value);
    };
    valueBlock("", "Orders of 2024");
    valueBlock("Amount", "in euros");
    const auto blocks = detail::ParseProperties(b, false, NoJet3, nullptr);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(detail::DescriptionProperty(blocks), "Orders of 2024");
    EXPECT_EQ(blocks[1].owner, "Amount");
    EXPECT_EQ(blocks[1].texts.at("Description"), "in euros");
    for (std::size_t cut = 0; cut < b.size(); ++cut) {
        std::vector<std::uint8_t> part(b.begin(), b.begin() + static_cast<long>(cut));
        EXPECT_LE(detail::ParseProperties(part, false, NoJet3, nullptr).size(), 2u);
        auto damaged = b;
        damaged[cut] = 0xFF;
        EXPECT_LE(detail::ParseProperties(damaged, false, NoJet3, nullptr).size(), 2u);
    }
}

TEST(Bounds, NoStartOrLengthWrapsPastTheEnd) {
    constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();
    const struct {
        std::size_t size, start, length;
        bool fits;
    } cases[] = {
        {100, 0, 100, true},  {100, 98, 2, true},     {100, 100, 0, true},    {100, 99, 2, false},
        {100, 101, 0, false}, {100, kHuge, 2, false}, {100, 2, kHuge, false}, {100, kHuge - 1, 3, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detail::FitsWithin(c.size, c.start, c.length), c.fits) << c.start << " + " << c.length;
}

TEST(StoredValues, DecimalAndExtendedDateTime) {
    const struct {
        std::vector<std::uint8_t> bytes;
        int scale;
        const char* text;
    } decimals[] = {
        {Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x39, 0x30, 0, 0}), 2, "123.45"},
        {Bytes({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}), 0, "-1"},
        {Bytes({0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0, "18446744073709551616"},  // 2^64
        {Bytes({0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                0xFF}),
         28, "34028236692.0938463463374607431768211455"},
        {Bytes({0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 4, "0"},
        {Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0}), 6, "0.000005"},
    };
    for (const auto& c : decimals) {
        const auto d =
            detail::DecimalFromStored(std::span<const std::uint8_t, 17>(c.bytes.data(), 17), c.scale);
        EXPECT_EQ(text::ValueToText(Variant::Decimal(d), text::Locale::EnUS()), c.text);
    }
    auto parse = [](const std::string& s) {
        return detail::ParseExtendedDateTime({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
    };
    // Days since 1 Jan 0001, seconds of the day, 100 ns units; the fraction shows only when it is not 0.
    const std::pair<const char*, const char*> dates[] = {
        {"0000000000000737954:0000000819123456789:7", "6/14/2021 10:45:12.3456789 PM"},
        {"0000000000000738153:0000000452960000000:7", "12/30/2021 12:34:56 PM"},
        {"0000000000000693593:0000000000000000000:7", "12:00:00 AM"},
        {"0000000000000693592:0000000216000000000:7", "12/29/1899 6:00:00 AM"},
        {"0000000000000000000:0000000000000000001:7", "1/1/0001 12:00:00.0000001 AM"},
        {"0000000000003652058:0000000863999999999:7", "12/31/9999 11:59:59.9999999 PM"},
        {"0000000000000738153:0000000000000000000:7", "12/30/2021"},
    };
    for (const auto& [stored, expected] : dates) {
        const auto date = parse(std::string(stored) + '\0');
        ASSERT_TRUE(date.has_value()) << stored;
        EXPECT_EQ(ValueToText(Variant::ExtendedDate(date->ole, date->fraction), text::Locale::EnUS()),
                  expected);
    }
    EXPECT_EQ(parse("0000000000000693592:0000000216000000000:7")->ole, -1.25);
    // Nineteen nines overflow a signed 64-bit number; they are out of range, not a wrapped value.
    for (const char* bad :
         {"", "0000000000000738153-0000000452967891234:7 ", "00000000000007381x3:0000000452967891234:7 ",
          "0000000000000738153:0000000864000000000:7 ", "0000000000003652059:0000000000000000000:7 ",
          "9999999999999999999:9999999999999999999:7 "})
        EXPECT_FALSE(parse(bad).has_value()) << bad;
}

}  // namespace
}  // namespace tabvert::ado
