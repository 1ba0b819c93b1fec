#include "core/workbook/column_fit.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tabvert::excel {

namespace {

constexpr double kDigitPixels = 7;    // the widest digit of Calibri 11 (and of Arial 10) at 96 dpi
constexpr double kPaddingPixels = 5;  // the cell's margins and grid line
constexpr double kBoldFactor = 1.1;
constexpr double kGeneralChars = 11;   // General shows at most this many characters
constexpr double kMonthOrDayName = 9;  // "September", "Wednesday"

// East Asian wide and fullwidth characters, and the emoji shown as wide.
bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

// Combining marks, zero-width spaces and joiners, variation selectors.
bool IsZeroWidth(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF;
}

// The code point starting at text[i]; i moves past it. A stray byte counts as one character.
char32_t NextCodePoint(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t c = lead & (0x3F >> extra);
    for (int k = 0; k < extra && i < text.size(); ++k) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) break;
        c = (c << 6) | (next & 0x3F);
        ++i;
    }
    return c;
}

int DecimalDigits(double magnitude) {
    if (magnitude < 10) return 1;
    return static_cast<int>(std::floor(std::log10(magnitude))) + 1;
}

// How Excel's General shows a number: integers in full, up to 11 characters; others in their shortest
// form, rounded to fit those 11.
double GeneralChars(double number) {
    char digits[32];
    const auto res = std::to_chars(digits, digits + sizeof digits, number);
    return std::min(static_cast<double>(res.ptr - digits), kGeneralChars);
}

// The run of `c` (case-insensitive) starting at code[i].
size_t RunLength(std::string_view code, size_t i) {
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(code[i])));
    size_t n = 0;
    while (i + n < code.size() && std::tolower(static_cast<unsigned char>(code[i + n])) == c) ++n;
    return n;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (size_t k = 0; k < prefix.size(); ++k) {
        if (std::tolower(static_cast<unsigned char>(text[at + k])) != prefix[k]) return false;
    }
    return true;
}

}  // namespace

double TextChars(std::string_view utf8, double limit) {
    double widest = 0, line = 0;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t c = NextCodePoint(utf8, i);
        if (c == '\n') {
            widest = std::max(widest, line);
            line = 0;
            continue;
        }
        if (c == '\r' || IsZeroWidth(c)) continue;
        line += IsWide(c) ? 2 : 1;
        if (line > limit) return line;
    }
    return std::max(widest, line);
}

