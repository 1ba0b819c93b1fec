#include "support/full_folder.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tabvert::test {

std::optional<std::string> InFullFolder(const std::filesystem::path& folder,
                                        const std::function<std::string()>& body) {
    constexpr int kCannotMount = 77;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        close(pipeFds[0]);
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
            _exit(kCannotMount);
        const std::string said = body();
        [[maybe_unused]] const ssize_t ignored = write(pipeFds[1], said.data(), said.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string said;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) said.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == kCannotMount) return std::nullopt;
    return said;
}

}  // namespace tabvert::test
