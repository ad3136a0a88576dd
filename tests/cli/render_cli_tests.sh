#!/usr/bin/env bash
# Drives lumovar render and lumovar animate headless and checks the pictures and films they
# write, decoding them with ffprobe/ffmpeg when those are installed.
# usage: render_cli_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"

cat > "$tmp/ball.lv" <<'LV'
ball(x[3], a[1]) {
    array c[3];
    c = [0, 0, 0];
    ball = lvsphere(x, c, a[1]);
}
LV

# model NAME OBJECT_A_KIND TIME_CURVE OBJECTS(0/1): a model file with one ball or none.
model() {
    local object=""
    if [ "$4" = 1 ]; then
        object='{"name": "ball", "source": "ball.lv", "function": "ball",
          "x": [{"kind": "X", "value": 0}, {"kind": "Y", "value": 0}, {"kind": "Z", "value": 0}],
          "a": [{"kind": "'"$2"'", "value": 4}],
          "transform": {"translate": [0, 0, 0], "rotate": [0, 0, 0], "scale": [1, 1, 1]},
          "customBox": 0, "box": [-10, -10, -10, 10, 10, 10], "grid": [12, 12, 12],
          "polyColour": [0, 255, 0], "rayColour": [0, 255, 0], "autoMaxGradient": 1,
          "maxGradient": 10.0, "accuracy": 0.001}'
    fi
    cat > "$tmp/$1.lvm" <<LVM
{"format": "lumovar-model", "version": 1, "eps": 1e-06, "alpha": 0.0,
 "settings": {"defaultBox": [-10, -10, -10, 10, 10, 10], "timeDefaults": [4, 0, 0],
  "camera": {"position": [10, 10, 10], "lookAt": [0, 0, 0], "sky": [0, 1, 0]},
  "rayImageSize": [160, 120], "rayBackground": [255, 255, 255],
  "polyImageSize": [80, 60], "polyBackground": [255, 255, 255],
  "surfaceKind": 2, "flatShading": 1, "lighting": 1, "dithering": 0, "antialiasing": 0},
 "timeCurve": [$3],
 "objects": [$object]}
LVM
}
model still constant "" 1
model growing T1 "[2, 0, 0], [3, 0, 0], [4, 0, 0]" 1
model uncurved T1 "" 1
model empty constant "" 0

# Without headless OpenGL there is nothing to draw: say so and skip the picture checks.
probe=$("$lv" render "$tmp/still.lvm" -o "$tmp/probe.bmp" 2>&1)
if [[ "$probe" == *"no headless OpenGL"* ]]; then
    echo "SKIP picture checks: $probe"
else
    expect "render bitmap" 0 "wrote $tmp/still.bmp (80x60, " -- \
        "$lv" render "$tmp/still.lvm" -o "$tmp/still.bmp"
    head -c 2 "$tmp/still.bmp" | grep -q BM || fail "bitmap signature"
    [ "$(stat -c %s "$tmp/still.bmp")" -eq $((54 + 80 * 60 * 4)) ] || fail "bitmap size"
    expect "render png at a size" 0 "wrote $tmp/ball.png (64x48, " -- \
        "$lv" render "$tmp/ball.lv" BALL -o "$tmp/ball.png" --size 64,48 --a 4
    expect "animate" 0 "wrote $tmp/film.avi (3 frames, 80x60, 2/3 s each)" -- \
        "$lv" animate "$tmp/growing.lvm" -o "$tmp/film.avi" --frames "$tmp/frame.bmp"
    for k in 1 2 3; do [ -s "$tmp/frame$k.bmp" ] || fail "frame $k written"; done
    if command -v ffprobe > /dev/null; then
        size=$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$tmp/ball.png")
        [ "$size" = "64,48" ] && pass || fail "png decodes as 64x48: $size"
        times=$(ffprobe -v error -show_entries frame=pts_time -of csv=p=0 "$tmp/film.avi" |
                tr '\n' ' ')
        [ "$times" = "0.000000 0.666667 1.333333 " ] && pass ||
            fail "film frames 2/3 s apart: $times"
        rate=$(ffprobe -v error -show_entries stream=r_frame_rate -of csv=p=0 "$tmp/film.avi")
        [ "$rate" = "15/1" ] && pass || fail "film rate: $rate"
        ffmpeg -v error -i "$tmp/frame2.bmp" -f null - && pass ||
            fail "frame bitmap decodes"
        if command -v ffmpeg > /dev/null; then
            expect "animate with mp4 and gif" 0 "wrote $tmp/film.gif" -- \
                "$lv" animate "$tmp/growing.lvm" -o "$tmp/film2.avi" --mp4 "$tmp/film.mp4" \
                --gif "$tmp/film.gif"
            codec=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 \
                    "$tmp/film.mp4")
            [ "$codec" = "h264,80,60" ] && pass || fail "mp4 is h264 80x60: $codec"
            codec=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$tmp/film.gif")
            [ "$codec" = "gif" ] && pass || fail "gif decodes: $codec"
            # Without ffmpeg on PATH the command says so before drawing anything.
            mkdir -p "$tmp/nobin"
            expect "animate mp4 without ffmpeg" 2 "ffmpeg is not installed" -- \
                env PATH="$tmp/nobin" "$lv" animate "$tmp/growing.lvm" -o "$tmp/y.avi" \
                --mp4 "$tmp/y.mp4"
            [ -e "$tmp/y.avi" ] && fail "a film was written although ffmpeg is missing"
        fi
    else
        echo "SKIP decoding checks: no ffprobe"
    fi
fi

expect "render needs -o" 2 "-o OUT.bmp|OUT.png is required" -- "$lv" render "$tmp/still.lvm"
expect "render empty model" 1 "Model must contain at least one object to render" -- \
    "$lv" render "$tmp/empty.lvm" -o "$tmp/x.bmp"
expect "render bad size" 2 "--size must be W,H" -- \
    "$lv" render "$tmp/still.lvm" -o "$tmp/x.bmp" --size 10
expect "render huge size" 2 "outside 1..8192" -- \
    "$lv" render "$tmp/still.lvm" -o "$tmp/x.bmp" --size 100000,10
expect "render missing model" 2 "cannot read $tmp/none.lvm" -- \
    "$lv" render "$tmp/none.lvm" -o "$tmp/x.bmp"
expect "render unknown object" 2 "no object named 'cube'" -- \
    "$lv" render "$tmp/ball.lv" cube -o "$tmp/x.bmp"
expect "animate without time parameters" 1 \
    "Some objects in model must have some time dependent parameters" -- \
    "$lv" animate "$tmp/still.lvm" -o "$tmp/x.avi"
expect "animate without a time curve" 1 "Animation Time Curve must be defined" -- \
    "$lv" animate "$tmp/uncurved.lvm" -o "$tmp/x.avi"
expect "animate help" 0 "--frames" -- "$lv" animate --help
expect "animate mp4 name" 2 "--mp4" -- \
    "$lv" animate "$tmp/growing.lvm" -o "$tmp/x.avi" --mp4 "$tmp/x.avi"
[ -e "$tmp/x.bmp" ] || [ -e "$tmp/x.avi" ] && fail "a refused command wrote a file"

finish "render cli tests"
