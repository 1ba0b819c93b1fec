#pragma once
// The Access SQL dialect, parsed into a small tree that the translator turns into SQLite SQL. Hand-written:
// no packaged parser knows Jet's dialect ([bracketed] names, "!" between names, #dates#, & and Mod, Like
// with * and ?, DISTINCTROW, TOP PERCENT, TRANSFORM ... PIVOT).

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabvert::ado::sql {

struct Select;

struct Expr {
    enum class Kind {
        Number,    // text: the digits as written
        String,    // text: the value
        Date,      // number: the OLE date
        Constant,  // text: "true", "false", "null"
        Name,      // parts: one to three names ("a", "t.a", "Forms!f!c")
        Star,      // parts: empty, or the qualifier of "t.*"
        Unary,     // op: "-", "+", "not"; args[0]
        Binary,    // op: "+", "-", "*", "/", "\\", "mod", "^", "&", "=", "<>", "<", ">", "<=", ">=", "and",
                   // "or", "xor", "eqv", "imp", "like"; args: two or more operands, taken left to right
                   // ("a - b - c" is one node of three)
        Between,   // args: value, low, high; negated
        InList,    // args: value, items...; negated
        InSelect,  // args[0]; select; negated
        IsNull,    // args[0]; negated
        Call,      // text: the function's name; args
        Subquery,  // select: a scalar subquery
        Exists,    // select
    };
    Kind kind = Kind::Number;
    std::string text;
    std::string op;
    double number = 0;
    bool negated = false;
    std::vector<std::string> parts;
    std::vector<std::shared_ptr<Expr>> args;
    std::shared_ptr<Select> select;
};
using ExprPtr = std::shared_ptr<Expr>;

struct SelectItem {
    ExprPtr expr;
    std::optional<std::string> alias;
};

struct FromItem {
    enum class Kind { Table, Subquery, Join };
    Kind kind = Kind::Table;
    std::string name;  // Table: the table or query
    std::optional<std::string> alias;
    // Table: the other database file it is read from ("FROM T IN 'path'", "[;DATABASE=path].T"); none
    // for the open database.
    std::optional<std::string> database;
    std::shared_ptr<Select> select;         // Subquery
    std::shared_ptr<FromItem> left, right;  // Join
    std::string joinKind;                   // "inner", "left", "right"
    ExprPtr on;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct Select {
    bool distinct = false, distinctRow = false;
    std::optional<double> top;
    bool percent = false;
    std::vector<SelectItem> items;
    std::vector<std::shared_ptr<FromItem>> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<OrderItem> orderBy;
};

struct Parameter {
    std::string name;
    std::string type;
};

struct Statement {
    std::vector<Parameter> parameters;
    std::vector<std::shared_ptr<Select>> parts;  // more than one for a union
    std::vector<bool> unionAll;                  // between part i and i+1
    std::vector<OrderItem> unionOrderBy;
    // A crosstab: TRANSFORM value SELECT ... PIVOT pivot [IN (headings)]
    std::optional<SelectItem> transform;
    ExprPtr pivot;
    std::vector<ExprPtr> pivotIn;
};

// Parses one statement; throws ProviderError (syntax) for text it cannot read, and for action queries.
Statement Parse(const std::string& sql);

}  // namespace tabvert::ado::sql
