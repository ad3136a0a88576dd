#!/usr/bin/env bash
# The command line under hostile use: failures end with a failing status and leave every
# existing output as it was, output names are refused before any work, interrupted runs leave
# no temporary files, endless programs stop at --timeout, animate's memory stays flat in the
# number of rows, and --fit frames the object.
# usage: robust_cli_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"
# Freed memory held back by the address sanitizer would hide whether memory stays flat.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:quarantine_size_mb=0"

cat > "$tmp/s.lv" <<'LV'
ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }
broken(x[3], a[0]) { broken = 1 / (x[1] - x[1]) + x[1]; }
late(x[3], a[1]) { late = 9 - x[1]^2 - x[2]^2 - x[3]^2 + 1 / (a[1] - 2); }
nothing(x[3], a[0]) { nothing = -1 - x[1]^2; }
spin(x[3], a[0]) { i = 0; while 1 loop i = i + 1; endloop; spin = 1; }
LV
: > "$tmp/none.lv"
printf 'precious\n' > "$tmp/old.bmp"
printf 'precious\n' > "$tmp/old.avi"
printf 'precious\n' > "$tmp/old1.png"

# same NAME FILE COPY: FILE still holds exactly what COPY holds.
same() { cmp -s "$2" "$3" && pass || fail "$1: $2 was changed"; }
cp "$tmp/s.lv" "$tmp/s.copy"
cp "$tmp/old.bmp" "$tmp/precious"

# No temporary or staged file may be left in the scratch folder.
no_litter() {
    local left
    left=$(find "$tmp" -name '.*tmp*' -o -name '.*part*' | head -3)
    [ -z "$left" ] && pass || fail "$1: left behind: $left"
}

# Failures are failures.
expect "check without objects" 1 "$tmp/none.lv has no objects" -- "$lv" check "$tmp/none.lv"
expect "render all samples failing" 1 "$tmp/s.lv:2:33: error: Division by zero" -- \
    "$lv" render "$tmp/s.lv" broken -o "$tmp/old.bmp"
expect "render failure count" 1 "17576 sample points failed; no picture written" -- \
    "$lv" render "$tmp/s.lv" broken -o "$tmp/old.bmp"
expect "render with nothing to draw" 1 "nothing to draw" -- \
    "$lv" render "$tmp/s.lv" nothing -o "$tmp/old.bmp"
expect "nothing to draw names the missing a values" 1 "are all 0: give them with --a" -- \
    "$lv" render "$tmp/s.lv" ball -o "$tmp/old.bmp"
same "failed renders" "$tmp/old.bmp" "$tmp/precious"

# Output names are checked before any work.
expect "render jpg refused" 2 "cannot write .jpg files; use .bmp or .png" -- \
    "$lv" render "$tmp/s.lv" ball -o "$tmp/out.jpg"
expect "render name without extension" 2 "the name has no extension; use .bmp or .png" -- \
    "$lv" render "$tmp/s.lv" ball -o "$tmp/out"
expect "animate mp4 refused" 2 "cannot write .mp4 files; use .avi" -- \
    "$lv" animate "$tmp/s.lv" ball -o "$tmp/film.mp4"
expect "frames jpg refused" 2 "--frames $tmp/fr.jpg: cannot write .jpg files" -- \
    "$lv" animate "$tmp/s.lv" ball -o "$tmp/film.avi" --frames "$tmp/fr.jpg"
expect "render over its program" 2 "cannot write .lv files" -- \
    "$lv" render "$tmp/s.lv" ball -o "$tmp/s.lv"
ln -s "$tmp/s.lv" "$tmp/link.bmp"
expect "render over its program through a link" 2 "same file as the input" -- \
    "$lv" render "$tmp/s.lv" ball -o "$tmp/link.bmp" --a 3
cp "$tmp/s.lv" "$tmp/prog.png"
expect "render over a program with a picture's name" 2 "same file as the input" -- \
    "$lv" render "$tmp/prog.png" ball -o "$tmp/prog.png" --a 3
ln -s "$tmp/s.lv" "$tmp/link.stl"
expect "mesh over its program through a link" 2 "same file as the input" -- \
    "$lv" mesh "$tmp/s.lv" ball -o "$tmp/link.stl" --a 3
same "refused outputs" "$tmp/s.lv" "$tmp/s.copy"
expect "points naming a folder" 2 "--points $tmp is a folder" -- \
    "$lv" eval "$tmp/s.lv" ball --points "$tmp"
