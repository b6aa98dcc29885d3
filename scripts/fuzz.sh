#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each
# for the given number of seconds (default 60), starting from the seed corpus
# in tests/fuzz/corpus/<target>/; what a run adds to the corpus is kept under
# build/fuzz/corpus/. Prints executions per second and coverage per target and
# exits non-zero when any target finds a crash, a leak or a sanitizer error
# (the input is saved under build/fuzz/findings/).
#   fuzz.sh [SECONDS]
set -euo pipefail
quillane_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$quillane_repo"
. scripts/build-env.sh
seconds=${1:-60}

bash scripts/install-deps.sh
mkdir -p build
targets=(plugin_layout netpbm number_text settings_value command_line)
quillane_build fuzz "${targets[@]/#/fuzz_}"

status=0
for target in "${targets[@]}"; do
  work=build/fuzz/corpus/$target
  findings=build/fuzz/findings
  log=build/fuzz/$target.log
  mkdir -p "$work" "$findings"
  if ASAN_OPTIONS=detect_leaks=1 "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
       -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$findings/$target-" "$work" "tests/fuzz/corpus/$target" \
       >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -n 1)
  echo "fuzz $target: $result, ${execs:-?} runs, ${rate:-?} exec/s, ${coverage:-no coverage line} (${seconds} s)"
  if [ "$result" != ok ]; then
    grep -E 'ERROR|SUMMARY|Test unit written|deadly signal' "$log" | head -n 20 || true
  fi
done
exit "$status"
