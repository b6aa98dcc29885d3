#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  - native tests of the Windows-free arithmetic (AddressSanitizer, UBSan);
#  - Windows tests under Wine, inside one Xvfb display started here.
# Exits non-zero when anything fails.
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/build-env.sh

bash scripts/install-deps.sh
mkdir -p build

echo "== building (native, win32)"
quillane_build native
quillane_build win32
flavour=$(quillane_test_flavour)
if [ "$flavour" != win32 ]; then
  echo "== this host cannot execute 32-bit code: the Windows tests run in a 64-bit build of the same sources"
  quillane_build "$flavour"
fi

echo "== testing"
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash scripts/test-session.sh "$flavour"
