// The engine that runs a stored query: the file's tables as SQLite virtual tables, one SQLite
// connection per run, and the rows it returns read back as Access values.

#include "core/sql/query_engine.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "core/access/database.h"
#include "core/sql/access_functions.h"
#include "core/sql/access_sql.h"
#include "core/sql/sql_translate.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado {
namespace {

using sql::Type;

struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using SqlitePtr = std::unique_ptr<sqlite3, SqliteCloser>;
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

std::string Folded(const std::string& s) { return QString::fromUtf8(s).toCaseFolded().toStdString(); }

// Where SQLite puts the temporary files of a large sort or grouping: the first of these that is a folder
// the process may write in, as its Unix layer chooses.
std::string SqliteTemporaryFolder() {
    const char* candidates[] = {sqlite3_temp_directory,
                                std::getenv("SQLITE_TMPDIR"),
                                std::getenv("TMPDIR"),
                                "/var/tmp",
                                "/usr/tmp",
                                "/tmp"};
    for (const char* folder : candidates) {
        struct stat st {};
        if (folder != nullptr && *folder != '\0' && stat(folder, &st) == 0 && S_ISDIR(st.st_mode) &&
            access(folder, W_OK | X_OK) == 0)
            return folder;
    }
    return ".";
}

// ----- the virtual table over one table of the file -----

struct FileTable : sqlite3_vtab {
    Database* db = nullptr;
    std::string name;
    std::size_t columns = 0;
};

struct FileCursor : sqlite3_vtab_cursor {
    std::unique_ptr<RowSource> rows;
    std::vector<Variant> row;
    sqlite3_int64 rowid = 0;
    bool eof = true;
};

void SetError(sqlite3_vtab* vtab, const std::string& message) {
    sqlite3_free(vtab->zErrMsg);
    vtab->zErrMsg = sqlite3_mprintf("%s", message.c_str());
}

const char* DeclaredType(Variant::Type t) {
    switch (sql::TypeOf(t)) {
        case Type::Text:
        case Type::Guid:
            return "TEXT";
        case Type::Binary:
            return "BLOB";
        case Type::Single:
        case Type::Double:
        case Type::Decimal:
        case Type::Date:
            return "REAL";
        default:
            return "INTEGER";
    }
}

int Connect(sqlite3* handle, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
    auto* names = static_cast<std::vector<std::pair<Database*, std::string>>*>(aux);
    if (argc < 4) return SQLITE_ERROR;
    const std::size_t index = std::strtoul(argv[3], nullptr, 10);
    if (index >= names->size()) return SQLITE_ERROR;
    auto table = std::make_unique<FileTable>();
    table->db = (*names)[index].first;
    table->name = (*names)[index].second;
    try {
        const auto reader = table->db->OpenTable(table->name, 0);
        std::string decl = "CREATE TABLE x(";
        const auto& columns = reader->Columns();
        for (std::size_t i = 0; i < columns.size(); ++i)
            decl += (i ? ", " : "") + sql::Quote(columns[i].name) + " " + DeclaredType(columns[i].type);
        decl += ")";
        table->columns = columns.size();
        const int rc = sqlite3_declare_vtab(handle, decl.c_str());
        if (rc != SQLITE_OK) return rc;
    } catch (const ProviderError& e) {
        *err = sqlite3_mprintf("%s", e.Description().c_str());
        return SQLITE_ERROR;
    }
    *out = table.release();
    return SQLITE_OK;
}

int BestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e6;  // a full read of the table; no constraint narrows it
    info->estimatedRows = 100000;
    return SQLITE_OK;
}

