#pragma once
// Shared by the workbook engine's tests: an application spooling into a test's own folder.

#include <sys/resource.h>

#include <QTemporaryDir>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/workbook/excel.h"

namespace tabvert::excel::testing {

inline std::unique_ptr<Application> StartExcel(const QTemporaryDir& spoolDir,
                                               text::Locale locale = text::Locale::EnUS()) {
    ApplicationOptions options;
    options.tempFolder = spoolDir.path().toStdString();
    options.locale = std::move(locale);
    return CreateApplication(kApplicationClassId, options);
}

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool IsXlsx(const std::filesystem::path& path) { return Slurp(path).rfind("PK\x03\x04", 0) == 0; }
inline bool IsXls(const std::filesystem::path& path) {
    return Slurp(path).rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0;
}

// While it lives, every write beyond `bytes` fails with EFBIG, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
};

inline long ThrownNumber(const std::function<void()>& call) {
    try {
        call();
    } catch (const ExcelError& e) {
        return e.Number();
    }
    return 0;
}

inline std::optional<ErrorReason> ThrownReason(const std::function<void()>& call) {
    try {
        call();
    } catch (const ExcelError& e) {
        return e.Reason();
    }
    return std::nullopt;
}

}  // namespace tabvert::excel::testing
