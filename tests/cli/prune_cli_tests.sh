#!/usr/bin/env bash
# lumovar mesh with pruning (the default) and with --no-prune: the same .poly bytes, the same
# messages and exit status, for every example object and model and a corpus of shapes.
# usage: prune_cli_tests.sh LUMOVAR SOURCE_DIR examples|corpus (two halves that run in parallel)
set -u
lv="$1"
src="$2"
part="$3"
source "$(dirname "$0")/cli_test_lib.sh"

# same NAME ARGS...: runs mesh both ways and compares output file, messages and status.
same() {
    local name="$1"
    shift
    local s1 s2
    mkdir -p "$tmp/p" "$tmp/n"
    (cd "$tmp/p" && "$lv" mesh "$@" -o out.poly > "$tmp/p.out" 2> "$tmp/p.err")
    s1=$?
    (cd "$tmp/n" && "$lv" mesh "$@" -o out.poly --no-prune > "$tmp/n.out" 2> "$tmp/n.err")
    s2=$?
    if [ "$s1" -ne "$s2" ]; then
        fail "$name: status $s1 pruned, $s2 not"
    elif ! cmp -s "$tmp/p.err" "$tmp/n.err" || ! cmp -s "$tmp/p.out" "$tmp/n.out"; then
        fail "$name: messages differ"
        diff "$tmp/p.err" "$tmp/n.err" | head -5
    elif [ -e "$tmp/n/out.poly" ] && ! cmp -s "$tmp/p/out.poly" "$tmp/n/out.poly"; then
        fail "$name: polygons differ"
    else
        pass
    fi
    rm -f "$tmp/p/out.poly" "$tmp/n/out.poly"
}

# Every example object at grid 40 (the smallest that prunes) and every example model.
if [ "$part" = examples ]; then
for file in "$src"/examples/*.lv; do
    for object in $(grep -o '^[a-z_]*(' "$file" | tr -d '('); do
        same "$(basename "$file") $object" "$file" "$object" --grid 40,40,40
    done
done
for model in "$src"/examples/*.lvm; do
    same "$(basename "$model")" "$model"
done
finish "prune_cli_tests examples"
fi

cat > "$tmp/corpus.lv" <<'LV'
ball(x[3], a[0]) { ball = 9 - x[1]^2 - x[2]^2 - x[3]^2; }
ring(x[3], a[0]) { ring = 1 - (sqrt(x[1]^2 + x[2]^2) - 4)^2 - x[3]^2; }
csg(x[3], a[0]) {
    array c[3], v[3];
    c = [1, 0, 0];
    v = [-3, -3, -3];
    csg = (lvblock(x, v, 6, 6, 6) \ lvsphere(x, c, 3.2)) | lvcylinderz(x, c, 1);
}
gyroid(x[3], a[0]) {
    gyroid = (sin(x[1]) * cos(x[2]) + sin(x[2]) * cos(x[3]) + sin(x[3]) * cos(x[1]))
        & (36 - x[1]^2 - x[2]^2 - x[3]^2);
}
steps(x[3], a[0]) {
    i = 1;
    t = 0;
    while i <= 3 loop
        t = t + x[i]^2;
        i = i + 1;
    endloop;
    if x[3] > 1 then
        r = 20 - t;
    else
        r = 30 - t - x[1];
    endif;
    steps = r;
}
holes(x[3], a[0]) { holes = 25 - x[1]^2 - x[2]^2 - x[3]^2 + 1 / max(x[1] + 2, 0); }
roots(x[3], a[0]) { roots = sqrt(x[1] + 3) - 2 + min(x[2], 4 - x[3]) * 0.1; }
LV
for object in ball ring csg gyroid steps holes roots; do
    same "$object alpha 0" "$tmp/corpus.lv" "$object" --grid 44,40,48 --box -7,-7,-7,7,7,7
done
# The failing objects fail the same way both times (compared above): make sure they fail.
for object in holes roots; do
    same "$object fails" "$tmp/corpus.lv" "$object" --grid 40,40,40
    if grep -q "sample points failed" "$tmp/p.err"; then pass; else fail "$object: no failures"; fi
done
for alpha in 0.5 1; do
    same "csg alpha $alpha" "$tmp/corpus.lv" csg --grid 48,48,48 --alpha "$alpha"
    same "gyroid alpha $alpha" "$tmp/corpus.lv" gyroid --grid 40,40,40 --alpha "$alpha"
done
for eps in 0.001 0.1; do
    same "steps eps $eps" "$tmp/corpus.lv" steps --grid 40,40,40 --eps "$eps"
    same "holes eps $eps" "$tmp/corpus.lv" holes --grid 40,40,40 --eps "$eps"
done
# Large grids on cheap shapes: most of the box is skipped.
same "ball 200" "$tmp/corpus.lv" ball --grid 200,200,40
same "csg 80" "$tmp/corpus.lv" csg --grid 80,80,80
same "csg_part 64" "$src/examples/csg_part.lv" part --grid 64,64,64

finish "prune_cli_tests corpus"
