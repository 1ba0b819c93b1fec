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

// One file of an attachment column's value, as Access keeps it.
struct AttachedFile {
    std::string name;                // the file's name when it was attached
    std::string type;                // its extension as Access noted it ("jpg", "pdf", ...)
    std::vector<std::uint8_t> data;  // the stored FileData: still wrapped and perhaps compressed
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
    // For the row Next filled last: the files of an attachment column; nothing for a column of any
    // other kind. The files' data are read on the first call, not by Next. Throws ProviderError when
    // they cannot be read.
    virtual std::optional<std::vector<AttachedFile>> AttachedFiles(std::size_t column) {
        (void)column;
        return std::nullopt;
    }
};

}  // namespace tabvert::ado
