#pragma once
// Where a save goes, and saving so that a failure leaves nothing behind: the file is written beside
// the target under a temporary name and renamed over the target only once it is complete.

#include <functional>
#include <string>

namespace tabvert::excel {

struct SaveTarget {
    std::string path;  // with ".xls" added when the name has no extension
    bool xlsx = false;
};

// ".xlsx" in any case is Office Open XML, every other extension Excel 97-2003, and a name without one
// gets ".xls" added. kOpenXmlWorkbook and kExcel8 choose the format whatever the extension.
SaveTarget ResolveSaveTarget(const std::string& fileName, long fileFormat);

// The temporary file of a save, beside its target, open for writing. Removed on destruction unless
// committed; the descriptor stays open until then (a committed file can still be read through it).
class PendingSave {
public:
    static PendingSave Begin(const std::string& path);  // throws ExcelError naming the path
    PendingSave(PendingSave&& other) noexcept;
    PendingSave& operator=(PendingSave&&) = delete;
    PendingSave(const PendingSave&) = delete;
    ~PendingSave();

    int fd() const { return fd_; }
    const std::string& tempPath() const { return tempPath_; }
    // Flushes the file to disk and renames it over the target. Throws ExcelError naming the path.
    void Commit();

private:
    PendingSave(std::string path, std::string tempPath, int fd)
        : path_(std::move(path)), tempPath_(std::move(tempPath)), fd_(fd) {}
    std::string path_, tempPath_;
    int fd_ = -1;
    bool committed_ = false;
};

// Calls write(tempPath), then renames tempPath over path. Throws ExcelError naming the path and the
// reason; the temporary file is removed and an existing file at path left untouched on any failure.
void SaveAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& write);

}  // namespace tabvert::excel
