#pragma once
// Where a save goes, and saving so that a failure or a killed process leaves nothing behind and an
// existing file is replaced whole or not at all.

#include <sys/stat.h>

#include <functional>
#include <string>

namespace tabvert::excel {

struct SaveTarget {
    std::string path;  // with the format's extension added when the name has none
    bool xlsx = false;
};

// The name decides the format (ResolveWorkbookTarget, file_format.h); kOpenXmlWorkbook and kExcel8 choose
// it whatever the extension. Throws ExcelError for a name that is empty or names a folder.
SaveTarget ResolveSaveTarget(const std::string& fileName, long fileFormat);

// The file of a save in progress, open for reading and writing, that takes the place of `path` on
// Commit:
// - a symbolic link at `path` is followed: the file it points to is replaced, the link stays;
// - a file being replaced passes its permissions, and its owner and group where allowed, to the new one;
// - a read-only file, a folder or anything but a regular file at `path` is refused by Begin;
// - where the file system allows, the file has no name until Commit (a killed process leaves nothing
//   visible), otherwise it is a hidden file beside the target, removed on destruction without Commit
//   and by RemovePendingSaveFiles, whose name fits the folder's name limit however long the target's;
// - until Commit the file is readable by its owner alone (or by those who could read the file it
//   replaces).
// The descriptor stays open until destruction (a committed file can still be read through it).
class PendingSave {
  public:
    static PendingSave Begin(const std::string& path);  // throws ExcelError naming the path
    PendingSave(PendingSave&& other) noexcept;
    PendingSave& operator=(PendingSave&&) = delete;
    PendingSave(const PendingSave&) = delete;
    ~PendingSave();

    int Fd() const { return fd_; }
    // A name the file can be opened (and truncated) by as often as one likes: /proc/self/fd/N for a file
    // without a name of its own.
    const std::string& TempPath() const { return tempPath_; }
    // Flushes the file to disk and puts it in place of the target. Throws ExcelError naming the path.
    void Commit();

  private:
    PendingSave() = default;
    std::string path_;       // as given, for messages
    std::string finalPath_;  // the file replaced, links followed
    std::string tempPath_;
    int fd_ = -1;
    bool named_ = false;  // a hidden file beside the target
    int slot_ = -1;       // its entry for RemovePendingSaveFiles
    bool replacing_ = false;
    struct stat old_ {};
    bool committed_ = false;
};

// Begin, write(tempPath), Commit. Throws ExcelError naming the path and the reason; on any failure an
// existing file is left untouched and nothing is left behind.
void SaveAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& write);

// Removes the named temporary files of saves in progress. Safe to call from a signal handler.
void RemovePendingSaveFiles() noexcept;

// How many saves of this process have put their file in place. Safe to call from a signal handler: the
// stop signals (SIGINT, SIGTERM, SIGHUP) are held off by the committing thread from the moment the file
// may be in place until the folder is on disk, so a handler of theirs never runs in between there.
unsigned SavesCommitted() noexcept;

namespace detail {
// Makes saves use a hidden file beside the target even where the file system could make one without a
// name, as on file systems that cannot; for tests of that way.
void UseNamedTemporaryFiles(bool named) noexcept;
}  // namespace detail

}  // namespace tabvert::excel