int Disconnect(sqlite3_vtab* vtab) {
    delete static_cast<FileTable*>(vtab);
    return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
    *out = new FileCursor();
    return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
    delete static_cast<FileCursor*>(cursor);
    return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* base) {
    auto* c = static_cast<FileCursor*>(base);
    try {
        c->eof = !c->rows->Next(c->row);
        ++c->rowid;
    } catch (const ProviderError& e) {
        SetError(base->pVtab, e.Description());
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int, const char*, int, sqlite3_value**) {
    auto* c = static_cast<FileCursor*>(base);
    auto* table = static_cast<FileTable*>(base->pVtab);
    try {
        c->rows = table->db->OpenTable(table->name, std::nullopt);
    } catch (const ProviderError& e) {
        SetError(base->pVtab, e.Description());
        return SQLITE_ERROR;
    }
    c->rowid = 0;
    return Next(base);
}

int Eof(sqlite3_vtab_cursor* base) { return static_cast<FileCursor*>(base)->eof ? 1 : 0; }

double DecimalToDouble(const DecimalValue& d) {
    const double v = std::strtod(d.digits.c_str(), nullptr) / std::pow(10.0, d.scale);
    return d.negative ? -v : v;
}

int Column(sqlite3_vtab_cursor* base, sqlite3_context* ctx, int i) {
    const Variant& v = static_cast<FileCursor*>(base)->row[static_cast<std::size_t>(i)];
    switch (v.type()) {
        case Variant::Type::Null:
            sqlite3_result_null(ctx);
            break;
        case Variant::Type::Boolean:
            sqlite3_result_int(ctx, v.ToBool() ? -1 : 0);
            break;
        case Variant::Type::Byte:
        case Variant::Type::Integer:
        case Variant::Type::Long:
        case Variant::Type::BigInt:
        case Variant::Type::Currency:
            sqlite3_result_int64(ctx, v.ToInt64());
            break;
        case Variant::Type::Single:
        case Variant::Type::Double:
        case Variant::Type::Date:
            sqlite3_result_double(ctx, v.ToDouble());
            break;
        case Variant::Type::Decimal:
            sqlite3_result_double(ctx, DecimalToDouble(v.decimal()));
            break;
        case Variant::Type::Text:
            sqlite3_result_text(ctx, v.text().data(), static_cast<int>(v.text().size()), SQLITE_TRANSIENT);
            break;
        case Variant::Type::Binary:
            sqlite3_result_blob(ctx, v.Bytes().data(), static_cast<int>(v.Bytes().size()), SQLITE_TRANSIENT);
            break;
        case Variant::Type::Guid: {
            const std::string s = text::ValueToText(v, text::Locale::EnUS());
            sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            break;
        }
    }
    return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* out) {
    *out = static_cast<FileCursor*>(base)->rowid;
    return SQLITE_OK;
}

sqlite3_module MakeModule() {
    sqlite3_module m{};
    m.xCreate = Connect;
    m.xConnect = Connect;
    m.xBestIndex = BestIndex;
    m.xDisconnect = Disconnect;
    m.xDestroy = Disconnect;
    m.xOpen = Open;
    m.xClose = Close;
    m.xFilter = Filter;
    m.xNext = Next;
    m.xEof = Eof;
    m.xColumn = Column;
    m.xRowid = Rowid;
    return m;
}
const sqlite3_module kFileTableModule = MakeModule();

// ----- values out -----

Variant WholeNumber(sqlite3_int64 n, Type type) {
    if (type == Type::Byte && n >= 0 && n <= 255) return Variant::Byte(static_cast<std::uint8_t>(n));
    if ((type == Type::Byte || type == Type::Integer) && n >= INT16_MIN && n <= INT16_MAX)
        return Variant::Integer(static_cast<std::int16_t>(n));
    if (n >= INT32_MIN && n <= INT32_MAX) return Variant::Long(static_cast<std::int32_t>(n));
    if (type == Type::BigInt) return Variant::BigInt(n);
    return Variant::Double(static_cast<double>(n));
}

Variant ValueOut(sqlite3_stmt* s, int i, Type type) {
    const int storage = sqlite3_column_type(s, i);
    if (storage == SQLITE_NULL) return {};
    auto text = [&] {
        return Variant::Text(std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, i))));
    };
    if (storage == SQLITE_BLOB) {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, i));
        return Variant::Binary(std::vector<std::uint8_t>(p, p + sqlite3_column_bytes(s, i)));
    }
    if (storage == SQLITE_TEXT && type != Type::Text) return text();
    const double d = sqlite3_column_double(s, i);
    switch (type) {
        case Type::Text:
        case Type::Guid:
            return text();
        case Type::Boolean:
            return Variant::Boolean(d != 0);
        case Type::Currency:
            return Variant::Currency(storage == SQLITE_INTEGER ? sqlite3_column_int64(s, i)
                                                               : std::llround(d));
        case Type::Single:
            return Variant::Single(static_cast<float>(d));
        case Type::Double:
        case Type::Decimal:
            return Variant::Double(d);
        case Type::Date:
            return Variant::Date(d);
        case Type::Byte:
        case Type::Integer:
        case Type::Long:
        case Type::BigInt:
            if (storage == SQLITE_INTEGER) return WholeNumber(sqlite3_column_int64(s, i), type);
            if (d == std::trunc(d) && std::fabs(d) < 9e18)
                return WholeNumber(static_cast<sqlite3_int64>(d), type);
            return Variant::Double(d);
        default:
            if (storage == SQLITE_INTEGER) return WholeNumber(sqlite3_column_int64(s, i), Type::Long);
            return Variant::Double(d);
    }
}

