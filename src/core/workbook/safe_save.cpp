#include "core/workbook/safe_save.h"

#include "core/workbook/excel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <unistd.h>
#include <utility>

namespace tabvert::excel {

namespace fs = std::filesystem;

SaveTarget ResolveSaveTarget(const std::string& fileName, long fileFormat) {
    if (fileName.empty()) throw ExcelError(ErrorReason::BadFileName, "SaveAs: the file name is empty.");
    const fs::path p(fileName);
    if (!p.has_filename()) throw ExcelError(ErrorReason::BadFileName, "SaveAs: \"" + fileName + "\" names a folder.");
    SaveTarget target{fileName, false};
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    target.xlsx = fileFormat == kOpenXmlWorkbook || (fileFormat != kExcel8 && ext == ".xlsx");
    if (ext.empty()) target.path += target.xlsx ? ".xlsx" : ".xls";  // Excel adds the format's extension
    return target;
}

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw ExcelError(ErrorReason::SaveFailed, "Cannot save \"" + path + "\": " + reason + ".");
}

}  // namespace

PendingSave PendingSave::Begin(const std::string& path) {
    const fs::path target(path);
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::error_code ec;
    if (fs::is_directory(target, ec)) Fail(path, "a folder of that name exists");

    // Created with the mode a new file would get, so the umask applies as usual.
    std::random_device random;
    std::string tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tempPath = (folder / (".~" + target.filename().string() + "." + std::to_string(random()) + ".tmp")).string();
        fd = open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) Fail(path, std::strerror(errno));
    }
    if (fd < 0) Fail(path, "no temporary name could be made beside it");
    return PendingSave(path, tempPath, fd);
}

PendingSave::PendingSave(PendingSave&& other) noexcept
    : path_(std::move(other.path_)), tempPath_(std::move(other.tempPath_)), fd_(std::exchange(other.fd_, -1)),
      committed_(other.committed_) {
    other.committed_ = true;
}

PendingSave::~PendingSave() {
    if (!committed_) unlink(tempPath_.c_str());
    if (fd_ >= 0) close(fd_);
}

void PendingSave::Commit() {
    if (fsync(fd_) != 0) Fail(path_, std::strerror(errno));
    if (rename(tempPath_.c_str(), path_.c_str()) != 0) Fail(path_, std::strerror(errno));
    committed_ = true;
}

void SaveAtomically(const std::string& path, const std::function<void(const std::string& tempPath)>& write) {
    PendingSave pending = PendingSave::Begin(path);
    try {
        write(pending.tempPath());
    } catch (const ExcelError& e) {
        Fail(path, e.description());
    }
    pending.Commit();
}

}  // namespace tabvert::excel
