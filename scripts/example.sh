#!/usr/bin/env bash
# Sets up, builds, and runs the main job on the bundled example: the map of
# the example sampling sites, a single run on the observed distances and a
# significance test on ten resampled matrices, saved as a sundrel document
# with both reports, the barriers as CSV, and a bitmap and a PostScript figure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSUNDREL_TESTS=OFF
cmake --build build -j"$(nproc)" --target sundrel-cli

cli=build/sundrel-cli
$cli map examples/sites.txt --first-line 2 -o build/example.dvt
$cli analyse build/example.dvt examples/distances.txt --sundrels 3 \
    -o build/example.dvk --report build/example-single-report.txt
$cli analyse build/example.dvk examples/resampled.txt --matrices 10 --gap 1 --sundrels 3 \
    -o build/example.dvk --report build/example-significance-report.txt
$cli barriers build/example.dvk > build/example-barriers.csv
$cli export build/example.dvk -o build/example.bmp
$cli export build/example.dvk -o build/example.ps
$cli info build/example.dvk
echo "Written: build/example.dvt, build/example.dvk, build/example-single-report.txt,"
echo "         build/example-significance-report.txt, build/example-barriers.csv,"
echo "         build/example.bmp, build/example.ps"
