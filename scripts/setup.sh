#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages the build and the tests need and
# that are not there yet.
set -euo pipefail

packages=(cmake make g++ libgtest-dev libbenchmark-dev zlib1g-dev
  qt6-base-dev libqt6opengl6-dev libgl2ps-dev libglu1-mesa-dev libgl-dev libegl-dev
  libegl-mesa0 libgl1-mesa-dri xvfb xauth ghostscript fonts-dejavu-core
  libproj-dev libgdal-dev gdal-bin
  slurmctld slurmd slurm-client munge parallel)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
