#pragma once
// The subcommands of tabvert-cli. Each takes the arguments after its name, writes its output to out and
// its errors to err, and returns the process exit code. A new command adds its function here and one
// line to the command table in main.cpp.

#include <iosfwd>
#include <string>
#include <vector>

namespace tabvert::cli {

using Args = std::vector<std::string>;

int TablesCommand(const Args& args, std::ostream& out, std::ostream& err);
int RowsCommand(const Args& args, std::ostream& out, std::ostream& err);
// Every stored query: a line of its name and kind, its Access SQL, an empty line.
int QueriesCommand(const Args& args, std::ostream& out, std::ostream& err);
// The export run into a workbook: exit 0 clean, 1 written with warnings, 2 nothing written.
int ExportCommand(const Args& args, std::ostream& out, std::ostream& err);

// Escapes tabs, newlines, carriage returns and backslashes as \t, \n, \r and \\ so that a value stays
// on its line and in its column.
std::string EscapeCell(const std::string& text);

}  // namespace tabvert::cli
