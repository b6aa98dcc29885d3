#!/usr/bin/env bash
# Installs what is missing, builds Quillane and launches it under Wine with the
# bundled sample image (or the image given as the first argument).
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/build-env.sh
. scripts/wine-env.sh

bash scripts/install-deps.sh
mkdir -p build
quillane_build win32 Quillane netpbm
flavour=$(quillane_test_flavour)
if [ "$flavour" != win32 ]; then
  echo "run: this host cannot execute 32-bit code; launching the 64-bit build of the same sources" >&2
  quillane_build "$flavour" Quillane netpbm
fi
program="$quillane_repo/build/$flavour/Quillane.exe"
# The example plug-in goes beside the program, where plug-ins are looked for.
cp -f "$quillane_repo/build/$flavour/plugins/netpbm.spi" "$quillane_repo/build/$flavour/netpbm.spi"
image=${1:-$quillane_repo/samples/ramp.png}

args=()
[ -f "$image" ] && args+=("Z:$(realpath "$image" | tr / '\\')")
if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display; starting the program inside Xvfb" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" env QUILLANE_WINE_TIMEOUT="${QUILLANE_WINE_TIMEOUT:-86400}" \
    cmake/wine-run.sh "$program" "${args[@]}"
fi
QUILLANE_WINE_TIMEOUT=${QUILLANE_WINE_TIMEOUT:-86400} exec cmake/wine-run.sh "$program" "${args[@]}"
