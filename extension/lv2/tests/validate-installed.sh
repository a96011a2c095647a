#!/bin/sh
# Installs tessaray.lv2 as 'cmake --install --prefix /usr' does, into a scratch folder, checks that every file
# lands under the prefix's lib/lv2/tessaray.lv2, and runs the LV2 validator over every Turtle file of the
# installed bundle. Any error or warning fails.
# Usage: validate-installed.sh CMAKE BUILD_FOLDER SCRATCH_FOLDER
set -u
cmake=$1 build=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
DESTDIR="$scratch" "$cmake" --install "$build" --component lv2 --prefix /usr >/dev/null || { echo "install failed"; exit 1; }
bundle="$scratch/usr/lib/lv2/tessaray.lv2"
[ -f "$bundle/manifest.ttl" ] || { echo "no tessaray.lv2 was installed under the prefix's lib/lv2"; exit 1; }
outside=$(find "$scratch" -type f ! -path "$bundle/*" | head -n 5)
[ -z "$outside" ] || { echo "installed outside the prefix's lib/lv2/tessaray.lv2:"; echo "$outside"; exit 1; }
command -v lv2_validate >/dev/null || { echo "lv2_validate is missing (Debian lv2-dev and sordi)"; exit 1; }
report=$(lv2_validate "$bundle"/*.ttl 2>&1)
status=$?
printf '%s\n' "$report" | grep -v '^Skipping'
[ "$status" -eq 0 ] || exit 1
printf '%s\n' "$report" | grep -q 'Found 0 errors' || exit 1
if printf '%s\n' "$report" | grep -qi 'warning'; then
  exit 1
fi
