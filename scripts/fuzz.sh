#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
if ! command -v clang++ >/dev/null; then
  echo "clang++ not found: fuzzing skipped"
  exit 0
fi
scripts/build.sh fuzz
shopt -s nullglob
for target in build-fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  corpus="build-fuzz/corpus/$name"
  log="build-fuzz/$name.log"
  mkdir -p "$corpus"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "== $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name found a fault"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" || true
done
