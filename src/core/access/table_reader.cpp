#include "core/access/table_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_set>

#include "core/access/little_endian.h"
#include "core/access/properties.h"
#include "core/access/stored_values.h"
#include "core/value/provider_error.h"

namespace tabvert::ado::detail {
namespace {

constexpr int kTypeBigInt = 0x13;       // Large Number
constexpr int kTypeExtDateTime = 0x14;  // Date/Time Extended
constexpr std::uint32_t kMemoInline = 0x80000000u;
constexpr std::uint32_t kMemoSinglePage = 0x40000000u;
constexpr int kRowDeleted = 0x8000, kRowMoved = 0x4000, kRowOffsetMask = 0x1FFF;
constexpr std::uint8_t kExtFlagCalculated = 0xC0;
// A calculated value: 16 bytes Access leaves unused, the length of the result, then the result.
constexpr std::size_t kCalculatedLengthAt = 16, kCalculatedDataAt = 20;
constexpr std::size_t kExtendedDateSize = 42;

[[noreturn]] void Damaged(const std::string& table, const std::string& why) {
    throw ProviderError(ErrorReason::DamagedData,
                        "The table '" + table + "' is damaged or incomplete: " + why + ".");
}

std::string BeyondTheEnd(std::uint64_t page) {
    return "page " + std::to_string(page) + " lies beyond the end of the file";
}

std::string Unreadable(std::uint64_t page) { return "page " + std::to_string(page) + " cannot be read"; }

// One value that cannot be decoded. Its row and the table's other values stay readable: a reader asked
// to keep going leaves the value Null and reports why; otherwise it fails the row as any damage does.
class ValueFault : public ProviderError {
  public:
    explicit ValueFault(std::string description)
        : ProviderError(ErrorReason::DamagedData, std::move(description)) {}
};

// The column types the reader knows how to decode; any other keeps its bytes.
bool IsKnownType(int colType) {
    switch (colType) {
        case MDB_BOOL:
        case MDB_BYTE:
        case MDB_INT:
        case MDB_LONGINT:
        case MDB_MONEY:
        case MDB_FLOAT:
        case MDB_DOUBLE:
        case MDB_DATETIME:
        case MDB_BINARY:
        case MDB_TEXT:
        case MDB_OLE:
        case MDB_MEMO:
        case MDB_REPID:
        case MDB_NUMERIC:
        case MDB_COMPLEX:
        case kTypeBigInt:
        case kTypeExtDateTime:
            return true;
        default:
            return false;
    }
}

std::string TypeNumber(int colType) {
    static const char* const kDigits = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned>(colType) & 0xFFu;
    return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
}

template <typename T>
T Load(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

Variant::Type TypeOfColumn(int colType) {
    switch (colType) {
        case MDB_BOOL:
            return Variant::Type::Boolean;
        case MDB_BYTE:
            return Variant::Type::Byte;
        case MDB_INT:
            return Variant::Type::Integer;
        case MDB_LONGINT:
            return Variant::Type::Long;
        case MDB_COMPLEX:
            return Variant::Type::Text;  // the values, or the file names, joined
        case MDB_MONEY:
            return Variant::Type::Currency;
        case MDB_FLOAT:
            return Variant::Type::Single;
        case MDB_DOUBLE:
            return Variant::Type::Double;
        case MDB_DATETIME:
            return Variant::Type::Date;
        case MDB_TEXT:
        case MDB_MEMO:
            return Variant::Type::Text;
        case kTypeExtDateTime:
            return Variant::Type::Date;
        case MDB_REPID:
            return Variant::Type::Guid;
        case MDB_NUMERIC:
            return Variant::Type::Decimal;
        case kTypeBigInt:
            return Variant::Type::BigInt;
        default:
            return Variant::Type::Binary;
    }
}

// The pages a usage map marks, in increasing order. A page that lies beyond the end of the file (a cut
// copy) makes the table damaged: its rows there are lost.
std::vector<std::uint32_t> UsageMapPages(std::span<const std::uint8_t> map, MdbHandle* mdb,
                                         std::uint32_t pageCount, const std::string& table) {
    std::vector<std::uint32_t> pages;
    if (map.size() < 5) return pages;
    auto addBits = [&](const std::uint8_t* bits, std::size_t bytes, std::uint64_t first) {
        for (std::size_t i = 0; i < bytes; ++i) {
            if (bits[i] == 0) continue;
            for (int b = 0; b < 8; ++b) {
                if (!(bits[i] >> b & 1)) continue;
                const std::uint64_t page = first + i * 8 + static_cast<unsigned>(b);
                if (page >= pageCount) Damaged(table, BeyondTheEnd(page));
                pages.push_back(static_cast<std::uint32_t>(page));
            }
        }
    };
    if (map[0] == 0) {
        addBits(map.data() + 5, map.size() - 5, Le32(map.data() + 1));
    } else if (map[0] == 1) {
        const auto pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
        const std::uint64_t perBitmapPage = (pageSize - 4) * 8;
        for (std::size_t j = 0; FitsWithin(map.size(), 1 + 4 * j, 4); ++j) {
            const std::uint32_t bitmapPage = Le32(map.data() + 1 + 4 * j);
            if (bitmapPage == 0) continue;
            if (bitmapPage >= pageCount) Damaged(table, BeyondTheEnd(bitmapPage));
            if (mdb_read_alt_pg(mdb, bitmapPage) != mdb->fmt->pg_size) Damaged(table, Unreadable(bitmapPage));
            addBits(mdb->alt_pg_buf + 4, pageSize - 4, j * perBitmapPage);
        }
    }
    return pages;
}

// What the table definition says of a column beyond what mdbtools reads.
struct ColumnDefinition {
    std::string name;
    std::uint8_t extFlags = 0;   // Jet 4 and later: 0xC0 marks a calculated column
    std::int32_t complexId = 0;  // complex columns: the row of MSysComplexColumns
};

// The columns as stored in the table definition (which may run over several pages, each further page
// continuing at offset 8), keyed by column number. mdbtools turns Jet 3 names into text through one
// fixed code page and Jet 4 names beyond the Basic Multilingual Plane into "??", so the names are
// decoded here the way values are.
std::map<int, ColumnDefinition> ReadColumnDefinitions(MdbHandle* mdb, std::uint32_t tablePage,
                                                      unsigned numCols, unsigned numRealIndexes, bool jet3,
                                                      CodePageDecoder& jet3Text) {
    const auto* fmt = mdb->fmt;
    const auto pageSize = static_cast<std::size_t>(fmt->pg_size);
    std::vector<std::uint8_t> stream;
    std::uint32_t page = tablePage;
    for (int pages = 0; page != 0 && pages < 64; ++pages) {
        if (mdb_read_alt_pg(mdb, page) != fmt->pg_size || mdb->alt_pg_buf[0] != 0x02) return {};
        const std::uint8_t* buf = mdb->alt_pg_buf;
        stream.insert(stream.end(), buf + (pages == 0 ? 0 : 8), buf + pageSize);
        page = Le32(buf + 4);
    }
    std::vector<std::pair<int, ColumnDefinition>> numbers;
    std::size_t pos = fmt->tab_cols_start_offset + std::size_t{numRealIndexes} * fmt->tab_ridx_entry_size;
    for (unsigned i = 0; i < numCols; ++i, pos += fmt->tab_col_entry_size) {
        if (!FitsWithin(stream.size(), pos, fmt->tab_col_entry_size)) return {};
        ColumnDefinition def;
        if (!jet3) {
            def.extFlags = stream[pos + 16];
            if (stream[pos] == MDB_COMPLEX)
                def.complexId = static_cast<std::int32_t>(Le32(&stream[pos + 11]));
        }
        numbers.emplace_back(Le16(&stream[pos + fmt->col_num_offset]), def);
    }
    std::map<int, ColumnDefinition> names;
    for (auto& [number, def] : numbers) {
        std::size_t length = 0;
        if (jet3) {
            if (!FitsWithin(stream.size(), pos, 1)) return {};
            length = stream[pos++];
        } else {
            if (!FitsWithin(stream.size(), pos, 2)) return {};
            length = Le16(&stream[pos]);
            pos += 2;
        }
        if (!FitsWithin(stream.size(), pos, length)) return {};
        const std::span<const std::uint8_t> bytes(stream.data() + pos, length);
        def.name = jet3 ? jet3Text.Decode(bytes) : DecodeUnicodeText(bytes);
        names[number] = std::move(def);
        pos += length;
    }
    return names;
}

}  // namespace

TableReader::TableReader(MdbHandle* mdb, const FileHeader& header, const std::string& name,
                         std::uint32_t tablePage, std::optional<std::int64_t> top,
                         std::span<const std::uint8_t> properties)
    : mdb_(mdb_clone_handle(mdb)), header_(header), jet3Text_(header.codePage), name_(name), remaining_(top) {
    if (!mdb_)
        throw ProviderError(ErrorReason::OutOfMemory, "Not enough memory to read the table '" + name + "'.");
    CheckDefinition(tablePage);
    entry_ = std::make_unique<MdbCatalogEntry>();
    entry_->mdb = mdb_.get();
    std::strncpy(entry_->object_name, name.c_str(), MDB_MAX_OBJ_NAME);
    entry_->object_type = MDB_TABLE;
    entry_->table_pg = tablePage;
    table_.reset(mdbMessages_.Run([&] { return mdb_read_table(entry_.get()); }));
    if (!table_ || mdbMessages_.Said() || !mdbMessages_.Run([&] { return mdb_read_columns(table_.get()); }) ||
        mdbMessages_.Said() || table_->num_cols == 0 || table_->num_cols > MDB_MAX_COLS)
        Damaged(name_, "its definition cannot be read");
    const bool jet3 = header.engine == Engine::Jet3;
    const auto defs = ReadColumnDefinitions(mdb_.get(), tablePage, table_->num_cols, table_->num_real_idxs,
                                            jet3, jet3Text_);
    // Calculated columns keep the type of their result in the column's "ResultType" property.
    std::map<std::string, std::int64_t> resultTypes;
    const auto decodeJet3 = [](std::span<const std::uint8_t> bytes, void* decoder) {
        return static_cast<CodePageDecoder*>(decoder)->Decode(bytes);
    };
    for (const auto& block : ParseProperties(properties, jet3, decodeJet3, &jet3Text_)) {
        const auto type = block.numbers.find("ResultType");
        if (type != block.numbers.end()) resultTypes[block.owner] = type->second;
    }
    for (unsigned i = 0; i < table_->num_cols; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
        const auto own = defs.find(col->col_num);
        const std::string columnName = own != defs.end() ? own->second.name : std::string(col->name);
        Decoding decoding;
        int type = col->col_type;
        if (own != defs.end()) {
            decoding.complexId = own->second.complexId;
            if (own->second.extFlags & kExtFlagCalculated) {
                const auto result = resultTypes.find(columnName);
                decoding.resultType = result != resultTypes.end() ? static_cast<int>(result->second) : type;
                type = decoding.resultType;
            }
        }
        ColumnInfo info{columnName, TypeOfColumn(type), {}};
        if (!IsKnownType(type))
            info.note = "its type (" + TypeNumber(type) +
                        ") is not one this program knows, so its values are shown as their bytes in "
                        "hexadecimal";
        columns_.push_back(std::move(info));
        decoding_.push_back(std::move(decoding));
    }
    fields_.resize(MDB_MAX_COLS + 1);
    expectedRows_ = std::clamp<std::int64_t>(top.value_or(table_->num_rows), 0, table_->num_rows);
    tablePage_ = tablePage;
    dataPages_ = UsageMapPages({table_->usage_map, table_->usage_map ? table_->map_sz : 0}, mdb_.get(),
                               header_.pageCount, name_);
}

// Walks the definition pages and the pages its maps lie on before mdbtools does: mdbtools would read
// past the end of a cut file or take any page for a definition.
void TableReader::CheckDefinition(std::uint32_t tablePage) {
    MdbHandle* mdb = mdb_.get();
    const auto* fmt = mdb->fmt;
    if (tablePage == 0) Damaged(name_, "its definition is missing");
    std::uint32_t page = tablePage;
    for (int pages = 0; page != 0 && pages < 64; ++pages) {
        if (page >= header_.pageCount) Damaged(name_, BeyondTheEnd(page));
        if (mdb_read_alt_pg(mdb, page) != fmt->pg_size) Damaged(name_, Unreadable(page));
        const std::uint8_t* buf = mdb->alt_pg_buf;
        if (buf[0] != 0x02) Damaged(name_, "page " + std::to_string(page) + " is not part of its definition");
        if (pages == 0) {
            for (const std::size_t at :
                 {std::size_t{fmt->tab_usage_map_offset}, std::size_t{fmt->tab_free_map_offset}}) {
                const std::uint32_t mapPage = Le32(buf + at) >> 8;
                if (mapPage >= header_.pageCount) Damaged(name_, BeyondTheEnd(mapPage));
            }
        }
        page = Le32(buf + 4);
    }
}

// The file must stay as it was when it was opened: a copy still being written, or a database saved by
// another program while we read it, would give rows from two different files.
void TableReader::CheckUnchanged() const {
    struct stat st {};
    if (fstat(fileno(mdb_->f->stream), &st) != 0) return;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size != std::uint64_t{header_.pageCount} * header_.pageSize || ModifiedNs(st) != header_.modifiedNs)
        throw ProviderError(ErrorReason::DamagedData,
                            "The database file changed while the table '" + name_ +
                                "' was being read, so what was read cannot be trusted. Read it "
                                "again once no other program writes to it.");
}

TableReader::~TableReader() {
    table_.reset();  // before the handle it reads through
    mdb_.reset();
}

bool TableReader::NextRawRow() {
    MdbHandle* mdb = mdb_.get();
    MdbTableDef* t = table_.get();
    const auto pageSize = static_cast<std::size_t>(mdb->fmt->pg_size);
    for (;;) {
        if (!started_) {
            started_ = true;
            if (!NextDataPage()) return false;
        }
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        if (currentRow_ >= static_cast<unsigned>(rows)) {
            if (!NextDataPage()) return false;
            continue;
        }
        int row = static_cast<int>(currentRow_++);
        int start = 0;
        std::size_t len = 0;
        if (mdb_find_row(mdb, row, &start, &len) != 0 || len == 0) continue;
        // 0x8000: deleted, or the data of a row that grew and moved, read through the row's own slot.
        if (start & kRowDeleted) continue;
        // 0x4000 alone: the row moved; its slot holds the row number and page of its data. Jet reads the
        // row here, in the slot's place; mdbtools would skip the slot and read the data in its new place
        // (also after the row was deleted, since the deletion marks only the slot).
        for (int hops = 0; (start & kRowMoved) && hops < 4; ++hops) {
            const int at = start & kRowOffsetMask;
            if (len < 4 || !FitsWithin(pageSize, static_cast<std::size_t>(at), 4)) break;
            const std::uint8_t* pointer = mdb->pg_buf + at;
            const std::uint32_t page = pointer[1] | pointer[2] << 8 | std::uint32_t{pointer[3]} << 16;
            row = pointer[0];
            movedRow_ = true;
            if (page >= header_.pageCount) Damaged(name_, BeyondTheEnd(page));
            if (mdb_read_pg(mdb, page) != mdb->fmt->pg_size || mdb->pg_buf[0] != 0x01 ||
                Le32(mdb->pg_buf + 4) != tablePage_ || mdb_find_row(mdb, row, &start, &len) != 0 ||
                len == 0) {
                start = kRowDeleted;
                break;
            }
            start &= ~kRowDeleted;  // moved data is always marked deleted in its own slot
        }
        if (start & (kRowDeleted | kRowMoved)) {
            RestorePage();
            continue;
        }
        start &= kRowOffsetMask;
        const bool cracked =
            FitsWithin(pageSize, static_cast<std::size_t>(start), len) &&
            mdbMessages_.Run([&] { return mdb_crack_row(t, start, len, fields_.data()); }) > 0 &&
            !mdbMessages_.Said();
        if (!cracked) {
            const std::string where = "row " + std::to_string(row) + " of page " +
                                      std::to_string(movedRow_ ? mdb->cur_pg : currentPage_);
            if (!keepUnread_) Damaged(name_, where + " cannot be read");
            // The pages still lead on: the records after it are read, and the loss is told at the end.
            if (lostRows_++ == 0) firstLostRow_ = where;
            RestorePage();
            continue;
        }
        return true;
    }
}

// After a moved row, the page being walked goes back into the buffer.
void TableReader::RestorePage() {
    if (!movedRow_) return;
    mdb_read_pg(mdb_.get(), currentPage_);
    movedRow_ = false;
}

// The next data page of the table, read into the buffer. The pages come from the table's usage map,
// walked here rather than by mdbtools, which trusts a damaged map. A map is either a bitmap of pages
// from a start page (type 0), or a list of pages each holding a bitmap of 8 * (page size - 4) pages
// (type 1).
bool TableReader::NextDataPage() {
    MdbHandle* mdb = mdb_.get();
    CheckUnchanged();
    while (nextPage_ < dataPages_.size()) {
        const std::uint32_t page = dataPages_[nextPage_++];
        if (mdb_read_pg(mdb, page) != mdb->fmt->pg_size) Damaged(name_, Unreadable(page));
        if (mdb->pg_buf[0] != 0x01 || Le32(mdb->pg_buf + 4) != tablePage_)
            Damaged(name_, "page " + std::to_string(page) + " is not one of its data pages");
        currentPage_ = page;
        currentRow_ = 0;
        return true;
    }
    return false;
}

std::vector<std::pair<std::size_t, std::int32_t>> TableReader::ComplexColumns() const {
    std::vector<std::pair<std::size_t, std::int32_t>> out;
    for (std::size_t i = 0; i < decoding_.size(); ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, static_cast<unsigned>(i)));
        if (col->col_type == MDB_COMPLEX && decoding_[i].resultType < 0)
            out.emplace_back(i, decoding_[i].complexId);
    }
    return out;
}

