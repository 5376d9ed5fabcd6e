#!/usr/bin/env bash
# Fuzzes every target of tests/fuzz for a bounded time, each from its seeds and the corpus it grew
# before in this build directory.
#   scripts/fuzz.sh BUILD_DIR [SECONDS] [TARGET]     (default 60 s a target, every target)
# BUILD_DIR is a VYR_FUZZ=ON build (scripts/test.sh makes out/fuzz). An input that makes a target
# fail is copied into tests/fuzz/<name>/regressions/, to be committed with its fix; the script then
# exits 1.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
seconds=${2:-60}
only=${3:-}

failed=0
for program in "$build"/tests/fuzz/fuzz_*; do
  [[ -x $program ]] || continue
  name=${program##*/fuzz_}
  [[ -z $only || $only == "$name" || $only == "fuzz_$name" ]] || continue
  corpus=$build/fuzz-corpus/$name
  artifacts=$build/fuzz-artifacts/$name
  mkdir -p "$corpus" "$artifacts"
  log=$build/fuzz-$name.log
  # New inputs go to the first directory, the build's own corpus; the seeds stay as they are.
  if "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" "tests/fuzz/$name/seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz_$name: $runs runs in $seconds s ($rate a second), corpus of $(ls "$corpus" | wc -l) inputs"
  else
    failed=1
    grep -E '^(==[0-9]+==|SUMMARY|.*runtime error)' "$log" | head -20 || true
    for input in "$artifacts"/*; do
      [[ -e $input ]] || continue
      cp "$input" "tests/fuzz/$name/regressions/"
      echo "fuzz_$name failed on tests/fuzz/$name/regressions/${input##*/} (log: $log)"
    done
  fi
done
exit $failed
