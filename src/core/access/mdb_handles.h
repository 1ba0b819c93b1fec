#pragma once
// Move-only owners of mdbtools' handles. Kept out of the public headers so that only the provider's own
// sources see mdbtools.

#include <mdbtools.h>
#include <string.h>

#include <cstdio>
#include <cstdlib>
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

// mdbtools says what it finds wrong in a file by writing to stderr itself, into the user's terminal.
// While one of its calls runs through Run(), stderr points at a buffer of ours instead (the GNU C
// library lets a program assign stderr), and Said() tells whether the call complained: the caller then
// reports the damage in its own words. Only the thread that reads the file may use it.
class MdbMessages {
  public:
    MdbMessages() : sink_(open_memstream(&buffer_, &size_)) {}
    ~MdbMessages() {
        if (sink_) std::fclose(sink_);
        std::free(buffer_);
    }
    MdbMessages(const MdbMessages&) = delete;
    MdbMessages& operator=(const MdbMessages&) = delete;

    template <typename Call>
    auto Run(Call&& call) {
        if (!sink_) return call();
        std::rewind(sink_);
        std::FILE* const terminal = stderr;
        stderr = sink_;
        struct Restore {
            std::FILE* terminal;
            ~Restore() { stderr = terminal; }
        } restore{terminal};
        return call();
    }
    bool Said() const { return sink_ && std::ftell(sink_) > 0; }

  private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* sink_;
};

}  // namespace tabvert::ado::detail
