#include "platform/workbook/spool.h"

#include "platform/workbook/excel.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace tabvert::excel {

namespace {

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kReadBuffer = 1 << 16;
constexpr size_t kFanIn = 16;
constexpr size_t kMaxRuns = 4096;  // merged early beyond this, so a shuffled write keeps memory bounded

uint64_t KeyOf(uint32_t row, uint16_t column) { return (uint64_t{row} << 16) | column; }

template <typename T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

[[noreturn]] void ThrowIo(const char* what) {
    throw ExcelError(kErrorObjectDefined, std::string("Cannot ") + what +
                                              " the worksheet's temporary file: " + std::strerror(errno));
}

// Sequential reader of one run of the spool file.
class RunReader {
public:
    RunReader(const TempFile& file, uint64_t begin, uint64_t end)
        : file_(&file), pos_(begin), end_(end) {}

    bool Next(SpooledCell& cell) {
        if (avail() == 0 && pos_ == end_) return false;
        uint32_t row;
        uint16_t column;
        uint8_t kind;
        get(&row, 4);
        get(&column, 2);
        get(&kind, 1);
        cell.row = row;
        cell.column = column;
        cell.kind = static_cast<SpooledCell::Kind>(kind);
        cell.text.clear();
        if (cell.kind == SpooledCell::Kind::Number) {
            get(&cell.format, 2);
            get(&cell.number, 8);
        } else if (cell.kind == SpooledCell::Kind::Text) {
            uint32_t length;
            get(&length, 4);
            cell.text.resize(length);
            get(cell.text.data(), length);
        }
        return true;
    }

private:
    size_t avail() const { return buffer_.size() - used_; }

    void get(void* dest, size_t size) {
        auto* out = static_cast<char*>(dest);
        while (size > 0) {
            if (avail() == 0) refill();
            const size_t n = std::min(size, avail());
            std::memcpy(out, buffer_.data() + used_, n);
            used_ += n;
            out += n;
            size -= n;
        }
    }

    void refill() {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBuffer, end_ - pos_));
        if (want == 0) throw ExcelError(kErrorObjectDefined, "The worksheet's temporary file is damaged.");
        buffer_.resize(want);
        const size_t got = file_->ReadAt(pos_, buffer_.data(), want);
        if (got != want) throw ExcelError(kErrorObjectDefined, "The worksheet's temporary file is damaged.");
        pos_ += want;
        used_ = 0;
    }

    const TempFile* file_;
    uint64_t pos_, end_;
    std::string buffer_;
    size_t used_ = 0;
};

// Merges sorted runs; equal positions come out in run order, so the last one written comes last.
class Merger {
public:
    Merger(const TempFile& file, const std::vector<std::pair<uint64_t, uint64_t>>& runs) {
        for (const auto& [begin, end] : runs) {
            heads_.push_back({RunReader(file, begin, end), {}, false});
            auto& head = heads_.back();
            head.valid = head.reader.Next(head.cell);
        }
    }

    bool Next(SpooledCell& out) {
        Head* best = nullptr;
        uint64_t bestKey = 0;
        for (auto& head : heads_) {
            if (!head.valid) continue;
            const uint64_t key = KeyOf(head.cell.row, head.cell.column);
            if (best == nullptr || key < bestKey) {
                best = &head;
                bestKey = key;
            }
        }
        if (best == nullptr) return false;
        std::swap(out, best->cell);
        best->valid = best->reader.Next(best->cell);
        return true;
    }

private:
    struct Head {
        RunReader reader;
        SpooledCell cell;
        bool valid;
    };
    std::vector<Head> heads_;
};

void Encode(std::string& out, const SpooledCell& cell) {
    Put(out, cell.row);
    Put(out, cell.column);
    Put(out, static_cast<uint8_t>(cell.kind));
    if (cell.kind == SpooledCell::Kind::Number) {
        Put(out, cell.format);
        Put(out, cell.number);
    } else if (cell.kind == SpooledCell::Kind::Text) {
        Put(out, static_cast<uint32_t>(cell.text.size()));
        out += cell.text;
    }
}

}  // namespace

TempFile TempFile::Create(const std::string& folder) {
    std::string pattern = folder + "/spool-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        throw ExcelError(kErrorObjectDefined,
                         "Cannot create a temporary file in " + folder + ": " + std::strerror(errno));
    }
    unlink(pattern.c_str());  // gone with the descriptor, whatever happens
    return TempFile(fd);
}

