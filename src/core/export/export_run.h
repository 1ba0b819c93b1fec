#pragma once
// The workbook export run: copies every user table of the chosen database into one new workbook and
// saves it under the target path. It knows nothing of widgets: it reports each visible step to an
// ExportObserver, so the main window, tabvert-cli and the tests drive the very same code.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/database/database_choice.h"
#include "core/export/sheet_name.h"
#include "core/text/locale.h"

namespace tabvert::exporting {

inline constexpr int kFirstDataRow = 2;
inline constexpr int kProgressMaximum = 500;
inline constexpr const char* kCompletedText = "Conversion Process Completed";
inline constexpr const char* kStoppedText = "The export was stopped, so no workbook was written.";

/// What the run shows as it goes, in the order it happens. The main window maps these onto its export
/// frame, the preview list, the open-database dialog, the current table and record labels and the
/// progress bar; tabvert-cli onto a terminal line.
class ExportObserver {
  public:
    virtual ~ExportObserver() = default;
    virtual void FrameShown() = 0;
    virtual void PreviewCleared() = 0;
    virtual void DatabaseDialogHidden() = 0;
    virtual void TableNameShown(const std::string& tableName) = 0;
    virtual void RecordNumberShown(std::int64_t recordNumber) = 0;
    virtual void BarMaximumSet(int maximum) = 0;
    /// A value above the bar's current maximum is refused by the bar, as the platform's bar does.
    virtual void BarValueSet(int value) = 0;
    /// The whole problem list of a written workbook, one problem a line, for the closing message to keep
    /// behind its details (the message itself names the first kMessageProblemLimit). Comes just before
    /// MessageShown, and only when there are problems.
    virtual void MessageDetailsSet(const std::string& /*details*/) {}
    /// The closing message (OK button, no icon, the application title); returns when it is closed.
    virtual void MessageShown(const std::string& text) = 0;
    virtual void FrameHidden() = 0;
};

struct ExportRequest {
    database::DatabaseChoice database;
    std::string target;  // the workbook path, used exactly as given
    text::Locale locale = text::Locale::System();
    /// When not empty, only the tables of these names (as the catalogue gives them, exact case) are
    /// exported, still in the catalogue's order; every other table is passed over like a system table.
    std::vector<std::string> onlyTables;
    /// When set, asked before each record, before each catalogue row and before the save; once it
    /// answers true the run stops there: the workbook is discarded unsaved (a file already at the
    /// target stays as it was) and the run ends with kStoppedText.
    std::function<bool()> stopWanted;
    /// When set, the records past a sheet's last row (65,536 in an .xls file, 1,048,576 in an .xlsx
    /// file, header included) go on to further sheets "Name (2)", "Name (3)", ..., each with the same
    /// header row. When not set they are left out and counted among the problems.
    bool continueSheets = false;
    /// When not empty, every OLE object (every value the database holds as bytes) is written as a file
    /// of its own under this folder (see object_files.h), and its cell holds the file's path relative to
    /// the workbook's folder. Attachment fields keep showing their file names.
    std::string attachmentsFolder;
};

/// One thing that went wrong on the way, tied to the table it concerns (empty for the workbook as a
/// whole).
struct ExportProblem {
    std::string table;
    std::string what;
    /// `table` names a stored query (a "VIEW" in the tables schema), not a table.
    bool storedQuery = false;
};

struct ExportResult {
    enum class Outcome {
        Completed,              // the workbook was written and nothing went wrong
        CompletedWithWarnings,  // the workbook was written; `problems` says what is missing from it
        NothingWritten,         // no workbook was written; `message` says why
    };
    Outcome outcome = Outcome::NothingWritten;
    std::string message;  // the text shown at the end
    std::vector<ExportProblem> problems;
    int tablesExported = 0;
};

/// The closing text of a written workbook: kCompletedText, then the first `limit` problems, one a line,
/// and how many more there are. The run's own message keeps to kMessageProblemLimit lines so that its
/// box fits a screen; ExportResult::problems has them all.
std::string CompletionMessage(const std::vector<ExportProblem>& problems, std::size_t limit);
inline constexpr std::size_t kMessageProblemLimit = 20;

/// Every problem, one a line, worded as in CompletionMessage: "- Table \"T\": ..." ("- Query \"Q\": ..."
/// for a stored query, "- ..." for a problem of the workbook as a whole).
std::string ProblemList(const std::vector<ExportProblem>& problems);

/// The bar's value after `recordsDone` records of a table: the share done of the `recordCount` records
/// it is expected to hold, in 0..kProgressMaximum. Without a count (or with a count of 0) the record
/// counter itself, and 0 from kProgressMaximum records on.
int ProgressBarValue(std::int64_t recordsDone, std::optional<std::int64_t> recordCount);

/// Runs the export. `digits` is the program's name-digit generator, advanced for every shortened
/// sheet name. Never throws for failures of the database or the workbook: they end up in the result
/// and in the closing message.
ExportResult RunExport(const ExportRequest& request, ExportObserver& observer, NameDigitGenerator& digits);

/// True when `target` and `database` name the same existing file, however each is spelled (links,
/// "..", relative parts): comparing device and inode.
bool IsSameFile(const std::string& target, const std::string& database);

/// The select text for one table: all columns, the name in square brackets with any "]" doubled.
std::string TableQuery(std::string_view tableName);

}  // namespace tabvert::exporting
