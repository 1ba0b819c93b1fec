#include "core/workbook/xlsx/zip_package.h"

#include <minizip/zip.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "core/workbook/excel.h"

namespace tabvert::excel {

namespace {

constexpr int kDeflateLevel = 1;              // fastest; sheet XML still shrinks about tenfold
constexpr size_t kMaxQueuedBytes = 4u << 20;  // what the producer may run ahead of the deflater
constexpr size_t kOutBuffer = 1u << 16;

// minizip's file functions over a descriptor we do not own; the first write error is kept for the message.
struct FdFile {
    int fd;
    int error = 0;
};

voidpf OpenFd(voidpf opaque, const void*, int) { return opaque; }

uLong ReadFd(voidpf, voidpf stream, void* buf, uLong size) {
    auto* f = static_cast<FdFile*>(stream);
    const ssize_t n = read(f->fd, buf, size);
    return n < 0 ? 0 : static_cast<uLong>(n);
}

uLong WriteFd(voidpf, voidpf stream, const void* buf, uLong size) {
    auto* f = static_cast<FdFile*>(stream);
    const char* p = static_cast<const char*>(buf);
    uLong done = 0;
    while (done < size) {
        const ssize_t n = write(f->fd, p + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (f->error == 0) f->error = errno;
            break;
        }
        done += static_cast<uLong>(n);
    }
    return done;
}

ZPOS64_T TellFd(voidpf, voidpf stream) {
    const off_t at = lseek(static_cast<FdFile*>(stream)->fd, 0, SEEK_CUR);
    return at < 0 ? static_cast<ZPOS64_T>(-1) : static_cast<ZPOS64_T>(at);
}

long SeekFd(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_CUR
                           ? SEEK_CUR
                           : (origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END : SEEK_SET);
    return lseek(static_cast<FdFile*>(stream)->fd, static_cast<off_t>(offset), whence) < 0 ? -1 : 0;
}

int CloseFd(voidpf, voidpf) { return 0; }
int ErrorFd(voidpf, voidpf stream) { return static_cast<FdFile*>(stream)->error; }

}  // namespace

struct ZipPackage::PartState {
    z_stream z{};
    bool zReady = false;
    FdFile file{-1};
    uLong crc = 0;      // of the bytes after the head
    uint64_t size = 0;  // their count
    size_t headSize = 0;
    uint64_t headOffset = 0;
    std::string out = std::string(kOutBuffer, '\0');
    ~PartState() {
        if (zReady) deflateEnd(&z);
    }
};

ZipPackage::ZipPackage(int fd) : fd_(fd) {
    worker_ = std::thread([this] { Work(); });
}

ZipPackage::~ZipPackage() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void ZipPackage::RethrowFailure() {
    if (failure_) std::rethrow_exception(failure_);
}

void ZipPackage::Post(Job job) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failure_ || queuedBytes_ < kMaxQueuedBytes; });
    RethrowFailure();
    queuedBytes_ += job.bytes.size();
    jobs_.push_back(std::move(job));
    lock.unlock();
    changed_.notify_all();
}

void ZipPackage::AddPart(const std::string& name, std::string content) {
    Post({Job::Kind::Begin, name, {}, {}});
    Post({Job::Kind::End, {}, std::move(content), {}});
}

void ZipPackage::BeginPart(const std::string& name, std::string head) {
    if (head.size() > 0xFFFF) throw ExcelError(ErrorReason::SaveFailed, "a part's head is too long");
    Post({Job::Kind::Begin, name, std::move(head), {}});
}

void ZipPackage::Write(std::string& bytes) {
    if (bytes.empty()) return;
    std::string spare;
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            spare = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    Job job{Job::Kind::Data, {}, std::move(bytes), {}};
    bytes = std::move(spare);
    bytes.clear();
    Post(std::move(job));
}

void ZipPackage::EndPart(std::string finalHead, std::string tail) {
    Post({Job::Kind::End, {}, std::move(tail), std::move(finalHead)});
}

void ZipPackage::Finish() {
    Post({Job::Kind::Finish, {}, {}, {}});
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failure_ || finished_; });
    RethrowFailure();
}

void ZipPackage::Work() {
    PartState part;
    part.file.fd = fd_;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty()) break;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        bool done = false;
        if (!failure_) {
            try {
                Run(job, part);
                done = job.kind == Job::Kind::Finish;
            } catch (...) {
                std::lock_guard lock(mutex_);
                failure_ = std::current_exception();
            }
        }
        {
            std::lock_guard lock(mutex_);
            queuedBytes_ -= job.bytes.size();
            if (job.kind == Job::Kind::Data && spare_.size() < 4) spare_.push_back(std::move(job.bytes));
            finished_ = finished_ || done;
        }
        changed_.notify_all();
    }
    if (zip_ != nullptr) zipClose(zip_, nullptr);  // an abandoned package: only its memory matters
}