void TableReader::SetComplexValues(std::size_t column, ComplexColumnValues values) {
    decoding_.at(column).complex = std::move(values);
}

bool TableReader::Next(std::vector<Variant>& values) {
    unread_.clear();
    if (done_ || (remaining_ && *remaining_ <= 0)) {
        done_ = true;
        return false;
    }
    if (!NextRawRow()) {
        done_ = true;
        std::string lost;
        if (lostRows_ > 0)
            lost = std::to_string(lostRows_) +
                   (lostRows_ == 1 ? " record could not be split into its values and was"
                                   : " records could not be split into their values and were") +
                   " left out (the first is " + firstLostRow_ + ")";
        if (countChecked_ && rowsRead_ + lostRows_ < expectedRows_)
            lost += std::string(lost.empty() ? "" : "; ") + "its definition holds " +
                    std::to_string(expectedRows_) + " records, but only " +
                    std::to_string(rowsRead_ + lostRows_) + " of them were found";
        if (!lost.empty()) Damaged(name_, lost);
        return false;
    }
    ++rowsRead_;
    if (remaining_) --*remaining_;
    values.assign(columns_.size(), Variant());
    const auto count = static_cast<unsigned>(columns_.size());
    try {
        for (unsigned i = 0; i < count; ++i) {
            const MdbField& field = fields_[i];
            if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= count) continue;
            const auto index = static_cast<std::size_t>(field.colnum);
            auto* col =
                static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, static_cast<unsigned>(index)));
            try {
                values[index] = Decode(index, *col, field);
            } catch (const ValueFault& fault) {
                if (!keepUnread_) throw;
                if (unread_.empty()) unread_.assign(columns_.size(), std::string());
                unread_[index] = fault.Description();
            }
        }
    } catch (...) {
        RestorePage();
        throw;
    }
    RestorePage();
    // Complex columns show their values (or, for version history, the memo of the same row).
    for (std::size_t i = 0; i < decoding_.size(); ++i) {
        const auto& complex = decoding_[i].complex;
        decoding_[i].rowKey.reset();
        if (!complex || values[i].IsNull()) continue;
        if (complex->sameRowColumn >= 0) {
            const auto same = static_cast<std::size_t>(complex->sameRowColumn);
            values[i] = values[same];
            if (!unread_.empty()) unread_[i] = unread_[same];
            continue;
        }
        const auto key = static_cast<std::int32_t>(values[i].ToInt64());
        decoding_[i].rowKey = key;
        const auto found = complex->texts.find(key);
        values[i] = found == complex->texts.end() ? Variant() : Variant::Text(found->second);
    }
    return true;
}

