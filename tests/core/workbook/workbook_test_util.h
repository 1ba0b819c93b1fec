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
#include <vector>

#include "core/workbook/excel.h"
#include "support/paths.h"

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

// A LibreOffice profile that records a version as already run. A headless conversion never records
// one, so LibreOffice takes every start for the first after an upgrade and runs its graphics self-tests
// before converting, several seconds each time; a version above any real one is never upgraded from.
inline void WriteLibreOfficeProfile(const std::filesystem::path& profile) {
    std::filesystem::create_directories(profile / "user");
    std::ofstream(profile / "user" / "registrymodifications.xcu")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\">\n"
           "<item oor:path=\"/org.openoffice.Setup/Product\"><prop oor:name=\"ooSetupLastVersion\" "
           "oor:op=\"fuse\"><value>9999.0</value></prop></item>\n"
           "</oor:items>\n";
}

// LibreOffice, headless, with `root` as its home and a profile of its own there (a second start on a
// profile still in use fails), converts the files of `root` named to `filter` into `outDir`; its exit
// status.
inline int ConvertWithLibreOffice(const std::filesystem::path& root, const std::string& profileName,
                                  const std::string& filter, const std::filesystem::path& outDir,
                                  const std::vector<std::string>& names) {
    const std::filesystem::path profile = root / profileName;
    WriteLibreOfficeProfile(profile);
    const std::string home = test::ShellQuote(root.string());
    std::string sources;
    for (const auto& name : names) sources += " " + test::ShellQuote((root / name).string());
    return test::RunCommand("cd " + home + " && HOME=" + home + " soffice --headless --norestore " +
                            "-env:UserInstallation=file://" + profile.string() + " --convert-to " +
                            test::ShellQuote(filter) + " --outdir " + test::ShellQuote(outDir.string()) +
                            sources + " >/dev/null 2>&1");
}

}  // namespace tabvert::excel::testing
