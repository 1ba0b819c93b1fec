#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop expects of it: the programs in
# lib/tabvert with the help file beside them and links in bin, the desktop entry and the AppStream
# metainfo (both validated by their own tools), the theme icons the entry names, and the man pages.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

for program in tabvert tabvert-cli; do
  link=$prefix/bin/$program
  [[ -L $link ]] || fail "$link is not a link"
  [[ $(readlink -f "$link") == "$prefix/lib/tabvert/$program" ]] || fail "$link does not lead to lib/tabvert"
  [[ -x $link ]] || fail "$link is not executable"
done
# The Help command looks beside the executable, which is where the link leads.
if grep -q '^TABVERT_BUILD_HELP:BOOL=ON' "$build/CMakeCache.txt"; then
  [[ -f $prefix/lib/tabvert/norrintabvert.chm ]] || fail "no help file beside the program"
fi
version=$("$prefix/bin/tabvert-cli" --version) || fail "the installed tabvert-cli does not run"
[[ $version == "tabvert-cli (Norrin Tabvert) "* ]] || fail "unexpected version line: $version"

desktop=$(ls "$prefix"/share/applications/*.desktop)
[[ $(wc -l <<<"$desktop") == 1 ]] || fail "expected one desktop entry, found: $desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[[ $exec_line == tabvert ]] || fail "Exec=$exec_line (the program takes no file argument)"
[[ -x $prefix/bin/$exec_line ]] || fail "Exec names no installed program"
grep -qx 'Categories=Office;Database;.*' "$desktop" || fail "categories are not Office;Database"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
  [[ -f $png ]] || fail "no $size-pixel icon $png"
  [[ $(identify -format '%m %wx%h' "$png") == "PNG ${size}x${size}" ]] || fail "$png is not a $size-pixel PNG"
done
[[ -f $prefix/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no scalable icon"

metainfo=$(ls "$prefix"/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses $metainfo"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $(basename "$desktop")"

for page in tabvert tabvert-cli; do
  file=$prefix/share/man/man1/$page.1.gz
  [[ -f $file ]] || fail "no man page $file"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man page $page: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "^NAME" || fail "man page $page has no NAME"
done
# The help file lives under whatever prefix was chosen: a FILES section naming one would be wrong for others.
files=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/tabvert.1.gz" 2>/dev/null |
  sed -n '/^FILES/,/^[A-Z]/p')
grep -q 'norrintabvert.chm' <<<"$files" || fail "the FILES section does not name the help file"
! grep -q '/usr/' <<<"$files" || fail "the FILES section names a fixed prefix: $files"

# Debian's machine-readable copyright file: every licence a Files paragraph names has its own text.
copyright=$prefix/share/doc/tabvert/copyright
[[ -f $copyright ]] || fail "no $copyright"
head -1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "$copyright does not start with the format line"
grep -q '^Files: \*$' "$copyright" || fail "$copyright has no paragraph for every file"
while read -r licence; do
  [[ $(grep -cx "License: $licence" "$copyright") -ge 2 ]] || fail "$copyright gives no text for $licence"
done < <(sed -n 's/^License: //p' "$copyright" | sort -u)
grep -q "<project_license>$(sed -n '/^Files: \*$/,/^$/s/^License: //p' "$copyright")</project_license>" \
  "$prefix"/share/metainfo/*.metainfo.xml || fail "the copyright file and the metainfo name different licences"

echo "installed and checked under $prefix"
