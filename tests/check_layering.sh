#!/usr/bin/env bash
# Fails when a file includes a layer above its own. The build already refuses most of these (each core
# library sees only the headers of the folders it links); this check also covers the programs and the
# widget stand-ins, and names every offending line at once.
#
# A core folder may include itself and the folders listed for it (the same table as src/core/CMakeLists.txt).
set -u
src=${1:?usage: check_layering.sh SRC_DIR}
declare -A allowed=(
  [common]=""
  [text]=""
  [settings]=""
  [value]="text common"
  [access]="value text common"
  [sql]="access value text"
  [provider]="sql access value text"
  [workbook]="text common"
  [database]="provider value settings text common"
  [export]="database provider workbook value settings text common"
)
status=0
for dir in "$src"/core/*/; do
  folder=$(basename "$dir")
  if [[ -z "${allowed[$folder]+set}" ]]; then
    echo "src/core/$folder/ is not in the layering table" >&2; status=1; continue
  fi
  ok=" $folder ${allowed[$folder]} "
  while IFS=: read -r file line include; do
    used=$(sed -E 's|.*#include "core/([a-z_0-9]+)/.*|\1|' <<<"$include")
    if [[ "$ok" != *" $used "* ]]; then
      echo "$file:$line: src/core/$folder/ may not include core/$used/ ($include)" >&2; status=1
    fi
  done < <(grep -rnE '#include "core/[a-z_0-9]+/' "$dir")
  if grep -rnE '#include "(gui|cli)/|#include <Qt(Widgets|Gui)' "$dir"; then
    echo "src/core/$folder/ includes window or command-line code (above)" >&2; status=1
  fi
done
if grep -rnE '#include "core/[a-z_0-9]+\.h"' "$src/core" "$src/gui" "$src/cli"; then
  echo "a header lies loose in src/core/ (above): every core header belongs to a folder" >&2; status=1
fi
if grep -rnE '#include "gui/' "$src/cli"; then
  echo "src/cli/ includes window code (above)" >&2; status=1
fi
if grep -rnE '#include "gui/[a-z_0-9]+\.h"' "$src/gui/platform"; then
  echo "src/gui/platform/ includes a form (above)" >&2; status=1
fi
exit $status
