#pragma once
// An open Access file: the checked header, the mdbtools handle, the catalogue and the readers of its
// tables. Shared by a connection and the recordsets opened on it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/provider/crypto/wiped_bytes.h"
#include "core/provider/file_header.h"
#include "core/provider/mdb_handles.h"
#include "core/provider/row_source.h"
#include "core/provider/stored_query.h"
#include "core/provider/text_decode.h"

namespace tabvert::ado {

// One object of the file's catalogue (MSysObjects) that the tables schema reports.
struct CatalogObject {
    std::string name;
    std::string tableType;  // TABLE, SYSTEM TABLE, ACCESS TABLE, VIEW, LINK, PASS-THROUGH
    std::string description;
    std::optional<double> created, modified;  // OLE dates
    std::uint32_t tablePage = 0;
    int objectType = 0;  // MSysObjects.Type
    std::int32_t objectId = 0;  // MSysObjects.Id (a query's key in MSysQueries)
    std::uint32_t flags = 0;    // MSysObjects.Flags (a query's kind)
    std::string linkedDatabase, linkedName;
};

class Database : public std::enable_shared_from_this<Database> {
  public:
    // Opens the file read-only. jetOnly: the Jet 4.0 provider, which reads Jet 3 and Jet 4 files only.
    // password: the database password from the connection string (UTF-8).
    static std::shared_ptr<Database> Open(const std::string& path, bool jetOnly, const std::string& password);

    const detail::FileHeader& header() const { return header_; }
    const std::vector<CatalogObject>& catalog() const { return catalog_; }
    // True when the file keeps its pages or its password encrypted: nothing read from it may then reach
    // the disk in plain text.
    bool encrypted() const { return plain_ != nullptr || header_.pageKey != 0 || !header_.password.empty(); }

    // Reads the rows of a table of the catalogue, or of a stored select, union or crosstab query, at most
    // `top` of them when given.
    std::unique_ptr<RowSource> openTable(const std::string& name, std::optional<std::int64_t> top);

    // The stored queries of every kind, by name, with their rows from MSysQueries (read on first use).
    const std::vector<StoredQuery>& storedQueries();

  private:
    Database() = default;
    void readCatalog();

    std::string path_;
    detail::FileHeader header_;
    // The decrypted file of an encrypted database, which mdb_ reads; declared first so that it goes last.
    std::shared_ptr<const crypto::WipedBytes> plain_;
    detail::MdbHandlePtr mdb_;
    std::vector<CatalogObject> catalog_;
    struct QueryObject {
        std::string name;
        std::int32_t id = 0;
        std::uint32_t flags = 0;
    };
    std::vector<QueryObject> queryObjects_;  // every query of MSysObjects, of any kind
    std::optional<std::vector<StoredQuery>> queries_;
};

}  // namespace tabvert::ado
