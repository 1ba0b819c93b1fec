#include "core/workbook/excel.h"

#include <QDir>
#include <QString>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <unordered_map>

#include "core/text/strings.h"
#include "core/workbook/cell_value.h"
#include "core/workbook/limits.h"
#include "core/workbook/safe_save.h"
#include "core/workbook/sheet_cells.h"
#include "core/workbook/spool.h"
#include "core/workbook/streamed_book.h"

namespace tabvert::excel {

long ExcelErrorNumber(ErrorReason reason) {
    switch (reason) {
        case ErrorReason::CannotStart:
            return kErrorCannotCreateObject;
        case ErrorReason::ObjectGone:
            return kErrorObjectGone;
        case ErrorReason::NoSuchSheet:
            return kErrorSubscriptOutOfRange;
        default:
            return kErrorObjectDefined;
    }
}

struct SheetStore {
    explicit SheetStore(const std::string& folder) : spool(folder) {}
    CellSpool spool;
    std::vector<FontOp> fontOps;
    SheetLayout layout;
    std::vector<Hyperlink> links;  // of a workbook that is not planned
};

struct WorkbookState {
    Application* app = nullptr;
    std::string tempFolder;
    std::vector<std::unique_ptr<Worksheet>> sheets;  // tab order
    size_t active = 0;
    long lastSheetNumber = 0;
    std::vector<std::string> formats{"General"};
    std::unordered_map<std::string, uint16_t> formatIndex{{"General", 0}};
    std::vector<Problem> problems;
    std::string fullName;
    bool closed = false;
    uint32_t nextSheetId = 0;
    bool written = false;                  // a cell or a font was spooled
    std::unique_ptr<StreamedBook> stream;  // after PlanSaveAs
    uint16_t lastFormat = 0;               // the format SetNumber saw last, and its index
    std::string lastFormatCode = "General";

    void CheckOpen() const {
        if (closed) throw ExcelError(ErrorReason::ObjectGone, "The workbook has been closed.");
    }

    uint16_t FormatIndex(std::string_view format) {
        if (format == lastFormatCode) return lastFormat;
        lastFormatCode.assign(format);
        lastFormat = FormatIndexOf(lastFormatCode);
        return lastFormat;
    }

    uint16_t FormatIndexOf(const std::string& format) {
        const auto it = formatIndex.find(format);
        if (it != formatIndex.end()) return it->second;
        const auto index = static_cast<uint16_t>(formats.size());
        formats.push_back(format);
        formatIndex.emplace(format, index);
        return index;
    }

    void AddProblem(Problem::Kind kind, const std::string& sheet, std::string description,
                    std::string cell = {}) {
        for (auto& p : problems) {
            if (p.kind == kind && p.sheet == sheet) {
                ++p.count;
                return;
            }
        }
        problems.push_back({kind, sheet, std::move(description), 1, std::move(cell)});
    }

    void AddFileProblem(Problem::Kind kind, const std::string& sheet, long row, long column) {
        AddProblem(kind, sheet,
                   kind == Problem::Kind::LeftOutOfXls
                       ? "cells beyond 65,536 rows or 256 columns were left out of the .xls file"
                       : "texts whose escaped form exceeds 32,767 characters were written unescaped",
                   CellName(row, column));
    }

    const Worksheet* SheetById(uint32_t id) const {
        for (const auto& s : sheets) {
            if (s->id_ == id) return s.get();
        }
        return nullptr;
    }

    // The stream of a sheet of a planned workbook, refusing rows that were written out already.
    SheetStream& StreamFor(const Worksheet& sheet, long firstRow) {
        SheetStream& rows =
            stream->Open(sheet.id_, [this](uint32_t id) { return sheets[active]->id_ == id; });
        if (firstRow < static_cast<long>(rows.FirstOpenRow())) {
            throw ExcelError(ErrorReason::OutOfOrder,
                             "Row " + std::to_string(firstRow) + " of the worksheet \"" + sheet.Name() +
                                 "\" was already written out to \"" + stream->Target().path + "\".");
        }
        return rows;
    }

