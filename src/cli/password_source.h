#pragma once
// Where tabvert-cli takes a database password from besides --password, whose value every local user
// can read in the process list: a file (or standard input) and the environment.

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>

namespace tabvert::cli {

inline constexpr const char* kPasswordVariable = "TABVERT_PASSWORD";

// No password is this long; reading stops here, so that /dev/zero or a huge file is refused at once.
inline constexpr std::size_t kPasswordFileLimit = 4096;

// The first line of `path` ("-": `in`, standard input), without its line end. Reads no more than
// kPasswordFileLimit bytes and the line end. Throws std::invalid_argument naming the file and the
// reason when it cannot be read, is a folder, or its first line is longer than that.
std::string ReadPasswordFile(const std::string& path, std::istream& in);

// TABVERT_PASSWORD when it is set and not empty.
std::optional<std::string> PasswordFromEnvironment();

}  // namespace tabvert::cli
