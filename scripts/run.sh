#!/usr/bin/env bash
# Builds Tabvert and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "No display found: starting under a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/tabvert "$@"
fi
exec build/tabvert "$@"
