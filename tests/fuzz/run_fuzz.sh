#!/usr/bin/env bash
# Runs each fuzz target of a VOK_FUZZ build for a fixed time, one after the other at the
# lowest priority, starting from the checked-in seeds; prints executions and findings.
# Usage: run_fuzz.sh BUILD_DIR SECONDS [TARGET...]   (targets without the fuzz_ prefix)
# FUZZ_RUNS=N in the environment also ends each target after N executions.
set -uo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
src=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$build"/tests/fuzz/fuzz_*; do targets+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi

total_findings=0
printf '%-10s %14s %10s %9s  %s\n' target executions exec/s findings artifacts
for t in "${targets[@]}"; do
  exe=$build/tests/fuzz/fuzz_$t
  work=$build/fuzz-corpus/$t          # grows across runs; the seeds stay as checked in
  found=$build/fuzz-findings/$t
  mkdir -p "$work" "$found"
  log=$build/fuzz-$t.log
  # Absolute paths: the settings target changes the working directory. Short allocation
  # stacks and a smaller quarantine: every exchange allocates, and recording each stack
  # took a third of the time; a finding is re-run from its saved input for the full report.
  ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0:quarantine_size_mb=16} \
  nice -n 19 "$exe" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} \
    -rss_limit_mb=2048 -artifact_prefix="$found/" "$work" "$src/corpus/$t" >"$log" 2>&1
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  n=$(find "$found" -type f | wc -l)
  total_findings=$((total_findings + n))
  printf '%-10s %14s %10s %9s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "$n" "$found"
done
[ "$total_findings" -eq 0 ]
