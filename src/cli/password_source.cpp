#include "cli/password_source.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <stdexcept>

namespace tabvert::cli {

std::string ReadPasswordFile(const std::string& path, std::istream& in) {
    const std::string named = "the password file '" + path + "'";
    std::ifstream file;
    std::istream* source = &in;
    if (path != "-") {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) throw std::invalid_argument(named + " is a folder");
        file.open(path, std::ios::binary);
        if (!file) throw std::invalid_argument("cannot read " + named + ": " + std::strerror(errno));
        source = &file;
    }
    // Character by character up to the line end: a password typed at a terminal ends with Enter, and
    // nothing past the limit is ever read.
    std::string line;
    for (char c; source->get(c);) {
        if (c == '\n') break;
        if (line.size() == kPasswordFileLimit)
            throw std::invalid_argument(named + " is not a password: its first line is longer than " +
                                        std::to_string(kPasswordFileLimit) + " bytes");
        line += c;
    }
    if (source->bad()) throw std::invalid_argument("cannot read " + named);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> PasswordFromEnvironment() {
    const char* value = std::getenv(kPasswordVariable);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

}  // namespace tabvert::cli
