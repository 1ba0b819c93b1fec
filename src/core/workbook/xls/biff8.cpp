#include "core/workbook/xls/biff8.h"

#include <QString>
#include <cmath>
#include <cstring>

#include "core/workbook/excel.h"

namespace tabvert::excel::biff8 {

namespace {

void Put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void Put32(std::string& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

void PutDouble(std::string& out, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    Put32(out, static_cast<uint32_t>(bits & 0xFFFFFFFF));
    Put32(out, static_cast<uint32_t>(bits >> 32));
}

// cch (8 or 16 bits), option byte, characters.
void PutText(std::string& out, const BiffText& text, bool shortLength) {
    if (shortLength) {
        out += static_cast<char>(text.chars);
    } else {
        Put16(out, static_cast<uint16_t>(text.chars));
    }
    out += static_cast<char>(text.wide ? 1 : 0);
    out += text.bytes;
}

}  // namespace

BiffText EncodeText(std::string_view utf8) {
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    BiffText out;
    out.chars = static_cast<uint32_t>(s.size());
    for (const QChar c : s) {
        if (c.unicode() > 0xFF) {
            out.wide = true;
            break;
        }
    }
    out.bytes.reserve(static_cast<size_t>(s.size()) * (out.wide ? 2 : 1));
    for (const QChar c : s) {
        if (out.wide) {
            Put16(out.bytes, c.unicode());
        } else {
            out.bytes += static_cast<char>(c.unicode());
        }
    }
    return out;
}

std::string Record(uint16_t type, std::string_view body) {
    std::string out;
    out.reserve(4 + body.size());
    Put16(out, type);
    Put16(out, static_cast<uint16_t>(body.size()));
    out += body;
    return out;
}

std::string Bof(Substream kind) {
    std::string b;
    Put16(b, 0x0600);  // BIFF8
    Put16(b, static_cast<uint16_t>(kind));
    Put16(b, 0x0DBB);  // build
    Put16(b, 0x07CC);  // year
    Put32(b, 0x000100C1);
    Put32(b, 0x00000406);
    return Record(record::kBof, b);
}

std::string Eof() { return Record(record::kEof, {}); }

std::string Codepage() {
    std::string b;
    Put16(b, 1200);
    return Record(record::kCodepage, b);
}

std::string Window1(uint16_t activeSheet) {
    std::string b;
    Put16(b, 0);       // left
    Put16(b, 0);       // top
    Put16(b, 0x3A5C);  // width
    Put16(b, 0x23BE);  // height
    Put16(b, 0x0038);  // horizontal and vertical scroll bars, tabs
    Put16(b, activeSheet);
    Put16(b, 0);       // first visible tab
    Put16(b, 1);       // selected tabs
    Put16(b, 0x0258);  // tab bar width ratio
    return Record(record::kWindow1, b);
}

std::string DateMode1900() {
    std::string b;
    Put16(b, 0);
    return Record(record::kDateMode, b);
}

std::string Font(double points, bool bold, bool underline, std::string_view name) {
    std::string b;
    Put16(b, static_cast<uint16_t>(std::lround(points * 20)));
    Put16(b, underline ? 0x0004 : 0);  // the old underline bit, which readers still look at
    Put16(b, 0x7FFF);                  // automatic colour
    Put16(b, bold ? 700 : 400);
    Put16(b, 0);  // no super/subscript
    b += static_cast<char>(underline ? 1 : 0);
    b += static_cast<char>(2);  // family: swiss
    b += static_cast<char>(0);  // character set
    b += static_cast<char>(0);
    PutText(b, EncodeText(name), true);
    return Record(record::kFont, b);
}

std::string Format(uint16_t index, std::string_view code) {
    std::string b;
    Put16(b, index);
    PutText(b, EncodeText(code), false);
    return Record(record::kFormat, b);
}

namespace {

std::string Xf(uint16_t font, uint16_t format, uint16_t typeAndParent, uint8_t usedAttributes) {
    std::string b;
    Put16(b, font);
    Put16(b, format);
    Put16(b, typeAndParent);
    b += static_cast<char>(0x20);  // aligned general, bottom
    b += static_cast<char>(0);     // no rotation
    b += static_cast<char>(0);     // no indent
    b += static_cast<char>(usedAttributes);
    Put32(b, 0);  // no borders
    Put32(b, 0);
    Put16(b, 0x20C0);  // pattern colours: automatic
    return Record(record::kXf, b);
}

}  // namespace

// Style XFs: locked, parent 0xFFF; attribute bits then mark what the style does not set.
std::string StyleXf(uint16_t font) { return Xf(font, 0, 0xFFF5, font == 0 ? 0x00 : 0xF4); }

// Cell XFs: locked, parent style XF 0; the used bits say the number format and the font are the cell's.
std::string CellXf(uint16_t font, uint16_t format) {
    uint8_t used = 0;
    if (format != 0) used |= 0x04;
    if (font != 0) used |= 0x08;
    return Xf(font, format, 0x0001, used);
}

std::string NormalStyle() {
    std::string b;
    Put16(b, 0x8000);              // built-in, style XF 0
    b += static_cast<char>(0);     // Normal
    b += static_cast<char>(0xFF);  // no outline level
    return Record(record::kStyle, b);
}

std::string BoundSheet(uint32_t offset, std::string_view name) {
    std::string b;
    Put32(b, offset);
    b += static_cast<char>(0);  // visible
    b += static_cast<char>(0);  // worksheet
    PutText(b, EncodeText(name), true);
    return Record(record::kBoundSheet, b);
}

std::string Dimensions(uint32_t firstRow, uint32_t lastRowPlus1, uint16_t firstCol, uint16_t lastColPlus1) {
    std::string b;
    Put32(b, firstRow);
    Put32(b, lastRowPlus1);
    Put16(b, firstCol);
    Put16(b, lastColPlus1);
    Put16(b, 0);
    return Record(record::kDimensions, b);
}

std::string ColInfo(uint16_t first, uint16_t last, uint16_t width) {
    std::string b;
    Put16(b, first);
    Put16(b, last);
    Put16(b, width);
    Put16(b, 15);      // the default cell XF
    Put16(b, 0x0002);  // width set by the user, not hidden
    Put16(b, 0);
    return Record(record::kColInfo, b);
}

std::string Window2(bool active, bool frozenHeader) {
    std::string b;
    // Grid lines, headers, zeros, automatic grid colour, outline symbols; selected and shown if active;
    // frozen panes without a split bar.
    uint16_t flags = active ? 0x06B6 : 0x00B6;
    if (frozenHeader) flags |= 0x0108;
    Put16(b, flags);
    Put16(b, 0);     // top row
    Put16(b, 0);     // left column
    Put16(b, 0x40);  // grid colour index
    Put16(b, 0);
    Put16(b, 0);  // zoom in page break preview (default)
    Put16(b, 0);  // zoom in normal view (default)
    Put32(b, 0);
    return Record(record::kWindow2, b);
}

std::string FrozenHeaderPane() {
    constexpr uint8_t kLowerLeft = 2;
    std::string pane;
    Put16(pane, 0);  // no columns frozen
    Put16(pane, 1);  // one row frozen
    Put16(pane, 1);  // the lower pane's first row
    Put16(pane, 0);  // its first column
    pane += static_cast<char>(kLowerLeft);
    pane += '\0';
    std::string selection;
    selection += static_cast<char>(kLowerLeft);
    Put16(selection, 1);  // active cell A2
    Put16(selection, 0);
    Put16(selection, 0);  // its reference in the list below
    Put16(selection, 1);  // one reference: A2:A2
    Put16(selection, 1);
    Put16(selection, 1);
    selection += '\0';
    selection += '\0';
    return Record(record::kPane, pane) + Record(record::kSelection, selection);
}

std::string Row(uint16_t row, uint16_t firstCol, uint16_t lastColPlus1, uint16_t heightTwips) {
    std::string b;
    Put16(b, row);
    Put16(b, firstCol);
    Put16(b, lastColPlus1);
    Put16(b, heightTwips);
    Put16(b, 0);
    Put16(b, 0);
    Put32(b, 0x000F0100);  // default XF 15, reserved bit 8 set
    return Record(record::kRow, b);
}

std::string LabelSst(uint16_t row, uint16_t col, uint16_t xf, uint32_t sst) {
    std::string b;
    Put16(b, row);
    Put16(b, col);
    Put16(b, xf);
    Put32(b, sst);
    return Record(record::kLabelSst, b);
}

std::string Number(uint16_t row, uint16_t col, uint16_t xf, double value) {
    std::string b;
    Put16(b, row);
    Put16(b, col);
    Put16(b, xf);
    PutDouble(b, value);
    return Record(record::kNumber, b);
}

std::string Blank(uint16_t row, uint16_t col, uint16_t xf) {
    std::string b;
    Put16(b, row);
    Put16(b, col);
    Put16(b, xf);
    return Record(record::kBlank, b);
}

// ---- SST ----

SstWriter::SstWriter(TempFile file, size_t dedupBudgetBytes)
    : file_(std::move(file)), budget_(dedupBudgetBytes) {
    body_.assign(8, '\0');  // total and unique counts, filled in by Finish()
}

void SstWriter::FlushRecord() {
    const std::string rec = Record(first_ ? record::kSst : record::kContinue, body_);
    file_.WriteAt(written_, rec.data(), rec.size());
    written_ += rec.size();
    body_.clear();
    first_ = false;
}

void SstWriter::StartContinue() { FlushRecord(); }

uint32_t SstWriter::Add(std::string_view utf8) {
    ++total_;
    if (const auto it = known_.find(std::string(utf8)); it != known_.end()) return it->second;
    const uint32_t index = unique_++;
    if (knownBytes_ + utf8.size() + 64 <= budget_) {
        known_.emplace(std::string(utf8), index);
        knownBytes_ += utf8.size() + 64;
    }

    const BiffText text = EncodeText(utf8);
    const size_t charSize = text.wide ? 2 : 1;
    // The header and at least one character must share a record.
    if (body_.size() + 3 + (text.chars ? charSize : 0) > kMaxRecordBody) StartContinue();
    if (index % 8 == 0) {
        every8th_.push_back({written_ + 4 + body_.size(), static_cast<uint16_t>(4 + body_.size())});
    }
    Put16(body_, static_cast<uint16_t>(text.chars));
    body_ += static_cast<char>(text.wide ? 1 : 0);
    size_t done = 0;
    while (done < text.bytes.size()) {
        size_t room = (kMaxRecordBody - body_.size()) / charSize * charSize;
        if (room == 0) {
            // Characters go on in a CONTINUE record that starts with the option byte again.
            StartContinue();
            body_ += static_cast<char>(text.wide ? 1 : 0);
            room = (kMaxRecordBody - body_.size()) / charSize * charSize;
        }
        const size_t n = std::min(room, text.bytes.size() - done);
        body_.append(text.bytes, done, n);
        done += n;
    }
    if (body_.size() >= kMaxRecordBody) StartContinue();
    return index;
}

uint64_t SstWriter::Finish() {
    if (!body_.empty() || first_) FlushRecord();
    std::string counts;
    Put32(counts, total_);
    Put32(counts, unique_);
    file_.WriteAt(4, counts.data(), counts.size());
    known_.clear();
    return written_;
}

std::string SstWriter::ExtSst(uint64_t streamOffset) const {
    // At most 128 buckets, each a multiple of 8 strings (at least 8).
    uint32_t perBucket = 8;
    while (unique_ > perBucket * 128u) perBucket += 8;
    std::string b;
    Put16(b, static_cast<uint16_t>(perBucket));
    for (size_t k = 0; k * perBucket < unique_; ++k) {
        const Position& p = every8th_[k * perBucket / 8];
        Put32(b, static_cast<uint32_t>(streamOffset + p.inTable));
        Put16(b, p.inRecord);
        Put16(b, 0);
    }
    return Record(record::kExtSst, b);
}

}  // namespace tabvert::excel::biff8
