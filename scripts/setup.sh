#!/usr/bin/env bash
# Installs every Debian package that Tessaray's build, tests, tools and benchmarks need.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libfftw3-dev
  nlohmann-json3-dev libcurl4-openssl-dev libc-ares-dev libexpat1-dev libicu-dev libssl-dev desktop-file-utils
  libcairo2-dev libpango1.0-dev libfontconfig-dev fonts-dejavu-core fonts-dosis fonts-bebas-neue fonts-quicksand
  libx11-dev libxtst-dev libxcursor-dev libxfixes-dev xvfb xauth x11-utils
  libegl-dev libgl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  lv2-dev sordi liblilv-dev lilv-utils jalv jackd2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
