#pragma once
// The zip container of an Office Open XML package, written through minizip (zip64). Small parts are
// added whole; a large part is streamed in pieces. Deflating (zlib at a fast level) and writing run on
// a second thread, so building a part's XML and compressing it overlap.
//
// A streamed part may open with a head whose final bytes are known only when the part ends (a
// worksheet's used range). The head goes into the deflate stream as a stored block of fixed length
// and is overwritten in place once minizip has closed the part; the part's CRC is that of the final
// head combined with the rest, so the package never holds a stale byte.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tabvert::excel {

class ZipPackage {
  public:
    // Writes to `fd`, from its current offset; the descriptor stays the caller's. Throws ExcelError.
    explicit ZipPackage(int fd);
    // Abandons an unfinished package (the caller removes the file).
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    void AddPart(const std::string& name, std::string content);
    // Starts a streamed part. `head` (under 64 KiB) may be replaced by EndPart with bytes of the same length.
    void BeginPart(const std::string& name, std::string head);
    // Hands the buffer's bytes over and leaves `bytes` empty (its storage recycled). Throws ExcelError
    // when an earlier piece could not be written.
    void Write(std::string& bytes);
    void EndPart(std::string finalHead, std::string tail);
    // Writes the central directory; everything written is then on its way to the file.
    void Finish();

  private:
    struct Job {
        enum class Kind { Begin, Data, End, Finish } kind;
        std::string name;
        std::string bytes;  // Begin: head; Data: the piece; End: the tail
        std::string head;   // End: the final head
    };
    struct PartState;

    void Post(Job job);
    void Work();
    void Run(Job& job, PartState& part);
    void BeginPart(const Job& job, PartState& part);
    void EndPart(const Job& job, PartState& part);
    void Deflate(PartState& part, const std::string& bytes, bool last);
    void RethrowFailure();

    int fd_;
    void* zip_ = nullptr;  // minizip's zipFile
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::vector<std::string> spare_;  // emptied buffers, handed back to Write
    size_t queuedBytes_ = 0;
    bool stop_ = false;
    bool finished_ = false;
    std::exception_ptr failure_;
    std::thread worker_;
};

}  // namespace tabvert::excel
