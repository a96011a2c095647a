#!/usr/bin/env bash
# Sets up, builds (release) and renders the built-in demo signal through the effect.
# Extra arguments go to tessaray-render; the default writes tessaray-demo.wav.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARAY_TESTS=OFF >/dev/null
cmake --build "$root/build/release"
if [ $# -eq 0 ]; then
  set -- -o tessaray-demo.wav
fi
"$root/build/release/tools/tessaray-render" "$@"
