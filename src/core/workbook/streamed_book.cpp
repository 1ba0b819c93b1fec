#include "core/workbook/streamed_book.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/workbook/column_fit.h"
#include "core/workbook/xlsx/xlsx_writer.h"

namespace tabvert::excel {

StreamedBook::StreamedBook(const SaveTarget& target, const std::string& tempFolder,
                           const std::vector<std::string>& formats, ProblemReport problem, LayoutOf layoutOf)
    : target_(target), formats_(formats), problem_(std::move(problem)), layoutOf_(std::move(layoutOf)) {
    if (target_.xlsx) {
        package_.emplace(PendingSave::Begin(target_.path));
        styles_ = std::make_unique<XlsxStyles>(formats);
        zip_ = std::make_unique<ZipPackage>(package_->Fd());
    } else {
        xls_ = std::make_unique<XlsBook>(tempFolder, formats);
    }
}

StreamedBook::~StreamedBook() = default;

std::string StreamedBook::PartName(uint32_t sheetId) const {
    return "xl/worksheets/sheet" + std::to_string(sheetId + 1) + ".xml";
}

std::unique_ptr<RowSink> StreamedBook::MakeSink(uint32_t sheetId) {
    const SheetLayout layout = layoutOf_ ? layoutOf_(sheetId) : SheetLayout{};
    std::unique_ptr<RowSink> sink;
    double defaultPoints = kXlsxDefaultPoints;
    if (target_.xlsx) {
        sink = std::make_unique<XlsxSheetWriter>(
            *zip_, PartName(sheetId), *styles_,
            [this, sheetId](long row, long column) {
                problem_(Problem::Kind::TextNotExact, sheetId, row, column);
            },
            layout.frozenHeader);
    } else {
        if (xlsSheets_.size() <= sheetId) xlsSheets_.resize(sheetId + 1);
        xlsSheets_[sheetId] = std::make_unique<XlsBook::Sheet>(*xls_, layout.frozenHeader);
        sink = std::make_unique<XlsSheetSink>(*xlsSheets_[sheetId], [this, sheetId](long row, long column) {
            problem_(Problem::Kind::LeftOutOfXls, sheetId, row, column);
        });
        defaultPoints = kXlsDefaultPoints;
    }
    if (layout.fitColumns) sink = std::make_unique<FittingSink>(std::move(sink), formats_, defaultPoints);
    return sink;
}

void StreamedBook::FinishCurrent(const IsActive& isActive) {
    if (!current_) return;
    const uint32_t id = *current_;
    current_.reset();
    finished_[id] = true;
    streams_[id]->Finish(isActive(id));
    streams_[id].reset();
}

SheetStream& StreamedBook::Open(uint32_t sheetId, const IsActive& isActive) {
    if (current_ == sheetId) return *streams_[sheetId];
    if (streams_.size() <= sheetId) {
        streams_.resize(sheetId + 1);
        finished_.resize(sheetId + 1, false);
    }
    if (target_.xlsx && !zip_ && !packageDone_) {
        throw ExcelError(ErrorReason::SaveFailed,
                         "Writing the workbook's file \"" + target_.path + "\" failed earlier.");
    }
    if (finished_[sheetId] || packageDone_) {
        throw ExcelError(ErrorReason::OutOfOrder,
                         "The worksheet was already written out to \"" + target_.path +
                             "\": a workbook planned for a file takes each sheet's rows once, in order.");
    }
    FinishCurrent(isActive);
    streams_[sheetId] = std::make_unique<SheetStream>(MakeSink(sheetId));
    current_ = sheetId;
    return *streams_[sheetId];
}

namespace {

// Copies a finished file, through its descriptor, to a save of its own.
void CopyFile(int from, const std::string& path) {
    SaveAtomically(path, [&](const std::string& tempPath) {
        const int to = open(tempPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (to < 0) throw ExcelError(ErrorReason::SaveFailed, std::strerror(errno));
        std::string buffer(1u << 20, '\0');
        off_t at = 0;
        int error = 0;
        for (;;) {
            const ssize_t n = pread(from, buffer.data(), buffer.size(), at);
            if (n <= 0) {
                if (n < 0) error = errno;
                break;
            }
            if (write(to, buffer.data(), static_cast<size_t>(n)) != n) {
                error = errno != 0 ? errno : EIO;
                break;
            }
            at += n;
        }
        close(to);
        if (error != 0) throw ExcelError(ErrorReason::SaveFailed, std::strerror(error));
    });
}

}  // namespace

void StreamedBook::Save(const std::string& path, const std::vector<std::pair<std::string, uint32_t>>& sheets,
                        size_t active) {
    const auto isActive = [&](uint32_t id) { return active < sheets.size() && sheets[active].second == id; };
    try {
        SaveFinished(path, sheets, active, isActive);
    } catch (const ExcelError& e) {
        if (target_.xlsx && !packageDone_) Abandon();
        if (e.Description().rfind("Cannot save", 0) == 0) throw;
        throw ExcelError(ErrorReason::SaveFailed, "Cannot save \"" + path + "\": " + e.Description() + ".");
    }
}

void StreamedBook::SaveFinished(const std::string& path,
                                const std::vector<std::pair<std::string, uint32_t>>& sheets, size_t active,
                                const IsActive& isActive) {
    if (!packageDone_ && (!target_.xlsx || package_)) {
        FinishCurrent(isActive);
        // Sheets nothing was written to get their (empty) part now.
        for (const auto& [name, id] : sheets) {
            if (id < finished_.size() && finished_[id]) continue;
            Open(id, isActive);
            FinishCurrent(isActive);
        }
    }
    if (!target_.xlsx) {
        std::vector<XlsBook::NamedSheet> named;
        for (const auto& [name, id] : sheets) named.emplace_back(name, xlsSheets_.at(id).get());
        SaveAtomically(path, [&](const std::string& tempPath) { xls_->Write(tempPath, named, active); });
        packageDone_ = true;
        return;
    }
    if (!package_) {
        throw ExcelError(ErrorReason::SaveFailed,
                         "Cannot save \"" + path +
                             "\": writing the workbook's file failed earlier, and its rows are gone.");
    }
    if (!packageDone_) {
        std::vector<std::string> names, parts;
        for (const auto& [name, id] : sheets) {
            names.push_back(name);
            parts.push_back(PartName(id));
        }
        WritePackageParts(*zip_, names, parts, active, *styles_);
        zip_.reset();
        packageDone_ = true;
        if (path == target_.path) {
            package_->Commit();
            return;
        }
    }
    CopyFile(package_->Fd(), path);
}

void StreamedBook::Abandon() {
    current_.reset();
    streams_.clear();
    zip_.reset();
    package_.reset();  // removes the unfinished file
}

}  // namespace tabvert::excel
