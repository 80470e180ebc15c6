#!/bin/bash
# The same significance test on one workstation with GNU parallel: PIECES
# pieces, as many at a time as there are cores, then the merge. parallel
# exits with the number of pieces that failed, and the merge runs only when
# none did.
#
#   MAP=cats.dvt PIECES=8 OUT=study \
#   STUDY="--genotypes nancycats.gen --bootstrap 1000 --seed 7 --sundrels 3" bash parallel.sh
set -euo pipefail
: "${MAP:?}" "${STUDY:?}"
PIECES="${PIECES:-8}"
OUT="${OUT:-study}"
cli="${SUNDREL_CLI:-sundrel-cli}"
mkdir -p parts
# shellcheck disable=SC2086
parallel --halt now,fail=1 "$cli" analyse "$MAP" $STUDY --piece {}/"$PIECES" \
    --counts parts/{}.counts --report parts/{}.trace ::: $(seq "$PIECES")
"$cli" merge parts/*.counts -o "$OUT.counts" --reports parts/*.trace --report "$OUT-report.txt"
