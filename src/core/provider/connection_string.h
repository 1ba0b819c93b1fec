#pragma once
// OLE DB connection strings: key=value pairs separated by ";". Keys are matched without regard to case
// or surrounding blanks; values are trimmed unless quoted with "..." or '...' (the quote doubled inside).

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tabvert::ado {

class ConnectionString {
  public:
    // Parses the text; a quoted value that is never closed throws ProviderError.
    static ConnectionString Parse(std::string_view text);

    // The value of the key (matched without regard to case), or nothing when absent. A key given
    // twice keeps its last value.
    std::optional<std::string> Get(std::string_view key) const;

  private:
    std::map<std::string, std::string> values_;  // keys folded to lower case
};

// A value written so that Parse gives it back unchanged: as it is when it holds no ";", no quote and
// no leading or trailing blank, otherwise between quotes (double quotes unless the value holds one).
std::string QuoteConnectionValue(std::string_view value);

}  // namespace tabvert::ado