for cmd in "render $tmp/s.lv ball -o $tmp/missing/x.bmp" \
           "animate $tmp/s.lv ball -o $tmp/missing/x.avi" \
           "mesh $tmp/s.lv ball -o $tmp/missing/x.stl"; do
    # shellcheck disable=SC2086
    expect "unwritable output: ${cmd%% *}" 2 "folder $tmp/missing does not exist" -- "$lv" $cmd
done
mkdir "$tmp/d.png"
expect "render into a folder" 2 "$tmp/d.png: is a folder" -- \
    "$lv" render "$tmp/s.lv" ball -o "$tmp/d.png" --a 3

# Long runs stop at --timeout.
expect "eval timeout" 1 "object 'spin' did not finish within 0.3 s" -- \
    "$lv" eval "$tmp/s.lv" spin --x 0,0,0 --timeout 0.3
expect "mesh timeout" 1 "object 'spin' did not finish" -- \
    "$lv" mesh "$tmp/s.lv" spin -o "$tmp/spin.stl" --grid 4,4,4 --timeout 0.3
expect "bad timeout" 2 "--timeout must be a number of seconds" -- \
    "$lv" eval "$tmp/s.lv" spin --x 0,0,0 --timeout -1
[ -e "$tmp/spin.stl" ] && fail "a stopped mesh was written" || pass

expect "model error shows a NUL in a name" 1 "object 1 'a\\0plate'" -- bash -c \
    "sed '0,/\"name\": \"/s//\"name\": \"a\\\\u0000/' '$src/examples/workshop.lvm' > '$tmp/nul.lvm';
     '$lv' scene '$tmp/nul.lvm'"
expect "animate help tells the numbering" 0 "BASE01..BASE12 for 12" -- "$lv" animate --help

probe=$("$lv" render "$tmp/s.lv" ball --a 3 -o "$tmp/probe.bmp" 2>&1)
if [[ "$probe" == *"no headless OpenGL"* ]]; then
    echo "SKIP picture checks: $probe"
    finish "robust cli tests"
fi

# The share of a bitmap's pixels that are not the white background, in percent.
coverage() {
    od -An -v -tx1 -j54 "$1" | tr -s ' \n' '\n\n' | grep . |
        awk '{b[NR % 4] = $1} NR % 4 == 0 { n++; if (b[1] b[2] b[3] != "ffffff") c++ }
             END { print int(100 * c / n) }'
}
expect "render fits by default" 0 "wrote $tmp/fit.bmp (160x120" -- \
    "$lv" render "$tmp/s.lv" ball --a 2 -o "$tmp/fit.bmp"
expect "render without fit" 0 "wrote $tmp/nofit.bmp" -- \
    "$lv" render "$tmp/s.lv" ball --a 2 -o "$tmp/nofit.bmp" --no-fit
fit=$(coverage "$tmp/fit.bmp")
nofit=$(coverage "$tmp/nofit.bmp")
[ "$fit" -ge 30 ] && [ "$fit" -le 80 ] && [ "$nofit" -lt 10 ] && pass ||
    fail "fitted ball covers $fit% (want 30..80), unfitted $nofit% (want < 10)"
# Framing also shrinks the box to the object, so the same grid resolves a small ball finer.
polygons() { "$lv" render "$tmp/s.lv" ball --a 1.5 "$@" | sed -E 's/.*, ([0-9]+) polygons.*/\1/'; }
fine=$(polygons -o "$tmp/small_fit.bmp")
coarse=$(polygons -o "$tmp/small_nofit.bmp" --no-fit)
[ "$fine" -gt $((10 * coarse)) ] && [ "$(coverage "$tmp/small_fit.bmp")" -ge 30 ] && pass ||
    fail "small ball: $fine polygons fitted, $coarse unfitted, $(coverage "$tmp/small_fit.bmp")%"
expect "render box and grid" 0 "wrote $tmp/boxed.bmp (40x30" -- "$lv" render "$tmp/s.lv" ball \
    --a 2 --box -3,-3,-3,3,3,3 --grid 9,9,9 --size 40,30 -o "$tmp/boxed.bmp"
expect "render timeout" 1 "object 'spin' did not finish" -- \
    "$lv" render "$tmp/s.lv" spin -o "$tmp/spin.bmp" --grid 4,4,4 --timeout 0.3
[ -e "$tmp/spin.bmp" ] && fail "a stopped render was written" || pass

# animate FILE.lv OBJECT, and all or nothing.
expect "animate an object" 0 "wrote $tmp/grow.avi (3 frames, 32x24, 2/3 s each)" -- \
    "$lv" animate "$tmp/s.lv" ball --a T1 --rows "1;2;3" --size 32,24 -o "$tmp/grow.avi" \
    --frames "$tmp/grow.png"
