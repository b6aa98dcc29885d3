#!/usr/bin/env bash
# Builds the 32-bit release (optimised, stripped) and writes the package for
# Windows users:
#   package.sh [OUTPUT_DIR]      (default: dist/ in the work tree)
# OUTPUT_DIR/Quillane-VERSION-win32.zip holds exactly Quillane.exe, netpbm.spi
# beside it, README.txt (the user part of README.md), LICENSE.txt and
# samples/ramp.png. The same sources give the same bytes: the linker writes no
# time stamps, and the zip's entries have fixed times, modes and order.
# Prints the package's path.
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
output=$(mkdir -p "${1:-$quillane_repo/dist}" && cd "${1:-$quillane_repo/dist}" && pwd)
cd "$quillane_repo"
. scripts/build-env.sh

bash scripts/install-deps.sh
mkdir -p build
quillane_build release32 Quillane netpbm
release="$quillane_repo/build/release32"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$release/CMakeCache.txt")

# The user part of README.md as plain text: the introduction and the sections
# named here (with their subsections), headings underlined, no Markdown marks.
user_readme() {
  awk -v wanted='^(Quillane|For Windows users|Using it|Installing a plug-in)$' '
    /^#+ / {
      level = length($1); title = substr($0, level + 2)
      # The title keeps only the introduction under it.
      if (!keep || level <= keep_level) { keep = title ~ wanted; keep_level = level < 2 ? 2 : level }
      if (keep) {
        rule = sprintf("%" length(title) "s", ""); gsub(/ /, level < 3 ? "=" : "-", rule)
        print title; print rule
      }
      next
    }
    keep && !/^!\[/ { gsub(/\*\*|`/, ""); print }' README.md
}

stage="$release/package"
rm -rf "$stage"
mkdir -p "$stage/samples"
cp "$release/Quillane.exe" "$release/plugins/netpbm.spi" "$stage/"
cp samples/ramp.png "$stage/samples/"
# Notepad: a byte-order mark to read the Japanese as UTF-8, CRLF line ends.
{ printf '\357\273\277'; user_readme | cat -s | sed 's/$/\r/'; } >"$stage/README.txt"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
chmod 644 "$stage"/* "$stage"/samples/*
touch -d "2026-01-01 00:00:00 UTC" "$stage"/* "$stage"/samples/*

zip="$output/Quillane-$version-win32.zip"
rm -f "$zip"
# Info-ZIP's zip with -X stores each file's modification time and mode only
# (libarchive, behind "cmake -E tar", also stores access and change times,
# which no two runs share). Zip times are local times: the zone is fixed too.
(cd "$stage" && LC_ALL=C find . -type f -printf '%P\n' | LC_ALL=C sort | TZ=UTC zip -q -X -D "$zip" -@)
echo "$zip"
