#!/usr/bin/env bash
# Counts the writable data symbols (nm types b, B, d and D, leaving out
# section names and guard variables) in the program's own objects: the
# quillane_* libraries and main. A diagnostic for keeping the process-wide
# state small; prints one line per folder and the total.
#   count-globals.sh BUILD_DIR   (a Windows build: win32 or win64)
set -euo pipefail
build=${1:?usage: count-globals.sh BUILD_DIR}
nm=i686-w64-mingw32-nm
[ -f "$build/CMakeCache.txt" ] && grep -q x86_64-w64-mingw32 "$build/CMakeCache.txt" && nm=x86_64-w64-mingw32-nm
objects=$(find "$build" -path '*CMakeFiles/quillane_*.dir/*' -name '*.obj' ! -name '*_test.cpp.obj' \
            ! -path '*quillane_core_tests*' ! -path '*quillane_win_tests*' ! -path '*quillane_gui_tests*' \
            ! -path '*quillane_test_support*' ! -path '*quillane_soak*';
          find "$build" -path '*CMakeFiles/Quillane.dir/*main.cpp.obj')
for object in $objects; do
  # Only what the libraries hold now: a stale object of a moved file is skipped.
  source=$(sed -E 's|.*CMakeFiles/[^/]*\.dir/(.*)\.obj$|\1|' <<<"$object")
  [ -f "$source" ] || continue
  "$nm" -C --defined-only "$object" | awk -v file="$source" '
    $2 ~ /^[bBdD]$/ { name = substr($0, index($0, $3)) }
    $2 ~ /^[bBdD]$/ && name !~ /^\./ && name !~ /^guard variable/ { print file ": " name }'
done | sort > "$build/writable-globals.txt"
awk -F: '{ split($1, p, "/"); n[p[1]]++; t++ } END { for (f in n) printf "%s %d\n", f, n[f]; printf "total %d\n", t }' \
  "$build/writable-globals.txt" | sort
