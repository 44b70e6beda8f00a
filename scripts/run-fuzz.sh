#!/usr/bin/env bash
# Long fuzzing runs: every fuzzer of the clang build folder (or those named)
# for the given number of seconds each, on a corpus kept in the build folder
# (it grows from run to run, starting from the seeds). Findings are written to
# <build>/fuzz/findings/; each one becomes a fixture of a normal test.
#   scripts/run-fuzz.sh BUILD_DIR SECONDS [name...]
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
seconds=${2:-300}
shift 2 || shift $#
list=$build/fuzz/targets.txt
[ -f "$list" ] || { echo "run-fuzz: $list is missing: build the fuzzers first (make fuzz-build)" >&2; exit 1; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export QUARVELIN_NO_DIALOGS=1

failed=()
while read -r name program seeds; do
  [ -n "$name" ] || continue
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  corpus=$build/fuzz/corpus/$name
  mkdir -p "$corpus" "$build/fuzz/findings"
  echo "== $name: $seconds s, corpus $corpus"
  log=$build/fuzz/logs/$name.log
  mkdir -p "$(dirname "$log")"
  status=0
  (cd "$build/fuzz" && "$program" "$corpus" -seed_inputs=@"$seeds" -max_total_time="$seconds" \
     -close_fd_mask=1 -timeout=60 -print_final_stats=1 -artifact_prefix="$build/fuzz/findings/$name-") \
     >"$log" 2>&1 || status=$?
  grep -E '^(stat::|SUMMARY|==[0-9]+==ERROR)|Test unit written' "$log" || true
  if [ $status != 0 ]; then
    echo "== $name failed (status $status), log: $log"
    failed+=("$name")
  fi
done < "$list"

if [ ${#failed[@]} -gt 0 ]; then
  echo "run-fuzz: findings in ${failed[*]} (see $build/fuzz/findings/)" >&2
  exit 1
fi
