#!/usr/bin/env bash
# Builds Tabvert, checks that every source is formatted as .clang-format says, and runs every test; then
# builds the same suite with clang under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/, the
# asan-ubsan preset) and runs it again, together with each fuzz target for a bounded time. TABVERT_SANITIZE=0 skips the second pass.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bash scripts/format.sh --check
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
if [[ "${TABVERT_SANITIZE:-1}" != 0 ]]; then
  if [[ ! -f build-asan/build.ninja ]]; then
    cmake --preset asan-ubsan
  fi
  cmake --build build-asan -j"$(nproc)"
  # The preset's environment: offscreen windows, and no leak check for the unit tests (Qt's plugins and
  # fontconfig keep memory to the end); the fuzz targets check for leaks themselves.
  ctest --preset asan-ubsan -j"$(nproc)" "$@"
fi
