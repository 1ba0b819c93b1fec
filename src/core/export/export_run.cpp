#include "core/export/export_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "core/database/catalogue.h"
#include "core/database/connection_rule.h"
#include "core/export/object_files.h"
#include "core/export/table_writer.h"
#include "core/provider/ado.h"
#include "core/provider/select_text.h"
#include "core/value/value_text.h"
#include "core/workbook/excel.h"
#include "core/workbook/file_format.h"
#include "core/workbook/limits.h"

namespace tabvert::exporting {

namespace {

// What happened to one table on its way into the workbook.
struct TableLog {
    std::string table;
    bool storedQuery = false;
    std::string sheet;                         // the worksheet's name as it ended up
    std::vector<std::string> continuedSheets;  // the further sheets its records went on to
    std::string refusedName;                   // the name the workbook would not take, with its reason
    std::string refusedReason;
    std::string readFailure;  // the table could not be opened, or reading stopped early
    WriteTally tally;
    CaughtFailures unwrittenFiles;  // OLE objects that could not be written as files
};

constexpr const char* kPassedOverText =
    "not copied: its name contains \"MSys\", which marks the database's own tables";

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

std::string Count(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string FirstAt(const std::string& cell) { return cell.empty() ? "" : " (the first at " + cell + ")"; }

const char* WasOrWere(long n) { return n == 1 ? "was" : "were"; }

// What the save left out or changed, in the run's words where it has its own.
std::string ProblemText(const excel::Problem& p) {
    if (p.kind == excel::Problem::Kind::LeftOutOfXls)
        return Count(p.count, "cell lies", "cells lie") +
               " beyond the 65,536 rows or 256 columns of an Excel 97-2003 file and " + WasOrWere(p.count) +
               " not saved" + FirstAt(p.firstCell);
    return p.description;  // the engine's own words for the rarer kinds
}

// Cell writes the engine refused for one reason.
std::string RefusalText(ErrorReason reason, const CaughtFailures& f) {
    const std::string where = FirstAt(f.firstRow > 0 ? excel::CellName(f.firstRow, f.firstColumn) : "");
    switch (reason) {
        case ErrorReason::CellOutsideGrid:
            return Count(f.count, "cell lies", "cells lie") +
                   " beyond the last row or column a worksheet holds and " + WasOrWere(f.count) +
                   " left out" + where;
        case ErrorReason::TextTooLong:
            return Count(f.count, "cell", "cells") + " with more than 32,767 characters " +
                   WasOrWere(f.count) + " left empty" + where;
        default:
            return Count(f.count, "cell was", "cells were") + " refused: " + f.firstDescription;
    }
}

// The current catalogue row's table_type; nothing when the catalogue has no such field.
std::optional<ado::Variant> TableType(ado::Recordset& catalogue) {
    try {
        return catalogue.GetFields().Item("table_type").Value();
    } catch (const ado::ProviderError&) {
        return std::nullopt;
    }
}

bool IsTextValue(const std::optional<ado::Variant>& v, const char* text) {
    return v && v->type() == ado::Variant::Type::Text && v->text() == text;
}

// Whether the current catalogue row is a stored query (the schema's "VIEW") rather than a table.
bool IsStoredQuery(ado::Recordset& catalogue) { return IsTextValue(TableType(catalogue), "VIEW"); }

// Whether the current catalogue row is one of the database's own tables rather than the user's. A
// catalogue without types names nothing it cannot tell apart.
bool IsSystemTable(ado::Recordset& catalogue) {
    const std::optional<ado::Variant> type = TableType(catalogue);
    return !type || IsTextValue(type, "SYSTEM TABLE") || IsTextValue(type, "ACCESS TABLE");
}

// Turns what each table's writer caught and what the save left out into one list, table by table, in export
// order.
std::vector<ExportProblem> CollectProblems(const std::vector<TableLog>& logs,
                                           const std::vector<ExportProblem>& passedOver,
                                           const std::string& catalogueFailure,
                                           const std::vector<excel::Problem>& workbookProblems) {
    std::vector<ExportProblem> out;
    std::map<std::string, const TableLog*> bySheet;
    for (const TableLog& log : logs) {
        bySheet[log.sheet] = &log;
        for (const std::string& sheet : log.continuedSheets) bySheet[sheet] = &log;
    }

    for (const TableLog& log : logs) {
        auto add = [&](std::string what) { out.push_back({log.table, std::move(what), log.storedQuery}); };
        if (!log.refusedName.empty())
            add("the sheet keeps the name " + Quoted(log.sheet) + ": " + log.refusedReason);
        if (!log.readFailure.empty()) add(log.readFailure);
        const WriteTally& t = log.tally;
        for (const auto& [reason, failures] : t.refusedCells) add(RefusalText(reason, failures));
        for (const excel::Problem& p : workbookProblems)
            if (p.sheet == log.sheet || std::find(log.continuedSheets.begin(), log.continuedSheets.end(),
                                                  p.sheet) != log.continuedSheets.end())
                add(ProblemText(p));
        for (const FieldNote& note : t.fieldNotes) add("the field " + Quoted(note.field) + ": " + note.note);
        for (const UnreadField& unread : t.unreadValues) {
            const CaughtFailures& f = unread.failures;
            const std::string first =
                unread.firstRecord <= 0 ? ""
                : f.count == 1          ? " (record " + std::to_string(unread.firstRecord) + ")"
                                        : " (the first in record " + std::to_string(unread.firstRecord) + ")";
            add(Count(f.count, "value", "values") + " of the field " + Quoted(unread.field) +
                " could not be read and " + (f.count == 1 ? "its cell is" : "their cells are") + " empty" +
                first + ": " + f.firstDescription);
        }
        if (t.refusedFormats.count > 0)
            add("the header format was not fully applied: " + t.refusedFormats.firstDescription);
        if (const long n = log.unwrittenFiles.count; n > 0)
            add(Count(n, "OLE object", "OLE objects") +
                (n == 1 ? " could not be written as a file and its cell is empty: "
                        : " could not be written as files and their cells are empty: ") +
                log.unwrittenFiles.firstDescription);
    }
    for (const excel::Problem& p : workbookProblems)
        if (!bySheet.count(p.sheet)) out.push_back({"", "sheet " + Quoted(p.sheet) + ": " + ProblemText(p)});
    out.insert(out.end(), passedOver.begin(), passedOver.end());
    if (!catalogueFailure.empty()) out.push_back({"", catalogueFailure});
    return out;
}

std::string ProblemLine(const ExportProblem& p) {
    if (p.table.empty()) return "- " + p.what;
    return std::string(p.storedQuery ? "- Query " : "- Table ") + Quoted(p.table) + ": " + p.what;
}

}  // namespace

std::string ProblemList(const std::vector<ExportProblem>& problems) {
    std::string text;
    for (const ExportProblem& p : problems) text += (text.empty() ? "" : "\n") + ProblemLine(p);
    return text;
}

int ProgressBarValue(std::int64_t recordsDone, std::optional<std::int64_t> recordCount) {
    if (recordCount && *recordCount > 0)
        return static_cast<int>(
            std::clamp<std::int64_t>(recordsDone * kProgressMaximum / *recordCount, 0, kProgressMaximum));
    return recordsDone >= kProgressMaximum || recordsDone < 0 ? 0 : static_cast<int>(recordsDone);
}

std::string CompletionMessage(const std::vector<ExportProblem>& problems, std::size_t limit) {
    std::string text = kCompletedText;
    if (problems.empty()) return text;
    text += "\n\nNot everything could be copied:";
    const std::size_t shown = std::min(limit, problems.size());
    for (std::size_t i = 0; i < shown; ++i) text += "\n" + ProblemLine(problems[i]);
    if (shown < problems.size())
        text += "\n- and " +
                Count(static_cast<long>(problems.size() - shown), "more problem", "more problems") + ".";
    return text;
}

namespace {

// The copy and the save, once the workbook engine is up and the progress frame is shown. Every failure
// is caught where it happens; the run goes on with the next table and remembers what went wrong.
class Run {
  public:
    Run(const ExportRequest& request, ExportObserver& observer, NameDigitGenerator& digits,
        excel::Application& app)
        : request_(request), observer_(observer), digits_(digits), app_(app), cells_(request.locale) {
        const excel::WorkbookTarget target = excel::ResolveWorkbookTarget(request.target);
        lastRow_ = target.xlsx ? excel::kMaxRows : excel::kMaxXlsRows;
        if (!request.attachmentsFolder.empty()) {
            const std::filesystem::path workbookFolder = std::filesystem::path(target.path).parent_path();
            objects_.emplace(request.attachmentsFolder, workbookFolder.empty() ? "." : workbookFolder);
        }
    }

