#!/usr/bin/env bash
# The test session proper, run by test.sh inside its Xvfb display:
#   test-session.sh win32|win64
set -uo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/wine-env.sh
flavour=$1
bits=${flavour#win}

quillane_wine_setup "$bits" || exit 1
# One Wine server for the whole session, so each test program starts warm.
"$WINESERVER" -p
trap '"$WINESERVER" -k >/dev/null 2>&1 || true' EXIT

status=0
logs=()
for dir in build/native build/native-plain "build/$flavour"; do
  echo "== ctest $dir"
  log="$dir/ctest-summary.log"
  # The plain build holds only the core tests; its other tests are not built.
  only=()
  [ "$dir" = build/native-plain ] && only=(-R '^native\.')
  ctest --test-dir "$dir" "${only[@]}" -j2 --output-on-failure --timeout 600 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  logs+=("$log")
done

passed=0
failed=0
for log in "${logs[@]}"; do
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$line" ]; then status=1; continue; fi
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || status=1
exit "$status"
