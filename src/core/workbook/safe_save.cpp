// The save is written here rather than through QSaveFile: the workbook writers take a descriptor or a
// path of their own, and QSaveFile neither refuses a read-only target nor makes its temporary file
// invisible to a killed process.
#include "core/workbook/safe_save.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <utility>

#include "core/workbook/excel.h"
#include "core/workbook/file_format.h"

namespace tabvert::excel {

namespace fs = std::filesystem;

SaveTarget ResolveSaveTarget(const std::string& fileName, long fileFormat) {
    const WorkbookFormat format = fileFormat == kOpenXmlWorkbook ? WorkbookFormat::Xlsx
                                  : fileFormat == kExcel8        ? WorkbookFormat::Xls
                                                                 : WorkbookFormat::ByName;
    WorkbookTarget target = ResolveWorkbookTarget(fileName, format);
    if (!target.refusal.empty())
        throw ExcelError(ErrorReason::BadFileName, "SaveAs: " + target.refusal + ".");
    return {std::move(target.path), target.xlsx};
}

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw ExcelError(ErrorReason::SaveFailed, "Cannot save \"" + path + "\": " + reason + ".");
}

// The named temporary files of saves in progress, for RemovePendingSaveFiles. A signal handler can be
// handed nothing, so this one table is shared by the process; it holds names only where the file system
// cannot make unnamed files. A slot's name is written while the slot is Free and read by the handler only
// after it has claimed a Ready slot, so a handler on another thread never reads half a name, and a slot
// the handler has claimed is never reused (the handler ends the process).
enum SlotState : int { kFree, kFilling, kReady, kRemoving };
struct PendingSlot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX] = {};
};
std::array<PendingSlot, 4> pendingSlots;
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<unsigned>::is_always_lock_free);

// The number of saves that have put their file in place; read by signal handlers.
std::atomic<unsigned> committedSaves{0};

std::atomic<bool> namedOnly{false};  // detail::UseNamedTemporaryFiles

// A descriptor closed on destruction.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

int Register(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < pendingSlots.size(); ++i) {
        PendingSlot& slot = pendingSlots[i];
        int expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(kReady);
        return static_cast<int>(i);
    }
    return -1;
}

void Unregister(int& slot) {
    if (slot >= 0) {
        int expected = kReady;
        pendingSlots[static_cast<std::size_t>(slot)].state.compare_exchange_strong(expected, kFree);
    }
    slot = -1;
}

// The longest name the folder takes, in bytes.
std::size_t NameLimit(const fs::path& folder) {
    errno = 0;
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

// The first `bytes` bytes of a UTF-8 name at most, not cutting a character in two.
std::string CutName(const std::string& name, std::size_t bytes) {
    if (name.size() <= bytes) return name;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    return name.substr(0, end);
}

// A name beside `target` that nothing has yet: ".~NAME.NUMBER.tmp", with NAME shortened as far as the
// folder's name limit asks (the random number keeps it unique).
template <typename Make>
std::string MakeUniqueName(const fs::path& folder, const fs::path& target, Make make) {
    std::random_device random;
    std::mt19937_64 numbers((uint64_t{random()} << 32) | random());
    constexpr std::size_t kDecoration = 2 + 1 + 16 + 4;  // ".~", ".", the number in hex, ".tmp"
    const std::size_t limit = NameLimit(folder);
    const std::string stem =
        CutName(target.filename().string(), limit > kDecoration + 1 ? limit - kDecoration : 1);
    for (int attempt = 0; attempt < 16; ++attempt) {
        char number[17];
        std::snprintf(number, sizeof number, "%016llx", static_cast<unsigned long long>(numbers()));
        const std::string name = (folder / (".~" + stem + "." + number + ".tmp")).string();
        if (make(name) == 0) return name;
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

// The process's file creation mask, read without changing it (umask() would, for every thread at once).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

// Holds off the stop signals on this thread while it lives. A stop that comes meanwhile is handled when
// it ends, and its handler then finds the save counted (SavesCommitted).
class StopSignalsHeld {
  public:
    StopSignalsHeld() {
        sigset_t stops;
        sigemptyset(&stops);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, s);
        held_ = pthread_sigmask(SIG_BLOCK, &stops, &previous_) == 0;
    }
    ~StopSignalsHeld() {
        if (held_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

  private:
    sigset_t previous_{};
    bool held_ = false;
};

// Follows symbolic links from `path` to the file they lead to (which need not exist).
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::string link(static_cast<std::size_t>(PATH_MAX), '\0');
        const ssize_t n = readlink(current.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<std::size_t>(n) >= link.size())
            Fail(path, "its symbolic link cannot be read");
        link.resize(static_cast<std::size_t>(n));
        const fs::path next(link);
        current = next.is_absolute() ? link : (fs::path(current).parent_path() / next).string();
    }
    Fail(path, "its symbolic links lead round in a circle");
}

// Gives the new file the mode, owner and group of the one it replaces, as far as we may.
void KeepOwnership(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int ignored = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    // After the owner: a change of owner clears the set-user and set-group bits.
    [[maybe_unused]] const int ignored = fchmod(fd, old.st_mode & 07777);
}

void SyncFolder(const fs::path& folder) {
    Fd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) fsync(dir.get());
}

}  // namespace

