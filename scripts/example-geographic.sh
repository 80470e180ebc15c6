#!/usr/bin/env bash
# The bundled example as a study in degrees: the sites (longitude, latitude)
# projected around their centre, a single run and a significance test, the
# results as a GeoPackage for a GIS, and a figure over a coastline backdrop
# (examples/coast.geojson, coarse outlines drawn by hand for the example).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSUNDREL_TESTS=OFF
cmake --build build -j"$(nproc)" --target sundrel-cli

cli=build/sundrel-cli
$cli map examples/sites.txt --first-line 2 --geographic -o build/alps.dvt
$cli analyse build/alps.dvt examples/distances.txt --sundrels 3 -o build/alps.dvk
$cli analyse build/alps.dvk examples/resampled.txt --matrices 10 --gap 1 --sundrels 3 -o build/alps.dvk
$cli info build/alps.dvk
$cli gis build/alps.dvk -o build/alps.gpkg
$cli export build/alps.dvk -o build/alps-coast.png --width 800 --height 800 \
    --view -300000,300000,-330000,270000 --backdrop examples/coast.geojson \
    --backdrop-line '#3060a0' --backdrop-size 1.5 --backdrop-fill '#b8d8f0'
echo "Written: build/alps.dvt(.prj), build/alps.dvk(.prj), build/alps.gpkg, build/alps-coast.png"