std::optional<std::vector<AttachedFile>> TableReader::AttachedFiles(std::size_t column) {
    if (column >= decoding_.size()) return std::nullopt;
    Decoding& decoding = decoding_[column];
    if (!decoding.complex || !decoding.complex->readFiles) return std::nullopt;
    if (!decoding.rowKey) return std::vector<AttachedFile>();
    // A values table that cannot be read fails every row the same way; it is read once only.
    if (decoding.filesFault) std::rethrow_exception(decoding.filesFault);
    if (!decoding.files) {
        try {
            decoding.files = decoding.complex->readFiles();
        } catch (...) {
            decoding.filesFault = std::current_exception();
            throw;
        }
    }
    const auto found = decoding.files->find(*decoding.rowKey);
    if (found == decoding.files->end()) return std::vector<AttachedFile>();
    return found->second;
}

void TableReader::Undecodable(std::size_t index, const std::string& why) const {
    throw ValueFault("The value of the column '" + columns_[index].name + "' in the table '" + name_ +
                     "' cannot be read: " + why + ".");
}

std::string TableReader::DecodeText(std::span<const std::uint8_t> bytes) {
    if (header_.engine == Engine::Jet3) return jet3Text_.Decode(bytes);
    return DecodeUnicodeText(bytes);
}

