#pragma once
// Runs code in a child process that sees a 64 KiB file system mounted on a folder (a private mount
// namespace: nothing outside the child sees it), for tests of what happens when a folder fills up.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tabvert::test {

/// What `body` returned in the child, or nullopt where this process may not mount a file system (then
/// the test skips).
std::optional<std::string> InFullFolder(const std::filesystem::path& folder,
                                        const std::function<std::string()>& body);

}  // namespace tabvert::test
