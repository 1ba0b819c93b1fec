#pragma once
// A fixture database's tables loaded into a separate in-memory SQLite database, for comparing what a
// stored query gives with hand-written SQLite SQL over the same data. Currency goes in as a number of
// units, Yes/No as -1/0; dates as the test wants them (bindDate). Rows come back with Null as "NULL",
// integers plainly, other numbers as "%.15g" and text as it is.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fixtures/access_writer.h"

namespace tabvert::test {

using ReferenceRows = std::vector<std::vector<std::string>>;

class SqliteReference {
  public:
    // bindDate(statement, index, days since 1899-12-30) binds a date in the form the test's SQL expects.
    using DateBinder = std::function<void(sqlite3_stmt*, int, double)>;

    SqliteReference(const fixtures::Database& db, DateBinder bindDate) : bindDate_(std::move(bindDate)) {
        sqlite3_open(":memory:", &db_);
        for (const fixtures::Table& t : db.tables) {
            std::string create = "CREATE TABLE \"" + t.name + "\"(",
                        insert = "INSERT INTO \"" + t.name + "\" VALUES(";
            for (std::size_t i = 0; i < t.columns.size(); ++i) {
                create += (i ? ", \"" : "\"") + t.columns[i].name + "\"";
                insert += i ? ", ?" : "?";
            }
            EXPECT_EQ(sqlite3_exec(db_, (create + ")").c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db_, (insert + ")").c_str(), -1, &s, nullptr);
            for (const fixtures::Row& row : t.rows) {
                for (std::size_t i = 0; i < row.size(); ++i) Bind(s, static_cast<int>(i + 1), row[i]);
                EXPECT_EQ(sqlite3_step(s), SQLITE_DONE);
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
        }
    }
    ~SqliteReference() { sqlite3_close(db_); }
    SqliteReference(const SqliteReference&) = delete;
    SqliteReference& operator=(const SqliteReference&) = delete;

    ReferenceRows Query(const std::string& sql) {
        sqlite3_stmt* s = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_) << "\n"
            << sql;
        ReferenceRows out;
        char buf[64];
        while (s && sqlite3_step(s) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                switch (sqlite3_column_type(s, i)) {
                    case SQLITE_NULL:
                        row.push_back("NULL");
                        break;
                    case SQLITE_INTEGER:
                        row.push_back(std::to_string(sqlite3_column_int64(s, i)));
                        break;
                    case SQLITE_FLOAT:
                        std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(s, i));
                        row.push_back(buf);
                        break;
                    default:
                        row.push_back(reinterpret_cast<const char*>(sqlite3_column_text(s, i)));
                }
            }
            out.push_back(row);
        }
        sqlite3_finalize(s);
        return out;
    }

  private:
    void Bind(sqlite3_stmt* s, int i, const fixtures::Value& v) const {
        if (const auto* n = std::get_if<std::int64_t>(&v))
            sqlite3_bind_int64(s, i, *n);
        else if (const auto* b = std::get_if<bool>(&v))
            sqlite3_bind_int(s, i, *b ? -1 : 0);
        else if (const auto* t = std::get_if<std::string>(&v))
            sqlite3_bind_text(s, i, t->c_str(), -1, SQLITE_TRANSIENT);
        else if (const auto* c = std::get_if<fixtures::Currency>(&v))
            sqlite3_bind_double(s, i, static_cast<double>(c->tenThousandths) / 10000.0);
        else if (const auto* d = std::get_if<fixtures::DateTime>(&v))
            bindDate_(s, i, d->ole);
        else
            sqlite3_bind_null(s, i);
    }

    DateBinder bindDate_;
    sqlite3* db_ = nullptr;
};

}  // namespace tabvert::test