    ExportResult Go() {
        try {
            return CopyAndSave();
        } catch (const std::exception& e) {
            // Anything else the provider or the engine throws (out of memory, a broken file system):
            // the run still ends as a run does, and says what stopped it.
            return Finish(NothingWritten("The export stopped, so no workbook was written.\n\n" +
                                         std::string(e.what())));
        }
    }

  private:
    ExportResult CopyAndSave() {
        ExportResult result;
        const database::DatabaseChoice& choice = request_.database;
        ado::Connection connection;
        try {
            connection.Open(
                database::BuildConnectionString(choice.path, choice.passwordProtected, choice.password));
        } catch (const ado::ProviderError& e) {
            return Finish(NothingWritten("The database could not be opened, so no workbook was written.\n\n" +
                                         e.Description()));
        }

        excel::Workbook* book = nullptr;
        try {
            book = &app_.GetWorkbooks().Add();
        } catch (const excel::ExcelError& e) {
            CloseQuietly(connection);
            return Finish(NothingWritten("The workbook could not be created, so nothing was written.\n\n" +
                                         e.Description()));
        }
        book_ = book;
        // The save's target is known now: the workbook streams each table into that file as it is
        // read. If the file cannot be prepared, the workbook is kept the slow way and SaveAs says why.
        try {
            book->PlanSaveAs(request_.target, excel::kWorkbookNormal);
        } catch (const excel::ExcelError&) {
        }

        std::unique_ptr<ado::Recordset> catalogue;
        try {
            catalogue = connection.OpenSchema(ado::kSchemaTables);
        } catch (const ado::ProviderError& e) {
            CloseQuietly(connection);
            return Finish(NothingWritten(
                "The list of tables could not be read, so no workbook was written.\n\n" + e.Description()));
        }

        // A stop asked for while a query computes ends that query too, not only the walk between rows.
        connection.SetQueryWatch({.stopWanted = [this] { return Stopped(); }});
        const std::string catalogueFailure = WalkCatalogue(connection, *catalogue);
        try {
            catalogue->Close();
        } catch (const ado::ProviderError&) {
        }
        CloseQuietly(connection);

        // Closing the workbook unsaved (finish) drops what was streamed towards the target.
        if (Stopped()) return Finish(NothingWritten(kStoppedText));
        try {
            book->SaveAs(request_.target, excel::kWorkbookNormal);
        } catch (const excel::ExcelError& e) {
            return Finish(NothingWritten("The workbook was not saved to\n" + request_.target + "\n\n" +
                                         e.Description()));
        }

        result.tablesExported = static_cast<int>(logs_.size());
        result.problems = CollectProblems(logs_, passedOver_, catalogueFailure, book->Problems());
        result.outcome = result.problems.empty() ? ExportResult::Outcome::Completed
                                                 : ExportResult::Outcome::CompletedWithWarnings;
        result.message = CompletionMessage(result.problems, kMessageProblemLimit);
        return Finish(std::move(result));
    }

