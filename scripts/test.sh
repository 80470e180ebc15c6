#!/usr/bin/env bash
# Sets up, builds and runs every test: the release build (with the large
# command-line run on a million random sites, and the significance test in
# pieces on a single-node Slurm started for it and on GNU parallel), then the
# whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSUNDREL_TESTS=ON
cmake --build build -j"$jobs"
# A Slurm of its own for the cluster tests, stopped whatever happens.
eval "$(bash scripts/slurm-local.sh start)"
trap 'bash scripts/slurm-local.sh stop' EXIT
(cd build && SUNDREL_REQUIRE_CLUSTER=1 ctest --output-on-failure -j"$jobs")
bash scripts/slurm-local.sh stop
trap - EXIT
unset SLURM_CONF

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Asan -DSUNDREL_TESTS=ON -DSUNDREL_BENCH=OFF
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure -j"$jobs" -LE "large|cluster")
