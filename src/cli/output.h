#pragma once
// How tabvert-cli writes: text from a database made safe for the place it goes to, and writes that
// are checked, so that a full disk or a closed pipe is an error and not a shortened listing.
//
// Escapes: a tab, line feed, carriage return and backslash inside a value are always written \t, \n,
// \r and \\ (a line is a record, a tab a field boundary). Where the text reaches a terminal, every other
// control character is shown as text too: C0 and DEL as \xHH, the C1 controls U+0080..U+009F as \uHHHH,
// so that no name or value can move the cursor, recolour the screen or retitle the window. Written to a
// file or a pipe, `rows` keeps those characters as they are: data stays data.

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tabvert::cli {

// A value in a tab-separated line: the four structural escapes, and with `terminal` every other
// control character escaped as well.
std::string EscapeCell(std::string_view text, bool terminal = false);

// A message (stderr, the closing message) or a multi-line text such as a query's SQL: every control
// character shown as text (\t, \r, \xHH, \uHHHH), line feeds kept as line breaks when `keepLineBreaks`.
// Backslashes stay as they are: a message is read, not parsed.
std::string EscapeControls(std::string_view text, bool keepLineBreaks);

// True when `stream` is std::cout or std::cerr and that descriptor is a terminal.
bool IsTerminal(const std::ostream& stream);

// A write to standard output that failed; what() names the reason ("No space left on device").
class OutputError : public std::runtime_error {
  public:
    explicit OutputError(int error);
};

// Writes `text` to `out`; throws OutputError when the stream fails (now, or on an earlier write).
void WriteChecked(std::ostream& out, std::string_view text);
// Flushes `out`; throws OutputError when a write fails.
void FlushChecked(std::ostream& out);

}  // namespace tabvert::cli
