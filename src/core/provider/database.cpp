#include "core/provider/database.h"

#include <QString>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "core/provider/crypto/encrypted_file.h"
#include "core/provider/properties.h"
#include "core/provider/query_engine.h"
#include "core/provider/provider_error.h"
#include "core/provider/table_reader.h"
#include "core/text/strings.h"

namespace tabvert::ado {
namespace {

using detail::Engine;
using detail::FileHeader;
using detail::HeaderFault;

constexpr std::uint32_t kCatalogPage = 2;  // MSysObjects
constexpr int kObjTable = 1, kObjOdbcLink = 4, kObjQuery = 5, kObjLink = 6;
constexpr std::uint32_t kFlagSystem = 0x80000000u, kFlagAccess = 0x00000002u;

[[noreturn]] void Unrecognized(const std::string& path) {
    throw ProviderError(ErrorReason::NotADatabase, "Unrecognized database format '" + path + "'.");
}

std::u16string Utf16(const std::string& utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size()));
}


std::string DecodeJet3(std::span<const std::uint8_t> bytes, void* decoder) {
    return static_cast<detail::CodePageDecoder*>(decoder)->decode(bytes);
}

// The "Description" property of the object itself, from MSysObjects.LvProp.
std::string DescriptionOf(const Variant& lvProp, std::uint16_t codePage, bool jet3) {
    if (lvProp.type() != Variant::Type::Binary) return {};
    detail::CodePageDecoder decoder(codePage);
    return detail::DescriptionProperty(detail::ParseProperties(lvProp.bytes(), jet3, DecodeJet3, &decoder));
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

// A reader that keeps the decrypted copy of its file alive: its mdbtools handle reads from that memory,
// and a recordset may outlive the connection that opened it.
class KeepingSource final : public RowSource {
  public:
    KeepingSource(std::unique_ptr<RowSource> inner, std::shared_ptr<const crypto::WipedBytes> plain)
        : plain_(std::move(plain)), inner_(std::move(inner)) {}
    const std::vector<ColumnInfo>& columns() const override { return inner_->columns(); }
    bool next(std::vector<Variant>& values) override { return inner_->next(values); }

  private:
    std::shared_ptr<const crypto::WipedBytes> plain_;  // declared first: released after the reader
    std::unique_ptr<RowSource> inner_;
};

}  // namespace

std::shared_ptr<Database> Database::Open(const std::string& path, bool jetOnly, const std::string& password) {
    namespace fs = std::filesystem;
    const std::string notFound = "Could not find file '" + path + "'.";
    if (path.find_first_not_of(" \t") == std::string::npos) throw ProviderError(ErrorReason::FileNotFound, notFound);
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status)) throw ProviderError(ErrorReason::FileNotFound, notFound);

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
        throw ProviderError(ErrorReason::DamagedData, "The database '" + path +
                                                 "' is damaged or incomplete: it ends in the middle of a page "
                                                 "(an interrupted copy or download?).");
    if (jetOnly && header.engine == Engine::Ace) Unrecognized(path);
    if (fileSize / header.pageSize > 0xFFFFFFu) Unrecognized(path);  // page numbers have 24 bits
    header.pageCount = static_cast<std::uint32_t>(fileSize / header.pageSize);
    header.modifiedNs = detail::ModifiedNs(fileStatus);

    // Office encryption (Access 2007 and later) leaves the header readable and encrypts every other page:
    // the whole file is decrypted into memory and mdbtools reads that copy.
    std::shared_ptr<const crypto::WipedBytes> plain;
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
    db->header_ = header;
    db->plain_ = plain;
    // mdb_open_buffer reads through fmemopen, which never writes to a read-only stream.
    db->mdb_.reset(plain
                       ? mdb_open_buffer(const_cast<std::uint8_t*>(plain->data()), plain->size(), MDB_NOFLAGS)
                       : mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!db->mdb_) Unrecognized(path);
    if (static_cast<std::size_t>(db->mdb_->fmt->pg_size) != header.pageSize) Unrecognized(path);
    db->readCatalog();
    return db;
}

