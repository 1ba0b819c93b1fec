#pragma once
// A workbook whose file is known before it is filled (Workbook::PlanSaveAs). Each sheet streams into
// that format as its rows complete, one sheet at a time: for .xlsx the package itself is built beside
// the target while the rows arrive, so the save only adds the small parts and renames it; for .xls the
// records go to two temporary files. A few open files and a few rows of memory, whatever the number
// of sheets or rows.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/workbook/excel.h"
#include "core/workbook/safe_save.h"
#include "core/workbook/sheet_stream.h"
#include "core/workbook/xls/xls_writer.h"
#include "core/workbook/xlsx/xlsx_sheet.h"
#include "core/workbook/xlsx/zip_package.h"

namespace tabvert::excel {

class StreamedBook {
  public:
    using ProblemReport = std::function<void(Problem::Kind, uint32_t sheetId, long row, long column)>;
    using IsActive = std::function<bool(uint32_t sheetId)>;
    using LayoutOf = std::function<SheetLayout(uint32_t sheetId)>;

    // Throws ExcelError when the package cannot be created beside the target. A sheet's layout is
    // asked for when its stream opens.
    StreamedBook(const SaveTarget& target, const std::string& tempFolder,
                 const std::vector<std::string>& formats, ProblemReport problem, LayoutOf layoutOf = {});
    ~StreamedBook();

    const SaveTarget& Target() const { return target_; }

    // The sheet's stream, which becomes the one being written; the sheet written before is finished.
    // Throws ExcelError for a sheet that was finished already.
    SheetStream& Open(uint32_t sheetId, const IsActive& isActive);
    // Whether the sheet's stream was opened (its layout is then fixed).
    bool Started(uint32_t sheetId) const {
        return current_ == sheetId || (sheetId < finished_.size() && finished_[sheetId]);
    }

    // Writes the file at `path` (the planned format): the sheets in tab order, as (name, id).
    void Save(const std::string& path, const std::vector<std::pair<std::string, uint32_t>>& sheets,
              size_t active);

  private:
    std::unique_ptr<RowSink> MakeSink(uint32_t sheetId);
    void FinishCurrent(const IsActive& isActive);
    std::string PartName(uint32_t sheetId) const;
    void SaveFinished(const std::string& path, const std::vector<std::pair<std::string, uint32_t>>& sheets,
                      size_t active, const IsActive& isActive);
    void Abandon();  // after a failure of the .xlsx package: drops it and its file

    SaveTarget target_;
    const std::vector<std::string>& formats_;
    ProblemReport problem_;
    LayoutOf layoutOf_;
    std::vector<std::unique_ptr<SheetStream>> streams_;  // by sheet id
    std::vector<bool> finished_;
    std::optional<uint32_t> current_;
    // .xlsx
    std::optional<PendingSave> package_;
    std::unique_ptr<XlsxStyles> styles_;
    std::unique_ptr<ZipPackage> zip_;
    bool packageDone_ = false;
    // .xls
    std::unique_ptr<XlsBook> xls_;
    std::vector<std::unique_ptr<XlsBook::Sheet>> xlsSheets_;  // by sheet id
};

}  // namespace tabvert::excel
