#!/usr/bin/env bash
# Runs the examples of examples/cluster on a real engine: a significance test
# over genotypes as pieces on Slurm (a job array and a merge job waiting for
# it) or on GNU parallel, and compares the merged counts with one run's byte
# for byte, and the report, barriers table and GIS layer made from them with
# those of one run's sundrel document. A failing piece must fail the run and
# keep the merge from running.
#
#   cluster-test.sh slurm|parallel SUNDREL_CLI
#
# Without a running Slurm (SLURM_CONF, see scripts/slurm-local.sh) or GNU
# parallel the test is skipped (status 77), unless SUNDREL_REQUIRE_CLUSTER=1.
set -euo pipefail
engine="$1"
cli="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
examples="$root/examples"

skip() {
  if [ "${SUNDREL_REQUIRE_CLUSTER:-0}" = 1 ]; then echo "FAIL: $*" >&2; exit 1; fi
  echo "skipped: $*"; exit 77
}
case "$engine" in
  slurm) [ -n "${SLURM_CONF:-}" ] && timeout 20 sinfo -h >/dev/null 2>&1 || skip "no Slurm running (scripts/slurm-local.sh start)" ;;
  parallel) command -v parallel >/dev/null || skip "GNU parallel is missing" ;;
  *) echo "usage: $0 slurm|parallel SUNDREL_CLI" >&2; exit 2 ;;
esac

work="$(mktemp -d "${TMPDIR:-/tmp}/sundrel-cluster-$engine.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; for log in parts/*.log; do [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }; done; exit 1; }

study="--genotypes $examples/nancycats.gen --bootstrap 12 --seed 7 --sundrels 2"
"$cli" map "$examples/nancycats-sites.txt" --first-line 2 -o cats.dvt >/dev/null 2>&1
# shellcheck disable=SC2086
"$cli" analyse cats.dvt $study -o one.dvk >/dev/null 2>&1
# shellcheck disable=SC2086
"$cli" analyse cats.dvt $study --counts one.counts >/dev/null 2>&1

run() { # folder, map: runs the example in the folder
  mkdir -p "$1"
  (
    cd "$1"
    export MAP="$2" STUDY="$study" PIECES=3 OUT=study SUNDREL_CLI="$cli"
    if [ "$engine" = slurm ]; then
      timeout 300 bash "$examples/cluster/submit.sh" --wait
    else
      timeout 300 bash "$examples/cluster/parallel.sh"
    fi
  ) >"$1.out" 2>&1
}

run good "$work/cats.dvt" || { cat good.out >&2; cd good && fail "the $engine run failed"; }
cmp good/study.counts one.counts || fail "merged counts differ from one run's"
"$cli" report one.dvk --layer 1 -o one-report.txt
cmp good/study-report.txt one-report.txt || fail "the merged report differs from one run's"
"$cli" barriers one.dvk --layer 1 | sed 's/^1,/0,/' >one.csv
"$cli" barriers cats.dvt --counts good/study.counts >merged.csv
cmp one.csv merged.csv || fail "the barriers from the merged counts differ"
"$cli" gis one.dvk -o one.gpkg >/dev/null
"$cli" gis cats.dvt --counts good/study.counts -o merged.gpkg >/dev/null
# The significance features, without their feature and layer numbers.
features() { ogrinfo -q -al "$1" barriers | awk -v RS= '/kind \(String\) = significance/' | grep -v "OGRFeature\|layer (Integer)\|Layer name"; }
features one.gpkg >one-gis.txt
features merged.gpkg >merged-gis.txt
[ -s one-gis.txt ] && cmp one-gis.txt merged-gis.txt || { diff one-gis.txt merged-gis.txt | head >&2; fail "the GIS barriers layer differs"; }

# Every piece fails (no map): the run fails and nothing is merged.
if run bad "$work/missing.dvt"; then fail "a run whose pieces failed succeeded"; fi
[ ! -e bad/study.counts ] || fail "the merge ran after failed pieces"
echo "$engine: merged counts, report, barriers and GIS layer are those of one run"
