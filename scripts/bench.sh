#!/usr/bin/env bash
# Installs what is missing, builds the benchmark programs and runs them. They
# print figures (ratios to a baseline measured in the same run where possible);
# they are not tests and never fail on a slow machine.
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/build-env.sh

bash scripts/install-deps.sh
mkdir -p build
quillane_build bench-native
flavour=$(quillane_test_flavour)
quillane_build "$flavour"

echo "== native (g++ -O2, $(uname -m))"
build/bench-native/tests/bench/frame_bench
build/bench-native/tests/bench/light_bench
echo
echo "== Windows build ($flavour) under Wine"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  for program in build/'"$flavour"'/tests/bench/*.exe; do
    echo "-- $(basename "$program")"
    cmake/wine-run.sh "$program"
  done'
