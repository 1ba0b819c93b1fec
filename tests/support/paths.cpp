#include "support/paths.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tabvert::test {

namespace {
std::filesystem::path FromEnv(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::filesystem::path(v) : std::filesystem::path();
}
}  // namespace

std::filesystem::path SamplesDir() {
    auto p = FromEnv("TABVERT_SAMPLES");
    std::error_code ec;
    if (!p.empty() && std::filesystem::is_directory(p, ec)) return p;
    // CI has the samples: a missing folder there is a broken set-up, not a reason to skip.
    const char* ci = std::getenv("CI");
    if (ci != nullptr && *ci != '\0' && std::string_view(ci) != "false")
        ADD_FAILURE() << "CI is set but the sample databases are missing (TABVERT_SAMPLES='" << p.string()
                      << "')";
    return {};
}

std::filesystem::path SourceDir() { return FromEnv("TABVERT_SOURCE_DIR"); }
std::filesystem::path BuildDir() { return FromEnv("TABVERT_BUILD_DIR"); }

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        if (output) output->append(buffer, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace tabvert::test
