#!/usr/bin/env bash
# Runs one libFuzzer harness for a number of seconds on its corpus and prints
# one table row: harness, seconds, runs, exec/s (wall clock), exec/s per CPU
# second, coverage (edges), features, corpus size. New inputs gather in
# BUILD/corpus/HARNESS, failing ones in BUILD/findings/HARNESS, the run's log
# in BUILD/fuzz-logs/HARNESS.log. Exits non-zero when the harness found a fault.
#
#   fuzz/run-harness.sh BUILD HARNESS SECONDS
set -u
build=$1 harness=$2 seconds=$3
here=$(cd "$(dirname "$0")" && pwd)

# Inputs kept small: every reader's size limits are tested elsewhere, and
# under ASan and coverage tracing a run costs about a millisecond per KiB of
# ini text. Longer seeds are cut to the cap, which still holds a mirror of a
# dozen pads or a pattern set of several patterns.
case $harness in
  ini | pattern | map) max_len=1024 ;;
  mirror) max_len=2048 ;;
  *) max_len=512 ;;
esac

mkdir -p "$build/corpus/$harness" "$build/findings/$harness" "$build/fuzz-logs"
log=$build/fuzz-logs/$harness.log
times=$build/fuzz-logs/$harness.time
/usr/bin/time -o "$times" -f "%U %S" \
  "$build/bin/fuzz_$harness" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
  -rss_limit_mb=2048 -print_final_stats=1 -dict="$here/ostrander.dict" \
  -artifact_prefix="$build/findings/$harness/" \
  "$build/corpus/$harness" "$here/corpus/$harness" > "$log" 2>&1
status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
wall=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
last=$(grep -E '^#[0-9]+' "$log" | tail -1)
cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
corp=$(sed -n 's/.* corp: \([0-9]*\).*/\1/p' <<<"$last")
cpu=$(tail -1 "$times" | awk '{ print $1 + $2 }')
per_cpu=$(awk -v r="${runs:-0}" -v c="${cpu:-0}" 'BEGIN { if (c > 0) printf "%.0f", r / c; else print "-" }')
printf '%-8s %7s %10s %8s %10s %7s %7s %6s%s\n' "$harness" "$seconds" "${runs:--}" "${wall:--}" \
  "$per_cpu" "${cov:--}" "${ft:--}" "${corp:--}" "$([ $status -eq 0 ] || echo "  FAULT, see $log")"
exit $status
