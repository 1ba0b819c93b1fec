#pragma once
// Reads the rows of one table of an open file. mdbtools walks the pages and splits each row into its
// columns; the values themselves are decoded here from their stored bytes, because mdbtools' own text
// conversion gets several types wrong (dates before 1900, GUIDs, text beyond the Basic Multilingual Plane,
// Large Number, memos longer than its bind buffer, Jet 3 code pages).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/provider/file_header.h"
#include "core/provider/mdb_handles.h"
#include "core/provider/row_source.h"
#include "core/provider/text_decode.h"

namespace tabvert::ado::detail {

class TableReader : public RowSource {
public:
    // Reads the table whose definition starts at tablePage, on a clone of mdb. Throws ProviderError when
    // the definition cannot be read.
    TableReader(MdbHandle* mdb, const FileHeader& header, const std::string& name, std::uint32_t tablePage,
                std::optional<std::int64_t> top);
    ~TableReader() override;

    const std::vector<ColumnInfo>& columns() const override { return columns_; }
    bool next(std::vector<Variant>& values) override;

private:
    void checkDefinition(std::uint32_t tablePage);
    void checkUnchanged() const;
    bool nextRawRow();
    bool nextDataPage();
    void restorePage();
    Variant decode(const MdbColumn& col, const MdbField& field);
    std::vector<std::uint8_t> readLongValue(const std::uint8_t* p, std::size_t size);
    const std::uint8_t* longValuePage(std::uint32_t page);  // nullptr when it cannot be read
    std::string decodeText(std::span<const std::uint8_t> bytes);

    MdbMessages mdbMessages_;  // before the handles: they may still speak while going
    MdbHandlePtr mdb_;
    std::unique_ptr<MdbCatalogEntry> entry_;  // must outlive table_, which points to it
    MdbTablePtr table_;
    FileHeader header_;
    CodePageDecoder jet3Text_;
    std::string name_;
    std::vector<ColumnInfo> columns_;
    std::vector<MdbField> fields_;
    std::optional<std::int64_t> remaining_;
    bool started_ = false;
    bool done_ = false;
    std::uint32_t tablePage_ = 0;
    std::vector<std::uint32_t> dataPages_;  // from the table's usage map, in file order
    std::size_t nextPage_ = 0;
    std::uint32_t currentPage_ = 0;
    unsigned currentRow_ = 0;
    bool movedRow_ = false;
    static constexpr std::size_t kLongValuePagesKept = 64;
    std::unordered_map<std::uint32_t, std::vector<std::uint8_t>> longValuePages_;  // a moved row's page is in the buffer instead of currentPage_
};

}  // namespace tabvert::ado::detail
