#!/usr/bin/env bash
# Builds and runs the Google Benchmark programs in bench/ (Release, no sanitizers).
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh
lv_ensure_deps
build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLV_TESTS=OFF -DLV_BENCH=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
for b in "$build"/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" "$@"
done
