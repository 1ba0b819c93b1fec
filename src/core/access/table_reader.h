#pragma once
// Reads the rows of one table of an open file. mdbtools walks the pages and splits each row into its
// columns; the values themselves are decoded here from their stored bytes, because mdbtools' own text
// conversion gets several types wrong (dates before 1900, GUIDs, text beyond the Basic Multilingual Plane,
// Large Number, memos longer than its bind buffer, Jet 3 code pages).

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/access/file_header.h"
#include "core/access/mdb_handles.h"
#include "core/access/row_source.h"
#include "core/access/text_decode.h"

namespace tabvert::ado::detail {

// What a complex column shows: the text of each key (multi-value lists and attachments), or the value
// of another column of the same row (version history: the memo's current text).
struct ComplexColumnValues {
    using FilesByKey = std::unordered_map<std::int32_t, std::vector<AttachedFile>>;
    std::unordered_map<std::int32_t, std::string> texts;
    int sameRowColumn = -1;
    // Attachments: reads every file of the column with its data, by key. Called only when a row's files
    // are asked for, so that reading the table alone never holds them.
    std::function<FilesByKey()> readFiles;
};

class TableReader : public RowSource {
  public:
    // Reads the table whose definition starts at tablePage, on a clone of mdb. properties: the table's
    // MSysObjects.LvProp (the result types of calculated columns). Throws ProviderError when the
    // definition cannot be read.
    TableReader(MdbHandle* mdb, const FileHeader& header, const std::string& name, std::uint32_t tablePage,
                std::optional<std::int64_t> top, std::span<const std::uint8_t> properties = {});
    ~TableReader() override;

    const std::vector<ColumnInfo>& Columns() const override { return columns_; }
    bool Next(std::vector<Variant>& values) override;
    // The row count the table's definition holds, or `top` when that is smaller.
    std::optional<std::int64_t> ExpectedRowCount() const override { return expectedRows_; }
    void KeepUnreadValues() override { keepUnread_ = true; }
    const std::vector<std::string>& UnreadValues() const override { return unread_; }
    std::optional<std::vector<AttachedFile>> AttachedFiles(std::size_t column) override;
    // Once the pages are walked to their end, fewer rows than the definition holds (or than `top`, when
    // that is smaller) make the table damaged: rows were lost on the way. Not for the file's own tables,
    // whose counts the program does not depend on.
    void CompareWithStoredCount() { countChecked_ = true; }

    // The complex columns (by index) with their ids in MSysComplexColumns; each needs its values set
    // before the first row is read.
    std::vector<std::pair<std::size_t, std::int32_t>> ComplexColumns() const;
    void SetComplexValues(std::size_t column, ComplexColumnValues values);

  private:
    // How a column's stored bytes become a value, beyond what mdbtools knows of it.
    struct Decoding {
        int resultType = -1;  // calculated columns: the type of the stored result
        std::int32_t complexId = 0;
        std::optional<ComplexColumnValues> complex;
        std::optional<std::int32_t> rowKey;  // complex columns: the last row's key, nothing when Null
        std::optional<ComplexColumnValues::FilesByKey> files;  // read on first use
        std::exception_ptr filesFault;                         // why they could not be read
    };
    void CheckDefinition(std::uint32_t tablePage);
    void CheckUnchanged() const;

    bool NextRawRow();
    bool NextDataPage();
    void RestorePage();
    Variant Decode(std::size_t index, const MdbColumn& col, const MdbField& field);
    Variant DecodeStored(std::size_t index, int type, std::span<const std::uint8_t> bytes);
    Variant DecodeCalculated(std::size_t index, int resultType, std::span<const std::uint8_t> bytes);
    [[noreturn]] void Undecodable(std::size_t index, const std::string& why) const;
    // The bytes of a memo or long binary value from its reference in the row, `length` of them when
    // given instead of the length the reference declares.
    std::vector<std::uint8_t> ReadLongValue(std::size_t index, const std::uint8_t* p, std::size_t size,
                                            std::optional<std::size_t> length = std::nullopt);
    std::vector<std::uint8_t> ReadCalculatedMemo(std::size_t index, const std::uint8_t* p, std::size_t size);
    const std::uint8_t* LongValuePage(std::uint32_t page);  // nullptr when it cannot be read
    std::string DecodeText(std::span<const std::uint8_t> bytes);

    MdbMessages mdbMessages_;         // before the handles: they may still speak while going
    std::vector<Decoding> decoding_;  // by column index

    MdbHandlePtr mdb_;
    std::unique_ptr<MdbCatalogEntry> entry_;  // must outlive table_, which points to it
    MdbTablePtr table_;
    FileHeader header_;
    CodePageDecoder jet3Text_;
    std::string name_;
    std::vector<ColumnInfo> columns_;
    std::vector<MdbField> fields_;
    std::optional<std::int64_t> remaining_;
    std::int64_t expectedRows_ = 0;
    bool keepUnread_ = false;
    std::vector<std::string> unread_;  // by column, for the last row; empty when every value was read
    bool countChecked_ = false;
    std::int64_t rowsRead_ = 0;
    std::int64_t lostRows_ = 0;  // rows passed over because they could not be split into values
    std::string firstLostRow_;
    bool started_ = false;
    bool done_ = false;
    std::uint32_t tablePage_ = 0;
    std::vector<std::uint32_t> dataPages_;  // from the table's usage map, in file order
    std::size_t nextPage_ = 0;
    std::uint32_t currentPage_ = 0;
    unsigned currentRow_ = 0;
    bool movedRow_ = false;
    static constexpr std::size_t kLongValuePagesKept = 64;
    std::unordered_map<std::uint32_t, std::vector<std::uint8_t>>
        longValuePages_;  // a moved row's page is in the buffer instead of currentPage_
};

}  // namespace tabvert::ado::detail
