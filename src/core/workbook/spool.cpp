#include "core/workbook/spool.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "core/workbook/excel.h"

namespace tabvert::excel {

namespace {

constexpr size_t kWriteBuffer = 1 << 20;
constexpr size_t kReadBuffer = 1 << 16;
constexpr size_t kFanIn = 16;
constexpr uint64_t kLevelZeroBytes = 64 * 1024;  // runs up to this size are level 0

uint64_t KeyOf(uint32_t row, uint16_t column) { return (uint64_t{row} << 16) | column; }

template <typename T>
void Put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

constexpr size_t kCipherChunk = 1 << 16;

// What a failed call on a temporary file of `folder` says; a full folder is named as such.
std::string TempFileFault(const std::string& folder, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return "the temporary folder " + folder + " is full (" + std::strerror(error) + ")";
    return std::string(std::strerror(error)) + " (in the temporary folder " + folder + ")";
}

// Sequential reader of one run of the spool file.
class RunReader {
  public:
    RunReader(const TempFile& file, uint64_t begin, uint64_t end) : file_(&file), pos_(begin), end_(end) {}

    bool Next(SpooledCell& cell) {
        if (Avail() == 0 && pos_ == end_) return false;
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
        cell.format = 0;  // a text or empty cell carries no number format of an earlier cell
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
    size_t Avail() const { return buffer_.size() - used_; }

    void get(void* dest, size_t size) {
        auto* out = static_cast<char*>(dest);
        while (size > 0) {
            if (Avail() == 0) Refill();
            const size_t n = std::min(size, Avail());
            std::memcpy(out, buffer_.data() + used_, n);
            used_ += n;
            out += n;
            size -= n;
        }
    }

    void Refill() {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBuffer, end_ - pos_));
        if (want == 0)
            throw ExcelError(ErrorReason::TemporaryFileFailed, "The worksheet's temporary file is damaged.");
        buffer_.resize(want);
        const size_t got = file_->ReadAt(pos_, buffer_.data(), want);
        if (got != want)
            throw ExcelError(ErrorReason::TemporaryFileFailed, "The worksheet's temporary file is damaged.");
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

// The key stream of one temporary file: AES-256-CTR whose counter block is the number of the file's
// 16-byte block, so any stretch can be enciphered or deciphered on its own, by position. Counter mode
// keeps the file the size of its contents and costs one pass of AES per byte written or read.
class TempFile::Cipher {
  public:
    Cipher() : ctx_(EVP_CIPHER_CTX_new()) {
        unsigned char key[32];
        const unsigned char start[16] = {};
        const bool ready = ctx_ != nullptr && RAND_bytes(key, sizeof key) == 1 &&
                           EVP_EncryptInit_ex(ctx_, EVP_aes_256_ctr(), nullptr, key, start) == 1;
        OPENSSL_cleanse(key, sizeof key);
        if (!ready) {
            EVP_CIPHER_CTX_free(ctx_);
            throw ExcelError(ErrorReason::TemporaryFileFailed,
                             "Cannot make a key for the worksheet's temporary file");
        }
    }
    ~Cipher() { EVP_CIPHER_CTX_free(ctx_); }  // wipes the key schedule
    Cipher(const Cipher&) = delete;
    Cipher& operator=(const Cipher&) = delete;

    // XORs `size` bytes at `offset` of the file with the key stream, from `in` to `out` (may be the same).
    void Apply(uint64_t offset, const char* in, char* out, size_t size) {
        const std::lock_guard lock(mutex_);
        unsigned char counter[16] = {};
        uint64_t block = offset / 16;
        for (int i = 15; i >= 8; --i, block >>= 8) counter[i] = static_cast<unsigned char>(block & 0xFF);
        int done = 0;
        bool ok = EVP_EncryptInit_ex(ctx_, nullptr, nullptr, nullptr, counter) == 1;
        if (const int skip = static_cast<int>(offset % 16); ok && skip > 0) {
            unsigned char unused[16] = {};
            ok = EVP_EncryptUpdate(ctx_, unused, &done, unused, skip) == 1;
        }
        while (ok && size > 0) {
            const int n = static_cast<int>(std::min<size_t>(size, INT_MAX / 2));
            ok = EVP_EncryptUpdate(ctx_, reinterpret_cast<unsigned char*>(out), &done,
                                   reinterpret_cast<const unsigned char*>(in), n) == 1;
            in += n;
            out += n;
            size -= static_cast<size_t>(n);
        }
        if (!ok) {
            throw ExcelError(ErrorReason::TemporaryFileFailed,
                             "Cannot encipher the worksheet's temporary file");
        }
    }

