#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one of them.
# usage: fuzz/run_fuzz.sh [TARGET] [SECONDS]   (default: compile_fuzz for 60 seconds)
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:-compile_fuzz}"
seconds="${2:-60}"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLV_FUZZ=ON -DLV_TESTS=OFF >/dev/null
cmake --build "$build" --target "$target" -j"$(nproc)"
corpus="fuzz-corpus/$target"
mkdir -p "$corpus"
seeds="fuzz/seeds/$target"
[ -d "$seeds" ] || seeds=""
if [ "$target" = compile_fuzz ] && [ -d examples ]; then seeds="$seeds examples"; fi
"$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=8192 "$corpus" $seeds
