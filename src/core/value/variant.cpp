#include "core/value/variant.h"

#include <utility>

#include "core/value/provider_error.h"

namespace tabvert::ado {
namespace {

[[noreturn]] void WrongType(Variant::Type have, const char* want) {
    throw ProviderError(ErrorReason::InvalidArgument,
                        std::string("A value of type ") + TypeName(have) + " was read as " + want + ".");
}

}  // namespace

Variant Variant::Boolean(bool v) { return {Type::Boolean, v}; }
Variant Variant::Byte(std::uint8_t v) { return {Type::Byte, std::int64_t{v}}; }
Variant Variant::Integer(std::int16_t v) { return {Type::Integer, std::int64_t{v}}; }
Variant Variant::Long(std::int32_t v) { return {Type::Long, std::int64_t{v}}; }
Variant Variant::BigInt(std::int64_t v) { return {Type::BigInt, v}; }
Variant Variant::Single(float v) { return {Type::Single, v}; }
Variant Variant::Double(double v) { return {Type::Double, v}; }
Variant Variant::Currency(std::int64_t tenThousandths) { return {Type::Currency, tenThousandths}; }
Variant Variant::Decimal(DecimalValue v) { return {Type::Decimal, std::move(v)}; }
Variant Variant::Date(double oleDate) { return {Type::Date, DateValue{oleDate, 0, false}}; }
Variant Variant::ExtendedDate(double oleDate, std::uint32_t fraction) {
    return {Type::Date, DateValue{oleDate, fraction, true}};
}
Variant Variant::Text(std::string utf8) { return {Type::Text, std::move(utf8)}; }
Variant Variant::Binary(std::vector<std::uint8_t> bytes) { return {Type::Binary, std::move(bytes)}; }
Variant Variant::Guid(const GuidBytes& bytes) { return {Type::Guid, bytes}; }

bool Variant::ToBool() const {
    if (type_ != Type::Boolean) WrongType(type_, "Boolean");
    return std::get<bool>(value_);
}

std::int64_t Variant::ToInt64() const {
    switch (type_) {
        case Type::Boolean:
            return std::get<bool>(value_) ? -1 : 0;
        case Type::Byte:
        case Type::Integer:
        case Type::Long:
        case Type::BigInt:
        case Type::Currency:
            return std::get<std::int64_t>(value_);
        default:
            WrongType(type_, "an integer");
    }
}

double Variant::ToDouble() const {
    switch (type_) {
        case Type::Single:
            return static_cast<double>(std::get<float>(value_));
        case Type::Double:
            return std::get<double>(value_);
        case Type::Date:
            return std::get<DateValue>(value_).ole;
        case Type::Byte:
        case Type::Integer:
        case Type::Long:
        case Type::BigInt:
            return static_cast<double>(std::get<std::int64_t>(value_));
        default:
            WrongType(type_, "a number");
    }
}

float Variant::ToSingle() const {
    if (type_ != Type::Single) WrongType(type_, "Single");
    return std::get<float>(value_);
}

std::int64_t Variant::CurrencyUnits() const {
    if (type_ != Type::Currency) WrongType(type_, "Currency");
    return std::get<std::int64_t>(value_);
}

const DecimalValue& Variant::decimal() const {
    if (type_ != Type::Decimal) WrongType(type_, "Decimal");
    return std::get<DecimalValue>(value_);
}

double Variant::OleDate() const {
    if (type_ != Type::Date) WrongType(type_, "Date");
    return std::get<DateValue>(value_).ole;
}

std::uint32_t Variant::DateFraction() const {
    if (type_ != Type::Date) WrongType(type_, "Date");
    return std::get<DateValue>(value_).fraction;
}

bool Variant::IsExtendedDate() const {
    if (type_ != Type::Date) WrongType(type_, "Date");
    return std::get<DateValue>(value_).extended;
}

const std::string& Variant::text() const {
    if (type_ != Type::Text) WrongType(type_, "Text");
    return std::get<std::string>(value_);
}

const std::vector<std::uint8_t>& Variant::Bytes() const {
    if (type_ != Type::Binary) WrongType(type_, "Binary");
    return std::get<std::vector<std::uint8_t>>(value_);
}

const GuidBytes& Variant::guid() const {
    if (type_ != Type::Guid) WrongType(type_, "Guid");
    return std::get<GuidBytes>(value_);
}

const char* TypeName(Variant::Type type) {
    switch (type) {
        case Variant::Type::Null:
            return "Null";
        case Variant::Type::Boolean:
            return "Boolean";
        case Variant::Type::Byte:
            return "Byte";
        case Variant::Type::Integer:
            return "Integer";
        case Variant::Type::Long:
            return "Long";
        case Variant::Type::BigInt:
            return "BigInt";
        case Variant::Type::Single:
            return "Single";
        case Variant::Type::Double:
            return "Double";
        case Variant::Type::Currency:
            return "Currency";
        case Variant::Type::Decimal:
            return "Decimal";
        case Variant::Type::Date:
            return "Date";
        case Variant::Type::Text:
            return "Text";
        case Variant::Type::Binary:
            return "Binary";
        case Variant::Type::Guid:
            return "Guid";
    }
    return "?";
}

}  // namespace tabvert::ado
