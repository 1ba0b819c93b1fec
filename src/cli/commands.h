#pragma once
// The subcommands of tabvert-cli. Each takes the arguments after its name, writes its output to out and
// its errors to err, and returns the process exit code. A new command adds its function here and one
// line to the command table in main.cpp.

#include <iosfwd>
#include <string>
#include <vector>

#include "core/text/locale.h"

namespace tabvert::cli {

using Args = std::vector<std::string>;

int TablesCommand(const Args& args, std::ostream& out, std::ostream& err);
int RowsCommand(const Args& args, std::ostream& out, std::ostream& err);
// Every stored query: a line of its name and kind, its Access SQL, an empty line.
int QueriesCommand(const Args& args, std::ostream& out, std::ostream& err);
// The export run into a workbook: exit 0 clean, 1 written with warnings, 2 nothing written.
int ExportCommand(const Args& args, std::ostream& out, std::ostream& err);

// Starts every message tabvert-cli writes to standard error about a failure.
inline constexpr const char* kErrorPrefix = "tabvert-cli: ";

// The value of --locale: en_US, de_DE or system (the user's, US English in the bare C locale). Throws
// std::invalid_argument for any other.
text::Locale LocaleOption(const std::string& value);

}  // namespace tabvert::cli