for k in 1 2 3; do
    head -c 4 "$tmp/grow$k.png" | grep -q PNG && pass || fail "frame $k of the film is a PNG"
done
expect "render png" 0 "wrote $tmp/ball.png" -- \
    "$lv" render "$tmp/s.lv" ball --a 2 -o "$tmp/ball.png"
head -c 4 "$tmp/ball.png" | grep -q PNG && pass || fail "render -o ball.png wrote a PNG"
cp "$tmp/old.avi" "$tmp/precious.avi"
cp "$tmp/old1.png" "$tmp/precious.png"
expect "frames in a missing folder" 2 "folder $tmp/missing does not exist" -- \
    "$lv" animate "$tmp/s.lv" ball --a T1 --rows "1;2" -o "$tmp/old.avi" \
    --frames "$tmp/missing/fr.png"
expect "a failing frame" 1 "in frame 2 of 3; no film written" -- \
    "$lv" animate "$tmp/s.lv" late --a T1 --rows "1;2;3" -o "$tmp/old.avi" \
    --frames "$tmp/old.png" --grid 6,6,6
same "failed film" "$tmp/old.avi" "$tmp/precious.avi"
same "failed frame file" "$tmp/old1.png" "$tmp/precious.png"
[ -e "$tmp/old2.png" ] && fail "a failed film wrote frame 2" || pass
expect "animate an object without time" 1 "(bind a values to T1, T2 or T3 with --a" -- \
    "$lv" animate "$tmp/s.lv" ball --a 2 -o "$tmp/none.avi"
expect "animate an object without rows" 1 "(give the rows with --rows" -- \
    "$lv" animate "$tmp/s.lv" ball --a T1 -o "$tmp/none.avi"
expect "animate rows need an object" 2 "--rows applies to FILE.lv OBJECT" -- \
    "$lv" animate "$src/examples/melting_droplets.lvm" -o "$tmp/m.avi" --rows 1
no_litter "failed runs"

# Memory stays flat in the number of rows: the peak for 500 rows is close to that for 50.
peak_kb() {
    "$@" > /dev/null 2>&1 &
    local pid=$! hwm=0 v
    while kill -0 "$pid" 2> /dev/null; do
        v=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2> /dev/null)
        [ -n "$v" ] && hwm=$v
        sleep 0.02
    done
    wait "$pid" || echo "status $?" >&2
    echo "$hwm"
}
rows() { seq -s';' 1 "$1" | sed 's/[0-9]*/2/g'; }
p50=$(peak_kb "$lv" animate "$tmp/s.lv" ball --a T1 --rows "$(rows 50)" --size 16,12 \
      --grid 8,8,8 --no-fit -o "$tmp/f50.avi")
p500=$(peak_kb "$lv" animate "$tmp/s.lv" ball --a T1 --rows "$(rows 500)" --size 16,12 \
       --grid 8,8,8 --no-fit -o "$tmp/f500.avi")
echo "animate peak memory: 50 rows ${p50} kB, 500 rows ${p500} kB"
[ "$p500" -gt 0 ] && [ "$p500" -le $((p50 + p50 / 10)) ] && pass ||
    fail "animate memory grows with rows: 50 rows ${p50} kB, 500 rows ${p500} kB"

# Interrupted while writing: the signal arrives while the staged film exists; nothing stays.
# Job control keeps SIGINT from being ignored by the background command.
set -m
for sig in INT TERM; do
    rm -f "$tmp/sig.avi"
    "$lv" animate "$tmp/s.lv" ball --a T1 --rows "$(rows 400)" --size 64,48 \
        --grid 12,12,12 --no-fit -o "$tmp/sig.avi" --frames "$tmp/sig.bmp" > /dev/null 2>&1 &
    pid=$!
    for _ in $(seq 200); do
        [ -n "$(find "$tmp" -name '.sig*')" ] && break
        sleep 0.02
    done
    [ -n "$(find "$tmp" -name '.sig*')" ] || fail "SIG$sig: no temporary file seen"
    { kill -s "$sig" "$pid"; wait "$pid"; status=$?; } 2> /dev/null # no job report
    want=$((128 + $(kill -l "$sig")))
    [ "$status" -eq "$want" ] && pass || fail "SIG$sig: status $status, want $want"
    no_litter "SIG$sig"
    [ -e "$tmp/sig.avi" ] && fail "SIG$sig: an interrupted film was put in place" || pass
done

finish "robust cli tests"
