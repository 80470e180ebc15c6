#!/bin/bash
# Runs a significance test as a Slurm job array of PIECES tasks and one merge
# job that starts when all of them have succeeded. Run it in the study's
# folder; the results are $OUT.counts and $OUT-report.txt, for
# `sundrel-cli barriers|gis|export MAP --counts $OUT.counts`.
#
#   MAP=cats.dvt PIECES=100 OUT=study \
#   STUDY="--genotypes nancycats.gen --bootstrap 10000 --seed 7 --sundrels 3" \
#   bash submit.sh [--wait]
#
# With --wait it returns when the merge has ended, with its exit status.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
: "${MAP:?name the map document: MAP=map.dvt}"
: "${STUDY:?give the analysis options: STUDY=\"--genotypes FILE --bootstrap M ...\"}"
PIECES="${PIECES:-100}"
OUT="${OUT:-study}"
export MAP STUDY PIECES OUT SUNDREL_CLI
mkdir -p parts
rm -f parts/merge.log
array=$(sbatch --parsable --array="1-$PIECES" "$here/piece.sbatch")
echo "pieces: job $array (tasks 1-$PIECES)"
# The merge waits for every piece to succeed; after a failed piece Slurm
# cancels it (its dependency can no longer be met).
sbatch --parsable --dependency="afterok:${array%%;*}" --kill-on-invalid-dep=yes "$@" "$here/merge.sbatch"
# `sbatch --wait` ends with status 0 for a job cancelled before it ran: a
# merge that never ran left no log.
if [ "${1:-}" = --wait ] && [ ! -e parts/merge.log ]; then
  echo "the merge did not run: a piece failed (see parts/piece-*.log)" >&2
  exit 1
fi