void RemovePendingSaveFiles() noexcept {
    for (PendingSlot& slot : pendingSlots) {
        int expected = kReady;
        if (slot.state.compare_exchange_strong(expected, kRemoving)) unlink(slot.path);
    }
}

unsigned SavesCommitted() noexcept { return committedSaves.load(); }

void detail::UseNamedTemporaryFiles(bool named) noexcept { namedOnly.store(named); }

PendingSave PendingSave::Begin(const std::string& path) {
    PendingSave save;
    save.path_ = path;
    save.finalPath_ = FollowLinks(path);
    const fs::path target(save.finalPath_);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();

    save.replacing_ = stat(save.finalPath_.c_str(), &save.old_) == 0;
    if (save.replacing_) {
        if (S_ISDIR(save.old_.st_mode)) Fail(path, "a folder of that name exists");
        if (!S_ISREG(save.old_.st_mode)) Fail(path, "it is not a regular file");
        // No write permission for anyone counts as read-only even for a user who could write anyway.
        if ((save.old_.st_mode & 0222) == 0 || access(save.finalPath_.c_str(), W_OK) != 0)
            Fail(path, "the file is read-only");
    } else if (errno != ENOENT) {
        Fail(path, std::strerror(errno));
    }

    // Readable by the owner alone until Commit, unless it replaces a file that others may read already.
    const mode_t mode = save.replacing_ ? (save.old_.st_mode & 0777) | 0600 : 0600;
    // The file is made without a name where the file system allows it, and reached through /proc.
    if (!namedOnly.load()) {
        save.fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (save.fd_ < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            Fail(path, std::strerror(errno));
        if (save.fd_ >= 0) {
            save.tempPath_ = "/proc/self/fd/" + std::to_string(save.fd_);
            if (access(save.tempPath_.c_str(), W_OK) == 0) return save;
            close(save.fd_);
            save.fd_ = -1;
        }
    }
    // Otherwise a hidden file beside the target, renamed over it once complete.
    save.named_ = true;
    save.tempPath_ = MakeUniqueName(folder, target, [&](const std::string& name) {
        save.fd_ = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        return save.fd_ >= 0 ? 0 : -1;
    });
    if (save.tempPath_.empty()) Fail(path, std::strerror(errno));
    save.slot_ = Register(save.tempPath_);
    return save;
}

PendingSave::PendingSave(PendingSave&& other) noexcept
    : path_(std::move(other.path_)),
      finalPath_(std::move(other.finalPath_)),
      tempPath_(std::move(other.tempPath_)),
      fd_(std::exchange(other.fd_, -1)),
      named_(other.named_),
      slot_(std::exchange(other.slot_, -1)),
      replacing_(other.replacing_),
      old_(other.old_),
      committed_(std::exchange(other.committed_, true)) {}

PendingSave::~PendingSave() {
    if (!committed_ && named_) unlink(tempPath_.c_str());
    Unregister(slot_);
    if (fd_ >= 0) close(fd_);
}

void PendingSave::Commit() {
    if (replacing_) {
        KeepOwnership(fd_, old_);
    } else {
        // What a file made by open(2) would have had.
        [[maybe_unused]] const int ignored = fchmod(fd_, 0666 & ~CurrentUmask());
    }
    if (fsync(fd_) != 0) Fail(path_, std::strerror(errno));
    const fs::path target(finalPath_);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    // From the moment the file may be in place until it is on disk, a stop waits: its handler then sees a
    // committed save rather than one that might or might not be there.
    const StopSignalsHeld held;
    if (named_) {
        if (rename(tempPath_.c_str(), finalPath_.c_str()) != 0) Fail(path_, std::strerror(errno));
    } else {
        const auto linkTo = [&](const std::string& name) {
            return linkat(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        };
        // Nothing there: the complete file gets its name in one step; otherwise a name beside the
        // target for the instant before the rename.
        if (replacing_ || linkTo(finalPath_) != 0) {
            const std::string tempName = MakeUniqueName(folder, target, linkTo);
            if (tempName.empty()) Fail(path_, std::strerror(errno));
            int slot = Register(tempName);
            const bool renamed = rename(tempName.c_str(), finalPath_.c_str()) == 0;
            const int error = errno;
            if (!renamed) unlink(tempName.c_str());
            Unregister(slot);
            if (!renamed) Fail(path_, std::strerror(error));
        }
    }
    committed_ = true;
    ++committedSaves;
    Unregister(slot_);
    SyncFolder(folder);
}

void SaveAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& write) {
    PendingSave pending = PendingSave::Begin(path);
    try {
        write(pending.TempPath());
    } catch (const ExcelError& e) {
        Fail(path, e.Description());
    }
    pending.Commit();
}

}  // namespace tabvert::excel
