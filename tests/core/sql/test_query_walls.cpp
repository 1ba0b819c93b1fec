// Query text is untrusted input: arithmetic that leaves its type fails with Access's "Overflow", large
// expressions of the sizes Access takes run, and hostile text fails that one query with a message, each
// case in a child process of its own under a memory limit and a watchdog.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/sql/query_engine.h"
#include "core/value/value_text.h"
#include "fixtures/access_writer.h"
#include "fixtures/stored_queries.h"

namespace tabvert::ado {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// One row of typed values at the edges of their types, and a small table for joins.
fixtures::Database EdgeTables() {
    using fixtures::ColumnType;
    fixtures::Table one;
    one.name = "One";
    one.columns = {{"X", ColumnType::Long},   {"I", ColumnType::Integer},  {"L", ColumnType::Long},
                   {"M", ColumnType::Long},   {"C", ColumnType::Currency}, {"S", ColumnType::Single},
                   {"D", ColumnType::Double}, {"B", ColumnType::Byte}};
    one.rows = {{std::int64_t{1}, std::int64_t{32767}, std::int64_t{2147483647}, std::int64_t{-2147483648},
                 fixtures::Currency{INT64_MAX - 5}, 3.0e38, 1.0e308, std::int64_t{200}}};
    fixtures::Table many;
    many.name = "Many";
    many.columns = {{"N", ColumnType::Long}};
    for (int i = 0; i < 400; ++i) many.rows.push_back({std::int64_t{i}});
    fixtures::Database db;
    db.tables = {one, many};
    return db;
}

// Writes `db` with one query "e<i>" per expression, selecting it as V from One.
std::string WriteQueries(fixtures::Database db, const std::vector<std::string>& expressions,
                         const QTemporaryDir& dir) {
    for (std::size_t i = 0; i < expressions.size(); ++i)
        db.queries.push_back(
            fixtures::QueryBuilder("e" + std::to_string(i)).Table("One").Column(expressions[i], "V").Build());
    const std::string path = dir.filePath("walls.mdb").toStdString();
    fixtures::WriteDatabase(db, path);
    return path;
}

// The first value of a query as text, or "error: " and the provider's message.
std::string FirstValue(Connection& c, const std::string& query) {
    try {
        Recordset rs;
        rs.Open("select * from [" + query + "]", c);
        if (rs.Eof()) return "no rows";
        return text::ValueToText(rs.GetFields().Item(0L).Value(), text::Locale::EnUS());
    } catch (const ProviderError& e) {
        return "error: " + e.Description();
    }
}

struct Case {
    std::string expression;
    std::string expected;  // the value as text, or "error: " and the message
};

// `got` as `expected`; an expected error matches a message that first names the query, and an expected
// text ending in "*" matches any text that begins with the rest.
bool Matches(const std::string& got, const std::string& expected) {
    if (!expected.empty() && expected.back() == '*')
        return got.rfind(expected.substr(0, expected.size() - 1), 0) == 0;
    if (expected.rfind("error: ", 0) == 0 && got.rfind("error: ", 0) == 0)
        return got.ends_with(expected.substr(7));
    return got == expected;
}

void ExpectValues(const std::vector<Case>& cases) {
    std::vector<std::string> expressions;
    for (const Case& c : cases) expressions.push_back(c.expression);
    QTemporaryDir dir;
    const std::string path = WriteQueries(EdgeTables(), expressions, dir);
    Connection c;
    c.Open(database::BuildConnectionString(path, 0, ""));
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_PRED2(Matches, FirstValue(c, "e" + std::to_string(i)), cases[i].expected)
            << cases[i].expression.substr(0, 200);
}

TEST(QueryWalls, ArithmeticOutOfItsTypeFailsWithOverflow) {
    const std::string overflow = "error: Overflow";
    ExpectValues({
        {"[I] + 1", overflow},     // Integer + Integer stays an Integer
        {"[I] + 1.5", "32768.5"},  // a Double operand makes it a Double
        {"[I] + 40000", "72767"},  // a Long literal makes it a Long
        {"[L] + 1", overflow},
        {"[L] - 1", "2147483646"},
        {"[M] - 1", overflow},
        {"-[M]", overflow},  // the most negative Long has no positive twin
        {"-[I]", "-32767"},
        {"[L] * [L]", overflow},
        {"[L] - 1 + 1", "2147483647"},  // a run is checked at its end
        {"[L] - 1 + 2", overflow},
        {"[C] * 10", overflow},  // Currency past its 64 bits
        {"[C] + [C]", overflow},
        {"[S] * 10", overflow},  // Single past its largest value
        {"[D] * 10", overflow},  // Double: never "Infinity"
        {"[D] + [D] - [D]", overflow},
        {"10 ^ 400", overflow},
        {"(-8) ^ (1/3)", "error: Invalid procedure call or argument."},
        {"IIf([X] = 1, 1e300, \"a\") * 1e300", overflow},  // a Variant's product
        {"1e999", overflow},
        {"[B] + [B]", "400"},  // a Byte result outgrows its byte as an Integer
        // Runs keep Access's order: left to right, each operator's own precedence.
        {"10 - 2 - 3", "5"},
        {"10 - (2 - 3)", "11"},
        {"(10 - 2) - 3", "5"},
        {"2 * 3 * 4 - 1 - 2 * 2", "19"},
        {"100 / 10 / 5", "2"},
        {"2 ^ 3 ^ 2", "64"},
        {"17 Mod 5 Mod 2", "0"},
        {"100 \\ 7 \\ 2", "7"},
    });
}

// 99 And terms, 50 IIf in each other, hundreds of & operands: as much as Access takes, and more.
TEST(QueryWalls, ExpressionsAsLargeAsAccessTakesRun) {
    std::string ands = "[X] = 1";
    for (int i = 1; i < 99; ++i)
        ands += (i % 2 ? " And " : " And Not ") + std::string("[X] = ") + (i % 2 ? "1" : "2");
    std::string ors = "[X] = 0";
    for (int i = 1; i < 98; ++i) ors += " Or [X] = " + std::to_string(i + 1);
    ors += " Or [X] = 1";
    // IIf([X] = 50, "v50", IIf([X] = 49, ...)): the last test is the one that holds.
    std::string elseChain = "\"none\"";
    for (int i = 1; i <= 50; ++i)
        elseChain = "IIf([X] = " + std::to_string(i) + ", \"v" + std::to_string(i) + "\", " + elseChain + ")";
    // IIf([X] > 0, IIf([X] > 0, ... "deep" ..., "no"), "no"): the innermost true part.
    std::string thenChain = "\"deep\"";
    for (int i = 0; i < 50; ++i)
        thenChain = "IIf([X] > 0, " + thenChain + ", \"no" + std::to_string(i) + "\")";
    std::string thenFails = "\"deep\"";
    for (int i = 0; i < 50; ++i)
        thenFails = "IIf([X] > " + std::to_string(i < 25 ? 5 : 0) + ", " + thenFails + ", \"no" +
                    std::to_string(i) + "\")";
    std::string amps = "\"\"", expectedAmps;
    for (int i = 0; i < 300; ++i) {
        amps += " & " + std::to_string(i % 10);
        expectedAmps += std::to_string(i % 10);
    }
    std::string sum = "0";
    for (int i = 1; i <= 500; ++i) sum += " + [X]";
    ExpectValues({
        {ands, "True"},
        {ors, "True"},
        {elseChain, "v1"},
        {thenChain, "deep"},
        {thenFails, "no24"},
        {amps, expectedAmps},
        {"Null & Null & Null", ""},
        {"Null & \"a\" & Null & 1", "a1"},
        {sum, "500"},
    });
}

// ----- hostile text, each case in a child process -----

struct Outcome {
    std::string text;   // what the child wrote: the value or "error: " and the message
    std::string fault;  // a signal, a non-zero exit or the watchdog; empty when the child ended well
};

// Runs `body` in a child limited to `memoryBytes` of address space (not under AddressSanitizer, which
// reserves far more), killed when it outlives `limit`.
template <typename Body>
Outcome InChild(Body body, std::size_t memoryBytes, std::chrono::seconds limit) {
    int fds[2];
    if (pipe(fds) != 0) return {"", "no pipe"};
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        if (!kAddressSanitizer) {
            const rlimit memory{memoryBytes, memoryBytes};
            setrlimit(RLIMIT_AS, &memory);
        }
        const std::string text = body();
        [[maybe_unused]] const ssize_t written = write(fds[1], text.data(), text.size());
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);
    Outcome out;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[4096];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n > 0) out.text.append(buf, static_cast<std::size_t>(n));
        }
        if (waitpid(child, &status, WNOHANG) == child) break;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            out.fault = "still running after " + std::to_string(limit.count()) + " s";
            break;
        }
    }
    for (char buf[4096];;) {
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        out.text.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (out.fault.empty() && WIFSIGNALED(status)) out.fault = "signal " + std::to_string(WTERMSIG(status));
    if (out.fault.empty() && WIFEXITED(status) && WEXITSTATUS(status) != 0)
        out.fault = "exit " + std::to_string(WEXITSTATUS(status));
    return out;
}

