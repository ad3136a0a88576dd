#!/usr/bin/env bash
# Installs what is missing, builds a Release build and runs the main job on a bundled example.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh
lv_ensure_deps
build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
lv="$build/cli/lumovar"
example=examples/csg_part.lv
echo "== lumovar check $example"
"$lv" check "$example"
echo "== lumovar eval $example part at the origin and outside"
"$lv" eval "$example" part --x 0,0,0
"$lv" eval "$example" part --x 9,9,9
