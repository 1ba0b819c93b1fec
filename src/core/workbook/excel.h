#pragma once
// An in-process stand-in for Excel's automation object model, as far as the export uses it:
// an invisible application, its workbooks, their worksheets, cells, ranges and fonts, and SaveAs to
// .xlsx (Office Open XML) or .xls (Excel 97-2003). Everything it refuses throws ExcelError, carrying
// a number and a description as Excel's automation errors do, and a reason; Problems() keeps only what
// a save had to leave out or change without refusing.
//
// Objects are owned by their parent (application > workbooks > workbook > worksheets > worksheet);
// references stay valid until the application is destroyed. Range and Font are small value handles.
// Cells are spooled to temporary files as they arrive, so memory stays flat however much is written.
// A workbook told its file before it is filled (Workbook::PlanSaveAs) streams each sheet straight into
// that file instead, row by row, and then takes each sheet's rows once and in order.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/error.h"
#include "core/text/locale.h"

namespace tabvert::excel {

// Error numbers, as an automation client sees them.
inline constexpr long kErrorCannotCreateObject = 429;  // the application could not be created/started
inline constexpr long kErrorObjectDefined = 1004;  // Excel refused the operation (bad argument, name, save)
inline constexpr long kErrorObjectGone = 462;      // the workbook was closed / the application has quit
inline constexpr long kErrorSubscriptOutOfRange = 9;  // no worksheet with that index or name

// The automation number Excel reports for `reason`; kErrorObjectDefined for everything it refuses
// without a number of its own.
long ExcelErrorNumber(ErrorReason reason);

class ExcelError : public NumberedError {
  public:
    ExcelError(ErrorReason reason, std::string description)
        : NumberedError(ExcelErrorNumber(reason), reason, std::move(description)) {}
};

inline constexpr std::string_view kApplicationClassId = "{00024500-0000-0000-C000-000000000046}";

// File format codes accepted by Workbook::SaveAs.
inline constexpr long kWorkbookNormal = -4143;  // the format the file name's extension calls for
inline constexpr long kOpenXmlWorkbook = 51;    // .xlsx whatever the extension
inline constexpr long kExcel8 = 56;             // .xls (BIFF8) whatever the extension

// Excel's grid and cell limits, and the smaller grid of an Excel 97-2003 file.
inline constexpr long kMaxRows = 1048576;
inline constexpr long kMaxColumns = 16384;
inline constexpr long kMaxCellChars = 32767;
inline constexpr long kMaxXlsRows = 65536;
inline constexpr long kMaxXlsColumns = 256;
inline constexpr size_t kMaxSheetNameChars = 31;

// Something the workbook holds that a save had to leave out or could not write exactly; nothing the
// engine refused (that was thrown). Problems of the same kind on the same sheet are counted in one
// entry; `firstCell` names the first cell concerned (A1 form), when there is one.
struct Problem {
    enum class Kind {
        LeftOutOfXls,               // a cell beyond 65,536 rows x 256 columns was not written to an .xls file
        FormatOfEmptyCellsLeftOut,  // a font set on over a million cells reaches only those with values
        TextNotExact,  // .xlsx: a text with NULs or literal "_xHHHH_" too long to escape, written as given
    };
    Kind kind = Kind::LeftOutOfXls;
    std::string sheet;
    std::string description;
    long count = 1;
    std::string firstCell;
};

class Application;
class Workbook;
class Worksheet;
struct WorkbookState;
struct SheetStore;

class Font;

// A rectangle of cells of one worksheet.
class Range {
  public:
    // Sets every cell of the range to the text; what it becomes (number, date or text) follows the
    // engine's value rule, see CellValue in cell_value.h. The empty text empties the cell.
    void SetValue(const std::string& text);
    // Sets every cell of the range to a number shown with `numberFormat` ("General" or a format code):
    // what SetValue does with a text that the caller has already recognised as such a number or date.
    void SetNumber(double number, std::string_view numberFormat);
    Font GetFont();
    long Row() const { return row1_; }
    long Column() const { return col1_; }
    long RowCount() const { return row2_ - row1_ + 1; }

  private:
    friend class Worksheet;
    friend class Font;
    void Store(int kind, std::uint16_t format, double number, std::string_view text);
    Range(Worksheet* sheet, long row1, long col1, long row2, long col2)
        : sheet_(sheet), row1_(row1), col1_(col1), row2_(row2), col2_(col2) {}
    Worksheet* sheet_;
    long row1_, col1_, row2_, col2_;
};

// The font of a range: each property set applies to every cell of the range, empty ones included.
class Font {
  public:
    void SetBold(bool bold);
    void SetSize(double points);  // 1 to 409 points, as Excel accepts
    void SetUnderline(bool underline);

