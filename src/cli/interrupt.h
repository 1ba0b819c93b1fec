#pragma once
// What tabvert-cli does when it is told to stop (Ctrl-C, SIGTERM, a closed terminal) during an export:
// it stops at once, leaves no temporary workbook behind and no workbook at the target changed, says
// so on standard error and exits with 128 plus the signal's number (130, 143, 129).

#include <csignal>

namespace tabvert::cli {

// Handles SIGINT, SIGTERM and SIGHUP that way while it lives; the previous handlers come back after.
class StopOnInterrupt {
  public:
    StopOnInterrupt();
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

  private:
    struct sigaction previous_[3] = {};  // SIGINT, SIGTERM, SIGHUP
};

// A write beyond the file-size limit (ulimit -f) fails with "File too large" and is reported like any
// other failed save, instead of the process being ended without a word by SIGXFSZ.
void ReportFileSizeLimitAsError();

}  // namespace tabvert::cli
