#!/usr/bin/env bash
# Runs the plug-in in jalv, a real JACK host, on a private JACK server with the dummy driver: the plug-in
# must load, run, apply a factory preset from the host's preset list and take a control change.
# Usage: jalv_session.sh PLUGIN_URI [LD_PRELOAD library for a sanitized plug-in]
set -uo pipefail
uri=$1
preload=${2:-}
if ! command -v jalv >/dev/null || ! command -v jackd >/dev/null; then
  echo "jalv or jackd is not installed"
  exit 77
fi

export JACK_DEFAULT_SERVER="tessaray-test-$$"
export JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime -d dummy -r 48000 -p 256 >"${TMPDIR:-/tmp}/$JACK_DEFAULT_SERVER.log" 2>&1 &
jack=$!
trap 'kill $jack 2>/dev/null; wait $jack 2>/dev/null' EXIT
for _ in $(seq 50); do
  jack_lsp >/dev/null 2>&1 && break
  sleep 0.1
done

host=(jalv)
if [ -n "$preload" ]; then
  host=(env LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 jalv)
fi
output=$( (sleep 1; echo presets; sleep 0.5; echo "preset $uri#preset-ghost-choir"; sleep 0.5; echo controls
           sleep 0.5; echo "mix = 30"; sleep 0.5; echo controls; sleep 0.5) |
          timeout 20 "${host[@]}" -x -n tessaray-jalv-$$ "$uri" 2>&1)
status=$?
echo "$output" | tail -n 25
[ $status -eq 0 ] || { echo "jalv exited with $status"; exit 1; }
# Ghost Choir's band count and slice, then the changed mix.
grep -q "bands = 24.000000" <<<"$output" || { echo "the preset did not reach the controls"; exit 1; }
grep -q "slice = 60.000000" <<<"$output" || { echo "the preset did not reach the controls"; exit 1; }
grep -q "mix = 30.000000" <<<"$output" || { echo "the control change did not arrive"; exit 1; }
echo "jalv ran the plug-in"
