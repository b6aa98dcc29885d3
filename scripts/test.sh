#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  - native tests of the Windows-free arithmetic (AddressSanitizer, UBSan),
#    and the same tests once more without sanitizers (the ordinary allocator);
#  - Windows tests under Wine, inside one Xvfb display started here;
#  - every fuzz target for about 20 seconds (scripts/fuzz.sh);
#  - clang's thread-safety analysis over the program (scripts/check-threads.sh).
# Exits non-zero when anything fails, and when the work tree holds files
# afterwards that it did not hold before (tests write only under build/ or a
# temporary folder).
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/build-env.sh

# What git sees in the work tree, to compare after the run; nothing to compare
# in a copy without git metadata.
worktree_state() {
  git -C "$quillane_repo" status --porcelain --untracked-files=all 2>/dev/null | sort
}
track_worktree=0
if git -C "$quillane_repo" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  track_worktree=1
  before=$(worktree_state)
else
  echo "== not a git work tree: the check for files left by the tests is skipped"
fi

bash scripts/install-deps.sh
mkdir -p build

echo "== building (native, native-plain, win32)"
quillane_build native
quillane_build native-plain quillane_core_tests
flavour=$(quillane_test_flavour)
if [ "$flavour" = win32 ]; then
  quillane_build win32
else
  # The 32-bit tests cannot run here: the shipped program and plug-in are
  # built (the package's own build checks their files), not the tests.
  quillane_build win32 Quillane netpbm
  if [ -n "${QUILLANE_WINE_BITS:-}" ]; then
    echo "== QUILLANE_WINE_BITS=64: the Windows tests run in the 64-bit build of the same sources"
  else
    echo "== this host cannot execute 32-bit code: the Windows tests run in a 64-bit build of the same sources"
  fi
  quillane_build "$flavour"
fi

echo "== testing"
status=0
session_log=build/test-session.log
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash scripts/test-session.sh "$flavour" 2>&1 |
  tee "$session_log" || status=1

echo "== fuzzing (20 s per target)"
fuzz_log=build/fuzz-run.log
bash scripts/fuzz.sh 20 2>&1 | tee "$fuzz_log" || status=1

echo "== thread-safety analysis (clang)"
threads_ok=1
bash scripts/check-threads.sh build/win32 || { threads_ok=0; status=1; }

# One closing count over the tests and the fuzz targets.
passed=$(sed -n 's/^all: \([0-9]*\) passed, [0-9]* failed$/\1/p' "$session_log" | tail -n 1)
failed=$(sed -n 's/^all: [0-9]* passed, \([0-9]*\) failed$/\1/p' "$session_log" | tail -n 1)
[ -n "$passed" ] || { passed=0; failed=1; status=1; }
passed=$((passed + $(grep -c '^fuzz [a-z_]*: ok,' "$fuzz_log" || true)))
failed=$((failed + $(grep -c '^fuzz [a-z_]*: FAILED' "$fuzz_log" || true)))
if [ "$threads_ok" -eq 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi

if [ "$track_worktree" -eq 1 ]; then
  left=$(comm -13 <(printf '%s\n' "$before") <(worktree_state) | sed '/^$/d')
  if [ -n "$left" ]; then
    echo "== the tests left files in the work tree:"
    printf '%s\n' "$left"
    status=1
    failed=$((failed + 1))
  fi
fi
echo "all: $passed passed, $failed failed"
exit "$status"
