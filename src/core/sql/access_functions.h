#pragma once
// Jet's built-in functions, one table entry each: arity, type rule and SQLite implementation.
//
// The translator looks a call up in the table and writes the SQL its rule gives; registering a connection
// walks the same table. Beside it: the SQLite functions behind Jet's operators and conversions, and the
// "acc" collation (text compared without regard to case).

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/sql/sql_translate.h"

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace tabvert::ado::sql {

class TextCollator;

// A function registered on each connection: a scalar, or an aggregate's step and final.
struct SqliteFunction {
    const char* name = nullptr;  // "acc_mid"; null for a function translated into SQL of its own
    int args = 0;
    void (*scalar)(sqlite3_context*, int, sqlite3_value**) = nullptr;
    void (*step)(sqlite3_context*, int, sqlite3_value**) = nullptr;
    void (*final)(sqlite3_context*) = nullptr;
    bool deterministic = true;  // a scalar whose result depends on its arguments alone
};

enum class FunctionKind {
    Scalar,     // a value per row
    Aggregate,  // a value per group, of an argument that holds no aggregate itself
    Count,      // Count: also takes "*" (every row); its argument is not checked for aggregates
};

struct AccessFunction;

// One call being translated, for the entry's rule: its arguments as translated, already counted against
// the arity.
struct FunctionCall {
    const AccessFunction& function;
    const std::vector<Typed>& args;
    // For an aggregate in a crosstab's cell, the condition that picks the rows of the cell's column.
    const std::optional<std::string>& rowFilter;

    const Typed& operator[](std::size_t i) const { return args[i]; }
    std::size_t size() const { return args.size(); }
    // Argument i as a number, or `absent` when the call leaves it out.
    std::string Number(std::size_t i, const char* absent) const;
    // A call of the function's own SQLite implementation: "acc_mid(a, b, c)".
    std::string Invoke(std::initializer_list<std::string> sqlArgs) const;
    // An aggregate's argument limited to the rows of the crosstab cell, if any.
    std::string Filtered(const std::string& sql) const;
};

struct AccessFunction {
    const char* name;  // lower case
    std::size_t minArgs, maxArgs;
    FunctionKind kind;
    Typed (*rule)(const FunctionCall& call);  // the SQL and type of a call; may refuse the call
    SqliteFunction implementation;
};

// Every function Access SQL knows here.
std::span<const AccessFunction> AccessFunctions();
// The function of that name in any case, or null when Access knows no such function.
const AccessFunction* FindAccessFunction(const std::string& name);

// The ranges of "acc_fit(x, range)", which gives x when it lies in the range of an operator's result type
// and fails with Access's "Overflow" otherwise.
enum FitRange { kFitInteger = 1, kFitLong, kFitInt64, kFitSingle, kFitDouble };

// How the translated SQL takes an operand as Jet would: AsValue turns a 1/0 condition into Access's
// -1/0; AsCondition tests a value for truth; AsNumber converts text and gives Currency (held in
// ten-thousandths) in its natural units; AsText and AsDate convert as Jet's conversions do.
Typed AsValue(const Typed& t);
std::string AsCondition(const Typed& t);
std::string AsNumber(const Typed& t);
std::string AsText(const Typed& t);
std::string AsDate(const Typed& t);

// Registers the collation, every function of the table and the operators' functions on db; `collator`
// must outlive the connection.
void RegisterAccessFunctions(sqlite3* db, TextCollator* collator);

// Case-insensitive Unicode comparison in Jet's General order (accents after their letter, case ignored).
class TextCollator {
  public:
    TextCollator();
    ~TextCollator();
    TextCollator(const TextCollator&) = delete;
    TextCollator& operator=(const TextCollator&) = delete;
    int Compare(const char* a, int aBytes, const char* b, int bBytes) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabvert::ado::sql