    bool NameTaken(std::string_view name, const Worksheet* except) const {
        return std::any_of(sheets.begin(), sheets.end(), [&](const auto& s) {
            return s.get() != except && SameSheetName(s->Name(), name);
        });
    }
};

// ---- Worksheet ----

Worksheet::Worksheet(WorkbookState* book, std::string name)
    : book_(book),
      id_(book->nextSheetId++),
      name_(std::move(name)),
      store_(std::make_unique<SheetStore>(book->tempFolder)) {}

Worksheet::~Worksheet() = default;

void Worksheet::CheckOpen() const { book_->CheckOpen(); }

void Worksheet::SetName(const std::string& name) {
    CheckOpen();
    if (name == name_) return;
    const auto refuse = [&](ErrorReason reason, const std::string& fault) {
        throw ExcelError(reason,
                         "Cannot rename the worksheet \"" + name_ + "\" to \"" + name + "\": " + fault + ".");
    };
    if (const auto fault = SheetNameFault(name)) refuse(ErrorReason::SheetNameInvalid, *fault);
    if (book_->NameTaken(name, this))
        refuse(ErrorReason::SheetNameTaken, "another worksheet of the workbook is already named so");
    name_ = name;
}

Range Worksheet::Cells(long row, long column) {
    CheckOpen();
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) {
        throw ExcelError(
            ErrorReason::CellOutsideGrid,
            "Cells(" + std::to_string(row) + ", " + std::to_string(column) + ") lies outside the worksheet.");
    }
    return Range(this, row, column, row, column);
}

Range Worksheet::GetRange(const std::string& cell1, const std::string& cell2) {
    CheckOpen();
    const auto a = ParseCellRef(cell1);
    const auto b = ParseCellRef(cell2);
    if (!a || !b) {
        throw ExcelError(ErrorReason::BadReference, "Range(\"" + cell1 + "\", \"" + cell2 +
                                                        "\") is not a reference to cells of a worksheet.");
    }
    return Range(this, std::min(a->row, b->row), std::min(a->column, b->column), std::max(a->row, b->row),
                 std::max(a->column, b->column));
}

void Worksheet::Activate() {
    CheckOpen();
    for (size_t i = 0; i < book_->sheets.size(); ++i) {
        if (book_->sheets[i].get() == this) book_->active = i;
    }
}

void Worksheet::CheckLayoutOpen() const {
    CheckOpen();
    if (book_->stream && book_->stream->Started(id_)) {
        throw ExcelError(ErrorReason::OutOfOrder, "The layout of the worksheet \"" + name_ +
                                                      "\" is fixed: its first rows were already "
                                                      "written towards \"" +
                                                      book_->stream->Target().path + "\".");
    }
}

void Worksheet::FitColumnWidths() {
    CheckLayoutOpen();
    store_->layout.fitColumns = true;
}

void Worksheet::FreezeTopRow() {
    CheckLayoutOpen();
    store_->layout.frozenHeader = true;
}

void Worksheet::SetHyperlink(long row, long column, const std::string& target) {
    Cells(row, column);  // checks the sheet and the grid
    Hyperlink link{static_cast<uint32_t>(row), static_cast<uint16_t>(column), target};
    if (book_->stream) {
        book_->StreamFor(*this, row).AddLink(std::move(link));
    } else {
        store_->links.push_back(std::move(link));
    }
}

// ---- Range and Font ----

namespace {

bool BeyondXls(long row, long column) { return row > kMaxXlsRows || column > kMaxXlsColumns; }

}  // namespace

void Range::SetValue(const std::string& given) {
    sheet_->CheckOpen();
    WorkbookState& book = *sheet_->book_;
    // A planned .xls keeps nothing beyond its grid: such cells are counted, not looked at.
    if (book.stream && !book.stream->Target().xlsx && BeyondXls(row1_, col1_)) {
        if (!given.empty()) {
            for (long r = row1_; r <= row2_; ++r) {
                for (long c = col1_; c <= col2_; ++c)
                    book.AddFileProblem(Problem::Kind::LeftOutOfXls, sheet_->name_, r, c);
            }
        }
        return;
    }
    const std::string sanitized =
        text::IsValidUtf8(given) ? std::string() : QString::fromUtf8(given).toStdString();
    const std::string& text = sanitized.empty() ? given : sanitized;
    if (text::Utf16Length(text) > static_cast<size_t>(kMaxCellChars)) {
        throw ExcelError(ErrorReason::TextTooLong, "The text for " + CellName(row1_, col1_) + " is " +
                                                       std::to_string(text::Utf16Length(text)) +
                                                       " characters long; a cell holds at most 32,767.");
    }
    const CellValue value = ClassifyText(text, book.app->Locale());
    if (value.kind == CellValue::Kind::Text) {
        Store(static_cast<int>(OutCell::Kind::Text), 0, 0, text);
    } else if (value.kind == CellValue::Kind::Empty) {
        Store(static_cast<int>(OutCell::Kind::Blank), 0, 0, {});
    } else {
        Store(static_cast<int>(OutCell::Kind::Number), book.FormatIndex(value.numberFormat), value.number,
              {});
    }
}