    static ExportResult NothingWritten(std::string message) {
        ExportResult r;
        r.outcome = ExportResult::Outcome::NothingWritten;
        r.message = std::move(message);
        return r;
    }

    static void CloseQuietly(ado::Connection& connection) {
        try {
            connection.Close();
        } catch (const ado::ProviderError&) {
        }
    }

    // Message, frame hidden, workbook closed, Excel told to quit.
    ExportResult Finish(ExportResult result) {
        if (!result.problems.empty()) observer_.MessageDetailsSet(ProblemList(result.problems));
        observer_.MessageShown(result.message);
        observer_.FrameHidden();
        if (book_ && !book_->IsClosed()) {
            try {
                book_->Close();
            } catch (const excel::ExcelError&) {
            }
        }
        return result;
    }

    bool IsChosen(const std::string& name) const {
        const auto& only = request_.onlyTables;
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    }

    // Whether the user has asked to stop; once asked, the answer stays.
    bool Stopped() {
        if (!stopped_ && request_.stopWanted) stopped_ = request_.stopWanted();
        return stopped_;
    }

    // Returns why the walk stopped early, or "" (also when the user stopped it).
    std::string WalkCatalogue(ado::Connection& connection, ado::Recordset& catalogue) {
        for (;;) {
            if (Stopped()) return {};
            try {
                if (catalogue.Eof()) return {};
            } catch (const ado::ProviderError& e) {
                return "the list of tables could not be read to its end: " + e.Description();
            }
            std::optional<std::string> name;
            try {
                const ado::Variant& value = catalogue.GetFields().Item(ado::kTableNameField).Value();
                if (!value.IsNull()) name = text::ValueToText(value, request_.locale);
            } catch (const ado::ProviderError& e) {
                return "the list of tables could not be read to its end: " + e.Description();
            }
            if (name && !database::IsHiddenTableName(*name)) {
                if (IsChosen(*name)) ExportTable(connection, *name, IsStoredQuery(catalogue));
            } else if (name && !IsSystemTable(catalogue) && IsChosen(*name)) {
                // a user's table, query or link that only looks like one
                passedOver_.push_back({*name, kPassedOverText, IsStoredQuery(catalogue)});
            }
            if (Stopped()) return {};  // a table left part-way is not shown as done
            observer_.BarValueSet(kProgressMaximum);
            try {
                catalogue.MoveNext();
            } catch (const ado::ProviderError& e) {
                return "the list of tables could not be read to its end: " + e.Description();
            }
        }
    }

