#pragma once
// A database value that keeps the type the file gives it, from the file to the text rule. Money and
// decimals stay exact; dates stay OLE Automation dates.

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tabvert::ado {

// An exact decimal: sign, coefficient digits (no leading zeros, "0" for zero) and the number of
// those digits that lie behind the decimal point.
struct DecimalValue {
    bool negative = false;
    std::string digits = "0";
    int scale = 0;

    bool operator==(const DecimalValue&) const = default;
};

// A date/time: an OLE Automation date, and for Date/Time Extended values the 100-nanosecond units
// (0 to 9,999,999) that follow its whole second. A Date holds the years 100 to 9999, a Date/Time
// Extended value the years 1 to 9999.
struct DateValue {
    double ole = 0;
    std::uint32_t fraction = 0;
    bool extended = false;

    bool operator==(const DateValue&) const = default;
};

// The 16 bytes of a GUID as stored (Data1 to Data3 little-endian, then the 8 bytes of Data4).
using GuidBytes = std::array<std::uint8_t, 16>;

class Variant {
  public:
    enum class Type {
        Null,
        Boolean,
        Byte,
        Integer,
        Long,
        BigInt,
        Single,
        Double,
        Currency,
        Decimal,
        Date,
        Text,
        Binary,
        Guid
    };

    Variant() = default;  // Null

    static Variant Null() { return {}; }
    static Variant Boolean(bool v);
    static Variant Byte(std::uint8_t v);
    static Variant Integer(std::int16_t v);
    static Variant Long(std::int32_t v);
    static Variant BigInt(std::int64_t v);
    static Variant Single(float v);
    static Variant Double(double v);
    static Variant Currency(std::int64_t tenThousandths);  // 1.5 is 15000
    static Variant Decimal(DecimalValue v);
    static Variant Date(double oleDate);
    static Variant ExtendedDate(double oleDate, std::uint32_t fraction);
    static Variant Text(std::string utf8);
    static Variant Binary(std::vector<std::uint8_t> bytes);
    static Variant Guid(const GuidBytes& bytes);

    Type type() const { return type_; }
    bool IsNull() const { return type_ == Type::Null; }

    // Accessors; each throws ProviderError when the value has another type.
    bool ToBool() const;
    std::int64_t ToInt64() const;         // Byte, Integer, Long, BigInt, Boolean (-1 / 0), Currency units
    double ToDouble() const;              // Single, Double, Date and every integer type
    float ToSingle() const;               // Single only
    std::int64_t CurrencyUnits() const;   // Currency only, in 1/10000
    const DecimalValue& decimal() const;  // Decimal only
    double OleDate() const;               // Date only
    std::uint32_t DateFraction() const;   // Date only: 100 ns units beyond the second
    bool IsExtendedDate() const;          // Date only: a Date/Time Extended value
    const std::string& text() const;      // Text only
    const std::vector<std::uint8_t>& Bytes() const;  // Binary only
    const GuidBytes& guid() const;                   // Guid only

    bool operator==(const Variant&) const = default;

  private:
    using Storage = std::variant<std::monostate, bool, std::int64_t, float, double, DateValue, DecimalValue,
                                 std::string, std::vector<std::uint8_t>, GuidBytes>;
    Variant(Type type, Storage value) : type_(type), value_(std::move(value)) {}

    Type type_ = Type::Null;
    Storage value_;
};

const char* TypeName(Variant::Type type);

}  // namespace tabvert::ado
