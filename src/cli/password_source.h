#pragma once
// Where tabvert-cli takes a database password from besides --password, whose value every local user
// can read in the process list: a file (or standard input) and the environment.

#include <iosfwd>
#include <optional>
#include <string>

namespace tabvert::cli {

inline constexpr const char* kPasswordVariable = "TABVERT_PASSWORD";

// The first line of `path` ("-": `in`, standard input), without its line end. Throws
// std::invalid_argument naming the file and the reason when it cannot be read.
std::string ReadPasswordFile(const std::string& path, std::istream& in);

// TABVERT_PASSWORD when it is set and not empty.
std::optional<std::string> PasswordFromEnvironment();

}  // namespace tabvert::cli
