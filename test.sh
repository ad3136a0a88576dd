#!/usr/bin/env bash
# Builds every target (the benchmark programs too, which are only checked to list their
# benchmarks) with warnings as errors, AddressSanitizer and UndefinedBehaviorSanitizer, then runs
# every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh
lv_ensure_deps
lv_ensure_comma_locale
build=build-test
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLV_WERROR=ON -DLV_SANITIZE=ON \
      -DLV_TESTS=ON -DLV_BENCH=ON "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The desktop tests must not reach (or start) a session bus; see tests/CMakeLists.txt.
export DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/lumovar-test-bus
log="$build/ctest-output.log"
if ctest --test-dir "$build" --output-on-failure --timeout 600 -j"$(nproc)" "$@" 2>&1 | tee "$log"; then
    exit 0
fi
# LeakSanitizer's exit-time tracer now and then crashes on its own ("Tracer caught signal 11")
# after a test has passed. Only then are the failed tests run once more; a real failure fails
# again.
if grep -q "LeakSanitizer has encountered a fatal error" "$log"; then
    echo "LeakSanitizer's tracer crashed; running the failed tests once more"
    ctest --test-dir "$build" --output-on-failure --timeout 600 --rerun-failed "$@"
else
    exit 1
fi
