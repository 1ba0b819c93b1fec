#include "core/text/strings.h"

#include <QString>

namespace tabvert::text {

namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// UTF-16 units of the character whose lead byte is `c`.
std::size_t UnitsOf(unsigned char c) {
    if (IsContinuation(c)) return 0;
    return (c & 0xF8) == 0xF0 ? 2 : 1;
}

bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

QString ToQString(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (const char c : utf8) units += UnitsOf(static_cast<unsigned char>(c));
    return units;
}

std::string_view Utf16Prefix(std::string_view utf8, std::size_t units) {
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const std::size_t need = UnitsOf(static_cast<unsigned char>(utf8[i]));
        if (need == 0) continue;
        if (need > units - used) return utf8.substr(0, i);
        used += need;
    }
    return utf8;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1Fu;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0Fu;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07u;
        } else {
            return false;
        }
        if (extra >= bytes.size() - i) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if (!IsContinuation(cc)) return false;
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {  // the usual case, without converting to UTF-16
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const char x = AsciiLower(a[i]), y = AsciiLower(b[i]);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    return ToQString(a).compare(ToQString(b), Qt::CaseInsensitive);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return CompareIgnoringCase(a, b) == 0; }

std::string_view TrimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string_view TrimWhitespace(std::string_view s) {
    while (!s.empty() && IsWhitespace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsWhitespace(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace tabvert::text
