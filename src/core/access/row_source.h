#pragma once
// What a recordset reads: the columns, then one row after another.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/value/variant.h"

namespace tabvert::ado {

struct ColumnInfo {
    std::string name;
    Variant::Type type = Variant::Type::Null;
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
};

}  // namespace tabvert::ado
