#!/usr/bin/env bash
# Drives the lumovar executable the way users do and checks output and exit status.
# usage: run_cli_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"

cat > "$tmp/cube.lv" <<'LV'
cube(x[3], a[1]) { cube = 1 - x[1]^2; }
Twice(x[1], a[0]) { twice = 2 * x[1]; }
LV
printf 'lib_div(x[1], a[0]) {\n  lib_div = 1 / x[1]; }\n' > "$tmp/lib.lv"
printf 'user(x[1], a[0]) { user = lib_div(x, 0) + 1; }\n' > "$tmp/user.lv"
printf 'p(x[1], a[0]) {\n  p = x[1] +; }\n' > "$tmp/bad.lv"
printf 'p(x[1], a[0])\r\n{ p = x[1]; }\r\n' > "$tmp/crlf.lv"
printf 'p(x[1], a[0])\r{ p = x[1]; }\n' > "$tmp/cr.lv"
printf '1 2 3\n\n# comment\n0.5,0,0\n1 2\n3 0 0\n' > "$tmp/points.txt"

expect "check lists objects" 0 $'cube x[3] a[1]\ntwice x[1] a[0]' -- "$lv" check "$tmp/cube.lv"
expect "check dump" 0 $'cube x[3] a[1]\n  slots 4 nested 0\n  code 8 9 99 100 3 0 9 101 24 21\n  constants 1 1 2\n  strings\n  callees' -- "$lv" check --dump "$tmp/cube.lv"
expect "check disasm" 0 $'cube x[3] a[1]\n     0  slotsquare  slot 0  @1:35\n     1  rsubk       1  @1:29\n     2  result  @1:20\n' -- "$lv" check --disasm "$tmp/cube.lv"
expect "compile error position" 1 "$tmp/bad.lv:2:13: error: Expression expected" -- "$lv" check "$tmp/bad.lv"
expect "missing file" 2 "cannot read $tmp/none.lv" -- "$lv" check "$tmp/none.lv"
expect "directory" 2 "cannot read $tmp" -- "$lv" check "$tmp"
expect "CR LF accepted" 0 "p x[1] a[0]" -- "$lv" check "$tmp/crlf.lv"
expect "bare CR refused" 2 "carriage return" -- "$lv" check "$tmp/cr.lv"
expect "library" 0 "user x[1] a[0]" -- "$lv" check "$tmp/user.lv" --lib "$tmp/lib.lv"
expect "without library" 1 "Unassigned identificator used in expression" -- "$lv" check "$tmp/user.lv"
expect "unknown option" 2 "unknown option '--bogus'" -- "$lv" check --bogus "$tmp/cube.lv"
expect "check help" 0 "--lib" -- "$lv" check --help
expect "top help" 0 "eval" -- "$lv" --help
expect "unknown command" 2 "unknown command" -- "$lv" frobnicate

expect "eval value" 0 "0.75" -- "$lv" eval "$tmp/cube.lv" cube --x 0.5,0,0 --a 7
expect "eval any case" 0 "6" -- "$lv" eval "$tmp/cube.lv" TWICE --x 3
expect "eval x count" 2 "--x must give 3 values" -- "$lv" eval "$tmp/cube.lv" cube --x 1,2 --a 0
expect "eval a count" 2 "--a must give 1 values" -- "$lv" eval "$tmp/cube.lv" cube --x 1,2,3
expect "eval bad number" 2 "'1e999' is not a finite number" -- "$lv" eval "$tmp/cube.lv" twice --x 1e999
expect "eval unknown object" 2 "no object named 'ball'" -- "$lv" eval "$tmp/cube.lv" ball --x 1
expect "eval error in library" 1 "$tmp/lib.lv:2:15: error: Division by zero" -- "$lv" eval "$tmp/user.lv" user --x 0 --lib "$tmp/lib.lv"
expect "eval eps refused" 2 "Range error: EPS must be between (0.0 .. +1.0)" -- "$lv" eval "$tmp/cube.lv" twice --x 1 --eps 1
expect "eval alpha refused" 2 "Range error: ALPHA must be in [-1.0 .. +1.0]" -- "$lv" eval "$tmp/cube.lv" twice --x 1 --alpha 2
expect "eval eps applies" 1 "Division by zero" -- "$lv" eval "$tmp/user.lv" user --x 0.4 --eps 0.5 --lib "$tmp/lib.lv"
expect "eval points" 1 $'0\n0.75\n'"$tmp/points.txt:5: error: expected 3 values, got 2"$'\n-8' -- "$lv" eval "$tmp/cube.lv" cube --points "$tmp/points.txt" --a 0
expect "eval stdin" 0 $'2\n4' -- bash -c "printf '1\n2\n' | '$lv' eval '$tmp/cube.lv' twice --points -"

