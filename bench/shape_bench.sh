#!/usr/bin/env bash
# Times qorla against `LC_ALL=C sort` (its default threads) on seven shapes
# of generated data (file paths, log lines, heavy duplicates, short numbers,
# long lines, a Shift-JIS CSV and random words) at 1M and 10M lines, whole
# lines and one key of each, and prints one Markdown table with every shape:
# median wall and CPU times, the ratio peer/qorla, the time per line, peak
# RSS against the input + 32 bytes a line, and which goals are met. Every
# pair of commands must give byte-identical outputs, or the run fails.
#
#   bench/shape_bench.sh [--quick] [--shapes LIST] [--runs N] [--growth]
#                        [--growth-runs N] [--seed S] [--build-dir DIR]
#
#   --quick          1M lines only
#   --shapes LIST    comma-separated, among paths, logs, duplicates, numbers,
#                    long-lines, sjis-csv, words (default: all of them)
#   --runs N         timed runs of each command per workload (default 3)
#   --growth         add the growth run: random words at 10M and at 100M
#                    lines (about 5.7 GB, past 4 GiB, generated for the run
#                    and deleted after it; needs about 23 GB of disk and
#                    9 GB of memory, and takes several minutes), whole lines
#                    and a numeric key, with the memory bound checked
#   --growth-runs N  timed runs of each command at 100M lines (default 1)
#   --seed S         seed of the generated data (default 42)
#   --build-dir D    where the release binary is built (default build/release,
#                    the directory of `cmake --workflow --preset release`)
set -euo pipefail
export LC_ALL=C

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
takes_seed=1
build_dir="$repo/build/release"
quick=0
runs=3
growth=0
growth_runs=1
all_shapes=(paths logs duplicates numbers long-lines sjis-csv words)
shapes=("${all_shapes[@]}")

while (($# > 0)); do
  case $1 in
    --quick) quick=1; shift ;;
    --shapes)
      [[ -n ${2-} ]] || usage
      IFS=, read -r -a shapes <<<"$2"
      for s in "${shapes[@]}"; do
        [[ " ${all_shapes[*]} " == *" $s "* ]] ||
          { echo "$script_name: unknown shape '$s' (shapes: ${all_shapes[*]})" >&2; exit 2; }
      done
      shift 2 ;;
    --runs) positive "$1" "${2-}"; runs=$2; shift 2 ;;
    --growth) growth=1; shift ;;
    --growth-runs) positive "$1" "${2-}"; growth_runs=$2; shift 2 ;;
    *)
      shared_option "$@" || { echo "$script_name: unknown argument '$1'" >&2; usage; }
      shift "$option_shift" ;;
  esac
done

