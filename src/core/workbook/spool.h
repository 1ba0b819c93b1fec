#pragma once
// Cells of one worksheet, spooled to an unlinked temporary file as they arrive and read back in
// (row, column) order at the save. Cells may arrive in any order: each stretch written in ascending
// order is a run. Sixteen runs of about the same size are merged into one as soon as they are there
// (appended to the file, the space of the old ones given back), so there are never more than a few
// dozen runs, each cell is rewritten only a few times, and memory stays bounded by a few buffers
// whatever the number of cells or their order. A cell written twice keeps its last value.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabvert::excel {

struct SpooledCell {
    enum class Kind : uint8_t { Clear, Text, Number };
    uint32_t row = 0;     // 1-based
    uint16_t column = 0;  // 1-based
    Kind kind = Kind::Clear;
    uint16_t format = 0;  // Number: index into the workbook's number formats
    double number = 0;
    std::string text;  // Text
};

// An unlinked temporary file read and written by position. Move-only; the descriptor is closed
// (and with it the file gone) on destruction.
// What it holds is enciphered (AES-256 in counter mode) under a key drawn for this file alone that
// exists only in the process's memory, so cell values of a protected database never reach a disk in
// plain text, and neither does anything else. Each stretch of the file should be written once: a
// stretch written again is enciphered with the same key stream as before.
class TempFile {
  public:
    static TempFile Create(const std::string& folder);  // throws ExcelError
    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();

    void WriteAt(uint64_t offset, const char* data, size_t size);   // throws ExcelError
    size_t ReadAt(uint64_t offset, char* data, size_t size) const;  // throws ExcelError
    void Discard(uint64_t offset, uint64_t size);                   // gives the space back, if it can

    // The bytes as they lie in the file, for checking that they are not the plain ones.
    size_t ReadStoredAt(uint64_t offset, char* data, size_t size) const;  // throws ExcelError

    class Cipher;

  private:
    TempFile(int fd, std::string folder, std::unique_ptr<Cipher> cipher);
    [[noreturn]] void Fail(const char* what) const;
    int fd_ = -1;
    std::string folder_;  // for messages
    std::unique_ptr<Cipher> cipher_;
};

class CellSpool {
  public:
    explicit CellSpool(std::string folder);
    ~CellSpool();
    CellSpool(const CellSpool&) = delete;
    CellSpool& operator=(const CellSpool&) = delete;

    void Append(uint32_t row, uint16_t column, SpooledCell::Kind kind, uint16_t format, double number,
                std::string_view text);

    // Reads the cells back in (row, column) order, one per position (the last one written).
    class Reader {
      public:
        virtual ~Reader() = default;
        virtual bool Next(SpooledCell& cell) = 0;
    };
    std::unique_ptr<Reader> Read();  // flushes; appending afterwards is allowed

  private:
    struct Run {
        uint64_t begin, end;
        int level;  // grows with the size: runs of one level are merged sixteen at a time
    };
    void Flush();
    void EndRun();
    void MergeTail();

    std::string folder_;
    std::unique_ptr<TempFile> file_;
    uint64_t size_ = 0;  // bytes written to the file, including the buffer once flushed
    std::string buffer_;
    std::vector<Run> runs_;
    uint64_t lastKey_ = 0;
    bool any_ = false;
};

}  // namespace tabvert::excel