  private:
    friend class Range;
    explicit Font(const Range& range) : range_(range) {}
    void Apply(int property, double value);
    Range range_;
};

class Worksheet {
  public:
    ~Worksheet();
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    const std::string& Name() const { return name_; }
    // Refuses, with ExcelError and no change, what Excel refuses: empty, over 31 characters, any of
    // : \ / ? * [ ], a leading or trailing apostrophe, "History" in any case, or a name another sheet
    // of the workbook has, without regard to case.
    void SetName(const std::string& name);
    // 1-based row and column; a cell outside the grid is refused.
    Range Cells(long row, long column);
    // A1-style references ("A1", "Z1", "$B$2"); the range spans both cells.
    Range GetRange(const std::string& cell1, const std::string& cell2);
    void Activate();
    // Sizes each column, when the sheet is written, to the widest text or number of its first 101
    // rows (a header and 100 records): from 8.43 to 60 characters, numbers and dates as their number
    // format shows them. The sheet's later rows are not looked at.
    void FitColumnWidths();
    // Keeps row 1 in view while the rows below it scroll.
    void FreezeTopRow();
    // Makes the cell a link to `target`, a path relative to the workbook's folder (or a URI) that the
    // .xlsx file holds percent-encoded; an .xls file keeps the cell's value only. A cell outside the
    // grid, or in a planned workbook a row already written out, is refused.
    void SetHyperlink(long row, long column, const std::string& target);
    // In a workbook planned for a file (Workbook::PlanSaveAs) both are refused once a cell or font of
    // the sheet was written: the file holds them before the cells.

  private:
    friend class Worksheets;
    friend class Workbook;
    friend class Range;
    friend class Font;
    friend struct WorkbookState;
    Worksheet(WorkbookState* book, std::string name);
    void CheckOpen() const;
    void CheckLayoutOpen() const;
    WorkbookState* book_;
    std::uint32_t id_;  // order of creation, from 0
    std::string name_;
    std::unique_ptr<SheetStore> store_;
};

class Worksheets {
  public:
    // Adds an empty worksheet "Sheet<n>" (the next free number) before the active sheet and makes it
    // the active sheet.
    Worksheet& Add();
    long Count() const;
    Worksheet& Item(long index);               // 1-based, in tab order
    Worksheet& Item(const std::string& name);  // without regard to case

  private:
    friend class Workbook;
    explicit Worksheets(WorkbookState* book) : book_(book) {}
    WorkbookState* book_;
};

class Workbook {
  public:
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    Worksheets& GetWorksheets();
    Worksheet& ActiveSheet();
    // Tells the workbook the SaveAs it will get (same arguments) before anything is written to it, so
    // that it streams each sheet into that file as its rows complete: .xlsx straight into the package
    // (created beside the target now), .xls counting the cells beyond its 65,536 rows and 256 columns
    // without keeping them. From then on each sheet takes its rows in order and once: a write to a row
    // before the current one, or to a sheet left for another, is refused. SaveAs to another name works
    // (a copy); to the other format it is refused. Throws ExcelError when cells were written already or
    // the file cannot be created.
    void PlanSaveAs(const std::string& fileName, long fileFormat = kWorkbookNormal);
    // Writes the workbook in the format its name calls for (ResolveSaveTarget), through a PendingSave:
    // a failed save leaves no partial file and an existing file untouched. fileFormat: kWorkbookNormal,
    // kOpenXmlWorkbook or kExcel8.
    void SaveAs(const std::string& fileName, long fileFormat = kWorkbookNormal);
    // Discards the workbook and its temporary files; later calls on it throw.
    void Close();
    bool IsClosed() const;
    // The path of the last successful save ("" if none).
    const std::string& FullName() const;
    const std::vector<Problem>& Problems() const;

  private:
    friend class Workbooks;
    Workbook(Application* app, std::string tempFolder);
    std::unique_ptr<WorkbookState> state_;
    Worksheets sheets_;
};

class Workbooks {
  public:
    // A new workbook with one empty worksheet "Sheet1".
    Workbook& Add();
    long Count() const;

  private:
    friend class Application;
    explicit Workbooks(Application* app) : app_(app) {}
    Application* app_;
    std::vector<std::unique_ptr<Workbook>> books_;
};

struct ApplicationOptions {
    // Where worksheets are spooled; the system temporary folder when empty.
    std::string tempFolder;
    text::Locale locale = text::Locale::System();
};

class Application {
  public:
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void SetVisible(bool visible);  // accepted; there is never a window
    bool Visible() const { return visible_; }
    Workbooks& GetWorkbooks();
    // Closes every workbook without saving; later calls on the application throw.
    void Quit();
    // The locale whose number and date/time forms are recognised in cell texts.
    void SetLocale(text::Locale locale);
    const text::Locale& Locale() const { return locale_; }

  private:
    friend std::unique_ptr<Application> CreateApplication(std::string_view, const ApplicationOptions&);
    friend class Workbooks;
    explicit Application(const ApplicationOptions& options);
    void CheckRunning() const;
    struct TempFolder;
    std::unique_ptr<TempFolder> temp_;
    text::Locale locale_;
    bool visible_ = false;
    bool quit_ = false;
    Workbooks workbooks_;
};

// Starts the application. Throws ExcelError (kErrorCannotCreateObject) for a class id other than
// kApplicationClassId (braces and case as given there, or without braces) or when it cannot start,
// e.g. when there is no usable temporary folder.
std::unique_ptr<Application> CreateApplication(std::string_view classId,
                                               const ApplicationOptions& options = {});

}  // namespace tabvert::excel
