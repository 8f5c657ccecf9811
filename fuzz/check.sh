#!/bin/bash
# Runs each fuzz target of BUILD (default build-fuzz) for its inputs or time, from the
# committed corpus (fuzz/corpus/NAME, read only) and what earlier runs in BUILD
# found (BUILD/fuzz-corpus/NAME). A crash, a sanitizer report, a leak or an
# input taking over a second fails, and its input is kept in
# BUILD/fuzz-failures/NAME/ with the commands that replay it.
#
#   fuzz/check.sh [BUILD] [NAME...]      FUZZ_SCALE=N multiplies every time and count
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-fuzz}
shift || true

# name, seconds, executions. The store target plays for five minutes. Every
# other target runs a million inputs, which takes a million over its rate
# (measured on 2 shared cores, README "Fuzzing": hiscores 1 950, script 5 750,
# keys 9 500, bitmap 15 300, utf 12 150 per second); its seconds are two to
# three times that, a bound that only a target grown much slower (or a machine much
# busier) reaches, and that fails the run.
targets=(
  "store 300 0"
  "hiscores 1000 1000000"
  "script 500 1000000"
  "keys 300 1000000"
  "bitmap 200 1000000"
  "utf 250 1000000"
)
scale=${FUZZ_SCALE:-1}

failed=0
report=()
for entry in "${targets[@]}"; do
  read -r name seconds fewest <<<"$entry"
  if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then continue; fi
  seconds=$(awk -v s="$seconds" -v k="$scale" 'BEGIN { printf "%d", s * k }')
  fewest=$(awk -v s="$fewest" -v k="$scale" 'BEGIN { printf "%d", s * k }')
  program=$build/fuzz/fuzz_$name
  work=$build/fuzz-corpus/$name
  failures=$build/fuzz-failures/$name
  log=$build/fuzz-logs/$name.log
  mkdir -p "$work" "$failures" "$(dirname "$log")"
  started=$SECONDS
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=fuzz/$name.dict")
  runs=()
  if [ "$fewest" -gt 0 ]; then
    runs=("-runs=$fewest")
    echo "fuzz: $name, $fewest inputs within ${seconds}s (log: $log)"
  else
    echo "fuzz: $name for ${seconds}s (log: $log)"
  fi
  # The program's own notes on stderr (a script's cut-off last line, ...) are left out of the log.
  "$program" "$work" "fuzz/corpus/$name" "${dict[@]}" "${runs[@]}" -max_total_time="$seconds" -timeout=1 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$failures/" 2>&1 | grep -v '^melvoria: ' >"$log"
  rc=${PIPESTATUS[0]}
  done=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  taken=$((SECONDS - started))
  report+=("$(printf '%-9s %12s executions in %4ss, %6s per second' "$name" "${done:-?}" "$taken" "${rate:-?}")")
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
  elif [ "${done:-0}" -lt "$fewest" ]; then
    failed=1
    echo "fuzz: $name ran only ${done:-0} inputs in ${seconds}s, fewer than $fewest: the target slowed down"
  fi
done
echo "fuzz: rates"
printf '  %s\n' "${report[@]}"
exit $failed
