// tabvert-cli export DB OUT [--password P]: the program's export run without a window. A progress line
// (table, record, the bar's percentage) goes to a terminal on stderr; the closing message goes to
// stdout when a workbook was written and to stderr when none was.

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <ostream>

#include "cli/commands.h"
#include "export/export_run.h"

namespace tabvert::cli {

namespace {

constexpr const char* kExportUsage = "usage: tabvert-cli export DATABASE WORKBOOK [--password PASSWORD]\n";

// Shows the run on one terminal line, rewritten at most ten times a second.
class TerminalProgress : public exporting::ExportObserver {
public:
    TerminalProgress(std::ostream& out, bool enabled) : out_(out), enabled_(enabled) {}

    void frameShown() override {}
    void previewCleared() override {}
    void databaseDialogHidden() override {}
    void tableNameShown(const std::string& tableName) override {
        table_ = tableName;
        record_ = 0;
        draw(true);
    }
    void recordNumberShown(std::int64_t recordNumber) override {
        record_ = recordNumber;
        draw(false);
    }
    void barMaximumSet(int maximum) override { maximum_ = maximum; }
    void barValueSet(int value) override {
        if (value >= 0 && value <= maximum_) value_ = value;
    }
    void messageShown(const std::string&) override { clear(); }
    void frameHidden() override { clear(); }

private:
    void draw(bool force) {
        if (!enabled_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        const int percent = maximum_ > 0 ? value_ * 100 / maximum_ : 0;
        out_ << "\r\033[K" << table_ << ": record " << record_ << " (" << percent << "%)" << std::flush;
        shown_ = true;
    }
    void clear() {
        if (shown_) out_ << "\r\033[K" << std::flush;
        shown_ = false;
    }

    std::ostream& out_;
    bool enabled_;
    bool shown_ = false;
    std::string table_;
    std::int64_t record_ = 0;
    int maximum_ = 100;
    int value_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace

int ExportCommand(const Args& args, std::ostream& out, std::ostream& err) {
    exporting::ExportRequest request;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password") {
            if (i + 1 == args.size()) {
                err << kExportUsage;
                return 2;
            }
            request.database.pwdcheck = 1;
            request.database.password = args[++i];
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        err << kExportUsage;
        return 2;
    }
    request.database.path = positional[0];
    request.target = positional[1];

    const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
    TerminalProgress progress(err, terminal);
    // One generator per invocation: the same tables get the same sheet names on every run.
    exporting::NameDigitGenerator digits;
    const exporting::ExportResult result = exporting::RunExport(request, progress, digits);

    switch (result.outcome) {
        case exporting::ExportResult::Outcome::Completed:
            out << result.message << "\n";
            return 0;
        case exporting::ExportResult::Outcome::CompletedWithWarnings:
            out << result.message << "\n";
            return 1;
        case exporting::ExportResult::Outcome::NothingWritten:
            break;
    }
    err << result.message << "\n";
    return 2;
}

}  // namespace tabvert::cli