double NumberChars(double number, std::string_view formatCode) {
    if (formatCode.empty() || StartsWithNoCase(formatCode, 0, "general")) return GeneralChars(number);
    // The first section decides (the program's formats have one).
    double literal = 0, dateChars = 0;
    int integerZeros = 0, decimals = 0;
    bool numeric = false, afterPoint = false, grouped = false, percent = false;
    for (size_t i = 0; i < formatCode.size();) {
        const char c = formatCode[i];
        if (c == ';') break;
        if (c == '"') {
            const size_t end = formatCode.find('"', i + 1);
            const size_t stop = end == std::string_view::npos ? formatCode.size() : end;
            literal += TextChars(formatCode.substr(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        if (c == '\\' || c == '_') {  // an escaped character, or the space of one
            literal += 1;
            i += 2;
            continue;
        }
        if (c == '*') {  // fills the cell: no width of its own
            i += 2;
            continue;
        }
        if (c == '[') {  // a colour, condition or locale; an elapsed-time field counts as two digits
            const size_t end = formatCode.find(']', i);
            if (end == std::string_view::npos) break;
            const char inside =
                static_cast<char>(std::tolower(static_cast<unsigned char>(formatCode[i + 1])));
            if (inside == 'h' || inside == 'm' || inside == 's') dateChars += 2;
            i = end + 1;
            continue;
        }
        if (StartsWithNoCase(formatCode, i, "am/pm")) {
            dateChars += 2;
            i += 5;
            continue;
        }
        if (StartsWithNoCase(formatCode, i, "a/p")) {
            dateChars += 1;
            i += 3;
            continue;
        }
        const size_t run = RunLength(formatCode, i);
        switch (std::tolower(static_cast<unsigned char>(c))) {
            case 'y':
                dateChars += run <= 2 ? 2 : 4;
                break;
            case 'm':
            case 'd':
                dateChars += run <= 2 ? 2 : run == 3 ? 3 : run == 4 ? kMonthOrDayName : 1;
                break;
            case 'h':
            case 's':
                dateChars += 2;
                break;
            case '0':
            case '#':
            case '?':
                numeric = true;
                if (afterPoint) {
                    decimals += static_cast<int>(run);
                } else if (c == '0' || c == '?') {
                    integerZeros += static_cast<int>(run);
                }
                break;
            case '.': {
                const char next = i + 1 < formatCode.size() ? formatCode[i + 1] : ' ';
                if (numeric || next == '0' || next == '#' || next == '?') afterPoint = true;
                literal += 1;
                break;
            }
            case ',':
                if (numeric && !afterPoint)
                    grouped = true;
                else
                    literal += 1;
                break;
            case '%':
                percent = true;
                literal += static_cast<double>(run);
                break;
            default:
                literal += static_cast<double>(run);
                break;
        }
        i += run;
    }
    if (!numeric) return literal + dateChars;
    double magnitude = std::fabs(number) * (percent ? 100 : 1);
    magnitude = std::round(magnitude * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
    const int whole = std::max(integerZeros, DecimalDigits(magnitude));
    double chars = literal + dateChars + whole + decimals;
    if (grouped) chars += (whole - 1) / 3;
    if (number < 0 && magnitude != 0) chars += 1;
    return chars;
}

uint16_t ColumnWidthUnits(double chars) {
    const double units = std::floor((chars * kDigitPixels + kPaddingPixels) / kDigitPixels * 256);
    return static_cast<uint16_t>(std::clamp(units, 0.0, 65280.0));  // 255 characters at most
}

void ColumnMeasure::Add(const OutCell& cell) {
    if (cell.kind == OutCell::Kind::Blank || cell.column == 0) return;
    double scale = cell.font.size > 0 ? cell.font.size / defaultPoints_ : 1;
    if (cell.font.bold) scale *= kBoldFactor;
    const double chars =
        cell.kind == OutCell::Kind::Text
            ? TextChars(cell.text, kMaxColumnChars / scale)
            : NumberChars(cell.number, cell.format < formats_.size() ? std::string_view(formats_[cell.format])
                                                                     : std::string_view("General"));
    if (chars_.size() < cell.column) chars_.resize(cell.column, 0);
    double& widest = chars_[cell.column - 1u];
    // Even an empty text or a zero marks the column as one with content.
    widest = std::max({widest, chars * scale, 1e-9});
}

std::vector<ColumnWidth> ColumnMeasure::Widths() const {
    std::vector<ColumnWidth> widths;
    for (size_t i = 0; i < chars_.size(); ++i) {
        if (chars_[i] <= 0) continue;
        const auto column = static_cast<uint16_t>(i + 1);
        const double chars = std::clamp(chars_[i], kMinColumnChars, kMaxColumnChars);
        if (!widths.empty() && widths.back().last + 1 == column && widths.back().chars == chars) {
            widths.back().last = column;
        } else {
            widths.push_back({column, column, chars});
        }
    }
    return widths;
}

FittingSink::FittingSink(std::unique_ptr<RowSink> next, const std::vector<std::string>& formats,
                         double defaultPoints, uint32_t rows, size_t maxHeldBytes)
    : next_(std::move(next)), measure_(formats, defaultPoints), rows_(rows), maxHeldBytes_(maxHeldBytes) {}

void FittingSink::Add(const OutCell& cell) {
    if (!released_ && (cell.row > rows_ || heldBytes_ > maxHeldBytes_)) Release();
    if (released_) {
        next_->Add(cell);
        return;
    }
    measure_.Add(cell);
    held_.push_back(cell);
    heldBytes_ += sizeof(OutCell) + cell.text.capacity();
}

void FittingSink::Release() {
    released_ = true;
    next_->SetColumns(measure_.Widths());
    for (const OutCell& cell : held_) next_->Add(cell);
    std::vector<OutCell>().swap(held_);
    heldBytes_ = 0;
}

void FittingSink::Finish(bool selected) {
    if (!released_) Release();
    next_->Finish(selected);
}

}  // namespace tabvert::excel
