#!/usr/bin/env bash
# The package and the static checks of its 32-bit files, one case per run:
#   ship_test.sh WORK_DIR VERSION CASE
# Case "package" builds two packages into WORK_DIR (relinking the program and
# plug-in in between) and unpacks the first; the other package cases read them.
# The wrong_* cases build small wrong files with the MinGW compilers and expect
# check-pe.sh to reject them for the reasons given.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$1 version=$2 case=$3
zip=Quillane-$version-win32.zip files=$work/files check="bash $repo/scripts/check-pe.sh"
die() { echo "FAILED: $*"; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# expect_rejected KIND COMPILER FLAGS FILE_NAME SOURCE REASON...
expect_rejected() {
  local kind=$1 compiler=$2 flags=$3 file=$scratch/$4 source=$5 output
  shift 5
  printf '%s\n' "$source" >"$scratch/wrong.c"
  $compiler $flags -o "$file" "$scratch/wrong.c" || die "cannot build $file"
  output=$($check "$kind" "$file" "$version") && die "check-pe.sh accepted $file"
  for reason; do grep -qxF "$(basename "$file"): $reason" <<<"$output" || die "no \"$reason\" in: $output"; done
}
plugin='#include <windows.h>
__declspec(dllexport) int CONVENTION IsSupported(INT_PTR r, const void* d) { return r == 0 && d; }
__declspec(dllexport) int CONVENTION GetPicture(const void* i, DWORD l, DWORD f, HLOCAL* h, HLOCAL* p,
                                                INT_PTR r1, DWORD r2) { return i && l && f && h && p && r1 && r2; }'

case $case in
  package)
    rm -rf "$work" && mkdir -p "$files" && bash "$repo/scripts/package.sh" "$work/a" >/dev/null || die "package.sh"
    # The second from freshly linked files: the link must give the same bytes too.
    rm -f "$repo/build/release32/Quillane.exe" "$repo/build/release32/plugins/netpbm.spi"
    bash "$repo/scripts/package.sh" "$work/b" >/dev/null && (cd "$files" && cmake -E tar xf "$work/a/$zip") ||
      die "second package.sh" ;;
  listing)
    listing=$(cmake -E tar tf "$work/a/$zip" | paste -sd ' ')
    [ "$listing" = "LICENSE.txt Quillane.exe README.txt netpbm.spi samples/ramp.png" ] || die "listing: $listing" ;;
  reproducible) cmp "$work/a/$zip" "$work/b/$zip" || die "two packages of the same sources differ" ;;
  readme)
    [ "$(head -c 3 "$files/README.txt" | od -An -tx1)" = " ef bb bf" ] || die "README.txt has no byte-order mark"
    grep -q $'[^\r]$' "$files/README.txt" && die "README.txt has lines not ending in CRLF"
    for text in 開く 間隔 補正 更新間隔 元画像 バージョン情報 settings.ini FRCDuration "Judging FRC on a real screen"; do
      grep -qF "$text" "$files/README.txt" || die "README.txt does not mention $text"
    done
    grep -qF scripts/test.sh "$files/README.txt" && die "README.txt holds the developers' part" ;;
  program_is_32bit)
    . "$repo/scripts/wine-env.sh"
    [ "$(quillane_pe_bits "$files/Quillane.exe")" = 32 ] || die "the packaged Quillane.exe is not 32-bit"
    cmp "$files/Quillane.exe" "$repo/build/release32/Quillane.exe" || die "not the release build's program" ;;
  shipped_files_pass) $check program "$files/Quillane.exe" "$version" && $check plugin "$files/netpbm.spi" "$version" ||
    exit 1 ;;
  wrong_64bit_program)
    expect_rejected program x86_64-w64-mingw32-gcc -mwindows Quillane.exe 'int WinMain() { return 0; }' \
      "machine 8664, expected i386 (014c)" ;;
  wrong_decorated_names)
    expect_rejected plugin i686-w64-mingw32-gcc "-shared -DCONVENTION=__stdcall" netpbm.spi "$plugin" \
      "exports GetPicture@28 IsSupported@8, expected exactly GetPicture IsSupported" ;;
  wrong_cdecl_exports)
    expect_rejected plugin i686-w64-mingw32-gcc "-O2 -shared -DCONVENTION=__cdecl" netpbm.spi "$plugin" \
      "IsSupported pops 0 bytes, expected 8" "GetPicture pops 0 bytes, expected 28" ;;
  *) die "unknown case $case" ;;
esac
echo "passed: $case"
