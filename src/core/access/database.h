#pragma once
// An open Access file: the checked header, the mdbtools handle, the catalogue and the readers of its
// tables. Shared by a connection and the recordsets opened on it.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/access/crypto/wiped_bytes.h"
#include "core/access/file_header.h"
#include "core/access/mdb_handles.h"
#include "core/access/row_source.h"
#include "core/access/stored_query.h"
#include "core/access/text_decode.h"

namespace tabvert::ado::detail {
class TableReader;
struct ComplexColumnValues;
}  // namespace tabvert::ado::detail

namespace tabvert::ado {

// What an object of MSysObjects is to the provider. Reports, forms, macros and modules are none of
// these and are not kept.
enum class ObjectKind {
    Table,           // a user table
    SystemTable,     // flagged system (MSys* and the like)
    AccessTable,     // flagged as Access's own (MSysAccessStorage and the like)
    ComplexSupport,  // the hidden table behind a complex column (f_<hex>_<column>): never listed
    View,            // a plain select, union or crosstab query
    Procedure,       // an action query, or a select query that declares parameters
    Link,            // a table linked from another Access file
    OdbcLink,        // a table linked through ODBC
};

// One object of the file's catalogue (MSysObjects) that the provider knows.
struct CatalogObject {
    std::string name;
    ObjectKind kind = ObjectKind::Table;
    std::string description;
    std::optional<double> created, modified;  // OLE dates
    std::uint32_t tablePage = 0;
    std::int32_t objectId = 0;  // MSysObjects.Id (a query's key in MSysQueries)
    std::uint32_t flags = 0;    // MSysObjects.Flags (a query's kind)
    std::string linkedDatabase, linkedName, connect;
    std::vector<std::uint8_t> properties;  // MSysObjects.LvProp

    // The TABLE_TYPE of the tables schema; empty for the kinds that schema does not list.
    const char* TableType() const;
    bool Listed() const { return *TableType() != '\0'; }
};

class Database : public std::enable_shared_from_this<Database> {
  public:
    // Opens the file read-only. jetOnly: the Jet 4.0 provider, which reads Jet 3 and Jet 4 files only.
    // password: the database password from the connection string (UTF-8).
    static std::shared_ptr<Database> Open(const std::string& path, bool jetOnly, const std::string& password);

    const detail::FileHeader& Header() const { return header_; }
    const std::string& Path() const { return path_; }  // as it was opened
    // Every object the provider knows, the tables schema's rows first (by type, then by name).
    const std::vector<CatalogObject>& Catalog() const { return catalog_; }
    // True when the file keeps its pages or its password encrypted: nothing read from it may then reach
    // the disk in plain text.
    bool Encrypted() const { return plain_ != nullptr || header_.pageKey != 0 || !header_.password.empty(); }

    // The object a FROM clause names: without regard to case, a kind the tables schema lists before
    // one it does not; nullptr when there is none.
    const CatalogObject* Find(const std::string& name) const;

    // Reads the rows of a table of the catalogue, at most `top` of them when given (a stored query is the
    // query engine's to run: the provider decides which reads an object). A table linked from another Access
    // file is read from that file, opened read-only; when the stored path does not exist, a file of the same
    // name beside this database is read instead.
    std::unique_ptr<RowSource> OpenTable(const std::string& name, std::optional<std::int64_t> top);

    // The stored queries of every kind, by name, with their rows from MSysQueries (read on first use).
    const std::vector<StoredQuery>& StoredQueries();

  private:
    Database() = default;
    void ReadCatalog();
    void MarkParameterQueries();
    std::unique_ptr<RowSource> OpenTable(const std::string& name, std::optional<std::int64_t> top,
                                         int linkDepth);
    std::unique_ptr<RowSource> OpenLink(const CatalogObject& link, std::optional<std::int64_t> top,
                                        int linkDepth);
    const CatalogObject* ObjectAt(std::uint32_t tablePage) const;
    void LoadComplexValues(detail::TableReader& reader, const CatalogObject& table);
    detail::ComplexColumnValues ComplexValues(const detail::TableReader& reader, const CatalogObject& table,
                                              std::size_t column, std::int32_t complexId);

    std::string path_;
    std::string password_;  // the database password the file was opened with, for links without their own
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
    // MSysComplexColumns by ComplexID: the type table, the table of values and the owning table (ids).
    struct ComplexColumnRow {
        std::int32_t typeTable = 0, flatTable = 0, ownerTable = 0;
    };
    std::optional<std::map<std::int32_t, ComplexColumnRow>> complexColumns_;
};

}  // namespace tabvert::ado
