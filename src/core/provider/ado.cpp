#include "core/provider/ado.h"

#include <QString>
#include <cctype>

#include "core/access/database.h"
#include "core/access/row_source.h"
#include "core/provider/connection_string.h"
#include "core/provider/select_text.h"
#include "core/sql/query_engine.h"
#include "core/text/strings.h"

namespace tabvert::ado {
namespace {

constexpr char kJetProvider[] = "Microsoft.Jet.OLEDB.4.0";
constexpr char kAceProvider[] = "Microsoft.ACE.OLEDB.12.0";
constexpr char kClosedMessage[] = "Operation is not allowed when the object is closed.";
constexpr char kOpenMessage[] = "Operation is not allowed when the object is open.";

// The rows a FROM clause names: a stored select, union or crosstab query (or an action or parameter
// query, which the engine refuses with Access's words) runs through the query engine; a table, a link
// or a system table is read from the file.
std::unique_ptr<RowSource> OpenObject(const std::shared_ptr<Database>& db, const std::string& name,
                                      std::optional<std::int64_t> top, const QueryWatch& watch) {
    const CatalogObject* object = db->Find(name);
    if (object && (object->kind == ObjectKind::View || object->kind == ObjectKind::Procedure))
        return OpenStoredQuery(db, object->name, top, watch);
    return db->OpenTable(name, top);
}

// The tables schema, read whole when it is opened.
class SchemaSource : public RowSource {
  public:
    explicit SchemaSource(const std::vector<CatalogObject>& catalog) {
        for (const auto& o : catalog)
            if (o.Listed()) catalog_.push_back(o);
        columns_ = {{"TABLE_CATALOG", Variant::Type::Text}, {"TABLE_SCHEMA", Variant::Type::Text},
                    {"TABLE_NAME", Variant::Type::Text},    {"TABLE_TYPE", Variant::Type::Text},
                    {"TABLE_GUID", Variant::Type::Guid},    {"DESCRIPTION", Variant::Type::Text},
                    {"TABLE_PROPID", Variant::Type::Long},  {"DATE_CREATED", Variant::Type::Date},
                    {"DATE_MODIFIED", Variant::Type::Date}};
    }
    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Next(std::vector<Variant>& values) override {
        if (index_ >= catalog_.size()) return false;
        const CatalogObject& o = catalog_[index_++];
        values.assign(columns_.size(), Variant());
        values[2] = Variant::Text(o.name);
        values[3] = Variant::Text(o.TableType());
        if (!o.description.empty()) values[5] = Variant::Text(o.description);
        if (o.created) values[7] = Variant::Date(*o.created);
        if (o.modified) values[8] = Variant::Date(*o.modified);
        return true;
    }