void Range::SetNumber(double number, std::string_view numberFormat) {
    sheet_->CheckOpen();
    WorkbookState& book = *sheet_->book_;
    if (book.stream && !book.stream->Target().xlsx && BeyondXls(row1_, col1_)) {
        for (long r = row1_; r <= row2_; ++r) {
            for (long c = col1_; c <= col2_; ++c)
                book.AddFileProblem(Problem::Kind::LeftOutOfXls, sheet_->name_, r, c);
        }
        return;
    }
    Store(static_cast<int>(OutCell::Kind::Number), book.FormatIndex(numberFormat), number, {});
}

// Every cell of the range; Blank empties them.
void Range::Store(int kindCode, uint16_t format, double number, std::string_view text) {
    const auto kind = static_cast<OutCell::Kind>(kindCode);
    WorkbookState& book = *sheet_->book_;
    if (book.stream) {
        SheetStream& rows = book.StreamFor(*sheet_, row1_);
        for (long r = row1_; r <= row2_; ++r) {
            for (long c = col1_; c <= col2_; ++c) {
                if (book.stream->Target().xlsx || !BeyondXls(r, c)) {
                    rows.Put(static_cast<uint32_t>(r), static_cast<uint16_t>(c), kind, format, number, text);
                } else if (kind != OutCell::Kind::Blank) {
                    book.AddFileProblem(Problem::Kind::LeftOutOfXls, sheet_->name_, r, c);
                }
            }
        }
        return;
    }
    book.written = true;
    const SpooledCell::Kind spooled = kind == OutCell::Kind::Text     ? SpooledCell::Kind::Text
                                      : kind == OutCell::Kind::Number ? SpooledCell::Kind::Number
                                                                      : SpooledCell::Kind::Clear;
    for (long r = row1_; r <= row2_; ++r) {
        for (long c = col1_; c <= col2_; ++c) {
            sheet_->store_->spool.Append(static_cast<uint32_t>(r), static_cast<uint16_t>(c), spooled, format,
                                         number, text);
        }
    }
}

Font Range::GetFont() {
    sheet_->CheckOpen();
    return Font(*this);
}

void Font::Apply(int property, double value) {
    Worksheet* sheet = range_.sheet_;
    sheet->CheckOpen();
    const FontOp op{
        range_.row1_, range_.col1_, range_.row2_, range_.col2_, static_cast<FontOp::Property>(property),
        value};
    if (op.Area() > kMaxFormattedBlankArea) {
        sheet->book_->AddProblem(
            Problem::Kind::FormatOfEmptyCellsLeftOut, sheet->name_,
            "a font set on more than a million cells applies only to the cells with values",
            CellName(op.row1, op.col1));
    }
    WorkbookState& book = *sheet->book_;
    if (book.stream) {
        book.StreamFor(*sheet, op.row1).AddFont(op);
        return;
    }
    book.written = true;
    sheet->store_->fontOps.push_back(op);
}

void Font::SetBold(bool bold) { Apply(static_cast<int>(FontOp::Property::Bold), bold ? 1.0 : 0.0); }

void Font::SetUnderline(bool underline) {
    Apply(static_cast<int>(FontOp::Property::Underline), underline ? 1.0 : 0.0);
}

void Font::SetSize(double points) {
    range_.sheet_->CheckOpen();
    if (!(points >= 1 && points <= 409)) {
        throw ExcelError(ErrorReason::FontSizeOutOfRange,
                         "Unable to set the font size: it must lie between 1 and 409 points.");
    }
    // Excel keeps font sizes to the half point.
    Apply(static_cast<int>(FontOp::Property::Size), std::round(points * 2) / 2);
}

// ---- Worksheets ----

