#!/usr/bin/env bash
# Drives lumovar raytrace: its refusals, a missing or failing POV-Ray (exit 1, no picture left
# behind), and a real picture and kept scene when POV-Ray is installed.
# usage: raytrace_cli_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"
export TMPDIR="$tmp/scratch"
mkdir -p "$TMPDIR"

printf 'ball(x[3], a[0]) { ball = 16 - x[1]^2 - x[2]^2 - x[3]^2; }\n' > "$tmp/ball.lv"
printf 'sized(x[3], a[1]) { sized = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }\n' > "$tmp/sized.lv"
printf 'cut(x[3], a[0]) {\n  cut = 16 - x[1]^2 - x[2]^2 - x[3]^2 + 0 / x[1];\n}\n' > "$tmp/cut.lv"

# model NAME CAMERA_POSITION: a model file holding the ball, seen from CAMERA_POSITION.
model() {
    cat > "$tmp/$1.lvm" <<LVM
{"format": "lumovar-model", "version": 1, "eps": 1e-06, "alpha": 0.0,
 "settings": {"defaultBox": [-10, -10, -10, 10, 10, 10], "timeDefaults": [0, 0, 0],
  "camera": {"position": [$2], "lookAt": [0, 0, 0], "sky": [0, 1, 0]},
  "rayImageSize": [48, 36], "rayBackground": [255, 255, 255],
  "polyImageSize": [80, 60], "polyBackground": [255, 255, 255],
  "surfaceKind": 2, "flatShading": 1, "lighting": 1, "dithering": 0, "antialiasing": 0},
 "timeCurve": [[1, 0, 0], [2, 0, 0]],
 "objects": [{"name": "ball", "source": "ball.lv", "function": "ball",
   "x": [{"kind": "X", "value": 0}, {"kind": "Y", "value": 0}, {"kind": "Z", "value": 0}],
   "a": [], "transform": {"translate": [0, 0, 0], "rotate": [0, 0, 0], "scale": [1, 1, 1]},
   "customBox": 0, "box": [-10, -10, -10, 10, 10, 10], "grid": [10, 10, 10],
   "polyColour": [0, 255, 0], "rayColour": [0, 255, 0], "autoMaxGradient": 1,
   "maxGradient": 10.0, "accuracy": 0.001}]}
LVM
}
model ball 10,10,10
model blind 0,0,0

# no_picture NAME: the refused or failed command left no picture and no temporary folder.
no_picture() {
    if [ -e "$tmp/out.png" ] || [ -n "$(ls -A "$TMPDIR")" ]; then
        fail "$1 left files behind: $(ls "$tmp/out.png" "$TMPDIR" 2>&1 | tr '\n' ' ')"
    else
        pass
    fi
}

expect "raytrace help" 0 "LUMOVAR_POVRAY" -- "$lv" raytrace --help
expect "raytrace needs -o" 2 "-o OUT.png is required" -- "$lv" raytrace "$tmp/ball.lvm"
expect "raytrace bad size" 2 "--size must be W,H" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" --size 10
expect "raytrace huge size" 2 "outside 1..8192" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" --size 9000,10
expect "raytrace resolution" 2 "--resolution must be a whole number from 1 to 1000" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" --resolution 0
expect "raytrace frame beyond the curve" 2 "--frame 3 is beyond the 2 rows" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" --frame 3
expect "raytrace unknown object" 2 "no object named 'cube'" -- \
    "$lv" raytrace "$tmp/ball.lv" cube -o "$tmp/out.png"
expect "raytrace object flags on a model" 2 "--a applies to FILE.lv OBJECT" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" --a 3
expect "raytrace bad object flag" 2 "--grid" -- \
    "$lv" raytrace "$tmp/sized.lv" sized -o "$tmp/out.png" --grid 0,1,1
expect "raytrace picture format" 2 "-o $tmp/out.jpg" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.jpg"
no_picture "usage errors"

expect "raytrace without povray on PATH" 1 \
    "povray was not found on PATH; install the Debian package povray" -- \
    env -u LUMOVAR_POVRAY PATH="$tmp" "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png"
no_picture "a missing povray"
expect "raytrace with a missing LUMOVAR_POVRAY" 1 \
    "LUMOVAR_POVRAY names '$tmp/none', which is not an executable program" -- \
    env LUMOVAR_POVRAY="$tmp/none" "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png"
no_picture "a missing LUMOVAR_POVRAY"

# A ray tracer that never ends (a stand-in with a child of its own): --timeout, SIGINT and
# SIGTERM end both processes at once and leave no picture and no temporary folder.
cat > "$tmp/slowray" <<SH
#!/bin/sh
sleep 30 &
echo "\$\$ \$!" > "$tmp/pids.tmp"
mv "$tmp/pids.tmp" "$tmp/pids"
wait
SH
chmod +x "$tmp/slowray"
printf 'spin(x[3], a[0]) { i = 0; while 1 loop i = i + 1; endloop; spin = 1; }\n' > "$tmp/spin.lv"

# ended NAME: both processes of the stand-in have ended within two seconds.
ended() {
    local a b p state alive
    read -r a b < "$tmp/pids" || { fail "$1: the stand-in never ran"; return; }
    rm -f "$tmp/pids"
    for _ in $(seq 20); do
        alive=""
        for p in $a $b; do
            state=$(sed -E 's/.*\) (.).*/\1/' "/proc/$p/stat" 2> /dev/null)
            [ -n "$state" ] && [ "$state" != Z ] && alive="$alive $p"
        done
        [ -z "$alive" ] && { pass; return; }
        sleep 0.1
    done
    fail "$1: the ray tracer's processes$alive still run"
}

millis() { echo $(($(date +%s%N) / 1000000)); }

