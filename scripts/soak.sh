#!/usr/bin/env bash
# Soak run, not a test and not part of the test command: plays a picture locked
# to the simulated 240 Hz source for MINUTES (default 10) while it rebuilds
# every 2 s with another interval, zooms, scrolls and pauses, then prints the
# handles, GDI objects and private bytes at the start and the end, and the
# audit's figures.
#   bash scripts/soak.sh [MINUTES]
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/build-env.sh
. scripts/wine-env.sh
minutes=${1:-10}
flavour=$(quillane_test_flavour)
quillane_build "$flavour" quillane_soak
bits=32
[ "$flavour" = win64 ] && bits=64
limit=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 + 120 }')
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$minutes"
fi
quillane_wine_setup "$bits"
timeout "$limit" "$QUILLANE_WINE" "$quillane_repo/build/$flavour/quillane_soak.exe" "$minutes"
