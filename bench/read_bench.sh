#!/usr/bin/env bash
# Times the reading phase of qorla alone (bench/read_only: options, reading,
# storing every line in the line table, nothing sorted or written) against
# `cat FILE > /dev/null` on a generated file of about 500 MB, in the same
# run, and reports the ratio to cat and the memory taken for the stored
# lines against the input size + 16 bytes a line.
#
#   bench/read_bench.sh [--lines N] [--runs N] [--seed S] [--build-dir DIR]
#
#   --lines N      lines of the generated file (default 8750000, about 500 MB)
#   --runs N       timed runs of each command, alternating (default 5)
#   --seed S       seed of the generated data (default 42)
#   --build-dir D  where read_only is built (default build/bench: Release,
#                  -DQORLA_BENCH=ON)
set -euo pipefail
export LC_ALL=C

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
takes_seed=1
build_dir="$repo/build/bench"
lines=8750000
runs=5

while (($# > 0)); do
  case $1 in
    --lines) positive "$1" "${2-}"; lines=$2; shift 2 ;;
    --runs) positive "$1" "${2-}"; runs=$2; shift 2 ;;
    *)
      shared_option "$@" || { echo "read_bench: unknown argument '$1'" >&2; usage; }
      shift "$option_shift" ;;
  esac
done

need_tools cmake g++ cat /usr/bin/time

mkdir -p "$data"
run_dir=$(mktemp -d "$data/read_bench.XXXXXX")
trap 'rm -rf "$run_dir"' EXIT

build_target read_only "Release, QORLA_BENCH=ON" -DQORLA_BENCH=ON
read_only="$build_dir/bench/read_only"

make_data "$lines"
file=$(data_file "$lines")
bytes=$(stat -c %s "$file")

# The memory of a run that stores nothing, to take off the peak.
: >"$run_dir/empty.txt"
timed_run baseline "$read_only" "$run_dir/empty.txt"
baseline_kb=$run_rss_kb

# Both commands read the file from the page cache: warm it first.
cat "$file" >/dev/null
expected_lines=$(wc -l <"$file")

echo "Timing read_only and cat on $file ($bytes bytes), $runs runs each ..." >&2
r_times=() c_times=() r_rss=() c_rss=() r_user=() r_sys=() c_user=() c_sys=()
for ((r = 0; r < runs; r++)); do
  if ((r % 2 == 0)); then order=(read cat); else order=(cat read); fi
  for who in "${order[@]}"; do
    if [[ $who == read ]]; then
      timed_run read "$read_only" "$file"
      r_times+=("$run_seconds") r_rss+=("$run_rss_kb") r_user+=("$run_user") r_sys+=("$run_sys")
      counted=$(cat "$run_dir/read.out")
      [[ $counted == "$expected_lines" ]] ||
        fail "read_only stored $counted lines, the file has $expected_lines"
    else
      # The redirection belongs to the timed command, not to time's own output.
      timed_run cat sh -c 'exec cat "$1" > /dev/null' sh "$file"
      c_times+=("$run_seconds") c_rss+=("$run_rss_kb") c_user+=("$run_user") c_sys+=("$run_sys")
    fi
  done
done

rt=$(median "${r_times[@]}") ct=$(median "${c_times[@]}")
rr=$(largest "${r_rss[@]}") cr=$(largest "${c_rss[@]}")
cores=$(nproc)

echo "## Reading phase of qorla vs cat"
echo
echo "- Machine: $cores cores (nproc), CPU: $(cpu_model), load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "- Other runnable tasks seen before the timed runs: mean $(busy_mean)"
warn_if_busy
echo "- Input: $(basename "$file"), $bytes bytes, $expected_lines lines ($(awk -v b="$bytes" -v n="$expected_lines" 'BEGIN { printf "%.1f", b / n }') bytes a line), read from the page cache"
echo "- Runs: $runs of each command, alternating; medians of wall and CPU times, largest peak RSS (/usr/bin/time -v)"
echo
echo "| command | median wall s | MB/s | median user s | median system s | peak RSS MiB |"
echo "|---|---|---|---|---|---|"
awk -v t="$rt" -v b="$bytes" -v m="$rr" -v u="$(median "${r_user[@]}")" -v k="$(median "${r_sys[@]}")" \
  'BEGIN { printf "| read_only FILE | %.3f | %.0f | %.2f | %.2f | %.1f |\n", t, b / t / 1e6, u, k, m / 1024 }'
awk -v t="$ct" -v b="$bytes" -v m="$cr" -v u="$(median "${c_user[@]}")" -v k="$(median "${c_sys[@]}")" \
  'BEGIN { printf "| cat FILE > /dev/null | %.3f | %.0f | %.2f | %.2f | %.1f |\n", t, b / t / 1e6, u, k, m / 1024 }'
echo
awk -v rt="$rt" -v ct="$ct" -v rr="$rr" -v base="$baseline_kb" -v b="$bytes" -v n="$expected_lines" 'BEGIN {
  ratio = rt / ct
  printf "- Time: read_only / cat = **%.2fx** (goal: at most 3x) -> %s\n", ratio, ratio <= 3 ? "met" : "not met"
  stored = (rr - base) * 1024
  limit = b + 16 * n
  printf "- Memory for stored lines: peak RSS %.1f MiB - %.1f MiB of an empty run = %.1f MiB, which is %.1f bytes a line over the input size\n", rr / 1024, base / 1024, stored / 1048576, (stored - b) / n
  printf "- Input + 16 bytes a line = %.1f MiB; stored / limit = **%.3f** (goal: at most 1) -> %s\n", limit / 1048576, stored / limit, stored <= limit ? "met" : "not met"
}'
echo
echo "Whole read benchmark run: $(seconds_since_start) s (build and data generation included)."
