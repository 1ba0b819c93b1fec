#pragma once
// The small text rules every part of the core shares: lengths counted as Access and Excel count them
// (UTF-16 code units, so an emoji counts two), comparison without regard to case, and trimming.
// Texts are UTF-8.

#include <cstddef>
#include <string_view>

namespace tabvert::text {

// UTF-16 code units of the text. A lead byte starts a character; four-byte sequences need a surrogate
// pair; stray continuation bytes count as part of the character before them.
std::size_t Utf16Length(std::string_view utf8);

// The longest start of the text that is at most `units` UTF-16 code units long; a character is never
// cut in half.
std::string_view Utf16Prefix(std::string_view utf8, std::size_t units);

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Equal without regard to case, for all of Unicode (as Access compares object names and Excel sheet
// names).
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// Orders without regard to case: negative, zero or positive.
int CompareIgnoringCase(std::string_view a, std::string_view b);

// Without leading and trailing spaces (spaces only, as the platform's Trim does).
std::string_view TrimBlanks(std::string_view s);
// Without leading and trailing spaces, tabs, carriage returns and line feeds.
std::string_view TrimWhitespace(std::string_view s);

}  // namespace tabvert::text
