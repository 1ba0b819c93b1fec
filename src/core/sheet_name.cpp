#include "core/sheet_name.h"

namespace tabvert::exporting {

namespace {

// The byte offset just behind the first `count` UTF-8 characters of `s` (s.size() when it has fewer).
// Continuation bytes (10xxxxxx) never start a character; stray ones count as part of the one before.
std::size_t PrefixBytes(std::string_view s, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if ((byte & 0xC0) == 0x80) continue;
        if (seen == count) return i;
        ++seen;
    }
    return s.size();
}

std::size_t CharacterCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

double NameDigitGenerator::next() {
    constexpr std::uint32_t kMask = (1u << 24) - 1;
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & kMask;
    return static_cast<double>(state_) / static_cast<double>(1u << 24);
}

int NameDigitGenerator::nextDigit() { return static_cast<int>(10.0 * next()); }

std::string GetSheetName(std::string_view tableName, NameDigitGenerator& digits) {
    const bool hasSlash = tableName.find('/') != std::string_view::npos;
    if (!hasSlash && CharacterCount(tableName) <= kLongestSheetName) return std::string(tableName);

    std::string name(tableName);
    for (char& c : name)
        if (c == '/') c = '-';
    name.resize(PrefixBytes(name, kShortenedSheetName));
    name += static_cast<char>('0' + digits.nextDigit());
    return name;
}

}  // namespace tabvert::exporting
