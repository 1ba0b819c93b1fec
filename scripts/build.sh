#!/usr/bin/env bash
# Configures (once) and builds everything into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
if [[ ! -f build/build.ninja ]]; then
  cmake --preset dev
fi
cmake --build build -j"$(nproc)"
