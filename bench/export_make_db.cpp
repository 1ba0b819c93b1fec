// Writes the database of the export benchmarks: TABLES tables (default 20) of ROWS rows each (default
// 50,000, so 1,000,000 rows in all and every table fits an Excel 97-2003 sheet) and COLUMNS columns
// (default 10) of the common types, repeated in turn when there are more than ten, through the test
// fixture writer.
//   export_make_db OUT.mdb [TABLES] [ROWS] [COLUMNS]

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "fixtures/access_writer.h"

int main(int argc, char** argv) {
    using namespace tabvert::fixtures;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.mdb [TABLES] [ROWS] [COLUMNS]\n", argv[0]);
        return 2;
    }
    try {
        const std::size_t tables = argc > 2 ? std::stoul(argv[2]) : 20;
        const std::size_t rows = argc > 3 ? std::stoul(argv[3]) : 50000;
        const std::size_t columns = argc > 4 ? std::stoul(argv[4]) : 10;
        Database db;
        for (std::size_t k = 0; k < tables; ++k) {
            Table t;
            t.name = "Sales" + std::to_string(2000 + k);
            const std::vector<Column> kinds = {
                {"ID", ColumnType::Long},          {"Customer", ColumnType::Text, 50},
                {"Amount", ColumnType::Currency},  {"Ratio", ColumnType::Double},
                {"Ordered", ColumnType::DateTime}, {"Paid", ColumnType::Bool},
                {"Qty", ColumnType::Integer},      {"Region", ColumnType::Text, 20},
                {"Code", ColumnType::Text, 12},    {"Note", ColumnType::Memo}};
            for (std::size_t c = 0; c < columns; ++c) {
                t.columns.push_back(kinds[c % kinds.size()]);
                if (c >= kinds.size()) t.columns.back().name += std::to_string(c / kinds.size());
            }
            t.rowCount = rows;
            t.generate = [k, columns](std::size_t i) {
                static const char* const kRegions[] = {"North", "South", "East", "West", "Centre"};
                const auto n = static_cast<std::int64_t>(i);
                const Row all{n + 1,
                              "Customer " + std::to_string((i * 31 + k) % 9973),
                              Currency{(n * 12345 + static_cast<std::int64_t>(k)) % 100000000},
                              static_cast<double>(i) / 7.0,
                              DateTime{40000.0 + static_cast<double>(i % 5000) +
                                       static_cast<double>(i % 86400) / 86400.0},
                              i % 3 == 0,
                              static_cast<std::int64_t>(i % 30000),
                              std::string(kRegions[i % 5]),
                              "C" + std::to_string(100000 + i),
                              i % 4 == 0 ? Value{Null{}} : Value{"Remark for row " + std::to_string(i)}};
                Row row;
                for (std::size_t c = 0; c < columns; ++c) row.push_back(all[c % all.size()]);
                return row;
            };
            db.tables.push_back(std::move(t));
        }
        WriteDatabase(db, argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_make_db: %s\n", e.what());
        return 1;
    }
}
