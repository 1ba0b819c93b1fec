#pragma once
// The catalogue run: opens the chosen database, lists the tables of its tables schema in the provider's
// order (leaving out every name that contains "MSys") and closes it again. It knows nothing of widgets:
// it reports what it finds to a CatalogueSink as it goes, so whatever was reported before a failure
// stays reported (after a failed open, the root alone).

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/database/database_choice.h"

namespace tabvert::database {

// Key of the tree's root node.
inline constexpr std::string_view kRootKey = "NorrinT";

// One listed table: its node key, its name with the blanks around it removed (the node's text), and the
// name as the database stores it, which is the one a query must use.
struct CatalogueEntry {
    std::string key;
    std::string name;
    std::string storedName;

    bool operator==(const CatalogueEntry&) const = default;
};

class CatalogueSink {
  public:
    virtual ~CatalogueSink() = default;
    // The root node, keyed kRootKey, whose text is the database path; reported before the open.
    virtual void RootAdded(const std::string& dbpath) = 0;
    virtual void TableFound(const CatalogueEntry& entry) = 0;
};

// True when a schema name (as the provider gives it, blanks included) names a table the catalogue leaves
// out: "MSys" anywhere in it, case-sensitive.
bool IsHiddenTableName(std::string_view schemaName);

// Hands out node keys "T_" + name. A keyed tree refuses a key twice, yet two schema names may trim to the
// same text (" Dup" and "Dup"); the second such table gets "T_Dup#2", the third "T_Dup#3", skipping any
// key already taken.
class TableKeys {
  public:
    std::string Take(std::string_view trimmedName);

  private:
    std::set<std::string> used_;
};

// Runs the catalogue for `choice`: reports the root, opens the connection by the connection rule, walks
// the tables schema, reports each listed table, closes the schema recordset and the connection.
// Failures of the provider propagate as ado::ProviderError, with nothing closed or undone.
void RunCatalogue(const DatabaseChoice& choice, CatalogueSink& sink);

// The tables RunCatalogue would list, collected (throws as RunCatalogue does).
std::vector<CatalogueEntry> ListTables(const DatabaseChoice& choice);

}  // namespace tabvert::database
