#include "cli/password_source.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <stdexcept>

namespace tabvert::cli {

std::string ReadPasswordFile(const std::string& path, std::istream& in) {
    std::ifstream file;
    std::istream* source = &in;
    if (path != "-") {
        file.open(path, std::ios::binary);
        if (!file)
            throw std::invalid_argument("cannot read the password file '" + path +
                                        "': " + std::strerror(errno));
        source = &file;
    }
    std::string line;
    if (!std::getline(*source, line) && !source->eof())
        throw std::invalid_argument("cannot read the password file '" + path + "'");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::optional<std::string> PasswordFromEnvironment() {
    const char* value = std::getenv(kPasswordVariable);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

}  // namespace tabvert::cli
