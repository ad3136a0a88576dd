#!/usr/bin/env bash
# A run-time error in a called object is reported at the callee's own file and position, the
# same way by eval, mesh, render, animate and raytrace: an earlier object of the same file, and an
# object of the --lib library file.
# usage: callee_error_cli_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"

# q divides by zero at its line 2, column 14 wherever x[1] is 0.
printf 'q(x[3], a[1]) {\n    q = 1 - 1 / x[1]; }\np(x[3], a[1]) {\n    p = q(x, a) - a[1]; }\n' \
    > "$tmp/same.lv"
printf 'lib_q(x[3], a[1]) {\n  lib_q = x[2] + 1 / x[1]; }\n' > "$tmp/lib.lv"
printf 'user(x[3], a[1]) { user = lib_q(x, a) - a[1]; }\n' > "$tmp/user.lv"
same="$tmp/same.lv:2:15: error: Division by zero"
lib="$tmp/lib.lv:2:20: error: Division by zero"

grid=(--grid 4,4,4 --box -3,-3,-3,3,3,3)
expect "eval same file" 1 "$same" -- "$lv" eval "$tmp/same.lv" p --x 0,0,0 --a 1
expect "eval library" 1 "$lib" -- "$lv" eval "$tmp/user.lv" user --x 0,1,1 --a 1 --lib "$tmp/lib.lv"
expect "mesh same file" 1 "$same" -- "$lv" mesh "$tmp/same.lv" p -o "$tmp/s.stl" --a 1 "${grid[@]}"
expect "mesh library" 1 "$lib" -- \
    "$lv" mesh "$tmp/user.lv" user -o "$tmp/u.stl" --a 1 --lib "$tmp/lib.lv" "${grid[@]}"
out=$("$lv" mesh "$tmp/same.lv" p -o "$tmp/s.stl" --a 1 "${grid[@]}" 2>&1)
[[ "$out" != *"in object"* ]] && pass || fail "mesh names the object instead of its file: $out"

probe=$("$lv" render "$tmp/same.lv" p -o "$tmp/probe.bmp" --size 16,12 --a 1 2>&1)
if [[ "$probe" == *"no headless OpenGL"* ]]; then
    echo "SKIP render checks: $probe"
else
    expect "render same file" 1 "$same" -- \
        "$lv" render "$tmp/same.lv" p -o "$tmp/s.png" --size 16,12 --a 1 "${grid[@]}"
    expect "render library" 1 "$lib" -- \
        "$lv" render "$tmp/user.lv" user -o "$tmp/u.png" --size 16,12 --a 1 --lib "$tmp/lib.lv" "${grid[@]}"
    out=$("$lv" render "$tmp/same.lv" p -o "$tmp/s.png" --size 16,12 --a 1 "${grid[@]}" 2>&1)
    [[ "$out" != *"in object"* ]] && pass || fail "render adds the object names: $out"
fi
if command -v povray >/dev/null; then
    expect "raytrace same file" 1 "$same" -- \
        "$lv" raytrace "$tmp/same.lv" p -o "$tmp/s.png" --size 16,12 --a 1 "${grid[@]}"
    expect "raytrace library" 1 "$lib" -- \
        "$lv" raytrace "$tmp/user.lv" user -o "$tmp/u.png" --size 16,12 --a 1 \
        --lib "$tmp/lib.lv" "${grid[@]}"
else
    echo "SKIP raytrace checks: povray is not installed"
fi
finish callee_error_cli_tests
