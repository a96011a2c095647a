#!/usr/bin/env bash
# Builds the release plug-in and installs tessaray.lv2 where LV2 hosts look: ~/.lv2, or the directory given
# as the first argument (for example /usr/local/lib/lv2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
destination=()
if [ $# -gt 0 ]; then
  destination=(-DTESSARAY_LV2_INSTALL_DIR="$(realpath -m "$1")")
fi
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARAY_TESTS=OFF \
  "${destination[@]}" >/dev/null
cmake --build "$root/build/release"
cmake --install "$root/build/release" --component lv2