namespace {

[[noreturn]] void FailPackage(const std::string& what, int error) {
    throw ExcelError(ErrorReason::SaveFailed,
                     what + (error != 0 ? std::string(": ") + std::strerror(error) : ""));
}

}  // namespace

void ZipPackage::Run(Job& job, PartState& part) {
    switch (job.kind) {
        case Job::Kind::Begin:
            BeginPart(job, part);
            break;
        case Job::Kind::Data:
            Deflate(part, job.bytes, false);
            break;
        case Job::Kind::End:
            EndPart(job, part);
            break;
        case Job::Kind::Finish: {
            const int result = zipClose(zip_, nullptr);
            zip_ = nullptr;
            if (result != ZIP_OK || part.file.error != 0)
                FailPackage("writing the package failed", part.file.error);
            break;
        }
    }
}

void ZipPackage::BeginPart(const Job& job, PartState& part) {
    if (zip_ == nullptr) {
        zlib_filefunc64_def io{OpenFd, ReadFd, WriteFd, TellFd, SeekFd, CloseFd, ErrorFd, &part.file};
        zip_ = zipOpen2_64("", APPEND_STATUS_CREATE, nullptr, &io);
        if (zip_ == nullptr) FailPackage("the package could not be started", part.file.error);
    }
    zip_fileinfo info{};
    info.tmz_date.tm_year = 1980;  // fixed stamps: the same cells give the same file
    info.tmz_date.tm_mday = 1;
    if (zipOpenNewFileInZip4_64(zip_, job.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                kDeflateLevel, 1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 0, 0,
                                1) != ZIP_OK) {
        FailPackage("the part " + job.name + " could not be started", part.file.error);
    }
    if (!part.zReady) {
        if (deflateInit2(&part.z, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            FailPackage("the compressor could not be set up", part.file.error);
        part.zReady = true;
    } else {
        deflateReset(&part.z);
    }
    part.crc = crc32(0, nullptr, 0);
    part.size = 0;
    part.headSize = job.bytes.size();
    if (part.headSize == 0) return;
    // A stored, non-final deflate block: its bytes sit in the file as written, so that the head can be
    // rewritten in place once the part is complete.
    const auto n = static_cast<uint16_t>(part.headSize);
    const unsigned char block[5] = {0, static_cast<unsigned char>(n & 0xFF),
                                    static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(~n & 0xFF),
                                    static_cast<unsigned char>((~n >> 8) & 0xFF)};
    const ZPOS64_T start = TellFd(nullptr, &part.file);
    part.headOffset = start + sizeof block;
    if (zipWriteInFileInZip(zip_, block, sizeof block) != ZIP_OK ||
        zipWriteInFileInZip(zip_, job.bytes.data(), static_cast<unsigned>(part.headSize)) != ZIP_OK) {
        FailPackage("writing the package failed", part.file.error);
    }
}

void ZipPackage::EndPart(const Job& job, PartState& part) {
    Deflate(part, job.bytes, true);
    if (job.head.size() != part.headSize)
        throw ExcelError(ErrorReason::SaveFailed, "a part's head changed its length");
    uLong crc = part.crc;
    if (part.headSize > 0) {
        const uLong headCrc =
            crc32(0, reinterpret_cast<const Bytef*>(job.head.data()), static_cast<uInt>(job.head.size()));
        crc = crc32_combine64(headCrc, part.crc, static_cast<z_off64_t>(part.size));
    }
    if (zipCloseFileInZipRaw64(zip_, part.headSize + part.size, crc) != ZIP_OK)
        FailPackage("writing the package failed", part.file.error);
    if (part.headSize > 0) {
        const ssize_t n = pwrite(fd_, job.head.data(), job.head.size(), static_cast<off_t>(part.headOffset));
        if (n != static_cast<ssize_t>(job.head.size())) {
            part.file.error = n < 0 ? errno : EIO;
            FailPackage("writing the package failed", part.file.error);
        }
    }
}

void ZipPackage::Deflate(PartState& part, const std::string& bytes, bool last) {
    part.crc = crc32_z(part.crc, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
    part.size += bytes.size();
    part.z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    part.z.avail_in = static_cast<uInt>(bytes.size());
    for (;;) {
        part.z.next_out = reinterpret_cast<Bytef*>(part.out.data());
        part.z.avail_out = static_cast<uInt>(part.out.size());
        const int result = deflate(&part.z, last ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_STREAM_ERROR) throw ExcelError(ErrorReason::SaveFailed, "compressing a part failed");
        const size_t produced = part.out.size() - part.z.avail_out;
        if (produced > 0 &&
            zipWriteInFileInZip(zip_, part.out.data(), static_cast<unsigned>(produced)) != ZIP_OK) {
            const int error = part.file.error;
            throw ExcelError(ErrorReason::SaveFailed,
                             std::string("writing the package failed") +
                                 (error ? std::string(": ") + std::strerror(error) : ""));
        }
        if (last ? result == Z_STREAM_END : (part.z.avail_in == 0 && part.z.avail_out != 0)) break;
    }
}

}  // namespace tabvert::excel
