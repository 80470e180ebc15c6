#!/usr/bin/env bash
# How long sundrel-cli takes to start: `info` of a five-site map, `--version`
# and `true`, each a whole process, run in turn (true, info, version, true,
# ...) so that a drift of the machine's speed touches all three alike. Prints
# each one's median and the median difference to `true` of the same round, in
# milliseconds, and the shared libraries each loads.
#
# usage: bash bench/startup.sh [-r RUNS] [CLI]
#   -r RUNS  rounds (default 51)
#   CLI      the program (default build/sundrel-cli)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=51
while getopts "r:h" opt; do
  case "$opt" in
    r) runs="$OPTARG" ;;
    *) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
cli=$(realpath "${1:-build/sundrel-cli}")
truebin=/bin/true

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '0 0\n4 0\n0 3\n4 3\n2 1.5\n' >"$work/sites.txt"
"$cli" map "$work/sites.txt" -o "$work/map.dvt" >/dev/null 2>&1

# Milliseconds of one run, from the shell's own clock (no process for timing).
elapsed() {
  local t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || true
  local t1=$EPOCHREALTIME
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f\n", (b - a) * 1000 }'
}

: >"$work/true"; : >"$work/info"; : >"$work/version"; : >"$work/diff"
for ((i = 0; i < runs + 1; ++i)); do
  t=$(elapsed "$truebin")
  a=$(elapsed "$cli" info "$work/map.dvt")
  v=$(elapsed "$cli" --version)
  [ "$i" -eq 0 ] && continue # warm-up
  echo "$t" >>"$work/true"; echo "$a" >>"$work/info"; echo "$v" >>"$work/version"
  awk -v a="$a" -v t="$t" 'BEGIN { printf "%.3f\n", a - t }' >>"$work/diff"
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
libraries() { LD_DEBUG=files "$@" 2>&1 >/dev/null | grep -c 'calling init' || true; }

load=$(cut -d' ' -f1-3 /proc/loadavg)
echo "sundrel-cli start-up, medians of $runs rounds in turn ($(nproc) cores, load $load)"
echo
echo "| process | median ms | shared libraries |"
echo "|---|---:|---:|"
echo "| true | $(median "$work/true") | $(libraries "$truebin") |"
echo "| sundrel-cli info (5 sites) | $(median "$work/info") | $(libraries "$cli" info "$work/map.dvt") |"
echo "| sundrel-cli --version | $(median "$work/version") | $(libraries "$cli" --version) |"
echo
echo "info less true, median of the rounds: $(median "$work/diff") ms"
