#!/usr/bin/env bash
# Builds the release plug-in and installs tessaray.lv2 where LV2 hosts look: into ~/.lv2, or into the directory
# given as the first argument (for example /usr/local/lib/lv2). The destination is given on every run; the
# build remembers none.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
destination=$(realpath -m "${1:-$HOME/.lv2}")
if [ -e "$destination" ] && [ ! -d "$destination" ]; then
  echo "install-lv2.sh: '$destination' is not a directory" >&2
  exit 1
fi
if [ -e "$destination/tessaray.lv2" ] && [ ! -d "$destination/tessaray.lv2" ]; then
  echo "install-lv2.sh: '$destination/tessaray.lv2' is not a directory; leaving it alone" >&2
  exit 1
fi
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARAY_TESTS=OFF \
  -DTESSARAY_LV2_INSTALL_DIR=lib/lv2 >/dev/null
cmake --build "$root/build/release"
# Installed under a scratch prefix first, then copied into place over any earlier install.
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
cmake --install "$root/build/release" --component lv2 --prefix "$staging" >/dev/null
mkdir -p "$destination/tessaray.lv2"
cp -R "$staging/lib/lv2/tessaray.lv2/." "$destination/tessaray.lv2/"
echo "installed $destination/tessaray.lv2"