    void ExportTable(ado::Connection& connection, const std::string& name, bool storedQuery) {
        TableLog& log = logs_.emplace_back();
        log.table = name;
        log.storedQuery = storedQuery;

        excel::Worksheet* sheet = nullptr;
        try {
            sheet = &book_->GetWorksheets().Add();
        } catch (const excel::ExcelError& e) {
            log.readFailure = "no worksheet could be added: " + e.Description();
            return;
        }
        const std::string wanted = GetSheetName(name, digits_);
        try {
            sheet->SetName(wanted);
        } catch (const excel::ExcelError& e) {
            log.refusedName = wanted;
            log.refusedReason = e.Description();
        }
        log.sheet = sheet->Name();

        ado::Recordset table;
        bool opened = false;
        try {
            table.Open(TableQuery(name), connection);
            opened = true;
        } catch (const ado::ProviderError& e) {
            log.readFailure = "its records could not be read: " + e.Description();
        }
        std::int16_t lastField = -1;
        std::optional<std::int64_t> recordCount;
        if (opened) {
            lastField = static_cast<std::int16_t>(table.GetFields().Count() - 1);
            recordCount = table.ExpectedRecordCount();
        }
        observer_.TableNameShown(name);
        if (opened) WriteHeaderRow(*sheet, table, lastField, log.tally);

        long row = kFirstDataRow;
        int part = 1;  // of the sheets the table's records fill
        observer_.BarMaximumSet(kProgressMaximum);
        observer_.BarValueSet(0);
        std::int64_t counter = 0;
        auto stoppedReading = [&](const ado::ProviderError& e) {
            log.readFailure =
                "reading stopped after record " + std::to_string(counter) + ": " + e.Description();
        };
        // OLE objects (and whatever else the database holds as bytes) and the files of attachment columns
        // go to files of their own.
        auto unwritten = [&](const std::string& why) {
            if (log.unwrittenFiles.count++ == 0) log.unwrittenFiles.firstDescription = why;
        };
        CellTextOverride toFile = [&](std::int16_t field,
                                      const ado::Variant& value) -> std::optional<FileCell> {
            std::string fieldName = "#" + std::to_string(field + 1);
            std::optional<std::vector<ado::AttachedFile>> attached;
            try {
                const ado::Field& f = table.GetFields().Item(field);
                fieldName = f.Name();
                attached = f.Attachments();
            } catch (const ado::ProviderError& e) {
                unwritten("The attachments of the field '" + fieldName +
                          "' could not be read: " + e.Description());
            }
            const std::string stem = std::to_string(counter) + "-" + fieldName;
            if (attached) {
                const std::vector<std::string> paths =
                    objects_->WriteAttachments(name, stem, *attached, unwritten);
                if (paths.empty()) return std::nullopt;
                FileCell cell{paths.front(), paths.size() == 1 ? paths.front() : ""};
                for (std::size_t i = 1; i < paths.size(); ++i) cell.text += "; " + paths[i];
                return cell;
            }
            if (value.type() != ado::Variant::Type::Binary) return std::nullopt;
            const ObjectContent content = UnwrapOleObject(value.Bytes());
            try {
                const std::string path = objects_->Write(name, stem, content.extension, content.bytes);
                return FileCell{path, path};
            } catch (const std::runtime_error& e) {
                unwritten(e.what());
                return FileCell{};
            }
        };
        while (opened) {
            try {
                if (table.Eof()) break;
            } catch (const ado::ProviderError& e) {
                stoppedReading(e);
                break;
            }
            if (Stopped()) break;
            if (row > lastRow_ && request_.continueSheets) {
                sheet = ContinuedSheet(log, table, lastField, ++part);
                if (!sheet) break;
                row = kFirstDataRow;
            }
            ++counter;
            log.tally.record = counter;
            observer_.RecordNumberShown(counter);
            WriteRecordRow(*sheet, row, table, lastField, cells_, log.tally, objects_ ? &toFile : nullptr);
            observer_.BarValueSet(ProgressBarValue(counter, recordCount));
            ++row;
            try {
                table.MoveNext();
            } catch (const ado::ProviderError& e) {
                stoppedReading(e);
                break;
            }
        }
        if (opened) {
            try {
                table.Close();
            } catch (const ado::ProviderError&) {
            }
        }
    }

