#pragma once
// The Access side of the SQL engine: the "acc" collation (text compared without regard to case) and the
// acc_* functions and aggregates that the translated SQL calls for Jet's operators and built-in
// functions, registered on one SQLite connection.

#include <memory>

struct sqlite3;

namespace tabvert::ado::sql {

class TextCollator;

// Registers everything on db; `collator` must outlive the connection.
void RegisterAccessFunctions(sqlite3* db, TextCollator* collator);

// Case-insensitive Unicode comparison in Jet's General order (accents after their letter, case ignored).
class TextCollator {
  public:
    TextCollator();
    ~TextCollator();
    TextCollator(const TextCollator&) = delete;
    TextCollator& operator=(const TextCollator&) = delete;
    int compare(const char* a, int aBytes, const char* b, int bBytes) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tabvert::ado::sql