# mesh: every format, counts, flags and run-time failures at sample points.
printf 'ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }\n' > "$tmp/ball.lv"
printf 'holey(x[3], a[0]) { holey = 4 - x[1]^2 - x[2]^2 - x[3]^2 + 1 / x[1]; }\n' > "$tmp/holey.lv"
expect "mesh stl" 0 "wrote $tmp/b.stl" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/b.stl" --a 5 --grid 8,8,8
stl_triangles=$(od -An -t u4 -j 80 -N 4 "$tmp/b.stl" | tr -d ' ')
counts=$("$lv" mesh "$tmp/ball.lv" ball -o "$tmp/b.poly" --a 5 --grid 8,8,8 | head -1)
tri=$(echo "$counts" | sed -E 's/.*: ([0-9]+) triangles, ([0-9]+) quadrilaterals/\1/')
quad=$(echo "$counts" | sed -E 's/.*: ([0-9]+) triangles, ([0-9]+) quadrilaterals/\2/')
if [ "$stl_triangles" -eq $((tri + 2 * quad)) ] && [ "$(wc -l < "$tmp/b.poly")" -eq $((tri + quad)) ]; then
    pass
else
    fail "mesh counts: stl $stl_triangles, poly $(wc -l < "$tmp/b.poly"), reported $counts"
fi
for ext in obj ply wrl; do
    expect "mesh $ext" 0 "wrote $tmp/b.$ext" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/b.$ext" --a 5 --grid 6,6,6
done
printf 'keep' > "$tmp/c.stl"
expect "mesh empty" 1 "the surface of object 'ball' does not cross its box 5,5,5,6,6,6 at grid 25,25,25; no file written" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/c.stl" --a 1 --box 5,5,5,6,6,6
[ "$(cat "$tmp/c.stl")" = keep ] && pass || fail "mesh empty changed the existing file"
expect "mesh 3mf" 0 "wrote $tmp/b.3mf" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/b.3mf" --a 5 --grid 6,6,6
[ -s "$tmp/b.mtl" ] && grep -q "^newmtl ball" "$tmp/b.mtl" && pass || fail "mesh obj wrote no .mtl"
expect "mesh bad box" 2 "--box needs 6 numbers" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/c.stl" --box 1,1,1,0,2,2
expect "mesh bad grid" 2 "--grid needs 3 whole numbers" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/c.stl" --grid 0,5,5
expect "mesh bad format" 2 "-o must end in" -- "$lv" mesh "$tmp/ball.lv" ball -o "$tmp/c.txt"
expect "mesh model flags" 2 "--grid applies to FILE.lv OBJECT" -- "$lv" mesh "$src/examples/workshop.lvm" -o "$tmp/w.stl" --grid 5,5,5
expect "mesh failures" 1 "$tmp/holey.lv:1:62: error: Division by zero" -- "$lv" mesh "$tmp/holey.lv" holey -o "$tmp/h.stl" --grid 4,4,4 --box -3,-3,-3,3,3,3
expect "mesh failure count" 1 "25 sample points failed" -- "$lv" mesh "$tmp/holey.lv" holey -o "$tmp/h.stl" --grid 4,4,4 --box -3,-3,-3,3,3,3
[ -s "$tmp/h.stl" ] && pass || { fail "mesh with failures wrote no file"; }
expect "mesh model" 0 "wrote $tmp/w.ply" -- "$lv" mesh "$src/examples/workshop.lvm" -o "$tmp/w.ply"

# scene: model files and one-object models.
expect "scene object" 0 "isosurface" -- "$lv" scene "$tmp/ball.lv" ball
expect "scene frame beyond" 2 "beyond" -- "$lv" scene "$src/examples/melting_droplets.lvm" --frame 99
expect "scene bad model" 1 "$tmp/bad.lvm: error: malformed JSON: parse error at line 2, column 1" -- bash -c "echo '{' > '$tmp/bad.lvm'; '$lv' scene '$tmp/bad.lvm'"

for ex in "$src"/examples/*.lv; do
    [ -e "$ex" ] || continue
    expect "example $(basename "$ex") compiles" 0 "" -- "$lv" check "$ex"
done

finish "cli"
