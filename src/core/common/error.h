#pragma once
// The one failure type of the core. Every error carries the number the Windows component it stands
// in for would report (an ADO number for the database provider, an Excel automation number for the
// workbook engine), a description for people, and a reason that callers branch on instead of the
// text. Several reasons share a number, as they do in the components we imitate (Excel reports
// 1004 for most of its refusals).

#include <stdexcept>
#include <string>

namespace tabvert {

enum class ErrorReason {
    // ---- Database provider (ado::ProviderError) ----

    /// The connection string cannot be parsed (an unclosed quote, a key without "=").
    BadConnectionString,
    /// The connection string names no provider at all.
    NoProvider,
    /// The connection string names a provider other than Jet 4.0 or ACE 12.0.
    UnknownProvider,
    /// The database path is empty, names no file, or names a folder.
    FileNotFound,
    /// The file exists but cannot be opened for reading (permissions, an exclusive lock).
    FileNotReadable,
    /// The file is not an Access database, or one of a format this provider does not read.
    NotADatabase,
    /// The file is encrypted in a way this provider cannot decrypt.
    UnsupportedEncryption,
    /// The database password is missing or wrong.
    WrongPassword,
    /// The file, its encryption header, a table's definition or a stored query's definition is damaged.
    DamagedData,
    /// Memory for reading a table could not be had.
    OutOfMemory,
    /// The object is a stored query or a linked table, which this provider does not read.
    NotReadable,
    /// The command text is not a select this provider understands.
    BadCommand,
    /// The command names a table or query the database does not have.
    NoSuchTable,
    /// A stored query needs a parameter value, and none is given.
    MissingParameter,
    /// A stored query cannot be run: it changes the database, reads another file or refers to itself,
    /// or the query engine failed.
    QueryFailed,
    /// A schema query type other than the tables schema.
    UnsupportedSchema,
    /// A field index or name that the record does not have.
    NoSuchField,
    /// An argument out of range (a negative TOP, a bad date).
    InvalidArgument,
    /// A stored value its own type cannot hold (a date outside the years 100 to 9999, NaN or an
    /// infinity): it has no text, and its cell stays empty.
    ValueOutOfRange,
    /// The connection or recordset is closed.
    ObjectClosed,
    /// The connection or recordset is already open.
    ObjectOpen,
    /// MoveNext past the last record.
    NoCurrentRecord,

    // ---- Workbook engine (excel::ExcelError) ----

    /// The engine cannot start: an unknown class id, or no usable temporary folder.
    CannotStart,
    /// The workbook was closed, or the application has quit.
    ObjectGone,
    /// No worksheet with that index or name.
    NoSuchSheet,
    /// A sheet name Excel does not take: empty, over 31 UTF-16 units, one of : \ / ? * [ ], an
    /// apostrophe at either end, or "History".
    SheetNameInvalid,
    /// Another worksheet of the workbook already has that name (without regard to case).
    SheetNameTaken,
    /// A cell outside 1,048,576 rows x 16,384 columns.
    CellOutsideGrid,
    /// A text over 32,767 UTF-16 units.
    TextTooLong,
    /// A range reference that is not in A1 form.
    BadReference,
    /// A font size outside 1 to 409 points.
    FontSizeOutOfRange,
    /// A SaveAs file format other than normal, Open XML or Excel 8, or another format than the one the
    /// workbook was planned for.
    UnsupportedFileFormat,
    /// A workbook planned for its file takes each sheet's rows once and in order, and is planned before
    /// anything is written to it; this was asked out of that order.
    OutOfOrder,
    /// A SaveAs file name that is empty or names a folder.
    BadFileName,
    /// The workbook could not be written (the file system refused, a temporary file failed, or the
    /// workbook is too large for its format). Nothing was left at the target.
    SaveFailed,
    /// A worksheet's temporary file could not be created, written or read back.
    TemporaryFileFailed,
};

/// A failure with a number, a description and a reason.
class NumberedError : public std::runtime_error {
  public:
    NumberedError(long number, ErrorReason reason, std::string description);

    long Number() const { return number_; }
    ErrorReason Reason() const { return reason_; }
    const std::string& Description() const { return description_; }

  private:
    long number_;
    ErrorReason reason_;
    std::string description_;
};

}  // namespace tabvert
