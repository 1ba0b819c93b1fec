#pragma once
// What a recordset reads: the columns, then one row after another.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/value/variant.h"

namespace tabvert::ado {

struct ColumnInfo {
    ColumnInfo() = default;
    ColumnInfo(std::string columnName, Variant::Type columnType, std::string columnNote = {})
        : name(std::move(columnName)), type(columnType), note(std::move(columnNote)) {}

    std::string name;
    Variant::Type type = Variant::Type::Null;
    // What the reader has to say of the column as a whole, once (a type it does not know, whose values
    // are given as their bytes); empty when nothing.
    std::string note;
};

class RowSource {
  public:
    virtual ~RowSource() = default;
    virtual const std::vector<ColumnInfo>& Columns() const = 0;
    // Fills values (one per column) with the next row; false when there is none.
    virtual bool Next(std::vector<Variant>& values) = 0;
    // How many rows the source will deliver, when it knows that before reading them: a table's
    // definition keeps its row count. A file closed carelessly can hold a count that is off, so this
    // is good for showing progress, never for deciding when to stop.
    virtual std::optional<std::int64_t> ExpectedRowCount() const { return std::nullopt; }

    // From now on a value that cannot be decoded leaves its place Null and its reason in UnreadValues()
    // instead of failing the whole row. A source whose values always decode has nothing to change.
    virtual void KeepUnreadValues() {}
    // For the row Next filled last: by column, why its value could not be read ("" for a value that
    // was); empty when every value was read.
    virtual const std::vector<std::string>& UnreadValues() const {
        static const std::vector<std::string> none;
        return none;
    }
};

}  // namespace tabvert::ado
