#include "core/provider/connection_string.h"

#include <cctype>

#include "core/text/strings.h"
#include "core/value/provider_error.h"

namespace tabvert::ado {
namespace {

const char kBadFormat[] = "Format of the initialization string does not conform to the OLE DB rules.";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) { return text::TrimWhitespace(s); }

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

ConnectionString ConnectionString::Parse(std::string_view text) {
    ConnectionString result;
    size_t pos = 0;
    const size_t n = text.size();
    while (pos < n) {
        // The key runs to the first single "="; "==" stands for a literal "=" inside a key.
        std::string key;
        bool sawEquals = false;
        while (pos < n) {
            const char c = text[pos];
            if (c == '=') {
                if (pos + 1 < n && text[pos + 1] == '=') {
                    key += '=';
                    pos += 2;
                    continue;
                }
                sawEquals = true;
                ++pos;
                break;
            }
            if (c == ';') break;
            key += c;
            ++pos;
        }
        if (!sawEquals) {
            if (!Trim(key).empty()) throw ProviderError(ErrorReason::BadConnectionString, kBadFormat);
            ++pos;  // an empty segment between separators, or a trailing blank
            continue;
        }
        while (pos < n && IsBlank(text[pos])) ++pos;
        std::string value;
        if (pos < n && (text[pos] == '"' || text[pos] == '\'')) {
            const char quote = text[pos++];
            bool closed = false;
            while (pos < n) {
                if (text[pos] == quote) {
                    if (pos + 1 < n && text[pos + 1] == quote) {
                        value += quote;
                        pos += 2;
                        continue;
                    }
                    closed = true;
                    ++pos;
                    break;
                }
                value += text[pos++];
            }
            if (!closed) throw ProviderError(ErrorReason::BadConnectionString, kBadFormat);
            while (pos < n && IsBlank(text[pos])) ++pos;
            if (pos < n && text[pos] != ';')
                throw ProviderError(ErrorReason::BadConnectionString, kBadFormat);
        } else {
            const size_t end = text.find(';', pos);
            value = std::string(Trim(text.substr(pos, end == std::string_view::npos ? n - pos : end - pos)));
            pos = end == std::string_view::npos ? n : end;
        }
        ++pos;  // past the ";"
        const std::string folded = Fold(Trim(key));
        if (folded.empty()) throw ProviderError(ErrorReason::BadConnectionString, kBadFormat);
        result.values_[folded] = std::move(value);
    }
    return result;
}

std::optional<std::string> ConnectionString::Get(std::string_view key) const {
    const auto it = values_.find(Fold(Trim(key)));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::string QuoteConnectionValue(std::string_view value) {
    const bool needsQuotes = value.find_first_of(";\"'") != std::string_view::npos ||
                             (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())));
    if (!needsQuotes) return std::string(value);
    const char quote = value.find('"') == std::string_view::npos ? '"' : '\'';
    std::string out(1, quote);
    for (char c : value) {
        out += c;
        if (c == quote) out += c;
    }
    out += quote;
    return out;
}

}  // namespace tabvert::ado