TEST(QueryWalls, HostileQueryTextFailsAloneWithinMemoryAndTime) {
    const std::string tooComplex = "error: Query is too complex.";
    const std::string smallest = "(IIf([X] = 1, -2147483647 - 1, \"a\") * 65536 * 65536)";
    struct Hostile {
        std::string name, expression, expected;  // expected: the whole outcome, or a prefix ending in "*"
    };
    std::vector<Hostile> cases = {
        {"integer division of the smallest integer by -1", smallest + " \\ -1", "error: Overflow"},
        {"Mod of the smallest integer by -1", smallest + " Mod -1", "error: Overflow"},
        {"5,000 parentheses", Repeat("(", 5000) + "1" + Repeat(")", 5000), tooComplex},
        {"20,000 + terms", "1" + Repeat(" + 1", 19999), tooComplex},
        {"20,000 Not", Repeat("Not ", 20000) + "True", tooComplex},
        {"20,000 signs", Repeat("-", 20000) + "1", tooComplex},
        {"20,000 alternating + and -", "1" + Repeat(" + 1 - 1", 10000), tooComplex},
        {"20,000 comparisons of comparisons", "1" + Repeat(" Between 1 And 2", 20000), tooComplex},
        {"nested subqueries", Repeat("(SELECT ", 3000) + "1" + Repeat(")", 3000), tooComplex},
        {"many * in Like", "\"" + std::string(60, 'a') + "\" Like \"" + Repeat("*a", 12) + "b\"", "False"},
        {"a 300,000 character Like pattern", "\"abc\" Like \"" + Repeat("*", 300000) + "\"", "True"},
        {"a value without bound", "Len(String(2000000000, \"x\"))", "error: *"},
        {"a value doubled without bound", "Len(" + Repeat("String(65536, \"x\") & ", 2000) + "\"\")",
         "error: *"},
        {"a function that is not Access's", "load_extension(\"x\")", "error: Undefined function*"},
        {"a quote in a name", "[X\"\"); ATTACH 'x' AS y; --]", "error: *"},
    };
    // Each parenthesis level holds a run of 80 mixed operators: few levels each way, a tall tree in all.
    std::string runs = "1";
    for (int i = 0; i < 60; ++i) runs = "(" + runs + Repeat(" + 1 - 1", 40) + ")";
    cases.push_back({"runs of mixed operators in parentheses", runs, tooComplex});
    std::vector<std::string> expressions;
    for (const Hostile& h : cases) expressions.push_back(h.expression);
    QTemporaryDir dir;
    fixtures::Database db = EdgeTables();
    // A cross join that would run for hours, cut short by the time limit and by the stop check; and
    // stored queries of stored queries deeper than Access takes.
    db.queries.push_back(fixtures::QueryBuilder("runaway")
                             .Table("Many", "a")
                             .Table("Many", "b")
                             .Table("Many", "c")
                             .Table("Many", "d")
                             .Column("Count(*)", "N")
                             .Build());
    db.queries.push_back(fixtures::QueryBuilder("nest0").Table("One").Column("[X]").Build());
    for (int i = 1; i <= 60; ++i)
        db.queries.push_back(fixtures::QueryBuilder("nest" + std::to_string(i))
                                 .Table("nest" + std::to_string(i - 1))
                                 .Column("[X]")
                                 .Build());
    const std::string path = WriteQueries(db, expressions, dir);
    constexpr std::size_t kMemory = std::size_t{3} << 30;
    constexpr std::chrono::seconds kWatchdog{60};

    auto query = [&](const std::string& name, QueryWatch watch = {}) {
        return InChild(
            [&] {
                Connection c;
                c.Open(database::BuildConnectionString(path, 0, ""));
                c.SetQueryWatch(watch);
                std::string got = FirstValue(c, name);
                // The connection is still good for the next query.
                if (FirstValue(c, "nest0") != "1") got += " (and the next query failed)";
                return got;
            },
            kMemory, kWatchdog);
    };

    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const Outcome o = query("e" + std::to_string(i));
        EXPECT_EQ(o.fault, "");
        EXPECT_PRED2(Matches, o.text.substr(0, 300), cases[i].expected);
    }
    {
        SCOPED_TRACE("a query that runs too long");
        const Outcome o = query("runaway", {.stopWanted = {}, .stepTimeLimit = std::chrono::seconds(1)});
        EXPECT_EQ(o.fault, "");
        EXPECT_PRED2(Matches, o.text, "error: The query ran for more than *");
    }
    {
        SCOPED_TRACE("a query stopped from outside");
        const Outcome o = InChild(
            [&] {
                Connection c;
                c.Open(database::BuildConnectionString(path, 0, ""));
                const auto start = std::chrono::steady_clock::now();
                c.SetQueryWatch({.stopWanted = [&] {
                    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(300);
                }});
                return FirstValue(c, "runaway");
            },
            kMemory, kWatchdog);
        EXPECT_EQ(o.fault, "");
        EXPECT_PRED2(Matches, o.text, "error: The query was stopped.");
    }
    {
        SCOPED_TRACE("stored queries 60 deep");
        const Outcome o = query("nest60");
        EXPECT_EQ(o.fault, "");
        EXPECT_PRED2(Matches, o.text, "error: Query is too complex.");
    }
}

}  // namespace
}  // namespace tabvert::ado
