#pragma once
// The translator: a parsed Access statement turned into SQLite SQL that gives Access's results.
//
// Names are resolved against the tables and queries in FROM (so the output columns get Access's names:
// aliases, "Table.Field" for a name two tables share, Expr1000 for unnamed expressions), every
// expression is typed as Jet types it, and each operator and function is mapped onto SQLite or onto the
// acc_* functions of access_functions.h. Anything outside what is implemented fails here, before a row
// is read.

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

bool IsInteger(Type t);   // Boolean to BigInt
bool IsNumeric(Type t);   // the integers, Currency, Single, Double and Decimal
bool IsTextLike(Type t);  // Text or Dynamic: compared with the "acc" collation
// The type of a value that comes from either side (IIf, Nz, a union's column): the wider of two numbers
// other than Currency, Dynamic for any other pair of different types.
Type Merge(Type a, Type b);

// One expression as translated: its SQLite SQL and the type Jet gives it.
struct Typed {
    std::string sql;
    Type type = Type::Dynamic;
    bool condition = false;  // a 1/0 truth value rather than Access's -1/0
    bool aggregate = false;  // holds an aggregate function
};

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
    // A table of another database file (FROM ... IN 'path'); by default no other file can be read.
    virtual Object RemoteObject(const std::string& database, const std::string& name);
    // Runs `sql` (one column) and gives its values as SQLite would hand them out, Null as nullopt.
    virtual std::vector<Variant> Values(const std::string& sql, Type type) = 0;
};

Translated Translate(const Statement& statement, Schema& schema);

// A translated statement's columns (c1, c2, ...) under their Access names, for use as a FROM subquery.
std::string Named(const Translated& t);

// SQLite's quoting of a name: between double quotes, each double quote doubled.
std::string Quote(const std::string& name);

}  // namespace tabvert::ado::sql