Worksheet& Worksheets::Add() {
    book_->CheckOpen();
    std::string name;
    do {
        name = "Sheet" + std::to_string(++book_->lastSheetNumber);
    } while (book_->NameTaken(name, nullptr));
    const size_t at = book_->sheets.empty() ? 0 : book_->active;
    book_->sheets.insert(book_->sheets.begin() + static_cast<std::ptrdiff_t>(at),
                         std::unique_ptr<Worksheet>(new Worksheet(book_, name)));
    book_->active = at;
    return *book_->sheets[at];
}

long Worksheets::Count() const {
    book_->CheckOpen();
    return static_cast<long>(book_->sheets.size());
}

Worksheet& Worksheets::Item(long index) {
    book_->CheckOpen();
    if (index < 1 || index > static_cast<long>(book_->sheets.size())) {
        throw ExcelError(ErrorReason::NoSuchSheet, "Subscript out of range: the workbook has no worksheet " +
                                                       std::to_string(index) + ".");
    }
    return *book_->sheets[static_cast<size_t>(index - 1)];
}

Worksheet& Worksheets::Item(const std::string& name) {
    book_->CheckOpen();
    for (auto& s : book_->sheets) {
        if (SameSheetName(s->Name(), name)) return *s;
    }
    throw ExcelError(ErrorReason::NoSuchSheet,
                     "Subscript out of range: the workbook has no worksheet \"" + name + "\".");
}

// ---- Workbook ----

Workbook::Workbook(Application* app, std::string tempFolder)
    : state_(std::make_unique<WorkbookState>()), sheets_(state_.get()) {
    state_->app = app;
    state_->tempFolder = std::move(tempFolder);
    sheets_.Add();
}

Workbook::~Workbook() = default;

Worksheets& Workbook::GetWorksheets() {
    state_->CheckOpen();
    return sheets_;
}

Worksheet& Workbook::ActiveSheet() {
    state_->CheckOpen();
    return *state_->sheets[state_->active];
}

bool Workbook::IsClosed() const { return state_->closed; }

const std::string& Workbook::FullName() const { return state_->fullName; }

const std::vector<Problem>& Workbook::Problems() const { return state_->problems; }

void Workbook::SaveAs(const std::string& fileName, long fileFormat) {
    state_->CheckOpen();
    if (fileFormat != kWorkbookNormal && fileFormat != kOpenXmlWorkbook && fileFormat != kExcel8) {
        throw ExcelError(ErrorReason::UnsupportedFileFormat,
                         "SaveAs: file format " + std::to_string(fileFormat) + " is not supported.");
    }
    const SaveTarget target = ResolveSaveTarget(fileName, fileFormat);
    if (state_->stream) {
        if (target.xlsx != state_->stream->Target().xlsx) {
            throw ExcelError(ErrorReason::UnsupportedFileFormat,
                             "SaveAs: the workbook was written straight into its planned " +
                                 std::string(target.xlsx ? ".xls" : ".xlsx") +
                                 " file and can be saved only in that format.");
        }
        std::vector<std::pair<std::string, uint32_t>> sheets;
        for (const auto& sheet : state_->sheets) sheets.emplace_back(sheet->Name(), sheet->id_);
        state_->stream->Save(target.path, sheets, state_->active);
        state_->fullName = target.path;
        return;
    }
    // What an earlier save left out is no longer news; this save reports its own.
    std::erase_if(state_->problems, [](const Problem& p) {
        return p.kind == Problem::Kind::LeftOutOfXls || p.kind == Problem::Kind::TextNotExact;
    });

    BookOut book;
    book.active = state_->active;
    book.formats = &state_->formats;
    book.tempFolder = state_->tempFolder;
    book.problem = [this](Problem::Kind kind, const std::string& sheet, long row, long column) {
        state_->AddFileProblem(kind, sheet, row, column);
    };
    for (auto& sheet : state_->sheets) {
        SheetStore* store = sheet->store_.get();
        book.sheets.push_back(
            {sheet->Name(),
             [store] { return std::make_unique<SheetCursor>(store->spool.Read(), store->fontOps); },
             store->layout, &store->links});
    }
    SaveAtomically(target.path, [&](const std::string& tempPath) {
        if (target.xlsx) {
            WriteXlsx(tempPath, book);
        } else {
            WriteXls(tempPath, book);
        }
    });
    state_->fullName = target.path;
}

