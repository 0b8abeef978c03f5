#!/usr/bin/env bash
# Where qorla spends its time: runs one command under
# `valgrind --tool=callgrind` on a generated file and prints the functions
# with the largest shares of executed instructions, self and inclusive.
# Instruction counts do not depend on the load of the machine, but they do
# not show cache misses: pair them with the wall times of run_bench.sh.
#
#   bench/profile.sh [--lines N] [--top N] [--build-dir DIR] [--] [qorla options]
#
#   --lines N      lines of the generated input (default 1000000)
#   --top N        functions listed (default 15)
#   --build-dir D  release build with symbols (default build/profile:
#                  Release flags plus -g)
#   qorla options  e.g. `+2 +3nr`; none sorts whole lines
#
# The raw profile stays in bench/data/profile/ for callgrind_annotate or
# kcachegrind.
set -euo pipefail
export LC_ALL=C

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_dir="$repo/build/profile"
lines=1000000
top=15

while (($# > 0)); do
  case $1 in
    --lines) positive "$1" "${2-}"; lines=$2; shift 2 ;;
    --top) positive "$1" "${2-}"; top=$2; shift 2 ;;
    --) shift; break ;;
    *) shared_option "$@" || break; shift "$option_shift" ;;
  esac
done
qorla_args=("$@")

need_tools valgrind callgrind_annotate

build_target qorla "Release with symbols" -DCMAKE_CXX_FLAGS=-g

mkdir -p "$data/profile"
make_data "$lines"
file=$(data_file "$lines")

label=$(printf '%s' "${qorla_args[*]:-whole}" | tr -c 'A-Za-z0-9+' '_')
out="$data/profile/callgrind.$label.$lines.out"
echo "Running qorla ${qorla_args[*]} on $lines lines under callgrind ..." >&2
valgrind --tool=callgrind --callgrind-out-file="$out" "$build_dir/qorla" "${qorla_args[@]}" "$file" \
  >"$data/profile/sorted.out" 2>"$data/profile/callgrind.log" ||
  { tail -n 20 "$data/profile/callgrind.log" >&2; fail "qorla failed under callgrind"; }

# Function names without paths, parameter lists, template arguments or
# anonymous namespaces. Entries of one function are merged (inlined code is
# listed under the file it came from): self costs are added. Inclusive costs
# are shown only for functions outside recursion (callgrind's inclusive
# cost of a recursive function, listed as name'2, counts nested calls more
# than once) and without the start-up frames.
summarise() {
  local inclusive=$1
  callgrind_annotate --auto=no --inclusive="$inclusive" --threshold=100 "$out" 2>/dev/null |
    awk '/^ *[0-9,]+ +\([ 0-9.]+%\) +[^ ]/ && !/PROGRAM TOTALS/' |
    sed -E 's/^ *([0-9,]+) +\([ 0-9.]+%\) +/\1\t/; s/ \[[^]]*\]$//; s/\(anonymous namespace\):://g' |
    sed -E ':a; s/<[^<>]*>//g; ta' |
    sed -E 's/\t[^:\t]*:/\t/; s/ \[clone [^]]*\]//g; s/\t([^(]*)\([^'"'"']*('"'"'[0-9]+)?$/\t\1\2/' |
    awk -F'\t' -v inclusive="$inclusive" '
      { n = $1; gsub(",", "", n); n += 0; name = $2
        if (name ~ /'"'"'[0-9]+$/) { sub(/'"'"'[0-9]+$/, "", name); recursive[name] = 1 }
        if (inclusive == "yes") { if (n > cost[name]) cost[name] = n } else cost[name] += n }
      END {
        for (f in cost) {
          if (inclusive == "yes" && (f in recursive || f ~ /^(0x|\(below main\)|__libc_start|main$|start_thread|clone|_start$)/ || f == "")) continue
          printf "%d\t%s\n", cost[f], f
        }
      }' |
    sort -t$'\t' -k1,1nr | awk -v top="$top" 'NR <= top'
}

total=$(callgrind_annotate --auto=no "$out" 2>/dev/null | awk '/PROGRAM TOTALS/ && !done { gsub(",", "", $1); print $1; done = 1 }')
echo "### qorla ${qorla_args[*]:-(whole lines)} on $lines lines: $total instructions"
echo "($(awk -v t="$total" -v n="$lines" 'BEGIN { printf "%.0f", t / n }') a line; profile in ${out#"$repo"/})"
for kind in no yes; do
  echo
  if [[ $kind == yes ]]; then
    echo "Inclusive costs are per thread: the main thread's run_command and the worker threads'"
    echo "run_task add up to about 100%; recursive functions are left out."
    echo
  fi
  if [[ $kind == no ]]; then echo "| self share | instructions | function |"; else echo "| inclusive share | instructions | function |"; fi
  echo "|---|---|---|"
  summarise "$kind" | awk -F'\t' -v t="$total" '{ printf "| %.1f%% | %d | `%s` |\n", 100 * $1 / t, $1, $2 }'
done