  private:
    std::vector<CatalogObject> catalog_;
    std::vector<ColumnInfo> columns_;
    std::size_t index_ = 0;
};

}  // namespace

Field::Field(std::string name, Variant::Type declaredType, std::string note)
    : name_(std::move(name)), declaredType_(declaredType), note_(std::move(note)) {}

std::optional<std::vector<AttachedFile>> Field::Attachments() const {
    if (!source_) return std::nullopt;
    return source_->AttachedFiles(column_);
}

Field& Fields::Item(long index) {
    if (index < 0 || index >= Count())
        throw ProviderError(ErrorReason::NoSuchField,
                            "Item cannot be found in the collection corresponding to the "
                            "requested name or ordinal.");
    return fields_[static_cast<std::size_t>(index)];
}

Field& Fields::Item(std::string_view name) {
    for (auto& f : fields_)
        if (text::EqualsIgnoringCase(f.Name(), name)) return f;
    throw ProviderError(
        ErrorReason::NoSuchField,
        "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset::Recordset(std::unique_ptr<RowSource> source) : source_(std::move(source)) {
    for (const auto& c : source_->Columns()) {
        Field field(c.name, c.type, c.note);
        field.SetSource(source_.get(), static_cast<std::size_t>(fields_.Count()));
        fields_.Append(std::move(field));
    }
    Load();
}

void Recordset::Open(const std::string& source, Connection& activeConnection) {
    if (IsOpen()) throw ProviderError(ErrorReason::ObjectOpen, kOpenMessage);
    const SelectStatement select = ParseSelect(source);
    auto rows =
        OpenObject(activeConnection.database(), select.table, select.top, activeConnection.queryWatch());
    // A value that cannot be decoded fails its field, not the record: Field::Value says why.
    rows->KeepUnreadValues();
    *this = Recordset(std::move(rows));
}

void Recordset::Load() {
    std::vector<Variant> values;
    eof_ = !source_->Next(values);
    const std::vector<std::string>& unread = source_->UnreadValues();
    for (long i = 0; i < fields_.Count(); ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (eof_)
            fields_.Item(i).SetValue(Variant());
        else
            fields_.Item(i).SetValue(std::move(values[at]), at < unread.size() ? unread[at] : std::string());
    }
}

bool Recordset::Eof() const {
    if (!IsOpen()) throw ProviderError(ErrorReason::ObjectClosed, kClosedMessage);
    return eof_;
}

void Recordset::MoveNext() {
    if (!IsOpen()) throw ProviderError(ErrorReason::ObjectClosed, kClosedMessage);
    if (eof_)
        throw ProviderError(ErrorReason::NoCurrentRecord,
                            "Either BOF or EOF is True, or the current record has been deleted. Requested "
                            "operation requires a current record.");
    Load();
}

std::optional<std::int64_t> Recordset::ExpectedRecordCount() const {
    return source_ ? source_->ExpectedRowCount() : std::nullopt;
}

Fields& Recordset::GetFields() {
    if (!IsOpen()) throw ProviderError(ErrorReason::ObjectClosed, kClosedMessage);
    return fields_;
}

void Recordset::Close() {
    if (!IsOpen()) throw ProviderError(ErrorReason::ObjectClosed, kClosedMessage);
    source_.reset();
    fields_.Clear();
    eof_ = true;
}

Connection::Connection() = default;
Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::Open(const std::string& connectionString) {
    if (IsOpen()) throw ProviderError(ErrorReason::ObjectOpen, kOpenMessage);
    const ConnectionString parsed = ConnectionString::Parse(connectionString);
    const auto provider = parsed.Get("Provider");
    if (!provider)
        throw ProviderError(
            ErrorReason::NoProvider,
            "[Microsoft][ODBC Driver Manager] Data source name not found and no default driver "
            "specified");
    bool jetOnly = false;
    if (text::EqualsIgnoringCase(*provider, kJetProvider))
        jetOnly = true;
    else if (!text::EqualsIgnoringCase(*provider, kAceProvider))
        throw ProviderError(ErrorReason::UnknownProvider,
                            "Provider cannot be found. It may not be properly installed.");
    const std::string path = parsed.Get("Data Source").value_or("");
    const std::string password = parsed.Get("Jet OLEDB:Database Password").value_or("");
    database_ = Database::Open(path, jetOnly, password);
}

std::unique_ptr<Recordset> Connection::OpenSchema(int queryType) {
    auto db = database();
    if (queryType != kSchemaTables)
        throw ProviderError(ErrorReason::UnsupportedSchema,
                            "Object or provider is not capable of performing requested operation.");
    return std::make_unique<Recordset>(std::make_unique<SchemaSource>(db->Catalog()));
}

void Connection::Close() {
    if (!IsOpen()) throw ProviderError(ErrorReason::ObjectClosed, kClosedMessage);
    database_.reset();
}

const std::vector<StoredQuery>& Connection::StoredQueries() { return database()->StoredQueries(); }

std::shared_ptr<Database> Connection::database() const {
    if (!database_) throw ProviderError(ErrorReason::ObjectClosed, kClosedMessage);
    return database_;
}

}  // namespace tabvert::ado