start=$(millis)
expect "raytrace timeout while tracing" 1 \
    "lumovar raytrace: POV-Ray did not finish within 0.5 s (--timeout)" -- \
    env LUMOVAR_POVRAY="$tmp/slowray" "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" \
    --timeout 0.5
took=$(($(millis) - start))
[ "$took" -lt 2500 ] && pass || fail "a timeout of 0.5 s took $took ms"
ended "timeout while tracing"
no_picture "a raytrace timed out while tracing"
expect "raytrace timeout while sampling" 1 "object 'spin' did not finish within 0.3 s" -- \
    env LUMOVAR_POVRAY="$tmp/slowray" "$lv" raytrace "$tmp/spin.lv" spin -o "$tmp/out.png" \
    --grid 4,4,4 --timeout 0.3
[ -e "$tmp/pids" ] && fail "the ray tracer ran after a timeout while sampling" || pass
no_picture "a raytrace timed out while sampling"
expect "raytrace bad timeout" 2 "--timeout must be a number of seconds" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" --timeout 0

# Job control, so that the background command does not start with SIGINT ignored.
set -m
for sig in INT TERM; do
    LUMOVAR_POVRAY="$tmp/slowray" "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/out.png" \
        > /dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do [ -e "$tmp/pids" ] && break; sleep 0.1; done
    start=$(millis)
    kill -"$sig" "$pid"
    wait "$pid" 2> /dev/null
    status=$?
    took=$(($(millis) - start))
    [ "$status" -eq $((128 + $(kill -l "$sig"))) ] && pass ||
        fail "SIG$sig while tracing: exit status $status"
    [ "$took" -lt 2000 ] && pass || fail "SIG$sig while tracing took $took ms"
    ended "SIG$sig while tracing"
    no_picture "SIG$sig while tracing"
done
set +m

if ! command -v povray > /dev/null; then
    echo "SKIP runs of POV-Ray: povray is not installed"
    finish "raytrace cli tests"
fi

expect "raytrace failing scene" 1 "Parse Error: Camera location and look_at point must be" -- \
    "$lv" raytrace "$tmp/blind.lvm" -o "$tmp/out.png"
no_picture "a failing scene"
expect "raytrace failing scene says so" 1 "lumovar raytrace: POV-Ray failed (exit status" -- \
    "$lv" raytrace "$tmp/blind.lvm" -o "$tmp/out.png"

expect "raytrace model" 0 "wrote $tmp/ball.png (48x36)" -- \
    "$lv" raytrace "$tmp/ball.lvm" -o "$tmp/ball.png" --frame 2
[ "$(head -c 4 "$tmp/ball.png" | tail -c 3)" = "PNG" ] && pass || fail "picture is a PNG"
expect "raytrace object kept" 0 "kept $tmp/kept/scene.pov" -- \
    "$lv" raytrace "$tmp/ball.lv" BALL -o "$tmp/ball.bmp" --size 32,24 --resolution 4 \
    --keep "$tmp/kept"
[ "$(head -c 2 "$tmp/ball.bmp")" = "BM" ] && pass || fail "picture is a bitmap"
expect "raytrace object shaped by flags" 0 "wrote $tmp/sized.png (48x36)" -- \
    "$lv" raytrace "$tmp/sized.lv" sized -o "$tmp/sized.png" --size 48,36 --a 3 \
    --box -4,-4,-4,4,4,4 --grid 8,8,8 --keep "$tmp/sized"
grep -q 'scale <9, 9, 9> translate <-4, -4, -4>' "$tmp/sized/scene.pov" && pass ||
    fail "--box and --grid reach the scene"
[ "$(stat -c %s "$tmp/kept/object1.df3")" -eq $((6 + 5 * 5 * 5 * 2)) ] && pass ||
    fail "kept density of 5 points per axis"
[ -z "$(ls -A "$TMPDIR")" ] && pass || fail "temporary folders left: $(ls "$TMPDIR")"

# Pruning (the default) and --no-prune write the same density files and report the same
# failures.
for shape in ball cut; do
    for how in pruned no-prune; do
        flag=$([ "$how" = pruned ] || echo --no-prune)
        "$lv" raytrace "$tmp/$shape.lv" "$shape" -o "$tmp/$how.png" --size 16,12 \
            --resolution 40 --keep "$tmp/$shape-$how" $flag > /dev/null 2> "$tmp/$shape-$how.err"
    done
    cmp -s "$tmp/$shape-pruned/object1.df3" "$tmp/$shape-no-prune/object1.df3" && pass ||
        fail "$shape: density files differ with and without pruning"
    cmp -s "$tmp/$shape-pruned.err" "$tmp/$shape-no-prune.err" && pass ||
        fail "$shape: messages differ with and without pruning"
done
grep -q "sample points failed" "$tmp/cut-pruned.err" && pass || fail "cut fails at resolution 40"
rm -f "$tmp/pruned.png" "$tmp/no-prune.png"

expect "raytrace failed sample points" 1 \
    "$tmp/cut.lv:2:43: error: Division by zero"$'\n'"lumovar raytrace: 441 sample points failed; no picture written" -- \
    "$lv" raytrace "$tmp/cut.lv" cut -o "$tmp/out.png" --resolution 20
no_picture "failed sample points"

# Terminated while sampling, it leaves neither picture nor temporary folder.
"$lv" raytrace "$tmp/ball.lv" ball -o "$tmp/out.png" --resolution 400 > /dev/null 2>&1 &
sleep 1
kill -TERM $!
wait $!
[ $? -eq $((128 + 15)) ] && pass || fail "terminated raytrace ends with SIGTERM's status"
no_picture "a terminated raytrace"

finish "raytrace cli tests"
