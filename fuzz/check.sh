#!/bin/bash
# Runs each fuzz target of BUILD (default build-fuzz) for its time, from the
# committed corpus (fuzz/corpus/NAME, read only) and what earlier runs in BUILD
# found (BUILD/fuzz-corpus/NAME). A crash, a sanitizer report, a leak or an
# input taking over a second fails, and its input is kept in
# BUILD/fuzz-failures/NAME/ with the commands that replay it.
#
#   fuzz/check.sh [BUILD] [NAME...]      FUZZ_SCALE=N multiplies every time
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
shift || true

# name, seconds, fewest executions the run must reach. Every target that only
# reads runs a million inputs or more: its time is a million over the rate
# measured on 2 shared cores (README, "Fuzzing"; store 6, hiscores 1 950,
# script 5 750, keys 9 500, bitmap 15 300, utf 12 150 per second), and a
# third more for a slower machine. The store target plays: five minutes.
targets=(
  "store 300 0"
  "hiscores 690 1000000"
  "script 240 1000000"
  "keys 150 1000000"
  "bitmap 90 1000000"
  "utf 110 1000000"
)
scale=${FUZZ_SCALE:-1}

failed=0
report=()
for entry in "${targets[@]}"; do
  read -r name seconds fewest <<<"$entry"
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  seconds=$(awk -v s="$seconds" -v k="$scale" 'BEGIN { printf "%d", s * k }')
  fewest=$(awk -v s="$fewest" -v k="$scale" 'BEGIN { printf "%d", s * (k < 1 ? k : 1) }')
  program=$build/fuzz/fuzz_$name
  work=$build/fuzz-corpus/$name
  failures=$build/fuzz-failures/$name
  log=$build/fuzz-logs/$name.log
  mkdir -p "$work" "$failures" "$(dirname "$log")"
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=fuzz/$name.dict")
  echo "fuzz: $name for ${seconds}s (log: $log)"
  "$program" "$work" "fuzz/corpus/$name" "${dict[@]}" -max_total_time="$seconds" -timeout=1 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$failures/" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  report+=("$(printf '%-9s %5ss %12s executions %8s per second' "$name" "$seconds" "${runs:-?}" "${rate:-?}")")
  if [ $rc -ne 0 ]; then
    failed=1
    echo "fuzz: $name FAILED (exit code $rc); the end of its log:"
    tail -n 60 "$log"
    for input in "$failures"/*; do
      [ -f "$input" ] || continue
      echo "fuzz: failing input kept: $input"
      echo "  replay it:        $program $input"
      echo "  or without clang: build/fuzz/fuzz_${name}_replay $input"
      echo "  once mended, keep it: cp $input fuzz/corpus/$name/"
    done
  elif [ "${runs:-0}" -lt "$fewest" ]; then
    failed=1
    echo "fuzz: $name ran only ${runs:-0} inputs in ${seconds}s, fewer than $fewest: the target slowed down"
  fi
done
echo "fuzz: rates"
printf '  %s\n' "${report[@]}"
exit $failed
