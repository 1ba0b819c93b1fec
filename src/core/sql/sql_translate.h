#pragma once
// Turns a parsed Access statement into SQLite SQL that gives Access's results: names resolved against
// the tables and queries in FROM (so the output columns get Access's names: aliases, "Table.Field" for
// a name two tables share, Expr1000 for unnamed expressions), every expression typed as Jet types it,
// and each operator and function mapped onto SQLite or onto the acc_* functions registered beside it.
// Anything outside what is implemented fails here, before a row is read.

#include <functional>
#include <string>
#include <vector>

#include "core/sql/access_sql.h"
#include "core/value/variant.h"

namespace tabvert::ado::sql {

// The types an expression can have; Dynamic when Jet would give a Variant whose type depends on the row.
enum class Type {
    NullLiteral,
    Dynamic,
    Boolean,
    Byte,
    Integer,
    Long,
    BigInt,
    Currency,
    Single,
    Double,
    Decimal,
    Date,
    Text,
    Binary,
    Guid
};

Type TypeOf(Variant::Type t);

struct OutColumn {
    std::string name;
    Type type = Type::Dynamic;
};

struct Translated {
    std::string sql;
    std::vector<OutColumn> columns;
};

// What the translator needs from the engine: the columns of a table or query (registering it with
// SQLite under `sqlName`), and the distinct values of a crosstab's pivot.
class Schema {
  public:
    virtual ~Schema() = default;
    struct Object {
        std::string sqlName;  // the name to use in SQLite SQL, quoted
        std::vector<OutColumn> columns;
        bool table = false;  // a table of the file (rows stream from it) rather than a query
    };
    // Throws ProviderError when no table or query has that name.
    virtual Object object(const std::string& name) = 0;
    // Runs `sql` (one column) and gives its values as SQLite would hand them out, Null as nullopt.
    virtual std::vector<Variant> values(const std::string& sql, Type type) = 0;
};

Translated Translate(const Statement& statement, Schema& schema);

// A translated statement's columns (c1, c2, ...) under their Access names, for use as a FROM subquery.
std::string Named(const Translated& t);

// SQLite's quoting of a name: between double quotes, each double quote doubled.
std::string Quote(const std::string& name);

}  // namespace tabvert::ado::sql
