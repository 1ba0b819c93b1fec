#include "cli/interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "core/workbook/safe_save.h"

namespace tabvert::cli {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<unsigned> savesBefore{0};  // excel::SavesCommitted() when the handlers were set

// Saves in progress keep their workbook without a name (or remove it, see RemovePendingSaveFiles) and
// the workbook engine's spool files have none either, so ending the process here loses nothing that
// was there before the export began. Only async-signal-safe calls from here on.
void Stop(int signal) {
    excel::RemovePendingSaveFiles();
    constexpr char kMessage[] =
        "\ntabvert-cli: interrupted; nothing was written (a workbook already at the target is unchanged).\n";
    // A stop that comes once the workbook is in place (the run was only closing) must not deny it.
    constexpr char kSavedMessage[] =
        "\ntabvert-cli: interrupted after the workbook was saved; the workbook at the target is complete.\n";
    const bool saved = excel::SavesCommitted() != savesBefore.load();
    [[maybe_unused]] const ssize_t ignored =
        saved ? write(STDERR_FILENO, kSavedMessage, sizeof kSavedMessage - 1)
              : write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    _exit(128 + signal);
}

}  // namespace

StopOnInterrupt::StopOnInterrupt() {
    savesBefore.store(excel::SavesCommitted());
    struct sigaction action {};
    action.sa_handler = Stop;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaddset(&action.sa_mask, s);  // one stop at a time
    static_assert(std::size(kSignals) == std::extent_v<decltype(previous_)>);
    for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

StopOnInterrupt::~StopOnInterrupt() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

void ReportFileSizeLimitAsError() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace tabvert::cli
