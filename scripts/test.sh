#!/usr/bin/env bash
# Sets up, builds with AddressSanitizer and UBSan and runs every test, then runs the concurrency tests
# under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$root/scripts/setup.sh"

# The parsers' fuzz targets (clang's libFuzzer): wavetables, URLs, update feeds and the recently-used list.
# Each runs a fixed number of inputs from a fixed seed, so a run is repeatable (anything it finds is found
# again by the next run), with TESSARAY_FUZZ_SECONDS as a cap on each; 0 skips fuzzing.
fuzz_seconds=${TESSARAY_FUZZ_SECONDS:-60}
if command -v clang++ >/dev/null 2>&1 && [ "$fuzz_seconds" -gt 0 ]; then
  cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTESSARAY_FUZZ=ON >/dev/null
  cmake --build "$root/build/fuzz"
  # target:inputs, sized to take about 15 s each on one core.
  for entry in wavetable:600000 url:600000 feed:200000 recent_documents:60000; do
    target=${entry%%:*}
    runs=${entry##*:}
    binary="$root/build/fuzz/fuzz/${target}_fuzz"
    seeds="$root/fuzz/seeds/$target"
    [ "$target" = wavetable ] && seeds="$root/build/fuzz/seeds"
    corpus=$(mktemp -d)
    echo "fuzzing $target: $runs inputs"
    (cd "$root/build/fuzz" && "$binary" -seed=1 -runs="$runs" -max_total_time="$fuzz_seconds" \
      -print_final_stats=1 "$corpus" "$seeds" 2>&1 | tail -n 12)
    rm -rf "$corpus"
  done
fi

cmake -S "$root" -B "$root/build/test" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSARAY_SANITIZE=ON >/dev/null
cmake --build "$root/build/test" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$root/build/test" && ctest --output-on-failure -j "$jobs" --timeout 600)

# The tests that cross threads (parameter tree, parameters, settings, audio unit, main queue, kernel),
# again under ThreadSanitizer, in a build folder of their own that holds only them (the tests carry their own
# TSAN_OPTIONS with the suppressions).
concurrency_targets=(platform_core_tests vimbra_core_tests vimbra_thread_tests platform_audiounit_tests zelto_core_tests
                     tessaray_settings_tests tessaray_audiounit_tests tessaray_dsp_thread_tests
                     tessaray_lv2_thread_tests platform_updater_tests platform_updater_instance_tests)
cmake -S "$root" -B "$root/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARAY_TSAN=ON \
  -DTESSARAY_BENCH=OFF >/dev/null
cmake --build "$root/build/tsan" -j "$jobs" --target "${concurrency_targets[@]}"
(cd "$root/build/tsan" && ctest --output-on-failure -j "$jobs" --timeout 600 -L concurrency)

# The editor in a real GTK host (jalv.gtk3 on Xvfb and a dummy JACK server). GTK hangs with the sanitizer
# runtime preloaded, so it runs from an unsanitized build folder of its own that holds only what it needs.
cmake -S "$root" -B "$root/build/hosts" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARAY_BENCH=OFF >/dev/null
cmake --build "$root/build/hosts" -j "$jobs" --target tessaray_lv2_bundle tessaray_lv2_jalv_editor_tests
(cd "$root/build/hosts" && ctest --output-on-failure --timeout 120 -L realhost)