Variant TableReader::Decode(std::size_t index, const MdbColumn& col, const MdbField& field) {
    const Decoding& decoding = decoding_[index];
    if (col.col_type == MDB_BOOL && decoding.resultType < 0) return Variant::Boolean(!field.is_null);
    if (col.col_type == MDB_COMPLEX && decoding.resultType < 0 && !decoding.complex)
        Undecodable(index, "its complex values were not found");
    if (field.is_null) return decoding.resultType == MDB_BOOL ? Variant::Boolean(false) : Variant::Null();
    const auto pageSize = static_cast<std::size_t>(mdb_->fmt->pg_size);
    if (field.start < 0 || field.siz < 0 ||
        !FitsWithin(pageSize, static_cast<std::size_t>(field.start), static_cast<std::size_t>(field.siz)))
        Undecodable(index, "it lies outside its page");
    const std::uint8_t* p = mdb_->pg_buf + field.start;
    const auto size = static_cast<std::size_t>(field.siz);
    if (decoding.resultType >= 0) {
        // A calculated memo keeps its wrapped result as a long value; every other result lies in the row.
        if (col.col_type == MDB_MEMO)
            return DecodeCalculated(index, decoding.resultType, ReadCalculatedMemo(index, p, size));
        return DecodeCalculated(index, decoding.resultType, {p, size});
    }
    switch (col.col_type) {
        case MDB_MEMO: {
            const auto bytes = ReadLongValue(index, p, size);
            return Variant::Text(DecodeText(bytes));
        }
        case MDB_OLE:
            return Variant::Binary(ReadLongValue(index, p, size));
        case MDB_NUMERIC:
            // mdbtools 1.0 stores precision and scale in each other's fields; the scale is never the larger.
            if (size < 17) Undecodable(index, "it is shorter than a decimal");
            return Variant::Decimal(DecimalFromStored(std::span<const std::uint8_t, 17>(p, 17),
                                                      std::min(col.col_scale, col.col_prec)));
        default:
            return DecodeStored(index, col.col_type, {p, size});
    }
}

