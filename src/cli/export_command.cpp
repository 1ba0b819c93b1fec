// tabvert-cli export DB OUT [--password P | --password-file F] [--locale L] [--table NAME]...
// [--continue-sheets] [--attachments DIR] [--]: the program's export run without a window, of every
// table or of the chosen ones, with the [Export] settings of the per-user settings file. A progress line
// (share of the tables done, the table, its record number) goes to a terminal on stderr; the closing
// message goes to stdout when a workbook was written and to stderr when none was.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "core/database/catalogue.h"
#include "core/export/export_run.h"
#include "core/export/export_settings.h"
#include "core/value/provider_error.h"

namespace tabvert::cli {

namespace {

constexpr const char* kExportUsage =
    "usage: tabvert-cli export DATABASE WORKBOOK [--password PASSWORD | --password-file FILE]\n"
    "                          [--locale en_US|de_DE|system] [--table NAME]...\n"
    "                          [--continue-sheets] [--attachments FOLDER] [--]\n";

// Shows the run on one terminal line, rewritten at most ten times a second. The window's bar starts
// over with every table and reads 0 past a table's 500th record, which says little on a terminal;
// the share of the tables already done is shown instead.
class TerminalProgress : public exporting::ExportObserver {
  public:
    TerminalProgress(std::ostream& out, bool enabled, std::size_t tables, std::function<void()> ended)
        : out_(out), enabled_(enabled), tables_(tables), ended_(std::move(ended)) {}

    void FrameShown() override {}
    void PreviewCleared() override {}
    void DatabaseDialogHidden() override {}
    void TableNameShown(const std::string& tableName) override {
        table_ = tableName;
        record_ = 0;
        ++started_;
        Draw(true);
    }
    void RecordNumberShown(std::int64_t recordNumber) override {
        record_ = recordNumber;
        Draw(false);
    }
    void BarMaximumSet(int) override {}
    void BarValueSet(int) override {}
    void MessageShown(const std::string&) override {
        ended_();
        Clear();
    }
    void FrameHidden() override { Clear(); }

  private:
    void Draw(bool force) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        out_ << "\r\033[K";
        if (tables_ > 0) {
            const std::size_t done = started_ > 0 ? started_ - 1 : 0;
            out_ << "[" << done * 100 / tables_ << "%] table " << started_ << " of " << tables_ << ", ";
        }
        out_ << EscapeControls(table_, false) << ": record " << record_ << std::flush;
        shown_ = true;
    }
    void Clear() {
        if (shown_) out_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

    std::ostream& out_;
    bool enabled_;
    bool shown_ = false;
    std::string table_;
    std::int64_t record_ = 0;
    std::size_t tables_;
    std::size_t started_ = 0;
    std::chrono::steady_clock::time_point last_{};
    std::function<void()> ended_;
};

// The problems with every control character of a table name or a reason shown as text, so that each
// stays on its own line of the closing message.
std::vector<exporting::ExportProblem> Printable(std::vector<exporting::ExportProblem> problems) {
    for (exporting::ExportProblem& p : problems) {
        p.table = EscapeControls(p.table, false);
        p.what = EscapeControls(p.what, false);
    }
    return problems;
}

// Writes the closing message of a written workbook; one that cannot be written turns a clean run
// into a run with warnings.
int Closing(std::ostream& out, std::ostream& err, const std::string& message, int status) {
    try {
        WriteChecked(out, message + "\n");
        FlushChecked(out);
        return status;
    } catch (const OutputError& e) {
        err << kErrorPrefix << e.what() << " (the workbook was written)\n";
        return 1;
    }
}

}  // namespace

int ExportCommand(const Args& args, std::ostream& out, std::ostream& err) {
    Options options;
    try {
        options = ParseOptions(args, kPasswordOption | kLocaleOption | kTableOption | kExportFileOptions);
        if (!options.help && options.positional.size() != 2)
            throw std::invalid_argument("export needs a database and a workbook path");
    } catch (const std::invalid_argument& e) {
        err << kErrorPrefix << EscapeControls(e.what(), true) << "\n" << kExportUsage;
        return 2;
    }
    if (options.help) {
        out << kExportUsage;
        return 0;
    }
    exporting::ExportRequest request;
    request.database.path = options.positional[0];
    request.target = options.positional[1];
    request.database.passwordProtected = options.password.has_value();
    request.database.password = options.password.value_or("");
    request.locale = options.locale;
    request.onlyTables = options.tables;
    // The [Export] settings the window uses, with this command's options on top.
    const exporting::ExportSettings stored = exporting::ReadExportSettings(settings::SettingsStore());
    request.continueSheets = options.continueSheets || stored.continueSheets;
    request.attachmentsFolder =
        options.attachments ? *options.attachments
                            : exporting::AttachmentsFolderFor(stored.attachmentsFolder, request.target);

    // From here until the run's closing message (the workbook is in place by then), a stop removes
    // whatever the run has begun and says that nothing was written.
    std::optional<StopOnInterrupt> stopOnInterrupt;
    stopOnInterrupt.emplace();

    const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
    std::size_t tables = 0;
    if (terminal || !request.onlyTables.empty()) {
        // To size the progress line and to check the chosen names; when the database cannot be read,
        // the run itself says why.
        try {
            const std::vector<database::CatalogueEntry> listed = database::ListTables(request.database);
            for (const std::string& name : request.onlyTables) {
                const bool found = std::any_of(listed.begin(), listed.end(),
                                               [&](const auto& entry) { return entry.storedName == name; });
                if (!found) {
                    err << kErrorPrefix << "the database has no table named '" << EscapeControls(name, false)
                        << "' (tabvert-cli tables lists them); nothing was written\n";
                    return 2;
                }
            }
            tables = request.onlyTables.empty() ? listed.size() : request.onlyTables.size();
        } catch (const ado::ProviderError&) {
        }
    }
    TerminalProgress progress(err, terminal, tables, [&] { stopOnInterrupt.reset(); });
    // One generator per invocation: the same tables get the same sheet names on every run.
    exporting::NameDigitGenerator digits;
    const exporting::ExportResult result = exporting::RunExport(request, progress, digits);

    switch (result.outcome) {
        case exporting::ExportResult::Outcome::Completed:
            return Closing(out, err, EscapeControls(result.message, true), 0);
        case exporting::ExportResult::Outcome::CompletedWithWarnings:
            // A terminal has room for every problem, not only those the window's message box shows.
            return Closing(out, err,
                           exporting::CompletionMessage(Printable(result.problems), result.problems.size()),
                           1);
        case exporting::ExportResult::Outcome::NothingWritten:
            break;
    }
    err << kErrorPrefix << EscapeControls(result.message, true) << "\n";
    return 2;
}

}  // namespace tabvert::cli
