#pragma once
// What a recordset reads: the columns, then one row after another.

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
    virtual const std::vector<ColumnInfo>& columns() const = 0;
    // Fills values (one per column) with the next row; false when there is none.
    virtual bool next(std::vector<Variant>& values) = 0;
};

}  // namespace tabvert::ado