TempFile::TempFile(TempFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

TempFile::~TempFile() {
    if (fd_ >= 0) close(fd_);
}

void TempFile::WriteAt(uint64_t offset, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = pwrite(fd_, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIo("write");
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
}

size_t TempFile::ReadAt(uint64_t offset, char* data, size_t size) const {
    size_t total = 0;
    while (total < size) {
        const ssize_t n = pread(fd_, data + total, size - total, static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowIo("read");
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    return total;
}

CellSpool::CellSpool(std::string folder) : folder_(std::move(folder)) {}

CellSpool::~CellSpool() = default;

void CellSpool::Append(uint32_t row, uint16_t column, SpooledCell::Kind kind, uint16_t format,
                       double number, std::string_view text) {
    if (!file_) file_ = std::make_unique<TempFile>(TempFile::Create(folder_));
    const uint64_t key = KeyOf(row, column);
    if (!any_ || key <= lastKey_) {
        if (runs_.size() >= kMaxRuns) {
            Flush();
            MergeDown(kFanIn);
        }
        runs_.push_back({size_ + buffer_.size(), 0});
    }
    any_ = true;
    lastKey_ = key;
    Put(buffer_, row);
    Put(buffer_, column);
    Put(buffer_, static_cast<uint8_t>(kind));
    if (kind == SpooledCell::Kind::Number) {
        Put(buffer_, format);
        Put(buffer_, number);
    } else if (kind == SpooledCell::Kind::Text) {
        Put(buffer_, static_cast<uint32_t>(text.size()));
        buffer_.append(text);
    }
    ++records_;
    if (buffer_.size() >= kWriteBuffer) Flush();
}

void CellSpool::Flush() {
    if (buffer_.empty()) return;
    file_->WriteAt(size_, buffer_.data(), buffer_.size());
    size_ += buffer_.size();
    buffer_.clear();
}

// Merges groups of fanIn runs into a new file, one run per group.
void CellSpool::MergeDown(size_t fanIn) {
    auto merged = std::make_unique<TempFile>(TempFile::Create(folder_));
    std::vector<Run> newRuns;
    uint64_t out = 0;
    std::string buffer;
    for (size_t first = 0; first < runs_.size(); first += fanIn) {
        std::vector<std::pair<uint64_t, uint64_t>> group;
        for (size_t k = first; k < std::min(runs_.size(), first + fanIn); ++k) {
            group.emplace_back(runs_[k].begin, k + 1 < runs_.size() ? runs_[k + 1].begin : size_);
        }
        newRuns.push_back({out + buffer.size(), 0});
        Merger merger(*file_, group);
        SpooledCell cell;
        while (merger.Next(cell)) {
            Encode(buffer, cell);
            if (buffer.size() >= kWriteBuffer) {
                merged->WriteAt(out, buffer.data(), buffer.size());
                out += buffer.size();
                buffer.clear();
            }
        }
    }
    merged->WriteAt(out, buffer.data(), buffer.size());
    out += buffer.size();
    file_ = std::move(merged);
    runs_ = std::move(newRuns);
    size_ = out;
}

namespace {

class SortedReader : public CellSpool::Reader {
public:
    SortedReader(const TempFile* file, const std::vector<std::pair<uint64_t, uint64_t>>& runs) {
        if (file != nullptr) merger_ = std::make_unique<Merger>(*file, runs);
        if (merger_) pending_ = merger_->Next(next_);
    }

    bool Next(SpooledCell& cell) override {
        if (!pending_) return false;
        std::swap(cell, next_);
        // A position written again replaces what was written before.
        while ((pending_ = merger_->Next(next_)) && next_.row == cell.row && next_.column == cell.column) {
            std::swap(cell, next_);
        }
        return true;
    }

private:
    std::unique_ptr<Merger> merger_;
    SpooledCell next_;
    bool pending_ = false;
};

}  // namespace

std::unique_ptr<CellSpool::Reader> CellSpool::Read() {
    if (file_) {
        Flush();
        while (runs_.size() > kFanIn) MergeDown(kFanIn);
    }
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (size_t k = 0; k < runs_.size(); ++k) {
        runs.emplace_back(runs_[k].begin, k + 1 < runs_.size() ? runs_[k + 1].begin : size_);
    }
    // Later appends must start a run of their own, since the reader holds the current layout.
    any_ = false;
    return std::make_unique<SortedReader>(file_.get(), runs);
}

}  // namespace tabvert::excel
