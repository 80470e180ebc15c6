#!/usr/bin/env bash
# Builds sundrel_bench_peak (Release, in build-bench/) and prints a Markdown
# table of map creation time and peak memory, ours against CGAL's Delaunay
# range insertion, for random and Hilbert-ordered sites. Every run is a
# separate process; each cell is the median of its runs.
#
# usage: bash bench/creation_table.sh [-t LIMIT] [-r RUNS] [-s SLOW] [-n "SIZES"]
#   -t LIMIT  seconds allowed per run (default: none); a run over it shows
#             "timeout" and its configuration is not repeated
#   -r RUNS   runs per configuration (default 3)
#   -s SLOW   a configuration whose first run takes longer than SLOW seconds
#             runs only once (default 60)
#   -n SIZES  site counts (default "1000 10000 100000 1000000")
# The table goes to standard output, build output and progress to standard
# error. Without CGAL (libcgal-dev) its columns read "n/a".
set -euo pipefail
cd "$(dirname "$0")/.."

limit=0
runs=3
slow=60
sizes="1000 10000 100000 1000000"
while getopts "t:r:s:n:h" opt; do
  case "$opt" in
    t) limit="$OPTARG" ;;
    r) runs="$OPTARG" ;;
    s) slow="$OPTARG" ;;
    n) sizes="$OPTARG" ;;
    *) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0" >&2; exit 2 ;;
  esac
done

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DSUNDREL_BENCH=ON -DSUNDREL_TESTS=OFF >&2
cmake --build build-bench -j"$(nproc)" --target sundrel_bench_peak >&2
peak=build-bench/bench/sundrel_bench_peak

# One run: "SECONDS PEAK_MIB PEAK_ABS_MIB", or timeout, failed, n/a.
run_once() {
  local out rc=0
  if [ "$limit" != 0 ]; then
    out=$(timeout -k 5 "$limit" "$peak" "$@" 2>/dev/null) || rc=$?
  else
    out=$("$peak" "$@" 2>/dev/null) || rc=$?
  fi
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    echo timeout
  elif [ "$rc" -ne 0 ]; then
    echo failed
  elif [[ "$out" == *"not available"* ]]; then
    echo n/a
  else
    awk '{ for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
           print v["seconds"], v["peak_mib"], v["peak_abs_mib"] }' <<<"$out"
  fi
}

# All runs of one configuration, then "SECONDS PEAK PEAK_ABS RUNS" as
# medians, or a single word when a run did not finish.
measure() {
  local results=() r i
  for ((i = 1; i <= runs; ++i)); do
    r=$(run_once "$@")
    echo "  $* run $i/$runs: $r" >&2
    case "$r" in
      timeout|failed|n/a) echo "$r"; return ;;
    esac
    results+=("$r")
    if [ "$i" -eq 1 ] && awk -v s="${r%% *}" -v m="$slow" 'BEGIN { exit !(s > m) }'; then
      break
    fi
  done
  printf '%s\n' "${results[@]}" | awk '
    { s[NR] = $1; p[NR] = $2; a[NR] = $3 }
    function median(v, n,   i, j, t) {
      for (i = 2; i <= n; ++i)
        for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    END { printf "%s %s %s %d\n", median(s, NR), median(p, NR), median(a, NR), NR }'
}

# Table cells of one measurement: seconds and "peak (absolute)".
seconds_cell() {
  case "$1" in
    timeout|failed|n/a) echo "$1" ;;
    *) set -- $1; awk -v s="$1" -v n="$4" -v r="$runs" 'BEGIN {
         printf "%.4f%s", s, (n < r ? " (" n " run" (n > 1 ? "s" : "") ")" : "") }' ;;
  esac
}
memory_cell() {
  case "$1" in
    timeout|failed|n/a) echo "$1" ;;
    *) set -- $1; printf '%.1f (%.1f)' "$2" "$3" ;;
  esac
}
ratio_cell() { # field, ours, cgal
  local f="$1"
  case "$2 $3" in
    *timeout*|*failed*|*n/a*) echo "–" ;;
    *) awk -v a="$(cut -d' ' -f"$f" <<<"$2")" -v b="$(cut -d' ' -f"$f" <<<"$3")" \
         'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "–" }' ;;
  esac
}

rows=()
for n in $sizes; do
  for order in random hilbert; do
    ours=$(measure ours "$n" "$order")
    cgal=$(measure cgal "$n" "$order")
    rows+=("| $n | $order | $(seconds_cell "$ours") | $(seconds_cell "$cgal") | $(ratio_cell 1 "$ours" "$cgal") \
| $(memory_cell "$ours") | $(memory_cell "$cgal") | $(ratio_cell 2 "$ours" "$cgal") |")
  done
done

cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
echo "Map creation; each cell the median of up to $runs runs in separate processes ($(nproc) cores${cpu:+, $cpu})."
echo "Seconds: creation only. Peak MiB: peak resident size less the size after generating the points (absolute peak in parentheses)."
[ "$limit" != 0 ] && echo "Time limit per run: $limit s."
echo
echo "| N | order | ours s | CGAL s | ours/CGAL s | ours peak MiB | CGAL peak MiB | ours/CGAL MiB |"
echo "|---:|---|---:|---:|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
