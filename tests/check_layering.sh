#!/usr/bin/env bash
# Fails when a layer includes one above it: src/core/ must not include src/gui/ (the core links
# QtCore only), and src/gui/platform/ (the widget stand-ins) must not include the forms around it.
set -u
src=${1:?usage: check_layering.sh SRC_DIR}
status=0
if grep -rnE '#include "gui/|#include <Qt(Widgets|Gui)' "$src/core"; then
  echo "src/core/ includes window code (above)" >&2; status=1
fi
if grep -rnE '#include "gui/[a-z_0-9]+\.h"' "$src/gui/platform"; then
  echo "src/gui/platform/ includes a form (above)" >&2; status=1
fi
exit $status
