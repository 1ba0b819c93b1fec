#pragma once
// An ADO-like interface to Access databases (.mdb, .mde, .accdb), standing in for the Jet 4.0 and ACE 12.0
// OLE DB providers on top of mdbtools. It offers exactly what the program needs: open a connection by
// connection string, read the tables schema, and read the rows of "select [Top N] * from [table]" forward.
// Every failure is a ProviderError carrying the number and description the Windows provider gives.
// The database is only ever opened read-only.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/access/row_source.h"
#include "core/access/stored_query.h"
#include "core/sql/query_engine.h"
#include "core/value/provider_error.h"
#include "core/value/variant.h"

namespace tabvert::ado {

inline constexpr int kSchemaTables = 20;  // adSchemaTables
// The tables schema's column holding each table's name.
inline constexpr const char* kTableNameField = "TABLE_NAME";

class Field {
  public:
    Field(std::string name, Variant::Type declaredType, std::string note = {});

    const std::string& Name() const { return name_; }
    // Throws ProviderError when the current record's value of this field could not be read (the
    // record's other fields are not concerned).
    const Variant& Value() const {
        if (!unread_.empty()) throw ProviderError(ErrorReason::DamagedData, unread_);
        return value_;
    }
    // The column's type as declared in the table, also when the current value is Null.
    Variant::Type DeclaredType() const { return declaredType_; }
    // What the reader has to say of the column as a whole (a type it does not know); empty when nothing.
    const std::string& Note() const { return note_; }

    // The files of the current record's value when the column is an attachment column, nothing for
    // any other field. Their data are read from the file on the first call for the table (they can be
    // large), so this is for whoever needs the files, not for showing the value. Throws ProviderError
    // when they cannot be read.
    std::optional<std::vector<AttachedFile>> Attachments() const;

    // unread: why the value could not be read, or empty.
    void SetValue(Variant value, std::string unread = {}) {
        value_ = std::move(value);
        unread_ = std::move(unread);
    }

    // Where Attachments looks: the recordset's source and the field's column in it.
    void SetSource(RowSource* source, std::size_t column) {
        source_ = source;
        column_ = column;
    }

  private:
    std::string name_;
    Variant::Type declaredType_;
    std::string note_;
    Variant value_;
    std::string unread_;
    RowSource* source_ = nullptr;
    std::size_t column_ = 0;
};

class Fields {
  public:
    long Count() const { return static_cast<long>(fields_.size()); }
    // Zero-based; a bad index throws ProviderError.
    Field& Item(long index);
    // Matched without regard to case; an unknown name throws ProviderError.
    Field& Item(std::string_view name);

    void Append(Field field) { fields_.push_back(std::move(field)); }
    void Clear() { fields_.clear(); }

  private:
    std::vector<Field> fields_;
};

class Connection;

class Recordset {
  public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // source: "select * from [name]" or "select top N * from [name]" (keywords in any case, "]" inside
    // the name doubled). The cursor is forward-only and read-only.
    void Open(const std::string& source, Connection& activeConnection);

    bool Eof() const;
    void MoveNext();
    Fields& GetFields();
    void Close();
    bool IsOpen() const { return source_ != nullptr; }
    // How many records the recordset will deliver, when its source knows that before reading them (a
    // table: the row count its definition holds); nullopt for a stored query or a closed recordset.
    // Good for showing progress only: a damaged file can hold a count that is off.
    std::optional<std::int64_t> ExpectedRecordCount() const;

    // Used by Connection::OpenSchema.
    explicit Recordset(std::unique_ptr<RowSource> source);

  private:
    void Load();  // fills the fields from the current row of the source

    std::unique_ptr<RowSource> source_;
    Fields fields_;
    bool eof_ = true;
};

class Database;  // the open file, shared by the connection and its recordsets

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database named by the connection string (Provider, Data Source, Jet OLEDB:Database
    // Password).
    void Open(const std::string& connectionString);

    // queryType kSchemaTables: the tables schema (TABLE_NAME, TABLE_TYPE, DESCRIPTION, DATE_CREATED,
    // DATE_MODIFIED), by type then by name. Anything else throws ProviderError.
    std::unique_ptr<Recordset> OpenSchema(int queryType);

    void Close();
    bool IsOpen() const { return database_ != nullptr; }

    // The database's stored queries of every kind, by name (not an ADO call: ADOX's Views and Procedures
    // give the same).
    const std::vector<StoredQuery>& StoredQueries();

    // The open file; throws ProviderError when the connection is closed.
    std::shared_ptr<Database> database() const;

    // What watches the stored queries that recordsets of this connection run from now on: a stop request
    // asked while a query computes, and how long one may compute without giving a row (not an ADO call).
    void SetQueryWatch(QueryWatch watch) { queryWatch_ = std::move(watch); }
    const QueryWatch& queryWatch() const { return queryWatch_; }

  private:
    std::shared_ptr<Database> database_;
    QueryWatch queryWatch_;
};

}  // namespace tabvert::ado
