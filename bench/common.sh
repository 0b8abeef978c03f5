# Shared by the benchmark scripts, which source it after `set -euo pipefail`:
# paths, option checks, building, the generated data files, timed runs and
# the figures of their reports. Not meant to be run on its own.

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
data="$repo/bench/data"
seed=42
# The script that sourced this file, and its name in messages.
script=${BASH_SOURCE[-1]}
script_name=$(basename "$script" .sh)
script_start=$EPOCHREALTIME

# Prints the comment block at the top of the script (its usage) and exits 2.
usage() { awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$script" >&2; exit 2; }

# Checks that option $1 was given a positive number ($2).
positive() { [[ $2 =~ ^[1-9][0-9]*$ ]] || { echo "$script_name: $1 needs a positive number, got '$2'" >&2; exit 2; }; }

# Handles the options the scripts share: --build-dir D, -h or --help, and
# --seed S where the script sets takes_seed=1. Sets option_shift to the
# number of arguments used; returns 1, using none, for any other argument.
shared_option() {
  option_shift=2
  case $1 in
    --seed) ((${takes_seed-0})) || return 1; [[ ${2-} =~ ^[0-9]+$ ]] || usage; seed=$2 ;;
    --build-dir) [[ -n ${2-} ]] || usage; build_dir=$(realpath -m "$2") ;;
    -h | --help) usage ;;
    *) option_shift=0; return 1 ;;
  esac
}

# Ends the script with status 1 and the message on the error stream.
fail() {
  echo >&2
  echo "$script_name: FAILED: $*" >&2
  exit 1
}

# Fails unless every command named is on the PATH.
need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "'$tool' is needed and was not found"
  done
}

# Configures $build_dir as a Release build without the tests, plus the
# cmake options given after the first two arguments, and builds target $1
# there; $2 says what kind of build it is in the progress line.
build_target() {
  local target=$1 kind=$2
  shift 2
  echo "Building $target ($kind) in $build_dir ..." >&2
  cmake -S "$repo" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORLA_TESTS=OFF "$@" >/dev/null ||
    fail "configuring the build in $build_dir"
  cmake --build "$build_dir" --target "$target" >/dev/null || fail "building $target"
}

# --- Generated data -----------------------------------------------------------
generator="$data/gen_data"
generator_sources=("$repo/bench/gen_data.cpp" "$repo/bench/line_generator.h")
# Data file names hold the size, the seed and this digest of the generator's
# source, so a file is reused only when it would be generated the same.
generator_digest=$(cat "${generator_sources[@]}" | md5sum | cut -c1-8)

# The path of the data file of $1 lines with the current seed.
data_file() { echo "$data/lines_$1_seed${seed}_${generator_digest}.txt"; }

# (Re)builds the program $1 from the C++ file $2 when the program is missing
# or older than $2 or any further source named after it (its headers).
build_program() {
  local program=$1 main_source=$2 source stale=0
  [[ -x $program ]] || stale=1
  for source in "${@:2}"; do
    [[ $source -nt $program ]] && stale=1
  done
  if ((stale)); then
    echo "Building $(basename "$program") ..." >&2
    mkdir -p "$data"
    g++ -std=c++20 -O2 -o "$program" "$main_source" || fail "building ${main_source#"$repo"/}"
  fi
  return 0
}

# (Re)builds the generator when it is missing or older than its source.
build_generator() { build_program "$generator" "${generator_sources[@]}"; }

# Generates the data file of $1 lines unless it is already there.
make_data() {
  local lines=$1 file
  file=$(data_file "$lines")
  build_generator
  if [[ ! -s $file ]]; then
    echo "Generating $lines lines (seed $seed) ..." >&2
    "$generator" "$lines" "$seed" "$file.tmp" || fail "generating $file"
    mv "$file.tmp" "$file"
  fi
}

