#!/usr/bin/env bash
# Sets up, builds, and runs the main job on the bundled example: the map of
# the example sampling sites, saved as build/example.dvt and described.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSUNDREL_TESTS=OFF
cmake --build build -j"$(nproc)" --target sundrel-cli

build/sundrel-cli map examples/sites.txt --first-line 2 -o build/example.dvt
build/sundrel-cli info build/example.dvt
