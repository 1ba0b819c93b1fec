// Writes the database the stored-query benchmark reads: "Rows" (ROWS rows of 20 columns, default 200,000)
// with a query over it, and "Left" and "Right" (100,000 rows each) with a query joining them on a key.
//   query_make_db OUT.mdb [ROWS]

#include <cstdio>
#include <exception>
#include <string>

#include "fixtures/access_writer.h"
#include "fixtures/fixture_set.h"
#include "fixtures/stored_queries.h"

int main(int argc, char** argv) {
    using namespace tabvert::fixtures;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.mdb [ROWS]\n", argv[0]);
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
        // The 20-column table "Rows" of the export tests, and a query over it.
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
                          .Build()};
        WriteDatabase(db, argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
