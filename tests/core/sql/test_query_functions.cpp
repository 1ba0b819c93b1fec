// The table of Access functions: each entry's type rule writes calls that SQLite accepts on a connection
// holding the registered implementations, at every arity the entry allows, and the translator refuses
// other arities with Access's message.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <ostream>

#include "core/sql/access_functions.h"
#include "core/sql/access_sql.h"
#include "core/sql/sql_translate.h"
#include "core/value/provider_error.h"

namespace tabvert::ado::sql {

void PrintTo(const AccessFunction& f, std::ostream* os) { *os << f.name; }

namespace {

// One table T of a Long n, known to SQLite as t.
class OneTable : public Schema {
  public:
    Object object(const std::string&) override { return {"t", {{"n", Type::Long}}, true}; }
    std::vector<Variant> Values(const std::string&, Type) override { return {}; }
};

// "Len": how a query might spell it; the lookup ignores case.
std::string Spelled(const AccessFunction& f) {
    std::string s = f.name;
    s[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(s[0])));
    return s;
}

std::string CallOf(const AccessFunction& f, std::size_t args) {
    std::string list;
    for (std::size_t i = 0; i < args; ++i) list += i ? ", n" : "n";
    return "SELECT " + Spelled(f) + "(" + list + ") FROM T";
}

class QueryFunction : public ::testing::TestWithParam<AccessFunction> {
  protected:
    void SetUp() override {
        ASSERT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        RegisterAccessFunctions(db_, &collator_);
        ASSERT_EQ(sqlite3_exec(db_, "CREATE TABLE t(n INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db_); }

    TextCollator collator_;
    sqlite3* db_ = nullptr;
    OneTable schema_;
};

TEST_P(QueryFunction, EveryArityItAllowsTranslatesToSqlThatSqliteAccepts) {
    const AccessFunction& f = GetParam();
    for (std::size_t n = f.minArgs; n <= f.maxArgs; ++n) {
        const std::string query = CallOf(f, n);
        SCOPED_TRACE(query);
        const Translated t = Translate(Parse(query), schema_);
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, t.sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_) << "\n"
            << t.sql;
        sqlite3_finalize(statement);
    }
}

TEST_P(QueryFunction, OtherAritiesFailWithAccessMessage) {
    const AccessFunction& f = GetParam();
    // A scalar function is named as the query spells it, an aggregate in lower case.
    const std::string named = f.kind == FunctionKind::Scalar ? Spelled(f) : std::string(f.name);
    const std::string message =
        "Wrong number of arguments used with function in query expression '" + named + "'.";
    std::vector<std::size_t> wrong = {f.maxArgs + 1};
    if (f.minArgs > 0) wrong.push_back(f.minArgs - 1);
    for (std::size_t n : wrong) {
        std::string got = "no error";
        try {
            Translate(Parse(CallOf(f, n)), schema_);
        } catch (const ProviderError& e) {
            got = e.Description();
        }
        EXPECT_EQ(got, message) << n << " arguments";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, QueryFunction,
                         ::testing::ValuesIn(AccessFunctions().begin(), AccessFunctions().end()),
                         [](const ::testing::TestParamInfo<AccessFunction>& p) { return Spelled(p.param); });

}  // namespace
}  // namespace tabvert::ado::sql
