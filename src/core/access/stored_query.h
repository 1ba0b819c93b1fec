#pragma once
// Stored queries: Access keeps no SQL text for most of them. MSysQueries holds one row per clause item
// (the tables, the joins, the output columns with their aliases, the conditions, the sort keys, the
// parameters and a row of flags), and Access rebuilds the SQL from those rows whenever the query is
// opened. This file reads those rows and rebuilds the same SQL text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tabvert::ado {

enum class QueryKind {
    Select,
    Crosstab,
    Union,
    MakeTable,
    Append,
    Update,
    Delete,
    DataDefinition,
    PassThrough
};

// The query kind of an MSysObjects Flags value (its bits 0xF0); nullopt for an unknown kind.
std::optional<QueryKind> QueryKindOfFlags(std::uint32_t objectFlags);
const char* QueryKindName(QueryKind kind);  // "select", "crosstab", ...

// One row of MSysQueries.
struct QueryAttribute {
    enum Kind : int {
        Start = 0,
        Type = 1,
        Parameter = 2,
        Flags = 3,
        RemoteDatabase = 4,
        Table = 5,
        Column = 6,
        Join = 7,
        Where = 8,
        GroupBy = 9,
        Having = 10,
        OrderBy = 11,
        End = 255
    };
    int attribute = Start;
    std::optional<std::string> name1, name2, expression;
    std::optional<int> flag;
    std::optional<std::int32_t> extra;
};

// The bits of the Flags row of a select query.
namespace select_flags {
inline constexpr int kStar = 0x01, kDistinct = 0x02, kOwnerAccess = 0x04, kDistinctRow = 0x08, kTop = 0x10,
                     kPercent = 0x20;
}
// The Flag of a column or group-by row of a crosstab query.
namespace crosstab_flags {
inline constexpr int kPivot = 0x01, kRowHeading = 0x02;
}
// The Flag of a join row.
namespace join_kind {
inline constexpr int kInner = 1, kLeft = 2, kRight = 3;
}
// The Flags row of a union query: without this bit, the parts are joined with UNION ALL.
inline constexpr int kUnionDistinct = 0x02;
// Name2 of the Table rows that hold a union query's two parts.
inline constexpr const char* kUnionPart1 = "X7YZ_____1";
inline constexpr const char* kUnionPart2 = "X7YZ_____2";

struct StoredQuery {
    std::string name;
    QueryKind kind = QueryKind::Select;
    std::vector<QueryAttribute> rows;  // in the order MSysQueries holds them
};

// The Access SQL of the query, as Access shows it in SQL view (lines joined by "\n", ending in ";").
// Throws ProviderError when the rows do not describe a query (a join naming a table the query does not
// use, joins of two kinds between the same tables, a union without its parts).
std::string QuerySql(const StoredQuery& query);

// A name as Access writes it in SQL: as it is when it holds letters, digits and "_" only, else between
// square brackets. A dotted name is split into its parts first when `dotted`.
std::string QuotedSqlName(const std::string& name, bool dotted);

}  // namespace tabvert::ado