void Workbook::PlanSaveAs(const std::string& fileName, long fileFormat) {
    state_->CheckOpen();
    if (fileFormat != kWorkbookNormal && fileFormat != kOpenXmlWorkbook && fileFormat != kExcel8) {
        throw ExcelError(ErrorReason::UnsupportedFileFormat,
                         "PlanSaveAs: file format " + std::to_string(fileFormat) + " is not supported.");
    }
    if (state_->written || state_->stream) {
        throw ExcelError(ErrorReason::OutOfOrder, "PlanSaveAs: the workbook has been written to already.");
    }
    WorkbookState* state = state_.get();
    state_->stream = std::make_unique<StreamedBook>(
        ResolveSaveTarget(fileName, fileFormat), state_->tempFolder, state_->formats,
        [state](Problem::Kind kind, uint32_t sheetId, long row, long column) {
            const Worksheet* sheet = state->SheetById(sheetId);
            state->AddFileProblem(kind, sheet != nullptr ? sheet->Name() : std::string(), row, column);
        },
        [state](uint32_t sheetId) {
            const Worksheet* sheet = state->SheetById(sheetId);
            return sheet != nullptr && sheet->store_ ? sheet->store_->layout : SheetLayout{};
        });
}

void Workbook::Close() {
    if (state_->closed) return;
    state_->closed = true;
    state_->stream.reset();
    for (auto& sheet : state_->sheets) sheet->store_.reset();
}

// ---- Workbooks ----

// The spool files and the writers' temporary files are made in this folder and unlinked at once, so
// no folder of the engine's own is needed, and a killed process leaves nothing in it.
struct Application::TempFolder {
    std::string path;
};

Workbook& Workbooks::Add() {
    app_->CheckRunning();
    books_.push_back(std::unique_ptr<Workbook>(new Workbook(app_, app_->temp_->path)));
    return *books_.back();
}

long Workbooks::Count() const {
    return static_cast<long>(
        std::count_if(books_.begin(), books_.end(), [](const auto& b) { return !b->IsClosed(); }));
}

// ---- Application ----

Application::Application(const ApplicationOptions& options) : locale_(options.locale), workbooks_(this) {
    const QString base =
        options.tempFolder.empty() ? QDir::tempPath() : QString::fromStdString(options.tempFolder);
    // QDir::tempPath() is empty when TMPDIR names a folder that does not exist: never fall back to "/".
    if (base.isEmpty()) {
        throw ExcelError(ErrorReason::CannotStart,
                         "Excel cannot start: the temporary folder named by TMPDIR does not exist.");
    }
    temp_ = std::make_unique<TempFolder>(TempFolder{base.toStdString()});
    try {
        TempFile::Create(temp_->path);  // gone again at once
    } catch (const ExcelError& e) {
        throw ExcelError(ErrorReason::CannotStart,
                         "Excel cannot start: no usable temporary folder. " + e.Description());
    }
}

Application::~Application() {
    for (auto& book : workbooks_.books_) book->Close();
}

void Application::CheckRunning() const {
    if (quit_) throw ExcelError(ErrorReason::ObjectGone, "The Excel application has quit.");
}

void Application::SetVisible(bool visible) {
    CheckRunning();
    visible_ = visible;
}

Workbooks& Application::GetWorkbooks() {
    CheckRunning();
    return workbooks_;
}

void Application::Quit() {
    if (quit_) return;
    for (auto& book : workbooks_.books_) book->Close();
    quit_ = true;
}

void Application::SetLocale(text::Locale locale) { locale_ = std::move(locale); }

std::unique_ptr<Application> CreateApplication(std::string_view classId, const ApplicationOptions& options) {
    std::string id(classId);
    if (id.size() == kApplicationClassId.size() - 2) id = "{" + id + "}";
    const bool known =
        id.size() == kApplicationClassId.size() &&
        std::equal(id.begin(), id.end(), kApplicationClassId.begin(), [](char a, char b) {
            return std::toupper(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
        });
    if (!known) {
        throw ExcelError(ErrorReason::CannotStart, "ActiveX component can't create object: class " +
                                                       std::string(classId) + " is not registered.");
    }
    return std::unique_ptr<Application>(new Application(options));
}

}  // namespace tabvert::excel
