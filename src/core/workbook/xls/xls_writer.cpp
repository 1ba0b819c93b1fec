// Excel 97-2003: a BIFF8 workbook stream inside a compound file (libgsf's MS-OLE writer).
// Sheets are written first, one after another into one temporary file, while the shared strings and
// the styles they use are collected; the globals are then known and the stream is put together:
// globals, shared strings, then the sheets at the offsets the BOUNDSHEET records announce.

#include "core/workbook/xls/xls_writer.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

#include "core/workbook/column_fit.h"

namespace tabvert::excel {

namespace {

using namespace biff8;

constexpr double kDefaultPoints = kXlsDefaultPoints;
constexpr uint16_t kDefaultRowTwips = 255;
constexpr uint16_t kDefaultCellXf = 15;

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
using OutputHandle = std::unique_ptr<GsfOutput, GObjectUnref>;
using OutfileHandle = std::unique_ptr<GsfOutfile, GObjectUnref>;

}  // namespace

class XlsBook::Styles {
  public:
    explicit Styles(const std::vector<std::string>& formats) : formats_(formats) {}

    uint16_t Xf(const FontSpec& font, uint16_t format) {
        const uint16_t fontIndex = FontFor(font);
        if (fontIndex == 0 && format == 0) return kDefaultCellXf;
        const auto key = std::make_pair(fontIndex, format);
        const auto it = xfs_.find(key);
        if (it != xfs_.end()) return it->second;
        const auto xf = static_cast<uint16_t>(16 + order_.size());
        xfs_.emplace(key, xf);
        order_.push_back(key);
        return xf;
    }

    // FONT, FORMAT, XF and STYLE records.
    std::string Records() const {
        std::string out;
        for (int i = 0; i < 5; ++i) out += biff8::Font(kDefaultPoints, false, false);
        for (const auto& f : fonts_)
            out += biff8::Font(f.size > 0 ? f.size : kDefaultPoints, f.bold, f.underline);
        for (size_t i = 1; i < formats_.size(); ++i)
            out += Format(FormatCode(static_cast<uint16_t>(i)), formats_[i]);
        out += StyleXf(0);
        for (int i = 1; i < 15; ++i) out += StyleXf(i < 3 ? 1 : (i < 5 ? 2 : 0));
        out += CellXf(0, 0);
        for (const auto& [font, format] : order_) out += CellXf(font, FormatCode(format));
        out += NormalStyle();
        return out;
    }

  private:
    static uint16_t FormatCode(uint16_t index) { return index == 0 ? 0 : static_cast<uint16_t>(163 + index); }

    uint16_t FontFor(const FontSpec& font) {
        if (font.IsDefault() || (font.size == kDefaultPoints && !font.bold && !font.underline)) return 0;
        for (size_t i = 0; i < fonts_.size(); ++i) {
            if (fonts_[i] == font) return FontIndex(5 + i);
        }
        fonts_.push_back(font);
        return FontIndex(5 + fonts_.size() - 1);
    }

    const std::vector<std::string>& formats_;
    std::vector<FontSpec> fonts_;
    std::map<std::pair<uint16_t, uint16_t>, uint16_t> xfs_;
    std::vector<std::pair<uint16_t, uint16_t>> order_;
};

// Buffered sequential writing into a temporary file.
class XlsBook::Spill {
  public:
    explicit Spill(TempFile file) : file_(std::move(file)) {}
    void Write(std::string_view bytes) {
        buffer_ += bytes;
        if (buffer_.size() >= (1u << 20)) Flush();
    }
    void Flush() {
        file_.WriteAt(size_, buffer_.data(), buffer_.size());
        size_ += buffer_.size();
        buffer_.clear();
    }
    uint64_t size() const { return size_ + buffer_.size(); }
    const TempFile& File() const { return file_; }

