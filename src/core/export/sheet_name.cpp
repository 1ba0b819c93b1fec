#include "core/export/sheet_name.h"

#include "core/text/strings.h"

namespace tabvert::exporting {

double NameDigitGenerator::Next() {
    constexpr std::uint32_t kMask = (1u << 24) - 1;
    state_ = (state_ * 0x43FD43FDu + 0xC39EC3u) & kMask;
    return static_cast<double>(state_) / static_cast<double>(1u << 24);
}

int NameDigitGenerator::NextDigit() { return static_cast<int>(10.0 * Next()); }

std::string GetSheetName(std::string_view tableName, NameDigitGenerator& digits) {
    const bool hasSlash = tableName.find('/') != std::string_view::npos;
    if (!hasSlash && text::Utf16Length(tableName) <= kLongestSheetName) return std::string(tableName);

    std::string name(tableName);
    for (char& c : name)
        if (c == '/') c = '-';
    name.resize(text::Utf16Prefix(name, kShortenedSheetName).size());
    name += static_cast<char>('0' + digits.NextDigit());
    return name;
}

std::string ContinuedSheetName(std::string_view firstSheet, int part,
                               const std::function<bool(std::string_view)>& taken) {
    constexpr std::size_t kLongestName = 31;  // what Excel takes
    for (int number = part;; ++number) {
        const std::string suffix = " (" + std::to_string(number) + ")";
        std::string name(text::Utf16Prefix(firstSheet, kLongestName - suffix.size()));
        name += suffix;
        if (!taken || !taken(name)) return name;
    }
}

}  // namespace tabvert::exporting
