#pragma once
// Where tests find things: the real sample databases (optional), the source tree, the build tree,
// and a fresh temporary folder per test.

#include <QTemporaryDir>
#include <filesystem>
#include <string>

namespace tabvert::test {

// ../shared/samples beside the checkout; empty path when absent (tests then GTEST_SKIP()). When CI is
// set, a missing folder also fails the calling test.
std::filesystem::path SamplesDir();
std::filesystem::path SourceDir();
std::filesystem::path BuildDir();

// Runs a command through /bin/sh, returns its exit status and captures its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// Debian's Python with openpyxl and xlrd (not the python3 first on PATH).
inline const char* SystemPython() { return "/usr/bin/python3"; }

// Quotes a string for /bin/sh.
std::string ShellQuote(const std::string& s);

}  // namespace tabvert::test