  private:
    TempFile file_;
    std::string buffer_;
    uint64_t size_ = 0;
};

namespace {

void FlushBlock(std::vector<XlsBook::RowBuffer>& block, XlsBook::Spill& out) {
    for (const auto& r : block) {
        const auto height =
            r.points > kDefaultPoints ? static_cast<uint16_t>(std::lround(r.points * 26)) : kDefaultRowTwips;
        out.Write(biff8::Row(r.row, r.firstCol, static_cast<uint16_t>(r.lastCol + 1), height));
    }
    for (const auto& r : block) out.Write(r.records);
    block.clear();
}

class StreamWriter {
  public:
    explicit StreamWriter(GsfOutput* out) : out_(out) {}
    void Write(std::string_view bytes) {
        if (!bytes.empty() &&
            !gsf_output_write(out_, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()))) {
            Fail();
        }
    }
    void Copy(const TempFile& file, uint64_t from, uint64_t size) {
        std::string buffer(1u << 20, '\0');
        for (uint64_t done = 0; done < size;) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - done));
            if (file.ReadAt(from + done, buffer.data(), n) != n) {
                throw ExcelError(ErrorReason::SaveFailed, "a temporary file of the workbook is damaged");
            }
            Write(std::string_view(buffer.data(), n));
            done += n;
        }
    }
    [[noreturn]] void Fail() const {
        const GError* error = gsf_output_error(out_);
        throw ExcelError(ErrorReason::SaveFailed, error != nullptr ? error->message : "writing failed");
    }

  private:
    GsfOutput* out_;
};

}  // namespace

XlsBook::XlsBook(const std::string& tempFolder, const std::vector<std::string>& formats)
    : styles_(std::make_unique<Styles>(formats)),
      sst_(std::make_unique<SstWriter>(TempFile::Create(tempFolder))),
      cells_(std::make_unique<Spill>(TempFile::Create(tempFolder))) {}

XlsBook::~XlsBook() = default;

XlsBook::Sheet::Sheet(XlsBook& book, bool frozenHeader) : book_(book), frozenHeader_(frozenHeader) {
    begin_ = book.cells_->size();
}

void XlsBook::Sheet::SetColumns(const std::vector<ColumnWidth>& widths) {
    columns_.clear();
    for (const ColumnWidth& w : widths) {
        if (w.first > kMaxXlsColumns) break;
        const auto last = static_cast<uint16_t>(std::min<long>(w.last, kMaxXlsColumns));
        columns_ += ColInfo(static_cast<uint16_t>(w.first - 1), static_cast<uint16_t>(last - 1),
                            ColumnWidthUnits(w.chars));
    }
}

void XlsBook::Sheet::Add(const OutCell& cell) {
    const auto row = static_cast<uint16_t>(cell.row - 1);
    const auto col = static_cast<uint16_t>(cell.column - 1);
    if (!block_.empty() && row / 32 != block_.back().row / 32) FlushBlock(block_, *book_.cells_);
    if (block_.empty() || block_.back().row != row) block_.push_back({row, col, col, kDefaultPoints, {}});
    RowBuffer& r = block_.back();
    r.lastCol = col;
    if (cell.font.size > r.points) r.points = cell.font.size;

    // A text carries no number format, whatever the cell held before.
    const uint16_t xf = book_.styles_->Xf(cell.font, cell.kind == OutCell::Kind::Number ? cell.format : 0);
    switch (cell.kind) {
        case OutCell::Kind::Text:
            r.records += LabelSst(row, col, xf, book_.sst_->Add(cell.text));
            break;
        case OutCell::Kind::Number:
            r.records += biff8::Number(row, col, xf, cell.number);
            break;
        case OutCell::Kind::Blank:
            r.records += biff8::Blank(row, col, xf);
            break;
    }
    if (!any_) {
        firstRow_ = row;
        firstCol_ = col;
    }
    any_ = true;
    lastRow_ = row;
    firstCol_ = std::min(firstCol_, col);
    lastCol_ = std::max(lastCol_, col);
}

void XlsBook::Sheet::Finish() {
    if (finished_) return;
    FlushBlock(block_, *book_.cells_);
    end_ = book_.cells_->size();
    finished_ = true;
}

