#!/usr/bin/env bash
# Runs a Windows program under Wine for the build and the tests:
#   wine-run.sh PROGRAM.exe [ARGS...]
# Picks 32- or 64-bit Wine from the program's PE header, uses the project's own
# prefix under build/wine/ (created on first use), keeps Wine's debugger out of
# the way and puts a time limit on the run so that a crash or a hang ends it.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(dirname "$here")
# shellcheck source=../scripts/wine-env.sh
. "$repo/scripts/wine-env.sh"

exe=${1:?usage: wine-run.sh PROGRAM.exe [ARGS...]}
bits=$(quillane_pe_bits "$exe") || { echo "wine-run: not a Windows program: $exe" >&2; exit 127; }
quillane_wine_setup "$bits" || exit 125
# Wine starts helper processes (services, the desktop) that inherit the output
# of whichever program happened to start them and outlive it; a caller waiting
# for the end of our output would wait for them. So the program writes to files
# that are passed on once it has ended.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
timeout -k 5 "${QUILLANE_WINE_TIMEOUT:-180}" "$QUILLANE_WINE" "$@" </dev/null >"$out" 2>"$err"
status=$?
# A program that ran prints something; a failure with no output at all is Wine
# failing to start it (seen rarely under load), which is worth one more try.
if [ "$status" -ne 0 ] && [ "$status" -ne 124 ] && [ ! -s "$out" ]; then
  echo "wine-run: $exe ended with status $status before printing anything; starting it once more" >&2
  cat "$err" >&2
  timeout -k 5 "${QUILLANE_WINE_TIMEOUT:-180}" "$QUILLANE_WINE" "$@" </dev/null >"$out" 2>"$err"
  status=$?
fi
cat "$out"
cat "$err" >&2
[ "$status" -eq 124 ] && echo "wine-run: $exe timed out" >&2
exit "$status"