// A value of a fixed-size type, or text, from its stored bytes.
Variant TableReader::DecodeStored(std::size_t index, int type, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* p = bytes.data();
    auto needs = [&](std::size_t n, const char* what) {
        if (bytes.size() < n) Undecodable(index, std::string("it is shorter than ") + what);
    };
    switch (type) {
        case MDB_BOOL:
            needs(1, "a Yes/No value");
            return Variant::Boolean(p[0] != 0);
        case MDB_BYTE:
            needs(1, "a byte");
            return Variant::Byte(p[0]);
        case MDB_INT:
            needs(2, "an integer");
            return Variant::Integer(Load<std::int16_t>(p));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            needs(4, "a long integer");
            return Variant::Long(Load<std::int32_t>(p));
        case MDB_MONEY:
            needs(8, "a currency value");
            return Variant::Currency(static_cast<std::int64_t>(Le64(p)));
        case MDB_FLOAT:
            needs(4, "a single");
            return Variant::Single(Load<float>(p));
        case MDB_DOUBLE:
            needs(8, "a double");
            return Variant::Double(Load<double>(p));
        case MDB_DATETIME:
            needs(8, "a date");
            return Variant::Date(Load<double>(p));
        case kTypeBigInt:
            needs(8, "a large number");
            return Variant::BigInt(static_cast<std::int64_t>(Le64(p)));
        case MDB_REPID: {
            needs(16, "a GUID");
            GuidBytes g{};
            std::memcpy(g.data(), p, g.size());
            return Variant::Guid(g);
        }
        case MDB_TEXT:
        case MDB_MEMO:
            return Variant::Text(DecodeText(bytes));
        case kTypeExtDateTime: {
            needs(kExtendedDateSize - 1, "an extended date");
            const auto date = ParseExtendedDateTime(bytes);
            if (!date) Undecodable(index, "it is not a date between the years 1 and 9999");
            return Variant::ExtendedDate(date->ole, date->fraction);
        }
        default:
            return Variant::Binary(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
}

// A calculated column's stored result, in the type its properties name.
Variant TableReader::DecodeCalculated(std::size_t index, int resultType,
                                      std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kCalculatedDataAt) Undecodable(index, "its calculated result is cut short");
    const std::size_t length = Le32(bytes.data() + kCalculatedLengthAt);
    if (length > bytes.size() - kCalculatedDataAt) Undecodable(index, "its calculated result is cut short");
    const auto data = bytes.subspan(kCalculatedDataAt, length);
    if (resultType == MDB_TEXT || resultType == MDB_MEMO) return Variant::Text(DecodeText(data));
    // An expression without a result is stored as an empty value.
    if (data.empty()) return resultType == MDB_BOOL ? Variant::Boolean(false) : Variant::Null();
    if (resultType == MDB_NUMERIC) {
        // A length, the scale, the sign, then up to 16 bytes of magnitude in 32-bit words, the most
        // significant first.
        if (data.size() < 8) Undecodable(index, "its decimal result is cut short");
        const std::size_t words = std::min<std::size_t>((data.size() - 4) / 4, 4);
        std::array<std::uint8_t, 17> stored{};
        stored[0] = data[3] != 0 ? 0x80 : 0;
        std::memcpy(stored.data() + 1 + 4 * (4 - words), data.data() + 4, 4 * words);
        return Variant::Decimal(DecimalFromStored(stored, data[2]));
    }
    return DecodeStored(index, resultType, data);
}

namespace {

// Where row `row` of a data page lies: the slot table after the row count holds each row's start,
// and a row ends where the one before it starts (row 0 at the end of the page).
bool RowSpan(const std::uint8_t* page, std::size_t pageSize, std::size_t rowCountOffset, std::uint32_t row,
             std::size_t& off, std::size_t& len) {
    if (!FitsWithin(pageSize, rowCountOffset, 2 + 2 * (std::size_t{row} + 1))) return false;
    if (row >= static_cast<std::uint32_t>(page[rowCountOffset] | page[rowCountOffset + 1] << 8)) return false;
    const std::size_t slot = rowCountOffset + 2 + 2 * row;
    const std::size_t start = (page[slot] | page[slot + 1] << 8) & kRowOffsetMask;
    const std::size_t next = row == 0 ? pageSize : ((page[slot - 2] | page[slot - 1] << 8) & kRowOffsetMask);
    if (start >= pageSize || start > next || next > pageSize) return false;
    off = start;
    len = next - start;
    return true;
}

}  // namespace

// Long-value pages are read once and kept: a table's memos share their pages, and reading one page
// per part through mdbtools costs a seek, a read and a stat each time.
const std::uint8_t* TableReader::LongValuePage(std::uint32_t page) {
    const auto pageSize = static_cast<std::size_t>(mdb_->fmt->pg_size);
    if (const auto it = longValuePages_.find(page); it != longValuePages_.end()) return it->second.data();
    if (mdb_read_alt_pg(mdb_.get(), static_cast<int>(page)) != static_cast<ssize_t>(pageSize)) return nullptr;
    if (longValuePages_.size() >= kLongValuePagesKept) longValuePages_.clear();
    auto& copy = longValuePages_[page];
    copy.assign(mdb_->alt_pg_buf, mdb_->alt_pg_buf + pageSize);
    return copy.data();
}

// Memo and long binary values: a 12-byte reference in the row (length with two flag bits, then the
// page/row of the first part), the data inline behind it, on one page, or on a chain of pages each of
// whose parts starts with the page/row of the next. A value whose parts loop or end before its length
// is damaged: a piece of it would be taken for all of it.
std::vector<std::uint8_t> TableReader::ReadLongValue(std::size_t index, const std::uint8_t* p,
                                                     std::size_t size, std::optional<std::size_t> length) {
    std::vector<std::uint8_t> out;
    if (size < 12) Undecodable(index, "its reference to its data is cut short");
    const std::uint32_t head = Le32(p);
    const std::size_t wanted = length.value_or(head & 0x3FFFFFFFu);
    std::uint32_t pgRow = Le32(p + 4);
    const auto damaged = [&](const std::string& why) {
        Undecodable(index, "it is damaged or incomplete: " + why);
    };
    const auto shortBy = [&](std::size_t got) {
        damaged("its data ends after " + std::to_string(got) + " of the " + std::to_string(wanted) +
                " bytes it declares");
    };
    if (head & kMemoInline) {
        if (size - 12 < wanted) shortBy(size - 12);
        out.assign(p + 12, p + 12 + wanted);
        return out;
    }
    const auto pageSize = static_cast<std::size_t>(mdb_->fmt->pg_size);
    const bool single = (head & kMemoSinglePage) != 0;
    out.reserve(std::min<std::size_t>(wanted, 64u << 20));
    std::unordered_set<std::uint32_t> visited;
    while (out.size() < wanted) {
        if (pgRow == 0) shortBy(out.size());
        if (!visited.insert(pgRow).second)
            damaged("the pages that hold its data lead back to page " + std::to_string(pgRow >> 8) +
                    " after " + std::to_string(out.size()) + " of its " + std::to_string(wanted) + " bytes");
        const std::uint32_t pageNumber = pgRow >> 8;
        if (pageNumber >= header_.pageCount) damaged(BeyondTheEnd(pageNumber));
        const std::uint8_t* page = LongValuePage(pageNumber);
        std::size_t off = 0, len = 0;
        if (page == nullptr || !RowSpan(page, pageSize, static_cast<std::size_t>(mdb_->fmt->row_count_offset),
                                        pgRow & 0xFF, off, len))
            damaged("part of its data, row " + std::to_string(pgRow & 0xFF) + " of page " +
                    std::to_string(pageNumber) + ", cannot be read");
        const auto* data = page + off;
        if (single) {
            if (len < wanted) shortBy(len);
            out.insert(out.end(), data, data + wanted);
            break;
        }
        if (len < 4) damaged("part of its data on page " + std::to_string(pageNumber) + " is cut short");
        pgRow = Le32(data);
        const std::size_t take = std::min(len - 4, wanted - out.size());
        out.insert(out.end(), data + 4, data + 4 + take);
    }
    return out;
}

// A calculated memo: the wrapped result (16 unused bytes, the result's length, the result) kept as a
// long value. Access may declare the length of the result alone in the row's reference while the
// long-value page holds the wrapper as well: the wrapper's own length then says how far to read.
std::vector<std::uint8_t> TableReader::ReadCalculatedMemo(std::size_t index, const std::uint8_t* p,
                                                          std::size_t size) {
    auto bytes = ReadLongValue(index, p, size);
    if (bytes.size() >= kCalculatedDataAt) {
        const std::size_t whole = kCalculatedDataAt + std::size_t{Le32(bytes.data() + kCalculatedLengthAt)};
        if (whole > bytes.size()) bytes = ReadLongValue(index, p, size, whole);
    }
    return bytes;
}

}  // namespace tabvert::ado::detail