void XlsBook::Write(const std::string& path, const std::vector<NamedSheet>& sheets, size_t active) {
    for (const auto& [name, sheet] : sheets) sheet->Finish();
    cells_->Flush();
    const uint64_t sstSize = sst_->Finish();

    // Globals up to the sheet list; then the offsets of everything after it follow.
    std::string head = Bof(Substream::Globals) + Codepage() + Window1(static_cast<uint16_t>(active)) +
                       DateMode1900() + styles_->Records();
    uint64_t sheetListSize = 0;
    for (const auto& [name, sheet] : sheets) sheetListSize += BoundSheet(0, name).size();
    const uint64_t sstOffset = head.size() + sheetListSize;
    const std::string tail = sst_->ExtSst(sstOffset) + Eof();

    std::vector<std::string> sheetHeads, sheetTails;
    uint64_t offset = sstOffset + sstSize + tail.size();
    std::vector<uint64_t> offsets;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const Sheet& p = *sheets[i].second;
        sheetHeads.push_back(Bof(Substream::Worksheet) + p.columns_ +
                             (p.any_ ? Dimensions(p.firstRow_, p.lastRow_ + 1u, p.firstCol_,
                                                  static_cast<uint16_t>(p.lastCol_ + 1))
                                     : Dimensions(0, 0, 0, 0)));
        sheetTails.push_back(Window2(i == active, p.frozenHeader_) +
                             (p.frozenHeader_ ? FrozenHeaderPane() : std::string()) + Eof());
        offsets.push_back(offset);
        offset += sheetHeads.back().size() + (p.end_ - p.begin_) + sheetTails.back().size();
    }
    if (offset > UINT32_MAX)
        throw ExcelError(ErrorReason::SaveFailed, "the workbook is too large for an .xls file");
    for (size_t i = 0; i < sheets.size(); ++i)
        head += BoundSheet(static_cast<uint32_t>(offsets[i]), sheets[i].first);

    // Our own descriptor: GsfOutputStdio given a path would write through a temporary file of its own.
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw ExcelError(ErrorReason::SaveFailed, std::strerror(errno));
    OutputHandle sink(gsf_output_stdio_new_FILE(path.c_str(), file, FALSE));
    if (!sink) {
        std::fclose(file);
        throw ExcelError(ErrorReason::SaveFailed, "cannot open the file");
    }
    OutfileHandle container(gsf_outfile_msole_new(sink.get()));
    OutputHandle stream(gsf_outfile_new_child(container.get(), "Workbook", FALSE));
    if (!container || !stream) throw ExcelError(ErrorReason::SaveFailed, "cannot create the workbook stream");

    StreamWriter out(stream.get());
    out.Write(head);
    out.Copy(sst_->File(), 0, sstSize);
    out.Write(tail);
    for (size_t i = 0; i < sheets.size(); ++i) {
        const Sheet& p = *sheets[i].second;
        out.Write(sheetHeads[i]);
        out.Copy(cells_->File(), p.begin_, p.end_ - p.begin_);
        out.Write(sheetTails[i]);
    }
    if (!gsf_output_close(stream.get())) out.Fail();
    if (!gsf_output_close(GSF_OUTPUT(container.get()))) StreamWriter(GSF_OUTPUT(container.get())).Fail();
    // The container closes its sink itself.
    if (!gsf_output_is_closed(sink.get()) && !gsf_output_close(sink.get())) StreamWriter(sink.get()).Fail();
}

void XlsSheetSink::Add(const OutCell& cell) {
    if (cell.row > kMaxXlsRows || cell.column > kMaxXlsColumns) {
        if (leftOut_) leftOut_(cell.row, cell.column);
        return;
    }
    sheet_.Add(cell);
}

void WriteXls(const std::string& path, const BookOut& book) {
    XlsBook xls(book.tempFolder, *book.formats);
    std::vector<std::unique_ptr<XlsBook::Sheet>> parts;
    std::vector<XlsBook::NamedSheet> named;
    for (const auto& sheet : book.sheets) {
        parts.push_back(std::make_unique<XlsBook::Sheet>(xls, sheet.layout.frozenHeader));
        std::unique_ptr<RowSink> sink =
            std::make_unique<XlsSheetSink>(*parts.back(), [&](long row, long column) {
                if (book.problem) book.problem(Problem::Kind::LeftOutOfXls, sheet.name, row, column);
            });
        if (sheet.layout.fitColumns)
            sink = std::make_unique<FittingSink>(std::move(sink), *book.formats, kDefaultPoints);
        auto cursor = sheet.cells();
        OutCell cell;
        while (cursor->Next(cell)) sink->Add(cell);
        sink->Finish(false);
        named.emplace_back(sheet.name, parts.back().get());
    }
    xls.Write(path, named, book.active);
}

}  // namespace tabvert::excel