Variant::Type VariantTypeOf(Type t) {
    switch (t) {
        case Type::Boolean:
            return Variant::Type::Boolean;
        case Type::Byte:
            return Variant::Type::Byte;
        case Type::Integer:
            return Variant::Type::Integer;
        case Type::Long:
            return Variant::Type::Long;
        case Type::BigInt:
            return Variant::Type::BigInt;
        case Type::Currency:
            return Variant::Type::Currency;
        case Type::Single:
            return Variant::Type::Single;
        case Type::Double:
        case Type::Decimal:
            return Variant::Type::Double;
        case Type::Date:
            return Variant::Type::Date;
        case Type::Text:
        case Type::Guid:
            return Variant::Type::Text;
        case Type::Binary:
            return Variant::Type::Binary;
        default:
            return Variant::Type::Null;
    }
}

// ----- walls around the query text -----

// Queries of stored queries of stored queries ...: deeper than this is refused, as Access refuses it.
constexpr std::size_t kMaxQueryNesting = 50;

// SQLite's own functions that translated SQL may call; any other (load_extension, fts3_tokenizer,
// zeroblob, ...) is refused at prepare time. Ours are all named acc_*.
bool AllowedFunction(const char* name) {
    static const char* const kAllowed[] = {
        "abs",          "avg",        "ceil",    "ceiling",      "char",       "coalesce", "cos",
        "count",        "cume_dist",  "date",    "datetime",     "dense_rank", "exp",      "first_value",
        "floor",        "format",     "glob",    "group_concat", "hex",        "ifnull",   "iif",
        "instr",        "julianday",  "lag",     "last_value",   "lead",       "length",   "like",
        "likelihood",   "likely",     "ln",      "log",          "log10",      "log2",     "lower",
        "ltrim",        "max",        "min",     "mod",          "nth_value",  "ntile",    "nullif",
        "percent_rank", "pi",         "pow",     "power",        "printf",     "rank",     "replace",
        "round",        "row_number", "rtrim",   "sign",         "sin",        "sqrt",     "strftime",
        "substr",       "substring",  "sum",     "tan",          "time",       "total",    "trim",
        "trunc",        "typeof",     "unicode", "unlikely",     "upper",      "atan",     "atan2"};
    if (std::strncmp(name, "acc_", 4) == 0) return true;
    for (const char* a : kAllowed)
        if (sqlite3_stricmp(name, a) == 0) return true;
    return false;
}

