// Writes the database the stored-query benchmark reads: "Rows" (ROWS rows of 20 columns, default 200,000)
// with queries over it (all of it, its count, a grouping, two filters and a TOP 100 sort), and
// "Left" and "Right" (100,000 rows each) with a query joining them on a key. With a third argument, the
// same tables also go into a SQLite database, for the sqlite3 shell to run the same queries on.
//   query_make_db OUT.mdb [ROWS [OUT.sqlite]]

#include <sqlite3.h>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <variant>

#include "fixtures/access_writer.h"
#include "fixtures/fixture_set.h"
#include "fixtures/stored_queries.h"

namespace {

using namespace tabvert::fixtures;

void Exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string m = message ? message : "sqlite3_exec failed";
        sqlite3_free(message);
        throw std::runtime_error(m);
    }
}

// One value as SQLite holds it: Currency in units, dates as their OLE day numbers.
void Bind(sqlite3_stmt* s, int i, const Value& v) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>)
                sqlite3_bind_int(s, i, x ? 1 : 0);
            else if constexpr (std::is_same_v<T, std::int64_t>)
                sqlite3_bind_int64(s, i, x);
            else if constexpr (std::is_same_v<T, double>)
                sqlite3_bind_double(s, i, x);
            else if constexpr (std::is_same_v<T, std::string>)
                sqlite3_bind_text(s, i, x.data(), static_cast<int>(x.size()), SQLITE_TRANSIENT);
            else if constexpr (std::is_same_v<T, Currency>)
                sqlite3_bind_double(s, i, static_cast<double>(x.tenThousandths) / 10000.0);
            else if constexpr (std::is_same_v<T, DateTime>)
                sqlite3_bind_double(s, i, x.ole);
            else
                sqlite3_bind_null(s, i);
        },
        v);
}

void WriteSqlite(const Database& source, const std::string& path) {
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + path);
    Exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN");
    for (const Table& t : source.tables) {
        std::string create = "CREATE TABLE \"" + t.name + "\"(",
                    insert = "INSERT INTO \"" + t.name + "\" VALUES(";
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            create += (i ? ", \"" : "\"") + t.columns[i].name + "\"";
            insert += i ? ", ?" : "?";
        }
        Exec(db, create + ")");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &s, nullptr);
        const std::size_t count = t.generate ? t.rowCount : t.rows.size();
        for (std::size_t r = 0; r < count; ++r) {
            const Row row = t.generate ? t.generate(r) : t.rows[r];
            for (std::size_t i = 0; i < row.size(); ++i) Bind(s, static_cast<int>(i + 1), row[i]);
            if (sqlite3_step(s) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
    }
    Exec(db, "COMMIT");
    sqlite3_close(db);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.mdb [ROWS [OUT.sqlite]]\n", argv[0]);
        return 2;
    }
    try {
        const std::size_t rows = argc > 2 ? std::stoul(argv[2]) : 200000;
        auto keyed = [](const char* name, std::size_t count, std::size_t stride) {
            Table t;
            t.name = name;
            t.columns = {{"K", ColumnType::Long}, {"Label", ColumnType::Text, 40}};
            t.rowCount = count;
            t.generate = [stride, count](std::size_t i) {
                return Row{static_cast<std::int64_t>((i * stride) % count), "label " + std::to_string(i)};
            };
            return t;
        };
        // The 20-column table "Rows" of the export tests, and queries over it.
        Database db = GeneratedRowsFixture(rows);
        db.tables.push_back(keyed("Left", 100000, 7));
        db.tables.push_back(keyed("Right", 100000, 13));
        db.queries = {QueryBuilder("RowsQuery")
                          .Table("Rows")
                          .Column("Rows.ID")
                          .Column("UCase([Name])", "Upper")
                          .Column("[Price]*2", "Twice")
                          .Column("Rows.Ordered")
                          .Column("[Remark] & \"!\"", "Marked")
                          .Where("Rows.ID Mod 4 <> 0 Or Rows.Remark Is Null")
                          .Build(),
                      QueryBuilder("JoinQuery")
                          .Table("Left")
                          .Table("Right")
                          .Join("Left", "Right", "[Left].K = [Right].K")
                          .Column("[Left].K")
                          .Column("[Left].Label", "LeftLabel")
                          .Column("[Right].Label", "RightLabel")
                          .Build(),
                      QueryBuilder("ScanQuery").Table("Rows").Star().Build(),
                      QueryBuilder("GroupQuery")
                          .Table("Rows")
                          .Column("City")
                          .Column("Count(*)", "N")
                          .Column("Sum([Weight])", "W")
                          .GroupBy("City")
                          .Build(),
                      QueryBuilder("FilterQuery")
                          .Table("Rows")
                          .Column("ID")
                          .Column("Name")
                          .Column("Qty")
                          .Where("[Qty] * 2 + 1 > 1900 And [Weight] < 100")
                          .Build(),
                      QueryBuilder("CountQuery").Table("Rows").Column("Count(*)", "N").Build(),
                      QueryBuilder("PlainFilterQuery")
                          .Table("Rows")
                          .Column("ID")
                          .Column("Name")
                          .Column("Qty")
                          .Where("[Qty] > 950 And [Weight] < 100")
                          .Build(),
                      QueryBuilder("TopQuery")
                          .Table("Rows")
                          .Top(100)
                          .Column("ID")
                          .Column("Name")
                          .Column("Weight")
                          .OrderBy("Weight", true)
                          .OrderBy("ID")
                          .Build()};
        WriteDatabase(db, argv[1]);
        if (argc > 3) WriteSqlite(db, argv[3]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
