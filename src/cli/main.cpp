// tabvert-cli: the program's database reading (and, through further commands, its export) without the
// windows, for scripts and checks.

#include <QCoreApplication>
#include <iostream>
#include <string_view>

#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/output.h"

namespace {

struct Command {
    std::string_view name;
    int (*run)(const tabvert::cli::Args&, std::ostream&, std::ostream&);
    std::string_view summary;
};

constexpr Command kCommands[] = {
    {"tables", tabvert::cli::TablesCommand,
     "tables DB [--password P] [--details] [--locale en_US|de_DE|system]\n"
     "      The tables schema of DB: name TAB type, in the provider's order; --details adds the\n"
     "      description, creation and modification dates."},
    {"rows", tabvert::cli::RowsCommand,
     "rows DB TABLE [--password P] [--top N] [--locale en_US|de_DE|system]\n"
     "      A line of field names, then one line per record of the values' text forms, separated by tabs\n"
     "      (tab, newline, carriage return and backslash inside values written \\t, \\n, \\r, \\\\; on a\n"
     "      terminal every other control character too, as \\xHH or \\uHHHH)."},
    {"queries", tabvert::cli::QueriesCommand,
     "queries DB [--password P]\n"
     "      Every stored query of DB: a line of its name and kind (TAB between), its Access SQL, then an\n"
     "      empty line."},
    {"export", tabvert::cli::ExportCommand,
     "export DB WORKBOOK [--password P] [--locale en_US|de_DE|system] [--table NAME]...\n"
     "       [--continue-sheets] [--attachments FOLDER] [--]\n"
     "      Every table of DB into one workbook (.xlsx, or .xls for any other name), as the program's\n"
     "      Export to Excel does; with --table (repeatable) only the tables named, in the database's\n"
     "      order. --continue-sheets sends the records a sheet cannot hold on to further sheets\n"
     "      (Name (2), ...); --attachments FOLDER writes OLE objects and attached files there,\n"
     "      their cells naming (in .xlsx linking to) them ([Export] ContinueSheets= and\n"
     "      AttachmentsFolder= in the settings file do the same).\n"
     "      Exit status 0 when complete, 1 when written with the listed warnings, 2 when nothing\n"
     "      was written."},
};

void Usage(std::ostream& out) {
    out << "Usage: tabvert-cli COMMAND ARGUMENTS...\n\n"
           "Reads Microsoft Access databases (.mdb, .mde, .accdb) the way Norrin Tabvert does: the\n"
           "provider is chosen by the file's extension, and --password marks the database as\n"
           "password-protected.\n\n"
           "Commands:\n";
    for (const auto& c : kCommands) out << "  " << c.summary << "\n";
    out << "\nOptions without a command:\n"
           "  --help, -h   this text\n"
           "  --version    the program's name and version\n"
           "\nThe password can also come from --password-file FILE (its first line; \"-\" reads standard\n"
           "input) or from the environment variable TABVERT_PASSWORD, which other local users cannot read\n"
           "in the process list as they can --password. \"--\" ends the options, so that a path may start\n"
           "with \"-\".\n"
           "\nExit status 0 on success; 2 for a mistake on the command line; otherwise 1 with the reason on\n"
           "standard error. An export stopped by Ctrl-C, SIGTERM or SIGHUP writes nothing and exits with\n"
           "130, 143 or 129.\n";
}

// A run that wrote all it had to say exits 0 only when standard output took it: "--help > /dev/full"
// is a failure like any other write that fails.
int Finished(int status) {
    if (status != 0) return status;
    try {
        tabvert::cli::FlushChecked(std::cout);
    } catch (const tabvert::cli::OutputError& e) {
        std::cerr << tabvert::cli::kErrorPrefix << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::ios::sync_with_stdio(false);
    tabvert::cli::ReportFileSizeLimitAsError();
    if (argc < 2) {
        std::cerr << tabvert::cli::kErrorPrefix << "no command given\n\n";
        Usage(std::cerr);
        return 2;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        Usage(std::cout);
        return Finished(0);
    }
    if (name == "--version") {
        std::cout << "tabvert-cli (Norrin Tabvert) " << TABVERT_VERSION << "\n";
        return Finished(0);
    }
    tabvert::cli::Args args(argv + 2, argv + argc);
    for (const auto& c : kCommands)
        if (c.name == name) return Finished(c.run(args, std::cout, std::cerr));
    std::cerr << tabvert::cli::kErrorPrefix << "unknown command '"
              << tabvert::cli::EscapeControls(name, false) << "' (see tabvert-cli --help)\n";
    return 2;
}