need_tools cmake g++ cmp df /usr/bin/time sort

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
run_dir="$data/shape_out"
mkdir -p "$run_dir"
keep_outputs=0
growth_file=""
cleanup() {
  rm -f "$run_dir"/*.err "$run_dir"/*.time
  ((keep_outputs)) || rm -f "$run_dir"/qorla.out "$run_dir"/peer.out
  # The 100M-line input is never kept, whatever ended the run.
  [[ -z $growth_file ]] || rm -f "$growth_file" "$growth_file.tmp"
}
trap cleanup EXIT
# An interrupted run still cleans up: exit through the EXIT trap.
trap 'exit 130' INT
trap 'exit 143' TERM

# --- Build ------------------------------------------------------------------
build_target qorla Release
qorla="$build_dir/qorla"

# --- Data -------------------------------------------------------------------
# Random words come from gen_data (the data of run_bench.sh, shared with it);
# the other shapes from gen_shapes.
shape_generator="$data/gen_shapes"
shape_sources=("$repo/bench/gen_shapes.cpp" "$repo/bench/shape_generators.h" "$repo/bench/line_generator.h")
shape_digest=$(cat "${shape_sources[@]}" | md5sum | cut -c1-8)

# The data file of shape $1 with $2 lines and the current seed.
shape_file() {
  if [[ $1 == words ]]; then
    data_file "$2"
  else
    echo "$data/shape_$1_$2_seed${seed}_${shape_digest}.txt"
  fi
}

# Generates the data file of shape $1 with $2 lines unless it is there.
make_shape_data() {
  local shape=$1 lines=$2 file
  if [[ $shape == words ]]; then
    make_data "$lines"
    return
  fi
  file=$(shape_file "$shape" "$lines")
  build_program "$shape_generator" "${shape_sources[@]}"
  if [[ ! -s $file ]]; then
    echo "Generating $lines lines of $shape (seed $seed) ..." >&2
    "$shape_generator" "$shape" "$lines" "$seed" "$file.tmp" || fail "generating $file"
    mv "$file.tmp" "$file"
  fi
}

# About the bytes a line of each shape, to check the disk before generating.
declare -A bytes_a_line=([paths]=68 [logs]=127 [duplicates]=24 [numbers]=6 [long-lines]=270 [sjis-csv]=66
  [words]=57)

# Free bytes on the file system that holds directory $1.
free_bytes() { df --output=avail -B1 "$1" | tail -n 1 | tr -d ' '; }

# Fails unless directory $1 has $2 bytes free; $3 says what they are for.
need_disk() {
  local free
  free=$(free_bytes "$1")
  ((free >= $2)) || fail "$3 needs $(($2 / 1000000)) MB free under $1; there are $((free / 1000000)) MB"
}

sizes=(1000000)
((quick)) || sizes+=(10000000)

# Room for the files still to generate and for the two outputs of the
# largest input.
to_generate=0
largest_input=0
for n in "${sizes[@]}"; do
  for s in "${shapes[@]}"; do
    estimate=$((n * ${bytes_a_line[$s]}))
    [[ -s $(shape_file "$s" "$n") ]] || to_generate=$((to_generate + estimate))
    ((estimate > largest_input)) && largest_input=$estimate
  done
done
need_disk "$data" $((to_generate + 2 * largest_input + 100000000)) "the data and outputs of the suite"
for n in "${sizes[@]}"; do
  for s in "${shapes[@]}"; do make_shape_data "$s" "$n"; done
done

# --- Workloads --------------------------------------------------------------
# Sets the arrays qorla_cmd and peer_cmd, and their texts for the table
# (qorla_shown, peer_shown), for shape $1, workload $2 (whole or key) and
# file $3. Both commands define the same order on the shape's data.
commands_for() {
  local f=$3
  if [[ $2 == whole ]]; then
    qorla_cmd=("$qorla" "$f") peer_cmd=(sort "$f")
    qorla_shown="" peer_shown=""
    return
  fi
  case $1 in
    # qorla skips the leading '/', so its field 3 is sort's field 4.
    paths) qorla_cmd=("$qorla" -t/ +3 "$f") peer_cmd=(sort -s -t/ -k4,4 "$f")
      qorla_shown="-t/ +3" peer_shown="-s -t/ -k4,4" ;;
    logs) qorla_cmd=("$qorla" +3 "$f") peer_cmd=(sort -s "-t " -k3,3 "$f")
      qorla_shown="+3" peer_shown="-s -t' ' -k3,3" ;;
    duplicates | words) qorla_cmd=("$qorla" +2 "$f") peer_cmd=(sort -s "-t " -k2,2 "$f")
      qorla_shown="+2" peer_shown="-s -t' ' -k2,2" ;;
    numbers) qorla_cmd=("$qorla" +1n "$f") peer_cmd=(sort -s -k1,1n "$f")
      qorla_shown="+1n" peer_shown="-s -k1,1n" ;;
    long-lines) qorla_cmd=("$qorla" +5 "$f") peer_cmd=(sort -s "-t " -k5,5 "$f")
      qorla_shown="+5" peer_shown="-s -t' ' -k5,5" ;;
    sjis-csv) qorla_cmd=("$qorla" -t, +4n "$f") peer_cmd=(sort -s -t, -k4,4n "$f")
      qorla_shown="-t, +4n" peer_shown="-s -t, -k4,4n" ;;
  esac
}

# The speed goal (peer time / qorla time) of shape $1, workload $2.
speed_target() {
  if [[ $2 == key ]]; then echo 4; elif [[ $1 == words ]]; then echo 4; else echo 3; fi
}

cores=$(nproc)
cpu=$(cpu_model)

# --- The suite ----------------------------------------------------------------
rows=()
# One entry a row: "shape lines workload ratio target memory_ok".
verdicts=()
words_10m_q="" words_10m_p=""

for n in "${sizes[@]}"; do
  for s in "${shapes[@]}"; do
    file=$(shape_file "$s" "$n")
    bytes=$(stat -c %s "$file")
    for w in whole key; do
      commands_for "$s" "$w" "$file"
      label="$s, $( [[ $w == whole ]] && echo "whole lines" || echo "key $qorla_shown"), $n lines"
      echo "[$label] $runs runs each ..." >&2
      time_pair "$runs" "$label"
      if [[ $s == words && $w == whole && $n == 10000000 ]]; then
        words_10m_q=$q_time words_10m_p=$p_time
      fi
      target=$(speed_target "$s" "$w")
      if [[ $w == whole ]]; then workload="whole lines"; else workload="key: \`$qorla_shown\` / \`$peer_shown\`"; fi
      row=$(awk -v shape="$s" -v workload="$workload" -v n="$n" -v qt="$q_time" -v pt="$p_time" \
        -v qc="$q_cpu" -v pc="$p_cpu" -v qr="$q_rss" -v pr="$p_rss" -v bytes="$bytes" -v goal="$target" 'BEGIN {
          ratio = pt / qt
          limit = bytes + 32 * n
          mem_ok = (qr * 1024 <= limit && qr < pr) ? "yes" : "no"
          speed = ratio >= goal ? "yes (>= " goal "x)" : ratio >= 1 ? "no (< " goal "x)" : "**no, slower than the peer**"
          printf "| %s | %s | %s | %.1f | %.3f | %.3f | **%.2fx** | %.0f | %.0f | %.2f | %.2f | %.1f | %.1f | %.1f | %s | %s |\t%.4f\t%s\n",
            shape, workload, n % 1000000 == 0 ? n / 1000000 "M" : n, bytes / 1048576, qt, pt, ratio,
            qt / n * 1e9, pt / n * 1e9, qc, pc, qr / 1024, pr / 1024, limit / 1048576, speed, mem_ok, ratio, mem_ok
        }')
      rows+=("${row%%$'\t'*}")
      rest=${row#*$'\t'}
      verdicts+=("$s ${n} $w ${rest%%$'\t'*} $target ${rest#*$'\t'}")
    done
  done
done

# --- The growth from 10M to 100M lines -----------------------------------------
growth_rows=()
if ((growth)); then
  big=100000000
  make_data 10000000
  file10=$(data_file 10000000)
  if [[ -z $words_10m_q ]]; then
    commands_for words whole "$file10"
    echo "[growth: words, whole lines, 10000000 lines] $runs runs each ..." >&2
    time_pair "$runs" "growth, words, whole lines, 10000000 lines"
    words_10m_q=$q_time words_10m_p=$p_time
  fi

  # The 100M-line input is about ten times the 10M one. Its outputs and the
  # input take three times that; sort may spill as much again into its
  # temporary directory when memory is short.
  estimate=$(($(stat -c %s "$file10") * 10))
  tmp_dir=${TMPDIR:-/tmp}
  if [[ $(stat -c %d "$data") == $(stat -c %d "$tmp_dir") ]]; then
    need_disk "$data" $((4 * estimate)) "the 100M-line growth run (input, two outputs, the peer's temporary files)"
  else
    need_disk "$data" $((3 * estimate)) "the 100M-line growth run (input and two outputs)"
    need_disk "$tmp_dir" "$estimate" "the peer's temporary files in the growth run"
  fi
  available_kb=$(awk '/^MemAvailable/ { print $2 }' /proc/meminfo)
  bound=$((estimate + 32 * big))
  ((available_kb * 1024 >= bound)) ||
    fail "the 100M-line growth run needs about $((bound / 1000000)) MB of memory (input + 32 bytes a line);" \
      "$((available_kb / 1000)) MB are available"

  growth_file="$data/growth_${big}_seed${seed}_${generator_digest}.txt"
  # The outputs of the growth run are too big to leave behind.
  drop_differing_outputs=1
  build_generator
  echo "Generating $big lines of random words (seed $seed) for the growth run ..." >&2
  "$generator" "$big" "$seed" "$growth_file.tmp" || fail "generating $growth_file"
  mv "$growth_file.tmp" "$growth_file"
  big_bytes=$(stat -c %s "$growth_file")
  # Whole lines, and the integers of field 3 as a numeric key (they fit
  # single precision, so both commands define the same order).
  for workload in whole numeric; do
    for f in "$file10" "$growth_file"; do
      if [[ $workload == whole ]]; then
        commands_for words whole "$f"
      else
        qorla_cmd=("$qorla" +3n "$f") peer_cmd=(sort -s "-t " -k3,3n "$f")
      fi
      lines=$big count=$growth_runs
      if [[ $f == "$file10" ]]; then
        lines=10000000 count=$runs
        if [[ $workload == whole && -n $words_10m_q ]]; then
          q10=$words_10m_q p10=$words_10m_p
          continue
        fi
      fi
      echo "[growth: words, $workload, $lines lines] $count runs each ..." >&2
      time_pair "$count" "growth, words, $workload, $lines lines"
      if [[ $f == "$file10" ]]; then
        q10=$q_time p10=$p_time
      fi
    done
    growth_rows+=("$(awk -v w="$workload" -v q10="$q10" -v p10="$p10" -v q100="$q_time" -v p100="$p_time" \
      -v qr="$q_rss" -v pr="$p_rss" -v bytes="$big_bytes" -v big="$big" 'BEGIN {
        qn10 = q10 / 1e7 * 1e9; pn10 = p10 / 1e7 * 1e9; qn100 = q100 / big * 1e9; pn100 = p100 / big * 1e9
        bound = (bytes + 32 * big) / 1048576
        printf "| %s | %.2f | %.3f | %.3f | %.0f | %.0f | **%.2fx** | %.0f | %.0f | %.2fx | %.2fx | %.1f | %.1f | %.1f | %s | %s |",
          w == "whole" ? "whole lines" : "numeric key `+3n` / `-s -t'"'"' '"'"' -k3,3n`",
          bytes / 1e9, q100, p100, qn10, qn100, qn100 / qn10, pn10, pn100, pn100 / pn10, p100 / q100,
          qr / 1024, pr / 1024, bound, qn100 / qn10 <= 1.25 ? "yes" : "no", qr / 1024 <= bound && qr < pr ? "yes" : "no"
      }')")
  done
  rm -f "$growth_file" "$run_dir"/qorla.out "$run_dir"/peer.out
fi

# --- Report -----------------------------------------------------------------
# Prints "met" or "not met" and the rows that miss goal $1 (whole, key,
# slower or memory).
goal_verdict() {
  printf '%s\n' "${verdicts[@]}" | awk -v goal="$1" '
    { shape = $1; n = $2 / 1e6 "M"; kind = $3; ratio = $4; target = $5; mem = $6
      name = shape " " n " " (kind == "whole" ? "whole lines" : "key")
      if (goal == "whole" && kind == "whole" && ratio < target) miss = miss sprintf(", %s (%.2fx)", name, ratio)
      if (goal == "key" && kind == "key" && ratio < target) miss = miss sprintf(", %s (%.2fx)", name, ratio)
      if (goal == "slower" && ratio < 1) miss = miss sprintf(", %s (%.2fx)", name, ratio)
      if (goal == "memory" && mem != "yes") miss = miss ", " name }
    END { print miss == "" ? "**met**" : "**not met**: " substr(miss, 3) }'
}

report() {
  echo "## qorla vs LC_ALL=C sort on every shape of data"
  echo
  echo "- Machine: $cores cores (nproc), CPU: $cpu, $(awk '/^MemTotal/ { printf "%.1f GiB RAM", $2 / 1048576 }' /proc/meminfo)"
  echo "- Peer: $(sort --version | head -n 1), run with LC_ALL=C and its default threads"
  local source_state changed
  source_state=$(git -C "$repo" log -1 --format=%h 2>/dev/null || echo unknown)
  # Uncommitted program sources (tests left out) make the figures those of
  # a tree that no commit holds.
  changed=$(git -C "$repo" status --porcelain -- src 2>/dev/null | grep -vc '_test\.cpp$' || true)
  ((changed > 0)) && source_state+=" plus uncommitted changes in $changed files under src/"
  echo "- qorla: $qorla (Release), source at commit $source_state"
  echo "- Load average (1, 5, 15 min) at the start: $load_at_start; at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "- Other runnable tasks seen before the $busy_samples timed runs: mean $(busy_mean), most $busy_most"
  warn_if_busy
  echo "- Data: seed $seed; whole lines are \`qorla F\` against \`sort F\`, keys as shown (qorla's options / sort's)"
  echo "- Runs: $runs of each command per workload, alternating the two; times are medians of wall time (s) and of" \
    "user + system CPU time (CPU s), RSS the largest peak (/usr/bin/time -v); output written to a file on disk," \
    "every output byte-identical to the peer's (cmp)"
  echo
  echo "| shape | workload | lines | input MiB | qorla s | peer s | peer/qorla | qorla ns/line | peer ns/line | qorla CPU s | peer CPU s | qorla RSS MiB | peer RSS MiB | input + 32 B/line MiB | speed goal | memory goal |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "Goals, over every row above:"
  echo
  echo "- Whole lines at least 3x the peer on every shape, 4x on random words: $(goal_verdict whole)"
  echo "- One key at least 4x the peer on every shape: $(goal_verdict key)"
  echo "- Never slower than the peer: $(goal_verdict slower)"
  echo "- Peak RSS at most the input + 32 bytes a line, and below the peer's: $(goal_verdict memory)"
  if ((${#growth_rows[@]} > 0)); then
    echo
    echo "Growth of the time per line from 10M to 100M lines of random words (past 4 GiB of input)" \
      "(runs of each command at 100M: $growth_runs; n log n predicts $(awk 'BEGIN { printf "%.2fx", log(1e8) / log(1e7) }');" \
      "goals: growth at most 1.25x, peak RSS at most the input + 32 bytes a line and below the peer's):"
    echo
    echo "| workload | input GB at 100M | qorla s | peer s | qorla ns/line 10M | qorla ns/line 100M | qorla growth | peer ns/line 10M | peer ns/line 100M | peer growth | peer/qorla at 100M | qorla RSS MiB | peer RSS MiB | input + 32 B/line MiB | growth goal | memory goal |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    printf '%s\n' "${growth_rows[@]}"
  fi
  echo
  echo "Whole benchmark run: $(seconds_since_start) s (build and data generation included)."
}

report | tee "$data/shape_report.md"
