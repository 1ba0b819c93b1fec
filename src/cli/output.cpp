#include "cli/output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace tabvert::cli {
namespace {

// How many bytes at text[i] form a control character other than the structural four: 1 for C0 and
// DEL, 2 for a C1 control in UTF-8 (C2 80..C2 9F), 0 for anything else.
std::size_t ControlAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) return 1;
    if (c == 0xC2 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        if (next >= 0x80 && next <= 0x9F) return 2;
    }
    return 0;
}

void AppendShown(std::string& out, std::string_view text, std::size_t i, std::size_t length) {
    char code[8];
    if (length == 2)
        std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned char>(text[i + 1]));
    else
        std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(text[i]));
    out += code;
}

}  // namespace

std::string EscapeCell(std::string_view text, bool terminal) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
            case '\t':
                out += "\\t";
                continue;
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            default:
                break;
        }
        const std::size_t control = terminal ? ControlAt(text, i) : 0;
        if (control == 0) {
            out += text[i];
            continue;
        }
        AppendShown(out, text, i, control);
        i += control - 1;
    }
    return out;
}

std::string EscapeControls(std::string_view text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' && keepLineBreaks) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (const std::size_t control = ControlAt(text, i); control > 0) {
            AppendShown(out, text, i, control);
            i += control - 1;
        } else {
            out += c;
        }
    }
    return out;
}

bool IsTerminal(const std::ostream& stream) {
    if (&stream == &std::cout) return ::isatty(STDOUT_FILENO) == 1;
    if (&stream == &std::cerr) return ::isatty(STDERR_FILENO) == 1;
    return false;
}

OutputError::OutputError(int error)
    : std::runtime_error(error != 0 ? std::string("cannot write the output: ") + std::strerror(error)
                                    : std::string("cannot write the output")) {}

void WriteChecked(std::ostream& out, std::string_view text) {
    if (!out) throw OutputError(0);
    errno = 0;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw OutputError(errno);
}

void FlushChecked(std::ostream& out) {
    if (!out) throw OutputError(0);
    errno = 0;
    out.flush();
    if (!out) throw OutputError(errno);
}

}  // namespace tabvert::cli
