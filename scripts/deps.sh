#!/usr/bin/env bash
# Installs what building, running and testing Tabvert needs, on Debian 12, as root.
# Quick when everything is already there: apt is only asked when a package is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  mdbtools mdbtools-dev libssl-dev libsqlite3-dev
  libminizip-dev zlib1g-dev libxlsxwriter-dev libgsf-1-dev libxml2-utils libglib2.0-dev
  libchm-dev fp-utils
  python3-openpyxl python3-xlrd libreoffice-calc-nogui
  xvfb xauth imagemagick fonts-dejavu-core fonts-urw-base35 xdotool
  desktop-file-utils appstream qt6-svg-dev
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
