#pragma once
// The database the preview tests read: a few small tables that each show one behaviour of the preview,
// written once per test program with the fixture writer.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/access_writer.h"

namespace tabvert::test {

inline constexpr std::size_t kOverRows = 10'050;  // rows of the table "Over", more than a preview shows

inline fixtures::Table MakeTable(std::string name, std::vector<fixtures::Column> columns) {
    fixtures::Table table;
    table.name = std::move(name);
    table.columns = std::move(columns);
    return table;
}

// "People" (ID, Name, Born, Note; Nulls in the first and later fields), "One" (one field), "Empty"
// (two fields, no rows), "Over" (kOverRows rows, N = row number), "a]b" (a "]" in its name), "Twin" and
// " Twin " (names that trim alike, different rows).
inline fixtures::Database PreviewDatabase() {
    namespace fx = tabvert::fixtures;
    fx::Database db;

    fx::Table people = MakeTable("People", {{"ID", fx::ColumnType::Long},
                                            {"Name", fx::ColumnType::Text, 50},
                                            {"Born", fx::ColumnType::DateTime},
                                            {"Note", fx::ColumnType::Memo}});
    people.rows = {
        {std::int64_t{1}, std::string("Ada"), fx::DateTime::FromParts(1815, 12, 10), std::string("first")},
        {fx::Null{}, std::string("Nobody"), fx::Null{}, fx::Null{}},
        {std::int64_t{3}, std::string(""), fx::DateTime::FromParts(2001, 2, 3, 4, 5, 6), std::string("x")},
    };
    db.tables.push_back(people);

    fx::Table one = MakeTable("One", {{"Only", fx::ColumnType::Text, 20}});
    one.rows = {{std::string("a")}, {std::string("b")}, {fx::Null{}}};
    db.tables.push_back(one);

    db.tables.push_back(MakeTable("Empty", {{"A", fx::ColumnType::Long}, {"B", fx::ColumnType::Text, 10}}));

    fx::Table over = MakeTable("Over", {{"N", fx::ColumnType::Long}, {"Label", fx::ColumnType::Text, 20}});
    over.rowCount = kOverRows;
    over.generate = [](std::size_t i) {
        return fx::Row{static_cast<std::int64_t>(i + 1), "row " + std::to_string(i + 1)};
    };
    db.tables.push_back(over);

    fx::Table bracket = MakeTable("a]b", {{"V", fx::ColumnType::Text, 10}});
    bracket.rows = {{std::string("inside")}, {std::string("bracket")}};
    db.tables.push_back(bracket);

    // Two tables whose names trim to the same node text.
    fx::Table twin = MakeTable("Twin", {{"V", fx::ColumnType::Text, 10}});
    twin.rows = {{std::string("plain")}};
    db.tables.push_back(twin);
    fx::Table paddedTwin = MakeTable(" Twin ", {{"V", fx::ColumnType::Text, 10}});
    paddedTwin.rows = {{std::string("padded")}, {std::string("twin")}};
    db.tables.push_back(paddedTwin);
    return db;
}

inline std::filesystem::path WritePreviewDatabase(const std::filesystem::path& dir) {
    const std::filesystem::path path = dir / "preview.mdb";
    fixtures::WriteDatabase(PreviewDatabase(), path);
    return path;
}

}  // namespace tabvert::test
