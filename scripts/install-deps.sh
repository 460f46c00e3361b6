#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need. Safe to run again:
# it only installs what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libplist-dev libsqlite3-dev libssl-dev
  libpng-dev libjpeg-dev libpoppler-glib-dev libpoppler-cpp-dev poppler-utils mupdf-tools libcairo2-dev liburiparser-dev duktape-dev libyuv-dev libtiff-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
