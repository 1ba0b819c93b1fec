#pragma once
// BIFF8 records of an Excel 97-2003 workbook stream: one encoder per record, each returning the
// complete record (4-byte header and body), and the shared string table with its CONTINUE records.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/workbook/spool.h"

namespace tabvert::excel::biff8 {

inline constexpr size_t kMaxRecordBody = 8224;

namespace record {
inline constexpr uint16_t kBof = 0x0809, kEof = 0x000A, kCodepage = 0x0042, kWindow1 = 0x003D,
                          kDateMode = 0x0022, kFont = 0x0031, kFormat = 0x041E, kXf = 0x00E0, kStyle = 0x0293,
                          kBoundSheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C, kExtSst = 0x00FF,
                          kDimensions = 0x0200, kWindow2 = 0x023E, kRow = 0x0208, kLabelSst = 0x00FD,
                          kNumber = 0x0203, kBlank = 0x0201, kColInfo = 0x007D, kPane = 0x0041,
                          kSelection = 0x001D;
}

// A text as BIFF8 stores it: 8-bit when every character fits (ISO 8859-1), UTF-16LE otherwise.
struct BiffText {
    std::string bytes;
    uint32_t chars = 0;  // UTF-16 code units
    bool wide = false;
};
BiffText EncodeText(std::string_view utf8);

std::string Record(uint16_t type, std::string_view body);

enum class Substream : uint16_t { Globals = 0x0005, Worksheet = 0x0010 };
std::string Bof(Substream kind);
std::string Eof();
std::string Codepage();  // 1200: UTF-16
std::string Window1(uint16_t activeSheet);
std::string DateMode1900();
// Font of `points` size (twentieths in the record), Arial unless named otherwise.
std::string Font(double points, bool bold, bool underline, std::string_view name = "Arial");
std::string Format(uint16_t index, std::string_view code);
std::string StyleXf(uint16_t font);
std::string CellXf(uint16_t font, uint16_t format);
std::string NormalStyle();
std::string BoundSheet(uint32_t offset, std::string_view name);
std::string Dimensions(uint32_t firstRow, uint32_t lastRowPlus1, uint16_t firstCol, uint16_t lastColPlus1);
// Columns first..last (0-based) `width` 1/256 characters wide.
std::string ColInfo(uint16_t first, uint16_t last, uint16_t width);
// A frozen header adds the frozen-panes flags; PANE and SELECTION must then follow.
std::string Window2(bool active, bool frozenHeader = false);
// Row 1 frozen above the rest, the lower pane active with its cursor on A2.
std::string FrozenHeaderPane();
std::string Row(uint16_t row, uint16_t firstCol, uint16_t lastColPlus1, uint16_t heightTwips);
std::string LabelSst(uint16_t row, uint16_t col, uint16_t xf, uint32_t sst);
std::string Number(uint16_t row, uint16_t col, uint16_t xf, double value);
std::string Blank(uint16_t row, uint16_t col, uint16_t xf);

// Font indices skip 4: the fifth FONT record has index 5.
inline uint16_t FontIndex(size_t record) { return static_cast<uint16_t>(record < 4 ? record : record + 1); }

// The shared string table, written to a temporary file as strings arrive: an SST record followed by
// as many CONTINUE records as needed, a string split at a record boundary carrying its option byte
// again at the start of the CONTINUE record. Repeated strings share an entry while the index of
// known strings is within its memory budget; after that they are simply added again.
class SstWriter {
  public:
    SstWriter(TempFile file, size_t dedupBudgetBytes = 16u << 20);
    uint32_t Add(std::string_view utf8);
    // Completes the table. `streamOffset` is where the SST record will sit in the workbook stream
    // (needed for EXTSST's positions). Returns the size of the SST and CONTINUE records.
    uint64_t Finish();
    std::string ExtSst(uint64_t streamOffset) const;
    const TempFile& File() const { return file_; }
    uint32_t Total() const { return total_; }
    uint32_t Unique() const { return unique_; }

  private:
    void FlushRecord();
    void StartContinue();

    TempFile file_;
    uint64_t written_ = 0;  // bytes in the file
    std::string body_;      // body of the record being filled
    bool first_ = true;     // body_ belongs to the SST record itself
    uint32_t total_ = 0, unique_ = 0;
    std::unordered_map<std::string, uint32_t> known_;
    size_t knownBytes_ = 0, budget_;
    struct Position {
        uint64_t inTable;   // offset of the string in the SST and CONTINUE records
        uint16_t inRecord;  // offset from the start of its record, header included
    };
    std::vector<Position> every8th_;
};

}  // namespace tabvert::excel::biff8