void Database::readCatalog() {
    // A catalogue read in part would hide tables: the file is not opened at all.
    auto cannotReadWhole = [&](const ProviderError& e) {
        return ProviderError(ErrorReason::DamagedData, "The database '" + path_ +
                                                  "' cannot be read whole, so it is not opened. " + e.description());
    };
    std::unique_ptr<detail::TableReader> reader;
    try {
        reader = std::make_unique<detail::TableReader>(mdb_.get(), header_, "MSysObjects", kCatalogPage,
                                                       std::nullopt);
    } catch (const ProviderError& e) {
        throw cannotReadWhole(e);
    }
    const auto at = ColumnIndexes(reader->columns(), {"Name", "Type", "Id", "Flags", "DateCreate",
                                                      "DateUpdate", "LvProp", "Database", "ForeignName"});
    std::vector<Variant> row;
    for (;;) {
        try {
            if (!reader->next(row)) break;
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
        if (nameValue.type() != Variant::Type::Text || typeValue.isNull() || idValue.isNull()) continue;
        const auto flagsValue = get("Flags");
        const auto flags = static_cast<std::uint32_t>(flagsValue.isNull() ? 0 : flagsValue.toInt64());
        const int type = static_cast<int>(typeValue.toInt64() & 0x7F);

        if (type == kObjQuery)
            queryObjects_.push_back({nameValue.text(), static_cast<std::int32_t>(idValue.toInt64()), flags});

        CatalogObject object;
        object.name = nameValue.text();
        object.objectType = type;
        object.tablePage = static_cast<std::uint32_t>(idValue.toInt64()) & 0x00FFFFFFu;
        object.objectId = static_cast<std::int32_t>(idValue.toInt64());
        object.flags = flags;
        if (type == kObjTable)
            object.tableType = (flags & kFlagSystem)   ? "SYSTEM TABLE"
                               : (flags & kFlagAccess) ? "ACCESS TABLE"
                                                       : "TABLE";
        else if (type == kObjQuery && flags == 0)
            object.tableType = "VIEW";  // a plain select query; action queries are procedures
        else if (type == kObjLink)
            object.tableType = "LINK";
        else if (type == kObjOdbcLink)
            object.tableType = "PASS-THROUGH";
        else
            continue;
        const Variant created = get("DateCreate"), modified = get("DateUpdate");
        if (created.type() == Variant::Type::Date) object.created = created.oleDate();
        if (modified.type() == Variant::Type::Date) object.modified = modified.oleDate();
        object.description = DescriptionOf(get("LvProp"), header_.codePage, header_.engine == Engine::Jet3);
        const Variant database = get("Database"), foreign = get("ForeignName");
        if (database.type() == Variant::Type::Text) object.linkedDatabase = database.text();
        if (foreign.type() == Variant::Type::Text) object.linkedName = foreign.text();
        catalog_.push_back(std::move(object));
    }
    // OLE DB gives schema rowsets sorted by type, then by name.
    std::stable_sort(catalog_.begin(), catalog_.end(), [](const CatalogObject& a, const CatalogObject& b) {
        if (a.tableType != b.tableType) return a.tableType < b.tableType;
        return text::CompareIgnoringCase(a.name, b.name) < 0;
    });
}

const std::vector<StoredQuery>& Database::storedQueries() {
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
        return o.objectType == kObjTable && text::EqualsIgnoringCase(o.name, "MSysQueries");
    });
    if (!queries.empty() && system != catalog_.end()) {
        detail::TableReader reader(mdb_.get(), header_, system->name, system->tablePage, std::nullopt);
        const auto at = ColumnIndexes(reader.columns(),
                                      {"ObjectId", "Attribute", "Name1", "Name2", "Expression", "Flag", "LvExtra"});
        std::vector<Variant> row;
        while (reader.next(row)) {
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
                if (v.isNull() || v.type() == Variant::Type::Text || v.type() == Variant::Type::Binary) return std::nullopt;
                return v.toInt64();
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

std::unique_ptr<RowSource> Database::openTable(const std::string& name, std::optional<std::int64_t> top) {
    const auto it = std::find_if(catalog_.begin(), catalog_.end(),
                                 [&](const CatalogObject& o) { return text::EqualsIgnoringCase(o.name, name); });
    const bool query = it != catalog_.end() ? it->objectType == kObjQuery
                                            : std::any_of(storedQueries().begin(), storedQueries().end(),
                                                          [&](const StoredQuery& q) { return text::EqualsIgnoringCase(q.name, name); });
    if (query) return OpenStoredQuery(shared_from_this(), it != catalog_.end() ? it->name : name, top);
    if (it == catalog_.end())
        throw ProviderError(ErrorReason::NoSuchTable,
                            "The database engine cannot find the input table or query '" + name +
                                "'. Make sure it exists and that its name is spelled correctly.");
    if (it->objectType == kObjLink || it->objectType == kObjOdbcLink)
        throw ProviderError(ErrorReason::NotReadable,
                            "The linked table '" + it->name + "' cannot be read: its data lives in '" +
                                it->linkedDatabase + "', and this provider does not follow links.");
    auto reader = std::make_unique<detail::TableReader>(mdb_.get(), header_, it->name, it->tablePage, top);
    if (!plain_) return reader;
    return std::make_unique<KeepingSource>(std::move(reader), plain_);
}

}  // namespace tabvert::ado
