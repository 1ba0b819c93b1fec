#pragma once
// The per-table pieces of the export: the header row with its format, and one record as one row.
// Every cell receives the text form of its value; a failing step is passed over and logged by its
// reason, so one bad cell never stops a table.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/common/error.h"
#include "core/export/export_cell.h"
#include "core/text/locale.h"

namespace tabvert::ado {
class Recordset;
class Variant;
}  // namespace tabvert::ado
namespace tabvert::excel {
class Worksheet;
}

namespace tabvert::exporting {

inline constexpr long kHeaderRow = 1;
inline constexpr const char* kHeaderFirstCell = "A1";
inline constexpr const char* kHeaderLastCell = "Z1";
inline constexpr double kHeaderFontSize = 15;

/// Failures of one kind caught on a worksheet: how many, and the first of them.
struct CaughtFailures {
    long count = 0;
    std::string firstDescription;
    long firstRow = 0;  // the cell concerned by the first failure
    long firstColumn = 0;
};

/// Values of one field the provider could not deliver.
struct UnreadField {
    std::string field;  // the field's name, or "#N" when even the name cannot be read
    CaughtFailures failures;
    std::int64_t firstRecord = 0;  // the record of the first, counted from 1; 0 when not known
};

/// What the provider says of a field as a whole (ado::Field::Note), once per field.
struct FieldNote {
    std::string field;
    std::string note;
};

/// What the writer had to pass over on one worksheet.
struct WriteTally {
    std::map<ErrorReason, CaughtFailures> refusedCells;  // cell writes the workbook refused, by reason
    std::vector<UnreadField> unreadValues;               // by field, in the order met; their cells stay empty
    CaughtFailures refusedFormats;                       // header font settings the workbook refused
    std::vector<FieldNote> fieldNotes;                   // in field order, each field once
    std::int64_t record = 0;  // the record WriteRecordRow writes, counted from 1, when the caller sets it
};

/// The header text of a field: its name without any "_", nothing else changed.
std::string HeaderText(const std::string& fieldName);

/// Writes the names of fields 0..lastFieldIndex into row 1, then makes A1:Z1 bold, size 15 and
/// underlined, looking the range up once for each of the three settings. The sheet's columns are
/// sized to the header and the first records, and the header row stays in view.
void WriteHeaderRow(excel::Worksheet& sheet, ado::Recordset& table, std::int16_t lastFieldIndex,
                    WriteTally& tally);

/// What a cell gets in place of its value's own text: the paths of the files written for the value,
/// relative to the workbook, and the one file the cell links to ("" for none: no file, or several).
struct FileCell {
    std::string text;
    std::string link;
};
/// Asked with the field's index and its value; nothing leaves the value to the usual rule.
using CellTextOverride = std::function<std::optional<FileCell>(std::int16_t, const ado::Variant&)>;

/// Writes the current record's fields 0..lastFieldIndex into `row` as text (Null as the empty text);
/// a value whose type decides what its text becomes goes in as that number or date straight away.
/// `override`, when given, is asked first for every value that is not Null. Does not move the
/// recordset.
void WriteRecordRow(excel::Worksheet& sheet, long row, ado::Recordset& table, std::int16_t lastFieldIndex,
                    const ValueCells& cells, WriteTally& tally, const CellTextOverride* override = nullptr);

}  // namespace tabvert::exporting