  private:
    EVP_CIPHER_CTX* ctx_;
    std::mutex mutex_;  // ReadAt is const and may be called from any thread
};

TempFile TempFile::Create(const std::string& folder) {
    auto cipher = std::make_unique<Cipher>();
    // Never linked into the folder where the file system allows; otherwise unlinked at once.
    int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string pattern = folder + "/spool-XXXXXX";
        fd = mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) unlink(pattern.c_str());  // gone with the descriptor, whatever happens
    }
    if (fd < 0) {
        throw ExcelError(ErrorReason::TemporaryFileFailed,
                         "Cannot create a temporary file: " + TempFileFault(folder, errno));
    }
    return TempFile(fd, folder, std::move(cipher));
}

TempFile::TempFile(int fd, std::string folder, std::unique_ptr<Cipher> cipher)
    : fd_(fd), folder_(std::move(folder)), cipher_(std::move(cipher)) {}

TempFile::TempFile(TempFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      folder_(std::move(other.folder_)),
      cipher_(std::move(other.cipher_)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        folder_ = std::move(other.folder_);
        cipher_ = std::move(other.cipher_);
    }
    return *this;
}

TempFile::~TempFile() {
    if (fd_ >= 0) close(fd_);
}

void TempFile::Fail(const char* what) const {
    throw ExcelError(
        ErrorReason::TemporaryFileFailed,
        std::string("Cannot ") + what + " the worksheet's temporary file: " + TempFileFault(folder_, errno));
}

void TempFile::WriteAt(uint64_t offset, const char* data, size_t size) {
    std::string sealed(std::min(size, kCipherChunk), '\0');
    while (size > 0) {
        const size_t chunk = std::min(size, kCipherChunk);
        cipher_->Apply(offset, data, sealed.data(), chunk);
        for (size_t written = 0; written < chunk;) {
            const ssize_t n =
                pwrite(fd_, sealed.data() + written, chunk - written, static_cast<off_t>(offset + written));
            if (n < 0) {
                if (errno == EINTR) continue;
                Fail("write");
            }
            written += static_cast<size_t>(n);
        }
        data += chunk;
        size -= chunk;
        offset += chunk;
    }
}

void TempFile::Discard(uint64_t offset, uint64_t size) {
    if (size > 0) {
        fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                  static_cast<off_t>(size));
    }
}

size_t TempFile::ReadStoredAt(uint64_t offset, char* data, size_t size) const {
    size_t total = 0;
    while (total < size) {
        const ssize_t n = pread(fd_, data + total, size - total, static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("read");
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    return total;
}

size_t TempFile::ReadAt(uint64_t offset, char* data, size_t size) const {
    const size_t total = ReadStoredAt(offset, data, size);
    cipher_->Apply(offset, data, data, total);
    return total;
}

CellSpool::CellSpool(std::string folder) : folder_(std::move(folder)) {}

CellSpool::~CellSpool() = default;

void CellSpool::Append(uint32_t row, uint16_t column, SpooledCell::Kind kind, uint16_t format, double number,
                       std::string_view text) {
    if (!file_) file_ = std::make_unique<TempFile>(TempFile::Create(folder_));
    const uint64_t key = KeyOf(row, column);
    if (!any_ || key <= lastKey_) {
        EndRun();
        runs_.push_back({size_ + buffer_.size(), 0, 0});
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
    if (buffer_.size() >= kWriteBuffer) Flush();
}

void CellSpool::Flush() {
    if (buffer_.empty()) return;
    file_->WriteAt(size_, buffer_.data(), buffer_.size());
    size_ += buffer_.size();
    buffer_.clear();
}

// Closes the current run and merges the newest runs while sixteen of one level stand at the end.
void CellSpool::EndRun() {
    if (runs_.empty() || runs_.back().end != 0) return;
    Flush();
    Run& last = runs_.back();
    last.end = size_;
    last.level = 0;
    for (uint64_t bytes = (last.end - last.begin) / kLevelZeroBytes; bytes > 0; bytes /= kFanIn) ++last.level;
    MergeTail();
}

void CellSpool::MergeTail() {
    while (runs_.size() >= kFanIn) {
        const size_t first = runs_.size() - kFanIn;
        const int level = runs_.back().level;
        bool sameLevel = true;
        for (size_t k = first; k < runs_.size(); ++k) sameLevel = sameLevel && runs_[k].level == level;
        if (!sameLevel) return;

        std::vector<std::pair<uint64_t, uint64_t>> group;
        for (size_t k = first; k < runs_.size(); ++k) group.emplace_back(runs_[k].begin, runs_[k].end);
        const uint64_t begin = size_;
        {
            Merger merger(*file_, group);
            SpooledCell cell;
            while (merger.Next(cell)) {
                Encode(buffer_, cell);
                if (buffer_.size() >= kWriteBuffer) Flush();
            }
            Flush();
        }
        for (const auto& [from, to] : group) file_->Discard(from, to - from);
        runs_.resize(first);
        runs_.push_back({begin, size_, level + 1});
    }
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
    EndRun();
    std::vector<std::pair<uint64_t, uint64_t>> runs;
    for (const Run& run : runs_) runs.emplace_back(run.begin, run.end);
    // Later appends start a run of their own.
    any_ = false;
    return std::make_unique<SortedReader>(file_.get(), runs);
}

}  // namespace tabvert::excel
