#!/bin/sh
# Times the effect and two peer LV2 plug-ins (rubberband's stereo pitch shifter and calf's vocoder) on the
# same generated dense stereo signal, counting only the run calls, and prints x real time for each. Installs
# nothing: plug-ins that are not installed are skipped. Not run by CI.
#
# Usage: bench/peers/compare-peers.sh [BUILD_DIR]   (default build/release; its lv2/ folder holds our bundle)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck disable=SC2046
c++ -std=c++20 -O2 -o "$work/lv2time" "$here/lv2time.cpp" $(pkg-config --cflags --libs lilv-0)

LV2_PATH="$(cd "$build" && pwd)/lv2:${LV2_PATH:-$HOME/.lv2:/usr/local/lib/lv2:/usr/lib/lv2}"
export LV2_PATH
installed=$(lv2ls)

run() {
    if printf '%s\n' "$installed" | grep -qx "$1"; then
        "$work/lv2time" "$@"
    else
        echo "$1: not installed, skipped"
    fi
}

# Our worst settings: 64 bands from 200 Hz to 16 kHz, 20 ms slices, blur 30, feedback 40, mix 70, age 50.
run https://tessaray.com/lv2/tessaray bands=64 lowFrequency=200 highFrequency=16000 slice=20 blur=30 \
    feedback=40 mix=70 age=50
run http://breakfastquay.com/rdf/lv2-rubberband#stereo
run http://calf.sourceforge.net/plugins/Vocoder
