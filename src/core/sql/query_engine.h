#pragma once
// Runs a stored select, union or crosstab query through SQLite, a connection of its own per run.
//
// The query's Access SQL is translated for an in-memory SQLite connection on which the file's tables are
// virtual tables over the provider's own row readers, so rows stream from the file through SQLite to the
// recordset. Queries the query uses become temporary views (a query that ends up using itself is
// refused).

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/access/row_source.h"

namespace tabvert::ado {

class Database;

// What watches a query while it computes. The engine asks `stopWanted` about ten times a second, also in
// the middle of one long step (a sort or a grouping of a whole table), and fails with "The query was
// stopped." once it answers true; a query that computes longer than `stepTimeLimit` without giving its
// next row fails too.
struct QueryWatch {
    std::function<bool()> stopWanted;
    std::chrono::milliseconds stepTimeLimit = std::chrono::minutes(10);
};

// Throws ProviderError for a query that cannot run: the provider's message where Access has one ("No value
// given for one or more required parameters.", "Undefined function 'X' in expression.") and one naming
// what is missing otherwise.
std::unique_ptr<RowSource> OpenStoredQuery(std::shared_ptr<Database> db, const std::string& name,
                                           std::optional<std::int64_t> top, QueryWatch watch = {});

}  // namespace tabvert::ado