// A name the engine gives the tables and views it makes ("table t", "query q", "remote path|t").
bool OwnObject(const char* name) {
    if (!name) return false;
    for (const char* prefix : {"table ", "query ", "remote "})
        if (std::strncmp(name, prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

// ----- one run -----

class Engine : public sql::Schema {
  public:
    Engine(std::shared_ptr<Database> db, QueryWatch watch) : db_(std::move(db)), watch_(std::move(watch)) {
        sqlite3* raw = nullptr;
        if (sqlite3_open_v2(":memory:", &raw,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            sqlite3_close(raw);
            throw ProviderError(ErrorReason::QueryFailed, "The query engine could not start.");
        }
        handle_.reset(raw);
        // Rows of an encrypted database never reach a temporary file in plain text.
        if (db_->Encrypted()) Exec("PRAGMA temp_store=MEMORY");
        sqlite3_create_module(raw, "access", &kFileTableModule, &tables_);
        sql::RegisterAccessFunctions(raw, &collator_);
        // A query's text is untrusted input: SQLite's limits, a check on everything a statement may do,
        // and a handler that ends a statement that runs too long or is no longer wanted.
        sqlite3_limit(raw, SQLITE_LIMIT_LENGTH, 256 << 20);
        sqlite3_limit(raw, SQLITE_LIMIT_SQL_LENGTH, 16 << 20);
        sqlite3_limit(raw, SQLITE_LIMIT_EXPR_DEPTH, 1000);
        sqlite3_limit(raw, SQLITE_LIMIT_COMPOUND_SELECT, 500);
        sqlite3_limit(raw, SQLITE_LIMIT_ATTACHED, 0);
        sqlite3_limit(raw, SQLITE_LIMIT_VARIABLE_NUMBER, 0);
        sqlite3_set_authorizer(raw, Authorize, this);
        sqlite3_progress_handler(raw, 1000, Progress, this);
        Started();
    }

    Object object(const std::string& name) override {
        const std::string key = Folded(name);
        if (const auto it = objects_.find(key); it != objects_.end()) return it->second;
        const bool isQuery = std::any_of(db_->StoredQueries().begin(), db_->StoredQueries().end(),
                                         [&](const StoredQuery& q) { return Folded(q.name) == key; });
        Object o;
        if (!isQuery) {
            // A table, or whatever else the reader can read under that name; it throws the provider's own
            // message for a name it does not know.
            o = TableObject(*db_, name, sql::Quote("table " + key));
        } else {
            sql::Translated t;
            try {
                t = Translate(name);
            } catch (const ProviderError& e) {
                // The query that fails is one this query uses: its message names it.
                if (e.Description().rfind("Query \"", 0) == 0) throw;
                throw ProviderError(e.Reason(), "Query \"" + name + "\": " + e.Description());
            }
            o.sqlName = sql::Quote("query " + key);
            std::string list;
            std::vector<std::string> seen;
            o.columns = t.columns;
            for (sql::OutColumn& c : o.columns) {  // a view takes each name once
                while (std::find(seen.begin(), seen.end(), Folded(c.name)) != seen.end()) c.name += "_";
                seen.push_back(Folded(c.name));
                list += (list.empty() ? "" : ", ") + sql::Quote(c.name);
            }
            Exec("CREATE TEMP VIEW " + o.sqlName + "(" + list + ") AS " + t.sql);
        }
        objects_[key] = o;
        return o;
    }

    // A table of another Access file, found as a linked table's file is: at its stored path, else by its
    // file name beside the open database. Its stored queries are not run from here.
    Object RemoteObject(const std::string& database, const std::string& name) override {
        namespace fs = std::filesystem;
        std::error_code ec;
        std::string path = database;
        if (!fs::is_regular_file(path, ec)) {
            const std::size_t slash = database.find_last_of("\\/");
            const std::string fileName = slash == std::string::npos ? database : database.substr(slash + 1);
            const fs::path beside = fs::path(db_->Path()).parent_path() / fileName;
            if (fileName.empty() || !fs::is_regular_file(beside, ec))
                throw ProviderError(ErrorReason::NotReadable, "Could not find file '" + database + "'.");
            path = beside.string();
        }
        const std::string key = "remote " + Folded(fs::absolute(path, ec).string()) + "|" + Folded(name);
        if (const auto it = objects_.find(key); it != objects_.end()) return it->second;
        std::shared_ptr<Database>& remote = remotes_[Folded(fs::absolute(path, ec).string())];
        if (!remote) remote = Database::Open(path, false, "");
        Object o = TableObject(*remote, name, sql::Quote(key));
        objects_[key] = o;
        return o;
    }

    std::vector<Variant> Values(const std::string& text, Type type) override {
        StatementPtr s = Prepare(text);
        Started();
        std::vector<Variant> out;
        for (;;) {
            const int rc = sqlite3_step(s.get());
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) Fail();
            out.push_back(ValueOut(s.get(), 0, type));
        }
        return out;
    }

    sql::Translated Translate(const std::string& name) {
        if (std::find(running_.begin(), running_.end(), Folded(name)) != running_.end())
            throw ProviderError(ErrorReason::QueryFailed, "Circular reference caused by '" + name + "'.");
        const StoredQuery* query = nullptr;
        for (const StoredQuery& q : db_->StoredQueries())
            if (Folded(q.name) == Folded(name)) query = &q;
        if (!query)
            throw ProviderError(ErrorReason::NoSuchTable,
                                "The query '" + name + "' has no definition in the file.");
        if (query->kind != QueryKind::Select && query->kind != QueryKind::Union &&
            query->kind != QueryKind::Crosstab)
            throw ProviderError(ErrorReason::BadCommand,
                                "The query '" + query->name + "' changes the database (" +
                                    QueryKindName(query->kind) + " query); only select queries are run.");
        if (running_.size() >= kMaxQueryNesting)
            throw ProviderError(ErrorReason::BadCommand, "Query is too complex.");
        running_.push_back(Folded(name));
        sql::Translated t = sql::Translate(sql::Parse(QuerySql(*query)), *this);
        running_.pop_back();
        return t;
    }

    StatementPtr Prepare(const std::string& text) {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(handle_.get(), text.c_str(), static_cast<int>(text.size()), &raw, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(raw);
            Fail();
        }
        return StatementPtr(raw);
    }

    // The failure of the last SQLite call: why the handler ended it, Access's words where SQLite ran
    // into one of its limits on the size of a statement, SQLite's otherwise.
    [[noreturn]] void Fail() {
        if (!stopped_.empty()) throw ProviderError(ErrorReason::QueryFailed, stopped_);
        const std::string message = sqlite3_errmsg(handle_.get());
        // The database is in memory: what is full is the folder of SQLite's temporary files.
        if (sqlite3_errcode(handle_.get()) == SQLITE_FULL) {
            throw ProviderError(ErrorReason::QueryFailed, "The temporary folder " + SqliteTemporaryFolder() +
                                                              " is full (" + message + ").");
        }
        for (const char* tooBig : {"parser stack overflow", "Expression tree is too large", "too many terms",
                                   "too many arguments on function", "at most 64 tables in a join",
                                   "too many columns", "statement too long"})
            if (message.find(tooBig) != std::string::npos)
                throw ProviderError(ErrorReason::BadCommand, "Query is too complex.");
        throw ProviderError(ErrorReason::QueryFailed, message);
    }

    // A statement starts to compute (up to its next row): its time starts now.
    void Started() {
        const auto now = std::chrono::steady_clock::now();
        deadline_ = now + watch_.stepTimeLimit;
        nextPoll_ = now + kPollEvery;
    }

  private:
    // Registers a table of `db` with SQLite under `sqlName`.
    Object TableObject(Database& db, const std::string& name, const std::string& sqlName) {
        const auto reader = db.OpenTable(name, 0);
        tables_.emplace_back(&db, name);
        Object o;
        o.sqlName = sqlName;
        o.table = true;
        Exec("CREATE VIRTUAL TABLE temp." + o.sqlName + " USING access(" +
             std::to_string(tables_.size() - 1) + ")");
        for (const ColumnInfo& c : reader->Columns()) {
            Type t = sql::TypeOf(c.type);
            if (t == Type::Guid) t = Type::Text;
            if (t == Type::Decimal) t = Type::Double;
            o.columns.push_back({c.name, t});
        }
        return o;
    }

    // The engine's own statements (its virtual tables and views); the views' bodies still pass the same
    // checks as any translated statement.
    void Exec(const std::string& text) {
        char* message = nullptr;
        own_ = true;
        const int rc = sqlite3_exec(handle_.get(), text.c_str(), nullptr, nullptr, &message);
        own_ = false;
        if (rc != SQLITE_OK) {
            const std::string m = message ? message : "the query engine failed";
            sqlite3_free(message);
            throw ProviderError(ErrorReason::QueryFailed, m);
        }
    }

    std::shared_ptr<Database> db_;
    QueryWatch watch_;
    sql::TextCollator collator_;  // declared before the handle, so it outlives the connection
    std::vector<std::pair<Database*, std::string>> tables_;
    std::map<std::string, std::shared_ptr<Database>> remotes_;  // other files read, open until the end
    SqlitePtr handle_;
    std::map<std::string, Object> objects_;
    std::vector<std::string> running_;
    bool own_ = false;     // running a statement of the engine's own making
    std::string stopped_;  // why the progress handler ended the statement, "" while it has not
    std::chrono::steady_clock::time_point deadline_, nextPoll_;
    static constexpr std::chrono::milliseconds kPollEvery{100};

    // Reads of the file's tables and of the engine's views, and the allowed functions. The engine's own
    // statements may also create its virtual tables and views; nothing may attach a file, change a
    // setting, write, or recurse.
    static int Authorize(void* self, int action, const char* a, const char* b, const char* database,
                         const char*) {
        const bool own = static_cast<Engine*>(self)->own_;
        switch (action) {
            case SQLITE_SELECT:
                return SQLITE_OK;
            case SQLITE_FUNCTION:
                return b && AllowedFunction(b) ? SQLITE_OK : SQLITE_DENY;  // b: the function's name
            case SQLITE_READ:
                // a: the table; no database for a common table expression of the statement itself
                return own || OwnObject(a) || !database ? SQLITE_OK : SQLITE_DENY;
            case SQLITE_PRAGMA:
                return own && a && sqlite3_stricmp(a, "temp_store") == 0 ? SQLITE_OK : SQLITE_DENY;
            case SQLITE_ATTACH:
            case SQLITE_DETACH:
            case SQLITE_RECURSIVE:
                return SQLITE_DENY;
            default:  // creating the virtual tables and views, and SQLite's own schema writes for them
                return own ? SQLITE_OK : SQLITE_DENY;
        }
    }

    // Every thousand SQLite instructions: ends the statement when its time is up or the watch's stop
    // check (asked ten times a second) wants it stopped.
    static int Progress(void* self) {
        auto* engine = static_cast<Engine*>(self);
        const auto now = std::chrono::steady_clock::now();
        if (now > engine->deadline_) {
            engine->stopped_ = "The query ran for more than " +
                               std::to_string(engine->watch_.stepTimeLimit.count() / 1000) +
                               " seconds without giving a row and was stopped.";
            return 1;
        }
        if (now >= engine->nextPoll_) {
            engine->nextPoll_ = now + kPollEvery;
            if (engine->watch_.stopWanted && engine->watch_.stopWanted()) {
                engine->stopped_ = "The query was stopped.";
                return 1;
            }
        }
        return 0;
    }
};

class QueryRows : public RowSource {
  public:
    QueryRows(std::unique_ptr<Engine> engine, const sql::Translated& t, std::optional<std::int64_t> top)
        : engine_(std::move(engine)), remaining_(top) {
        statement_ = engine_->Prepare(t.sql);
        for (const sql::OutColumn& c : t.columns) {
            columns_.push_back({c.name, VariantTypeOf(c.type)});
            types_.push_back(c.type);
        }
    }
    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Next(std::vector<Variant>& values) override {
        if (remaining_ && *remaining_ <= 0) return false;
        engine_->Started();
        const int rc = sqlite3_step(statement_.get());
        if (rc == SQLITE_DONE) return false;
        if (rc != SQLITE_ROW) engine_->Fail();
        if (remaining_) --*remaining_;
        values.resize(columns_.size());
        for (std::size_t i = 0; i < columns_.size(); ++i)
            values[i] = ValueOut(statement_.get(), static_cast<int>(i), types_[i]);
        return true;
    }

  private:
    std::unique_ptr<Engine> engine_;  // the statement is finalized before the connection closes
    StatementPtr statement_;
    std::vector<ColumnInfo> columns_;
    std::vector<Type> types_;
    std::optional<std::int64_t> remaining_;
};

}  // namespace

std::unique_ptr<RowSource> OpenStoredQuery(std::shared_ptr<Database> db, const std::string& name,
                                           std::optional<std::int64_t> top, QueryWatch watch) {
    auto engine = std::make_unique<Engine>(std::move(db), std::move(watch));
    const sql::Translated t = engine->Translate(name);
    return std::make_unique<QueryRows>(std::move(engine), t, top);
}

}  // namespace tabvert::ado