    // The next sheet of a table whose records fill more than one, with the table's header row; nothing
    // (and the reason in the log) when the workbook takes no further sheet.
    excel::Worksheet* ContinuedSheet(TableLog& log, ado::Recordset& table, std::int16_t lastField, int part) {
        excel::Worksheet* sheet = nullptr;
        try {
            sheet = &book_->GetWorksheets().Add();
        } catch (const excel::ExcelError& e) {
            log.readFailure = "the records past row " + std::to_string(lastRow_) +
                              " were not copied: no further worksheet could be added: " + e.Description();
            return nullptr;
        }
        excel::Worksheets& sheets = book_->GetWorksheets();
        const auto taken = [&](std::string_view candidate) {
            for (long i = 1; i <= sheets.Count(); ++i) {
                const excel::Worksheet& other = sheets.Item(i);
                if (&other != sheet && excel::SameSheetName(other.Name(), candidate)) return true;
            }
            return false;
        };
        const std::string wanted = ContinuedSheetName(log.sheet, part, taken);
        try {
            sheet->SetName(wanted);
        } catch (const excel::ExcelError& e) {
            if (log.refusedName.empty()) {
                log.refusedName = wanted;
                log.refusedReason = e.Description();
            }
        }
        log.continuedSheets.push_back(sheet->Name());
        WriteHeaderRow(*sheet, table, lastField, log.tally);
        return sheet;
    }

    const ExportRequest& request_;
    ExportObserver& observer_;
    NameDigitGenerator& digits_;
    excel::Application& app_;
    excel::Workbook* book_ = nullptr;
    std::vector<TableLog> logs_;
    const ValueCells cells_;
    bool stopped_ = false;                   // the user asked to stop: nothing is saved
    long lastRow_ = excel::kMaxXlsRows;      // the last row a sheet of the target's format holds
    std::optional<ObjectFolder> objects_;    // where OLE objects go as files, if anywhere
    std::vector<ExportProblem> passedOver_;  // user objects the "MSys" filter left out
};

}  // namespace

std::string TableQuery(std::string_view tableName) {
    return "select * from " + ado::BracketedName(tableName);
}

bool IsSameFile(const std::string& target, const std::string& database) {
    struct stat a {
    }, b{};
    if (::stat(target.c_str(), &a) != 0 || ::stat(database.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

ExportResult RunExport(const ExportRequest& request, ExportObserver& observer, NameDigitGenerator& digits) {
    // The workbook is saved by replacing the target; if that is the database itself, the data is gone.
    // The save adds an extension to a name without one, so the name it will write is the one checked.
    const excel::WorkbookTarget target = excel::ResolveWorkbookTarget(request.target);
    if (!target.refusal.empty() || IsSameFile(target.path, request.database.path)) {
        ExportResult r;
        r.message = target.refusal.empty()
                        ? "The workbook cannot be saved over the database it is made from:\n" +
                              request.target + "\n\nChoose another file name. Nothing was written."
                        : "The workbook cannot be saved: " + target.refusal + ".\n\nNothing was written.";
        observer.MessageShown(r.message);
        return r;
    }

    std::unique_ptr<excel::Application> app;
    try {
        excel::ApplicationOptions options;
        options.locale = request.locale;
        app = excel::CreateApplication(excel::kApplicationClassId, options);
        app->SetVisible(false);
    } catch (const excel::ExcelError& e) {
        ExportResult r;
        r.message =
            "The spreadsheet engine could not be started, so no workbook was written.\n\n" + e.Description();
        observer.MessageShown(r.message);
        return r;
    }

    observer.FrameShown();
    observer.PreviewCleared();
    observer.DatabaseDialogHidden();

    ExportResult result = Run(request, observer, digits, *app).Go();
    try {
        app->Quit();
    } catch (const excel::ExcelError&) {
    }
    return result;
}

}  // namespace tabvert::exporting
