#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each one for a
# bounded time, starting from its seed corpus in fuzz/corpus/<target>.
# Exits non-zero when any target finds a crash, a sanitizer report, a
# broken invariant, a timeout or an out-of-memory condition.
#
#   fuzz/run_fuzzers.sh [seconds per target] [target...]
#
# New inputs go to a scratch corpus under the build directory; findings are
# written there as crash-*, timeout-* or oom-* files. A finding that is
# fixed is kept by copying its input into fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
build=build/fuzz

cmake --preset fuzz
cmake --build --preset fuzz

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*_fuzzer.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi

failed=()
for target in "${targets[@]}"; do
  name=${target%_fuzzer}
  seeds=fuzz/corpus/$name
  scratch=$build/runs/$name
  rm -rf "$scratch"
  mkdir -p "$scratch/corpus" "$scratch/findings"
  echo "== $target: ${seconds}s"
  # Inputs up to 12000 bytes, so that lines reach the 4095-byte limit and
  # arguments and strings pass the formatter's 1024-byte bound. No leak
  # detection: the program never gives memory back, by design.
  if "$build/fuzz/$target" -max_total_time="$seconds" -max_len=12000 -timeout=10 -rss_limit_mb=2048 \
      -detect_leaks=0 \
      -print_final_stats=1 -artifact_prefix="$scratch/findings/" \
      "$scratch/corpus" "$seeds" >"$scratch/log" 2>&1; then
    grep -E '^Done' "$scratch/log" || true
  else
    echo "FINDING in $target (log: $scratch/log):"
    tail -n 40 "$scratch/log"
    ls -l "$scratch/findings"
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: no findings"