# --- Timed runs -----------------------------------------------------------------
# Other work competing for the cores: the runnable tasks of the system
# (the fourth field of /proc/loadavg, read by a shell builtin so that only
# this shell is counted besides them), sampled before every timed run.
busy_samples=0
busy_total=0
busy_most=0
sample_other_work() {
  local _ running
  read -r _ _ _ running _ </proc/loadavg
  running=$((${running%%/*} - 1))
  ((running < 0)) && running=0
  busy_samples=$((busy_samples + 1))
  busy_total=$((busy_total + running))
  ((running > busy_most)) && busy_most=$running
  return 0
}

# The mean of the samples, for the report.
busy_mean() { awk -v t="$busy_total" -v n="$busy_samples" 'BEGIN { printf "%.2f", n ? t / n : 0 }'; }

# The report's warning line, when the other work was enough to inflate the
# wall times.
warn_if_busy() {
  if awk -v t="$busy_total" -v n="$busy_samples" 'BEGIN { exit !(n && t / n >= 0.25) }'; then
    echo "- **Warning**: other work was running on the machine during the runs; wall times are inflated"
  fi
  return 0
}

# Runs a command (after its label $1) with its output, error stream and
# /usr/bin/time report in $run_dir/$1.out, .err and .time; sets run_seconds
# (wall), run_rss_kb (peak RSS), run_user, run_sys and run_cpu (their sum).
# A non-zero exit status ends the script.
timed_run() {
  local who=$1
  shift
  local out="$run_dir/$who.out" err="$run_dir/$who.err" tfile="$run_dir/$who.time"
  rm -f "$out"
  sample_other_work
  local t0=$EPOCHREALTIME status=0
  /usr/bin/time -v -o "$tfile" "$@" >"$out" 2>"$err" || status=$?
  local t1=$EPOCHREALTIME
  if ((status != 0)); then
    cat "$err" >&2
    fail "'$*' exited with status $status"
  fi
  run_seconds=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
  read -r run_rss_kb run_user run_sys run_cpu < <(awk -F': ' '
    /Maximum resident set size/ { rss = $2 }
    /User time/ { user = $2; cpu += $2 }
    /System time/ { sys = $2; cpu += $2 }
    END { printf "%s %s %s %.3f\n", rss, user, sys, cpu }' "$tfile")
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
largest() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# Times qorla_cmd and peer_cmd $1 times each, alternating which goes first
# (so that neither always runs right after the other's output was written),
# and compares their outputs after the first round; $2 names the workload
# in messages. Outputs that differ end the run (keeping them in $run_dir
# unless drop_differing_outputs is 1), unless $3 is 1: then `outputs` says
# "identical" or "differ". Sets q_time, p_time, q_cpu, p_cpu (medians) and
# q_rss, p_rss (largest, KiB).
drop_differing_outputs=0
time_pair() {
  local count=$1 label=$2 may_differ=${3-0} r who where kept order
  local q_times=() p_times=() q_rsses=() p_rsses=() q_cpus=() p_cpus=()
  for ((r = 0; r < count; r++)); do
    if ((r % 2 == 0)); then order=(qorla peer); else order=(peer qorla); fi
    for who in "${order[@]}"; do
      if [[ $who == qorla ]]; then
        timed_run qorla "${qorla_cmd[@]}"
        if [[ -s $run_dir/qorla.err ]]; then
          cat "$run_dir/qorla.err" >&2
          fail "'${qorla_cmd[*]}' wrote to its error stream"
        fi
        q_times+=("$run_seconds") q_rsses+=("$run_rss_kb") q_cpus+=("$run_cpu")
      else
        timed_run peer "${peer_cmd[@]}"
        p_times+=("$run_seconds") p_rsses+=("$run_rss_kb") p_cpus+=("$run_cpu")
      fi
    done
    if ((r == 0)); then
      [[ -s $run_dir/qorla.out ]] || fail "$label: qorla printed nothing"
      outputs=identical
      if ! cmp -s "$run_dir/qorla.out" "$run_dir/peer.out"; then
        outputs=differ
        if ((!may_differ)); then
          where=$(cmp "$run_dir/qorla.out" "$run_dir/peer.out" 2>&1 | head -n 1 || true)
          kept="outputs deleted"
          if ((!drop_differing_outputs)); then
            keep_outputs=1
            kept="outputs kept in $run_dir as qorla.out and peer.out"
          fi
          fail "$label: the output of '${qorla_cmd[*]}' differs from 'LC_ALL=C ${peer_cmd[*]}' ($where; $kept)"
        fi
      fi
    fi
  done
  q_time=$(median "${q_times[@]}") p_time=$(median "${p_times[@]}")
  q_cpu=$(median "${q_cpus[@]}") p_cpu=$(median "${p_cpus[@]}")
  q_rss=$(largest "${q_rsses[@]}") p_rss=$(largest "${p_rsses[@]}")
}

# --- Report -------------------------------------------------------------------
# The CPU model, or the machine type where /proc/cpuinfo names none.
cpu_model() {
  local cpu
  cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
  echo "${cpu:-$(uname -m)}"
}

# Whole seconds since the script started.
seconds_since_start() { awk -v a="$script_start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.0f", b - a }'; }
