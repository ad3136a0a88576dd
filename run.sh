#!/usr/bin/env bash
# Installs what is missing, builds a Release build, then: with a display, opens the desktop
# application on a bundled example; without one (or with --headless), runs the main job on the
# bundled examples: compiles a program, evaluates it, then renders a model to a picture and an
# animated model to a film and says where they are.
set -euo pipefail
cd "$(dirname "$0")"
source tools/ensure-deps.sh
lv_ensure_deps
build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLV_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
lv="$build/cli/lumovar"

if [ "${1:-}" != "--headless" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    echo "== lumovar examples/csg_part.lv (desktop application)"
    exec "$lv" examples/csg_part.lv
fi
out=out
mkdir -p "$out"

echo "== lumovar check examples/csg_part.lv"
"$lv" check examples/csg_part.lv
echo "== lumovar eval: F of 'part' at the origin (inside) and at (9, 9, 9) (outside)"
"$lv" eval examples/csg_part.lv part --x 0,0,0
"$lv" eval examples/csg_part.lv part --x 9,9,9
echo "== lumovar render examples/workshop.lvm"
"$lv" render examples/workshop.lvm -o "$out/workshop.png" --size 640,480
echo "== lumovar animate examples/melting_droplets.lvm"
"$lv" animate examples/melting_droplets.lvm -o "$out/melting_droplets.avi" \
    --frames "$out/melting_droplets.png" --size 320,240
echo "== lumovar mesh examples/workshop.lvm"
"$lv" mesh examples/workshop.lvm -o "$out/workshop.stl"
echo
echo "Pictures, film and mesh are in $(pwd)/$out"
