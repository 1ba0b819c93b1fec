#include "core/access/database.h"

#include <sys/stat.h>

#include <QString>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "core/access/crypto/encrypted_file.h"
#include "core/access/properties.h"
#include "core/access/table_reader.h"
#include "core/text/locale.h"
#include "core/text/strings.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado {
namespace {

using detail::Engine;
using detail::FileHeader;
using detail::HeaderFault;

constexpr std::uint32_t kCatalogPage = 2;  // MSysObjects
constexpr int kObjTable = 1, kObjOdbcLink = 4, kObjQuery = 5, kObjLink = 6;
constexpr std::uint32_t kFlagSystem = 0x80000000u, kFlagAccess = 0x00000002u;

// A query's kind lies in bits 4 to 7 of its MSysObjects.Flags: 0 select, 1 crosstab, 8 union give rows;
// delete, update, append, make-table, data-definition and pass-through queries are procedures.
bool IsViewQuery(std::uint32_t flags) {
    const std::uint32_t kind = (flags >> 4) & 0x0F;
    return kind == 0 || kind == 1 || kind == 8;
}

// "f_" followed by 32 hexadecimal digits and "_": the name Access gives the table that holds the values
// of a complex column.
bool IsComplexSupportName(const std::string& name) {
    if (name.size() < 36 || name.compare(0, 2, "f_") != 0 || name[34] != '_') return false;
    return std::all_of(name.begin() + 2, name.begin() + 34,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

[[noreturn]] void Unrecognized(const std::string& path) {
    throw ProviderError(ErrorReason::NotADatabase, "Unrecognized database format '" + path + "'.");
}

std::u16string Utf16(const std::string& utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}

std::string DecodeJet3(std::span<const std::uint8_t> bytes, void* decoder) {
    return static_cast<detail::CodePageDecoder*>(decoder)->Decode(bytes);
}

// The "Description" property of the object itself, from MSysObjects.LvProp.
std::string DescriptionOf(const Variant& lvProp, std::uint16_t codePage, bool jet3) {
    if (lvProp.type() != Variant::Type::Binary) return {};
    detail::CodePageDecoder decoder(codePage);
    return detail::DescriptionProperty(detail::ParseProperties(lvProp.Bytes(), jet3, DecodeJet3, &decoder));
}

// Where each named column of a table lies; -1 for a column it does not have.
std::map<std::string, int> ColumnIndexes(const std::vector<ColumnInfo>& columns,
                                         std::initializer_list<const char*> names) {
    std::map<std::string, int> at;
    for (const char* name : names) {
        at[name] = -1;
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (text::EqualsIgnoringCase(columns[i].name, name)) at[name] = static_cast<int>(i);
    }
    return at;
}

// A reader that keeps alive what its rows are read from: the decrypted copy of an encrypted file (its
// mdbtools handle reads from that memory), or the other database of a linked table, which stays open
// while they are read; a recordset may outlive the connection that opened it.
class KeepingSource final : public RowSource {
  public:
    KeepingSource(std::unique_ptr<RowSource> inner, std::shared_ptr<const void> owner)
        : owner_(std::move(owner)), inner_(std::move(inner)) {}
    const std::vector<ColumnInfo>& Columns() const override { return inner_->Columns(); }
    bool Next(std::vector<Variant>& values) override { return inner_->Next(values); }
    std::optional<std::int64_t> ExpectedRowCount() const override { return inner_->ExpectedRowCount(); }
    void KeepUnreadValues() override { inner_->KeepUnreadValues(); }
    const std::vector<std::string>& UnreadValues() const override { return inner_->UnreadValues(); }
    std::optional<std::vector<AttachedFile>> AttachedFiles(std::size_t column) override {
        return inner_->AttachedFiles(column);
    }

  private:
    std::shared_ptr<const void> owner_;  // declared first: released after the reader
    std::unique_ptr<RowSource> inner_;
};

// A connect string as it may be shown: the value of its PWD key (in any case) replaced by "***".
std::string WithoutPassword(const std::string& connect) {
    std::string out;
    std::size_t pos = 0;
    while (pos <= connect.size()) {
        const std::size_t end = std::min(connect.find(';', pos), connect.size());
        std::string part = connect.substr(pos, end - pos);
        const std::size_t eq = part.find('=');
        if (eq != std::string::npos) {
            const QString key = QString::fromStdString(part.substr(0, eq)).trimmed();
            if (key.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0)
                part = part.substr(0, eq + 1) + "***";
        }
        out += part;
        if (end < connect.size()) out += ';';
        pos = end + 1;
    }
    return out;
}

}  // namespace

std::shared_ptr<Database> Database::Open(const std::string& path, bool jetOnly, const std::string& password) {
    namespace fs = std::filesystem;
    const std::string notFound = "Could not find file '" + path + "'.";
    if (path.find_first_not_of(" \t") == std::string::npos)
        throw ProviderError(ErrorReason::FileNotFound, notFound);
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) throw ProviderError(ErrorReason::FileNotFound, notFound);
    if (fs::is_directory(status))
        throw ProviderError(ErrorReason::FileNotFound,
                            "Could not find file '" + path + "': it is a folder, not a database file.");
    // A pipe would block the open until something writes to it, a device could be read without end:
    // only a regular file is opened.
    if (!fs::is_regular_file(status))
        throw ProviderError(ErrorReason::FileNotReadable, "The database engine cannot open '" + path +
                                                              "': it is a pipe, a device or a socket, "
                                                              "not a database file.");

    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw ProviderError(ErrorReason::FileNotReadable,
                            "The database engine cannot open the file '" + path +
                                "'. It is already opened exclusively by another user, or you "
                                "need permission to view its data.");
    struct ::stat fileStatus {};
    if (::stat(path.c_str(), &fileStatus) != 0) Unrecognized(path);
    const auto fileSize = static_cast<std::uint64_t>(fileStatus.st_size);

    std::vector<std::uint8_t> page0(4096);
    in.read(reinterpret_cast<char*>(page0.data()), static_cast<std::streamsize>(page0.size()));
    page0.resize(static_cast<std::size_t>(in.gcount()));
    HeaderFault fault = HeaderFault::None;
    FileHeader header = detail::DecodeHeader(page0, fault);
    if (fault != HeaderFault::None) Unrecognized(path);
    // mdbtools reads past the end of a cut file without noticing; whole pages only, and at least the
    // catalogue's. What lies beyond a cut at a page boundary is noticed table by table.
    if (fileSize < header.pageSize * (kCatalogPage + 1)) Unrecognized(path);
    if (fileSize % header.pageSize != 0)
        throw ProviderError(ErrorReason::DamagedData,
                            "The database '" + path +
                                "' is damaged or incomplete: it ends in the middle of a page "
                                "(an interrupted copy or download?).");
    if (jetOnly && header.engine == Engine::Ace) Unrecognized(path);
    if (fileSize / header.pageSize > 0xFFFFFFu) Unrecognized(path);  // page numbers have 24 bits
    header.pageCount = static_cast<std::uint32_t>(fileSize / header.pageSize);
    header.modifiedNs = detail::ModifiedNs(fileStatus);

    // Office encryption (Access 2007 and later) leaves the header readable and encrypts every other page:
    // the whole file is decrypted into memory and mdbtools reads that copy.
    std::shared_ptr<const crypto::WipedBytes> plain;
    if (header.pageKey != 0 || !header.password.empty()) crypto::KeepOutOfCoreDumps();  // as Encrypted()
    if (crypto::IsOfficeEncrypted(header.version, header.pageKey)) {
        plain = crypto::DecryptFile(path, in, fileSize, header.pageSize, header.pageKey, password);
        header.pageKey = 0;
    }

    std::vector<std::uint8_t> catalogPage(header.pageSize);
    if (plain) {
        std::copy_n(plain->begin() + static_cast<std::ptrdiff_t>(header.pageSize * kCatalogPage),
                    header.pageSize, catalogPage.begin());
    } else {
        in.seekg(static_cast<std::streamoff>(header.pageSize * kCatalogPage));
        in.read(reinterpret_cast<char*>(catalogPage.data()),
                static_cast<std::streamsize>(catalogPage.size()));
        if (!in) Unrecognized(path);
        detail::DecodePage(header, kCatalogPage, catalogPage);
    }
    if (catalogPage[0] != 0x02 || catalogPage[1] != 0x01) Unrecognized(path);
    // Access 2007 and later keep a database password only as Office encryption, whose verifier has
    // checked it above; the Jet password field of their header holds filler.
    if (header.engine != Engine::Ace && !header.password.empty() && header.password != Utf16(password))
        throw ProviderError(ErrorReason::WrongPassword, "Not a valid password.");

    std::shared_ptr<Database> db(new Database());
    db->path_ = path;
    db->password_ = password;
    db->header_ = header;
    db->plain_ = plain;
    // mdb_open_buffer reads through fmemopen, which never writes to a read-only stream.
    db->mdb_.reset(plain
                       ? mdb_open_buffer(const_cast<std::uint8_t*>(plain->data()), plain->size(), MDB_NOFLAGS)
                       : mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!db->mdb_) Unrecognized(path);
    if (static_cast<std::size_t>(db->mdb_->fmt->pg_size) != header.pageSize) Unrecognized(path);
    db->ReadCatalog();
    return db;
}

namespace {

// The kind of a catalogue row by its MSysObjects type and flags; nothing for the types the provider does
// not list. Forms, reports, macros and modules have negative types (-32768, -32764 ...): they are not data.
std::optional<ObjectKind> KindOfObject(std::int64_t type, std::uint32_t flags, const std::string& name) {
    switch (type) {
        case kObjTable:
            if (!(flags & kFlagSystem))
                return (flags & kFlagAccess) ? ObjectKind::AccessTable : ObjectKind::Table;
            return IsComplexSupportName(name) ? ObjectKind::ComplexSupport : ObjectKind::SystemTable;
        case kObjQuery:
            return IsViewQuery(flags) ? ObjectKind::View : ObjectKind::Procedure;
        case kObjLink:
            return ObjectKind::Link;
        case kObjOdbcLink:
            return ObjectKind::OdbcLink;
        default:
            return std::nullopt;
    }
}

// A creation or change date no calendar holds (a damaged row) is left out, as if never stamped.
std::optional<double> DateStamp(const Variant& v) {
    if (v.type() != Variant::Type::Date || !text::IsOleDateInRange(v.OleDate())) return std::nullopt;
    return v.OleDate();
}

std::string TextOrEmpty(const Variant& v) {
    return v.type() == Variant::Type::Text ? v.text() : std::string();
}

}  // namespace

void Database::ReadCatalog() {
    // A catalogue read in part would hide tables: the file is not opened at all.
    auto cannotReadWhole = [&](const ProviderError& e) {
        return ProviderError(
            ErrorReason::DamagedData,
            "The database '" + path_ + "' cannot be read whole, so it is not opened. " + e.Description());
    };
    std::unique_ptr<detail::TableReader> reader;
    try {
        reader = std::make_unique<detail::TableReader>(mdb_.get(), header_, "MSysObjects", kCatalogPage,
                                                       std::nullopt);
    } catch (const ProviderError& e) {
        throw cannotReadWhole(e);
    }
    const auto at =
        ColumnIndexes(reader->Columns(), {"Name", "Type", "Id", "Flags", "DateCreate", "DateUpdate", "LvProp",
                                          "Database", "Connect", "ForeignName"});
    std::vector<Variant> row;
    for (;;) {
        try {
            if (!reader->Next(row)) break;
        } catch (const ProviderError& e) {
            throw cannotReadWhole(e);
        }
        auto get = [&](const char* name) -> Variant {
            const int i = at.at(name);
            return i < 0 ? Variant() : row[static_cast<std::size_t>(i)];
        };
        const Variant nameValue = get("Name");
        const Variant typeValue = get("Type");
        const Variant idValue = get("Id");
        if (nameValue.type() != Variant::Type::Text || typeValue.IsNull() || idValue.IsNull()) continue;
        const auto flagsValue = get("Flags");
        const auto flags = static_cast<std::uint32_t>(flagsValue.IsNull() ? 0 : flagsValue.ToInt64());
        const auto type = typeValue.ToInt64();

        if (type == kObjQuery)
            queryObjects_.push_back({nameValue.text(), static_cast<std::int32_t>(idValue.ToInt64()), flags});

        const std::optional<ObjectKind> kind = KindOfObject(type, flags, nameValue.text());
        if (!kind) continue;
        CatalogObject object;
        object.name = nameValue.text();
        object.kind = *kind;
        object.objectId = static_cast<std::int32_t>(idValue.ToInt64());
        object.flags = flags;
        object.tablePage = static_cast<std::uint32_t>(object.objectId) & 0x00FFFFFFu;
        object.created = DateStamp(get("DateCreate"));
        object.modified = DateStamp(get("DateUpdate"));
        const Variant properties = get("LvProp");
        if (properties.type() == Variant::Type::Binary) object.properties = properties.Bytes();
        object.description = DescriptionOf(properties, header_.codePage, header_.engine == Engine::Jet3);
        object.linkedDatabase = TextOrEmpty(get("Database"));
        object.linkedName = TextOrEmpty(get("ForeignName"));
        object.connect = TextOrEmpty(get("Connect"));
        catalog_.push_back(std::move(object));
    }
    MarkParameterQueries();
    // OLE DB gives schema rowsets sorted by type, then by name; the unlisted kinds go last.
    std::stable_sort(catalog_.begin(), catalog_.end(), [](const CatalogObject& a, const CatalogObject& b) {
        if (a.Listed() != b.Listed()) return a.Listed();
        const int byType = std::strcmp(a.TableType(), b.TableType());
        if (byType != 0) return byType < 0;
        return text::CompareIgnoringCase(a.name, b.name) < 0;
    });
}

void Database::MarkParameterQueries() {
    // A select query that declares parameters is a procedure to the provider, like an action query.
    std::set<std::string> withParameters;
    try {
        for (const StoredQuery& q : StoredQueries())
            if (std::any_of(q.rows.begin(), q.rows.end(),
                            [](const QueryAttribute& a) { return a.attribute == QueryAttribute::Parameter; }))
                withParameters.insert(q.name);
    } catch (const ProviderError&) {
        // An unreadable MSysQueries leaves every select query a view; reading the query says why.
    }
    for (auto& o : catalog_)
        if (o.kind == ObjectKind::View && withParameters.contains(o.name)) o.kind = ObjectKind::Procedure;
}

const std::vector<StoredQuery>& Database::StoredQueries() {
    if (queries_) return *queries_;
    std::vector<StoredQuery> queries;
    std::map<std::int32_t, std::size_t> byId;
    for (const QueryObject& o : queryObjects_) {
        const auto kind = QueryKindOfFlags(o.flags);
        if (!kind) continue;
        byId[o.id] = queries.size();
        queries.push_back({o.name, *kind, {}});
    }
    const auto system = std::find_if(catalog_.begin(), catalog_.end(), [](const CatalogObject& o) {
        return o.kind == ObjectKind::SystemTable && text::EqualsIgnoringCase(o.name, "MSysQueries");
    });
    if (!queries.empty() && system != catalog_.end()) {
        detail::TableReader reader(mdb_.get(), header_, system->name, system->tablePage, std::nullopt);
        const auto at = ColumnIndexes(
            reader.Columns(), {"ObjectId", "Attribute", "Name1", "Name2", "Expression", "Flag", "LvExtra"});
        std::vector<Variant> row;
        while (reader.Next(row)) {
            auto get = [&](const char* name) -> const Variant& {
                static const Variant null;
                const int i = at.at(name);
                return i < 0 ? null : row[static_cast<std::size_t>(i)];
            };
            auto text = [&](const char* name) -> std::optional<std::string> {
                const Variant& v = get(name);
                if (v.type() != Variant::Type::Text) return std::nullopt;
                return v.text();
            };
            auto number = [&](const char* name) -> std::optional<std::int64_t> {
                const Variant& v = get(name);
                if (v.IsNull() || v.type() == Variant::Type::Text || v.type() == Variant::Type::Binary)
                    return std::nullopt;
                return v.ToInt64();
            };
            const auto id = number("ObjectId");
            const auto attribute = number("Attribute");
            if (!id || !attribute) continue;
            const auto it = byId.find(static_cast<std::int32_t>(*id));
            if (it == byId.end()) continue;
            QueryAttribute a;
            a.attribute = static_cast<int>(*attribute);
            a.name1 = text("Name1");
            a.name2 = text("Name2");
            a.expression = text("Expression");
            if (const auto f = number("Flag")) a.flag = static_cast<int>(*f);
            if (const auto e = number("LvExtra")) a.extra = static_cast<std::int32_t>(*e);
            queries[it->second].rows.push_back(std::move(a));
        }
    }
    std::stable_sort(queries.begin(), queries.end(), [](const StoredQuery& a, const StoredQuery& b) {
        return text::CompareIgnoringCase(a.name, b.name) < 0;
    });
    queries_ = std::move(queries);
    return *queries_;
}

const CatalogObject* Database::Find(const std::string& name) const {
    const CatalogObject* found = nullptr;
    for (const CatalogObject& o : catalog_) {
        if (o.kind == ObjectKind::ComplexSupport || !text::EqualsIgnoringCase(o.name, name)) continue;
        if (o.Listed()) return &o;
        if (!found) found = &o;
    }
    return found;
}

std::unique_ptr<RowSource> Database::OpenTable(const std::string& name, std::optional<std::int64_t> top) {
    return OpenTable(name, top, 0);
}

std::unique_ptr<RowSource> Database::OpenTable(const std::string& name, std::optional<std::int64_t> top,
                                               int linkDepth) {
    const CatalogObject* object = Find(name);
    if (!object)
        throw ProviderError(ErrorReason::NoSuchTable,
                            "The database engine cannot find the input table or query '" + name +
                                "'. Make sure it exists and that its name is spelled correctly.");
    switch (object->kind) {
        case ObjectKind::View:
        case ObjectKind::Procedure:
            // The file holds a query only as its definition; the provider hands it to the query engine.
            // Reaching here means a link in another database names a query, which Access never links.
            throw ProviderError(ErrorReason::NotReadable,
                                "'" + object->name +
                                    "' is a stored query, not a table: it cannot be "
                                    "read as the target of a link.");
        case ObjectKind::Link:
            return OpenLink(*object, top, linkDepth);
        case ObjectKind::OdbcLink:
            throw ProviderError(
                ErrorReason::NotReadable,
                "The linked table '" + object->name + "' cannot be read: it is linked through ODBC ('" +
                    WithoutPassword(object->connect) + "'), which this provider does not reach.");
        default:
            break;
    }
    auto reader = std::make_unique<detail::TableReader>(mdb_.get(), header_, object->name, object->tablePage,
                                                        top, object->properties);
    reader->CompareWithStoredCount();
    LoadComplexValues(*reader, *object);
    if (!plain_) return reader;
    return std::make_unique<KeepingSource>(std::move(reader), plain_);
}

namespace {

// The value of one key ("PWD", "DATABASE") of a link's connect string, ";KEY=value;..."; nothing when
// the key is absent.
std::optional<std::string> ConnectValue(const std::string& connect, const std::string& key) {
    std::size_t pos = 0;
    while (pos <= connect.size()) {
        const std::size_t end = std::min(connect.find(';', pos), connect.size());
        const std::string part = connect.substr(pos, end - pos);
        const std::size_t eq = part.find('=');
        if (eq != std::string::npos && text::EqualsIgnoringCase(part.substr(0, eq), key))
            return part.substr(eq + 1);
        pos = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::unique_ptr<RowSource> Database::OpenLink(const CatalogObject& link, std::optional<std::int64_t> top,
                                              int linkDepth) {
    namespace fs = std::filesystem;
    constexpr int kMostLinks = 8;  // links to links: enough for real chains, not for a loop
    const std::string what = "The linked table '" + link.name + "' cannot be read: ";
    if (linkDepth >= kMostLinks)
        throw ProviderError(ErrorReason::NotReadable, what + "its links lead round in a circle.");
    std::string stored = link.linkedDatabase;
    if (stored.empty()) stored = ConnectValue(link.connect, "DATABASE").value_or("");
    // A link made on Windows keeps a Windows path; the file travels with the database more often than not.
    std::error_code ec;
    std::string path = stored;
    if (stored.empty() || !fs::is_regular_file(stored, ec)) {
        const std::size_t slash = stored.find_last_of("\\/");
        const std::string fileName = slash == std::string::npos ? stored : stored.substr(slash + 1);
        const fs::path beside = fs::path(path_).parent_path() / fileName;
        if (fileName.empty() || !fs::is_regular_file(beside, ec))
            throw ProviderError(ErrorReason::NotReadable,
                                what + "its database was not found at '" + stored + "'" +
                                    (fileName.empty() ? "" : " nor at '" + beside.string() + "'") + ".");
        path = beside.string();
    }
    const std::string password = ConnectValue(link.connect, "PWD").value_or(password_);
    std::shared_ptr<Database> linked;
    try {
        linked = Open(path, false, password);
    } catch (const ProviderError& e) {
        throw ProviderError(ErrorReason::NotReadable,
                            what + "its database '" + path + "' could not be opened: " + e.Description());
    }
    const std::string table = link.linkedName.empty() ? link.name : link.linkedName;
    auto rows = linked->OpenTable(table, top, linkDepth + 1);
    return std::make_unique<KeepingSource>(std::move(rows), std::move(linked));
}

const CatalogObject* Database::ObjectAt(std::uint32_t tablePage) const {
    for (const CatalogObject& o : catalog_)
        if (o.tablePage == tablePage &&
            (o.kind == ObjectKind::Table || o.kind == ObjectKind::SystemTable ||
             o.kind == ObjectKind::AccessTable || o.kind == ObjectKind::ComplexSupport))
            return &o;
    return nullptr;
}

void Database::LoadComplexValues(detail::TableReader& reader, const CatalogObject& table) {
    const auto columns = reader.ComplexColumns();
    if (columns.empty()) return;
    if (!complexColumns_) {
        complexColumns_.emplace();
        const auto list = std::find_if(catalog_.begin(), catalog_.end(), [](const CatalogObject& o) {
            return o.kind == ObjectKind::SystemTable && o.name == "MSysComplexColumns";
        });
        if (list != catalog_.end()) {
            detail::TableReader rows(mdb_.get(), header_, list->name, list->tablePage, std::nullopt);
            const auto at = ColumnIndexes(
                rows.Columns(), {"ComplexID", "ComplexTypeObjectID", "FlatTableID", "ConceptualTableID"});
            std::vector<Variant> row;
            auto id = [&](const char* name) {
                const int i = at.at(name);
                const Variant& v = i < 0 ? Variant() : row[static_cast<std::size_t>(i)];
                return v.IsNull() ? 0 : static_cast<std::int32_t>(v.ToInt64());
            };
            while (rows.Next(row))
                (*complexColumns_)[id("ComplexID")] = {id("ComplexTypeObjectID"), id("FlatTableID"),
                                                       id("ConceptualTableID")};
        }
    }
    for (const auto& [column, complexId] : columns)
        reader.SetComplexValues(column, ComplexValues(reader, table, column, complexId));
}

// The values of one complex column. The kind of column shows in the shape of its type table: one
// column of a plain type for a multi-value list; file name, type, data, time stamp and flags for
// attachments; a memo and a date for the version history of an append-only memo.
detail::ComplexColumnValues Database::ComplexValues(const detail::TableReader& reader,
                                                    const CatalogObject& table, std::size_t column,
                                                    std::int32_t complexId) {
    const std::string& columnName = reader.Columns()[column].name;
    const std::string where = "The column '" + columnName + "' in the table '" + table.name + "' ";
    const auto row = complexColumns_->find(complexId);
    const CatalogObject* typeTable =
        row == complexColumns_->end() ? nullptr : ObjectAt(static_cast<std::uint32_t>(row->second.typeTable));
    const CatalogObject* flatTable =
        row == complexColumns_->end() ? nullptr : ObjectAt(static_cast<std::uint32_t>(row->second.flatTable));
    if (!typeTable || !flatTable)
        throw ProviderError(ErrorReason::NotReadable,
                            where + "cannot be read: the table that holds its values is missing.");

    using VT = Variant::Type;
    const auto typeColumns =
        detail::TableReader(mdb_.get(), header_, typeTable->name, typeTable->tablePage, std::nullopt)
            .Columns();
    std::map<VT, int> count;
    for (const auto& c : typeColumns) ++count[c.type];
    const std::set<VT> listTypes = {VT::Byte, VT::Integer, VT::Long, VT::Single, VT::Double,
                                    VT::Guid, VT::Decimal, VT::Text, VT::BigInt};
    std::string valueColumn;
    if (typeColumns.size() == 1 && listTypes.contains(typeColumns[0].type)) {
        valueColumn = typeColumns[0].name;
    } else if (typeColumns.size() >= 6 && count[VT::Text] >= 2 && count[VT::Long] >= 1 &&
               count[VT::Binary] >= 1 && count[VT::Date] >= 1) {
        valueColumn = "FileName";
    } else if (count[VT::Text] >= 1 && count[VT::Date] >= 1) {
        // Version history: the row shows the memo's current text, which is the memo column itself.
        for (const auto& c : typeColumns) {
            if (c.type != VT::Text) continue;
            for (std::size_t i = 0; i < reader.Columns().size(); ++i)
                if (text::EqualsIgnoringCase(reader.Columns()[i].name, c.name)) {
                    detail::ComplexColumnValues values;
                    values.sameRowColumn = static_cast<int>(i);
                    return values;
                }
        }
        throw ProviderError(ErrorReason::NotReadable,
                            where + "keeps the versions of a memo that the table does not have.");
    } else {
        throw ProviderError(
            ErrorReason::NotReadable,
            where + "is a complex column of a kind this provider cannot read ('" + typeTable->name + "').");
    }

    detail::TableReader flat(mdb_.get(), header_, flatTable->name, flatTable->tablePage, std::nullopt,
                             flatTable->properties);
    // The key column is the long integer of the values table that the type table does not have, named
    // "_" and the column's name by Access.
    int keyAt = -1, valueAt = -1;
    for (std::size_t i = 0; i < flat.Columns().size(); ++i) {
        const auto& c = flat.Columns()[i];
        const bool typeColumn = std::any_of(typeColumns.begin(), typeColumns.end(), [&](const ColumnInfo& t) {
            return text::EqualsIgnoringCase(t.name, c.name);
        });
        if (text::EqualsIgnoringCase(c.name, valueColumn)) valueAt = static_cast<int>(i);
        if (!typeColumn && c.type == VT::Long && (keyAt < 0 || c.name.rfind('_', 0) == 0))
            keyAt = static_cast<int>(i);
    }
    if (keyAt < 0 || valueAt < 0)
        throw ProviderError(ErrorReason::NotReadable,
                            where + "cannot be read: the table that holds its values has no key.");
    detail::ComplexColumnValues values;
    const text::Locale locale = text::Locale::System();
    std::vector<Variant> flatRow;
    while (flat.Next(flatRow)) {
        const Variant& key = flatRow[static_cast<std::size_t>(keyAt)];
        const Variant& value = flatRow[static_cast<std::size_t>(valueAt)];
        if (key.IsNull() || value.IsNull()) continue;
        std::string& text = values.texts[static_cast<std::int32_t>(key.ToInt64())];
        if (!text.empty()) text += ", ";
        text += text::ValueToText(value, locale);
    }
    if (valueColumn == "FileName") {
        int typeAt = -1, dataAt = -1;
        for (std::size_t i = 0; i < flat.Columns().size(); ++i) {
            if (text::EqualsIgnoringCase(flat.Columns()[i].name, "FileType")) typeAt = static_cast<int>(i);
            if (text::EqualsIgnoringCase(flat.Columns()[i].name, "FileData")) dataAt = static_cast<int>(i);
        }
        if (dataAt >= 0)
            values.readFiles = [self = shared_from_this(), flatTable, keyAt, valueAt, typeAt, dataAt] {
                // The values table is read again, now with the files' data, only when asked for.
                detail::TableReader files(self->mdb_.get(), self->header_, flatTable->name,
                                          flatTable->tablePage, std::nullopt, flatTable->properties);
                const text::Locale fileLocale = text::Locale::System();
                detail::ComplexColumnValues::FilesByKey byKey;
                std::vector<Variant> fileRow;
                auto at = [&](int i) -> const Variant& { return fileRow[static_cast<std::size_t>(i)]; };
                while (files.Next(fileRow)) {
                    if (at(keyAt).IsNull()) continue;
                    AttachedFile file;
                    if (!at(valueAt).IsNull()) file.name = text::ValueToText(at(valueAt), fileLocale);
                    if (typeAt >= 0 && !at(typeAt).IsNull())
                        file.type = text::ValueToText(at(typeAt), fileLocale);
                    if (at(dataAt).type() == Variant::Type::Binary) {
                        const auto bytes = at(dataAt).Bytes();
                        file.data.assign(bytes.begin(), bytes.end());
                    }
                    byKey[static_cast<std::int32_t>(at(keyAt).ToInt64())].push_back(std::move(file));
                }
                return byKey;
            };
    }
    return values;
}

const char* CatalogObject::TableType() const {
    switch (kind) {
        case ObjectKind::Table:
            return "TABLE";
        case ObjectKind::SystemTable:
            return "SYSTEM TABLE";
        case ObjectKind::AccessTable:
            return "ACCESS TABLE";
        case ObjectKind::View:
            return "VIEW";
        case ObjectKind::Link:
            return "LINK";
        case ObjectKind::OdbcLink:
            return "PASS-THROUGH";
        case ObjectKind::ComplexSupport:
        case ObjectKind::Procedure:
            return "";
    }
    return "";
}

}  // namespace tabvert::ado
