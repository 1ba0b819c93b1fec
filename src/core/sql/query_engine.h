#pragma once
// Runs a stored select, union or crosstab query through SQLite, a connection of its own per run.
//
// The query's Access SQL is translated for an in-memory SQLite connection on which the file's tables are
// virtual tables over the provider's own row readers, so rows stream from the file through SQLite to the
// recordset. Queries the query uses become temporary views (a query that ends up using itself is
// refused).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/access/row_source.h"

namespace tabvert::ado {

class Database;

// Throws ProviderError for a query that cannot run: the provider's message where Access has one ("No value
// given for one or more required parameters.", "Undefined function 'X' in expression.") and one naming
// what is missing otherwise.
std::unique_ptr<RowSource> OpenStoredQuery(std::shared_ptr<Database> db, const std::string& name,
                                           std::optional<std::int64_t> top);

}  // namespace tabvert::ado
