#!/usr/bin/env bash
# The package and the static checks of its 32-bit files:
#   ship_test.sh WORK_DIR VERSION package|wrong_files
# package: builds two packages into WORK_DIR (relinking the program and the
# plug-in in between), compares them, and checks the listing, README.txt and
# the shipped files. wrong_files: builds small wrong files with the MinGW
# compilers and expects check-pe.sh to reject them for the reasons given.
set -uo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$1 version=$2 zip=Quillane-$2-win32.zip readme=$1/files/README.txt check="bash $repo/scripts/check-pe.sh"
scratch=$(mktemp -d) && trap 'rm -rf "$scratch"' EXIT
die() { echo "FAILED: $*"; exit 1; }

# expect_rejected KIND COMPILER FLAGS FILE_NAME SOURCE REASON...
expect_rejected() {
  printf '%s\n' "$5" >"$scratch/wrong.c"
  $2 $3 -o "$scratch/$4" "$scratch/wrong.c" || die "cannot build $4"
  output=$($check "$1" "$scratch/$4" "$version") && die "check-pe.sh accepted $4"
  for reason in "${@:6}"; do grep -qxF "$4: $reason" <<<"$output" || die "no \"$reason\" in: $output"; done
}
plugin='__declspec(dllexport) int CONVENTION IsSupported(int a, int b) { return a + b; }
__declspec(dllexport) int CONVENTION GetPicture(int a, int b, int c, int d, int e, int f, int g) { return a + g; }'

case $3 in
  package)
    rm -rf "$work" && mkdir -p "$work/files" && bash "$repo/scripts/package.sh" "$work/a" >/dev/null || die "package.sh"
    # The second from freshly linked files: the link must give the same bytes too.
    rm -f "$repo/build/release32/Quillane.exe" "$repo/build/release32/plugins/netpbm.spi"
    bash "$repo/scripts/package.sh" "$work/b" >/dev/null || die "second package.sh"
    cmp "$work/a/$zip" "$work/b/$zip" || die "two packages of the same sources differ"
    [ "$(cmake -E tar tf "$work/a/$zip" | paste -sd ' ')" = "LICENSE.txt Quillane.exe README.txt netpbm.spi samples/ramp.png" ] ||
      die "the package holds $(cmake -E tar tf "$work/a/$zip" | paste -sd ' ')"
    (cd "$work/files" && cmake -E tar xf "$work/a/$zip")
    [ "$(head -c 3 "$readme" | od -An -tx1)" = " ef bb bf" ] || die "README.txt does not start with a byte-order mark"
    for text in 開く 間隔 補正 更新間隔 元画像 バージョン情報 settings.ini "on a real screen"; do
      grep -qF "$text" "$readme" || die "README.txt does not mention $text"
    done
    $check program "$work/files/Quillane.exe" "$version" && $check plugin "$work/files/netpbm.spi" "$version" ||
      die "the shipped files fail the static checks"
    # Where 32-bit code runs, the program tests also run the packaged exe itself.
    . "$repo/scripts/wine-env.sh"
    if quillane_can_run_32; then
      cp "$repo/build/win32/quillane_gui_tests.exe" "$work/files/" && cp -r "$repo/build/win32/test_plugins" "$work/files/" ||
        die "no 32-bit test program beside the package"
      bash "$repo/cmake/wine-run.sh" "$work/files/quillane_gui_tests.exe" --gtest_filter='ProgramTest.*' ||
        die "the program tests fail on the packaged Quillane.exe"
    fi ;;
  wrong_files)
    expect_rejected program x86_64-w64-mingw32-gcc -mwindows Quillane.exe 'int WinMain() { return 0; }' \
      "machine 8664, expected i386 (014c)"
    expect_rejected plugin i686-w64-mingw32-gcc "-shared -DCONVENTION=__stdcall" netpbm.spi "$plugin" \
      "exports GetPicture@28 IsSupported@8, expected exactly GetPicture IsSupported"
    expect_rejected plugin i686-w64-mingw32-gcc "-O2 -shared -DCONVENTION=__cdecl" netpbm.spi "$plugin" \
      "IsSupported pops 0 bytes, expected 8" "GetPicture pops 0 bytes, expected 28" ;;
  *) die "unknown case $3" ;;
esac
