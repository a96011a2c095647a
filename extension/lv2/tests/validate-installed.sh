#!/bin/sh
# Installs tessaray.lv2 as 'cmake --install' does, into a scratch folder, and runs the LV2 validator over
# every Turtle file of the installed bundle. Any error or warning fails.
# Usage: validate-installed.sh CMAKE BUILD_FOLDER SCRATCH_FOLDER
set -u
cmake=$1 build=$2 scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
DESTDIR="$scratch" "$cmake" --install "$build" --component lv2 >/dev/null || { echo "install failed"; exit 1; }
bundle=$(find "$scratch" -type d -name tessaray.lv2 | head -n 1)
[ -n "$bundle" ] || { echo "no tessaray.lv2 was installed"; exit 1; }
command -v lv2_validate >/dev/null || { echo "lv2_validate is missing (Debian lv2-dev and sordi)"; exit 1; }
report=$(lv2_validate "$bundle"/*.ttl 2>&1)
status=$?
printf '%s\n' "$report" | grep -v '^Skipping'
[ "$status" -eq 0 ] || exit 1
printf '%s\n' "$report" | grep -q 'Found 0 errors' || exit 1
if printf '%s\n' "$report" | grep -qi 'warning'; then
  exit 1
fi
