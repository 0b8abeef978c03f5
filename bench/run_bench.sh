#!/usr/bin/env bash
# Times qorla against `LC_ALL=C sort` (its default threads) on generated
# data of 1M and 10M lines, workload by workload, and prints a Markdown
# table: median wall and CPU time, peak RSS, the ratio peer/qorla and the time per
# line. Every workload whose order both commands define the same way must
# give byte-identical outputs, or the run fails.
#
#   bench/run_bench.sh [--quick] [--runs-1m N] [--runs-10m N] [--seed S]
#                      [--build-dir DIR]
#
#   --quick        1M lines only
#   --runs-1m N    timed runs of each command per workload at 1M (default 5)
#   --runs-10m N   the same at 10M (default 3)
#   --seed S       seed of the generated data (default 42)
#   --build-dir D  where the release binary is built (default build/release,
#                  the directory of `cmake --workflow --preset release`)
set -euo pipefail
export LC_ALL=C

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
takes_seed=1
build_dir="$repo/build/release"
quick=0
runs_1m=5
runs_10m=3

while (($# > 0)); do
  case $1 in
    --quick) quick=1; shift ;;
    --runs-1m) positive "$1" "${2-}"; runs_1m=$2; shift 2 ;;
    --runs-10m) positive "$1" "${2-}"; runs_10m=$2; shift 2 ;;
    *)
      shared_option "$@" || { echo "run_bench: unknown argument '$1'" >&2; usage; }
      shift "$option_shift" ;;
  esac
done

need_tools cmake g++ cmp /usr/bin/time sort

