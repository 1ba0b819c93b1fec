// Writes the database the provider benchmark reads: one table "Big" of N rows (default 500,000) with
// the common column types, through the test fixture writer. A name ending in .accdb gives an Access 2007
// file, any other an Access 2000 one.
//   provider_make_big OUT.mdb [ROWS]

#include <cstdio>
#include <exception>
#include <string>

#include "fixtures/access_writer.h"

int main(int argc, char** argv) {
    using namespace tabvert::fixtures;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.mdb [ROWS]\n", argv[0]);
        return 2;
    }
    try {
        const std::size_t rows = argc > 2 ? std::stoul(argv[2]) : 500000;
        Table t;
        t.name = "Big";
        t.columns = {{"ID", ColumnType::Long},         {"Name", ColumnType::Text, 50},
                     {"Amount", ColumnType::Currency}, {"Ratio", ColumnType::Double},
                     {"Stamp", ColumnType::DateTime},  {"Flag", ColumnType::Bool},
                     {"Count", ColumnType::Integer},   {"Note", ColumnType::Memo}};
        t.rowCount = rows;
        t.generate = [](std::size_t i) {
            const auto n = static_cast<std::int64_t>(i);
            return Row{
                n + 1,
                "Customer " + std::to_string(i % 9973),
                Currency{n * 12345 % 100000000},
                static_cast<double>(i) / 7.0,
                DateTime{40000.0 + static_cast<double>(i % 5000) + static_cast<double>(i % 86400) / 86400.0},
                i % 3 == 0,
                static_cast<std::int64_t>(i % 30000),
                i % 4 == 0 ? Value{Null{}} : Value{"Remark for row " + std::to_string(i)}};
        };
        Database db;
        const std::string out = argv[1];
        if (out.size() > 6 && out.substr(out.size() - 6) == ".accdb") db.format = Format::Ace12;
        db.tables.push_back(std::move(t));
        WriteDatabase(db, argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "provider_make_big: %s\n", e.what());
        return 1;
    }
}
