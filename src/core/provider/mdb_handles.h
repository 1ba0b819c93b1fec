#pragma once
// Move-only owners of mdbtools' handles. Kept out of the public headers so that only the provider's own
// sources see mdbtools.

#include <mdbtools.h>
#include <string.h>

#include <memory>

namespace tabvert::ado::detail {

struct MdbHandleDeleter {
    // The page buffers may hold pages of a decrypted database: cleared before mdbtools frees them.
    void operator()(MdbHandle* mdb) const noexcept {
        if (mdb != nullptr) {
            explicit_bzero(mdb->pg_buf, sizeof mdb->pg_buf);
            explicit_bzero(mdb->alt_pg_buf, sizeof mdb->alt_pg_buf);
        }
        mdb_close(mdb);
    }
};
struct MdbTableDeleter {
    void operator()(MdbTableDef* table) const noexcept { mdb_free_tabledef(table); }
};

// One open file, or one clone of it: a clone shares the file but has its own page buffers, so two
// recordsets on one connection never disturb each other.
using MdbHandlePtr = std::unique_ptr<MdbHandle, MdbHandleDeleter>;
using MdbTablePtr = std::unique_ptr<MdbTableDef, MdbTableDeleter>;

}  // namespace tabvert::ado::detail