load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)
run_dir="$data/out"
mkdir -p "$run_dir"
keep_outputs=0
cleanup() {
  rm -f "$run_dir"/*.err "$run_dir"/*.time
  ((keep_outputs)) || rm -f "$run_dir"/qorla.out "$run_dir"/peer.out
}
trap cleanup EXIT

# --- Build ------------------------------------------------------------------
build_target qorla Release
qorla="$build_dir/qorla"

# --- Data -------------------------------------------------------------------
sizes=(1000000)
((quick)) || sizes+=(10000000)
for n in "${sizes[@]}"; do make_data "$n"; done

# --- Workloads ----------------------------------------------------------------
names=("whole lines" "text key, field 2" "numeric key, field 3 (integers)" "two keys" "date key"
  "case-folded whole lines")
qorla_shown=("qorla F" "qorla +2 F" "qorla +3n F" "qorla +2 +3nr F" "qorla +5d F" "qorla -i F")
peer_shown=("sort F" "sort -s -t' ' -k2,2 F" "sort -s -t' ' -k3,3n F" "sort -s -t' ' -k2,2 -k3,3nr F"
  "sort -s -t' ' -k5,5 F" "sort -f F")
# 1: the outputs must be byte-identical; 0: timing only (the collations differ).
must_match=(1 1 1 1 1 0)
# The speed goal of each workload at 10M lines (peer time / qorla time).
speed_goal=(4 3 3 3 3 4)

# Sets the arrays qorla_cmd and peer_cmd for workload $1 and file $2.
commands_for() {
  local f=$2
  case $1 in
    0) qorla_cmd=("$qorla" "$f"); peer_cmd=(sort "$f") ;;
    1) qorla_cmd=("$qorla" +2 "$f"); peer_cmd=(sort -s "-t " -k2,2 "$f") ;;
    2) qorla_cmd=("$qorla" +3n "$f"); peer_cmd=(sort -s "-t " -k3,3n "$f") ;;
    3) qorla_cmd=("$qorla" +2 +3nr "$f"); peer_cmd=(sort -s "-t " -k2,2 -k3,3nr "$f") ;;
    4) qorla_cmd=("$qorla" +5d "$f"); peer_cmd=(sort -s "-t " -k5,5 "$f") ;;
    5) qorla_cmd=("$qorla" -i "$f"); peer_cmd=(sort -f "$f") ;;
  esac
}

cores=$(nproc)
cpu=$(cpu_model)

rows=()
declare -A ns_per_line

for n in "${sizes[@]}"; do
  file=$(data_file "$n")
  bytes=$(stat -c %s "$file")
  runs=$runs_1m
  ((n >= 10000000)) && runs=$runs_10m
  for w in "${!names[@]}"; do
    commands_for "$w" "$file"
    echo "[$n lines] ${names[$w]}: $runs runs each ..." >&2
    time_pair "$runs" "workload '${names[$w]}' on $n lines" $((!must_match[w]))
    ((must_match[w])) || outputs="timing only (outputs $outputs)"
    qt=$q_time pt=$p_time qr=$q_rss pr=$p_rss qc=$q_cpu pc=$p_cpu
    ns_per_line["$w,$n,q"]=$(awk -v t="$qt" -v n="$n" 'BEGIN { printf "%.0f", t / n * 1e9 }')
    ns_per_line["$w,$n,p"]=$(awk -v t="$pt" -v n="$n" 'BEGIN { printf "%.0f", t / n * 1e9 }')
    rows+=("$(awk -v name="${names[$w]}" -v n="$n" -v qt="$qt" -v pt="$pt" -v qr="$qr" -v pr="$pr" -v qc="$qc" -v pc="$pc" \
      -v bytes="$bytes" -v goal="${speed_goal[$w]}" -v outputs="$outputs" \
      -v qnl="${ns_per_line["$w,$n,q"]}" -v pnl="${ns_per_line["$w,$n,p"]}" 'BEGIN {
        ratio = pt / qt
        limit = bytes + 32 * n
        mem_ok = (qr * 1024 <= limit && qr < pr) ? "yes" : "no"
        speed = (n >= 10000000) ? ((ratio >= goal) ? "yes (>= " goal "x)" : "no (< " goal "x)") : "-"
        printf "| %s | %s | %.3f | %.3f | **%.2fx** | %d | %d | %.2f | %.2f | %.1f | %.1f | %.1f | %s | %s | %s |",
          name, (n >= 1000000 && n % 1000000 == 0) ? n / 1000000 "M" : n, qt, pt, ratio, qnl, pnl, qc, pc,
          qr / 1024, pr / 1024, limit / 1048576, mem_ok, speed, outputs
      }')")
  done
done

# --- Report -----------------------------------------------------------------
{
  echo "## qorla vs LC_ALL=C sort"
  echo
  echo "- Machine: $cores cores (nproc), CPU: $cpu, $(awk '/^MemTotal/ { printf "%.1f GiB RAM", $2 / 1048576 }' /proc/meminfo)"
  echo "- Peer: $(sort --version | head -n 1), run with LC_ALL=C and its default threads"
  source_state=$(git -C "$repo" log -1 --format=%h 2>/dev/null || echo unknown)
  # Uncommitted program sources (tests left out) make the figures those of
  # a tree that no commit holds.
  changed=$(git -C "$repo" status --porcelain -- src 2>/dev/null | grep -vc '_test\.cpp$' || true)
  ((changed > 0)) && source_state+=" plus uncommitted changes in $changed files under src/"
  echo "- qorla: $qorla (Release), source at commit $source_state"
  echo "- Load average (1, 5, 15 min) at the start: $load_at_start; at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "- Other runnable tasks seen before the $busy_samples timed runs: mean $(busy_mean), most $busy_most"
  warn_if_busy
  for n in "${sizes[@]}"; do
    f=$(data_file "$n")
    echo "- Input $n lines: $(basename "$f"), $(stat -c %s "$f") bytes ($(awk -v b="$(stat -c %s "$f")" -v n="$n" 'BEGIN { printf "%.1f", b / n }') bytes a line)"
  done
  echo "- Runs: $runs_1m at 1M lines, $runs_10m at 10M lines, alternating the two commands;" \
    "times are medians of wall time (s) and of user + system CPU time (CPU s; CPU s / s = cores kept busy)," \
    "RSS the largest peak (/usr/bin/time -v); output written to a file on disk"
  echo
  echo "| workload | lines | qorla s | peer s | peer/qorla | qorla ns/line | peer ns/line | qorla CPU s | peer CPU s | qorla RSS MiB | peer RSS MiB | input + 32 B/line MiB | memory goal | speed goal | outputs |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  if ((!quick)); then
    echo
    echo "Growth of the time per line from 1M to 10M lines (n log n predicts $(awk 'BEGIN { printf "%.2f", log(1e7) / log(1e6) }')x):"
    echo
    echo "| workload | qorla ns/line 1M | qorla ns/line 10M | qorla growth | peer growth |"
    echo "|---|---|---|---|---|"
    for w in "${!names[@]}"; do
      awk -v name="${names[$w]}" -v q1="${ns_per_line["$w,1000000,q"]}" -v q10="${ns_per_line["$w,10000000,q"]}" \
        -v p1="${ns_per_line["$w,1000000,p"]}" -v p10="${ns_per_line["$w,10000000,p"]}" \
        'BEGIN { printf "| %s | %d | %d | %.2fx | %.2fx |\n", name, q1, q10, q10 / q1, p10 / p1 }'
    done
  fi
  echo
  echo "Memory goal: qorla's peak RSS at most the input size + 32 bytes a line, and below the peer's."
  echo "Speed goal (10M lines): whole lines at least 4x, keyed workloads at least 3x faster than the peer."
  echo
  echo "Whole benchmark run: $(seconds_since_start) s (build and data generation included)."
}
