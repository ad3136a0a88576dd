#!/usr/bin/env bash
# lumovar mesh with pruning (the default) and with --no-prune: the same .poly bytes, the same
# messages and exit status, for every example object and model and a corpus of shapes.
# usage: prune_cli_tests.sh LUMOVAR SOURCE_DIR examples|corpus|families (parts that run in
# parallel; families: quadrics, transforms, blends, blobs, splines and convolution fields)
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

if [ "$part" = families ]; then
cat > "$tmp/families.lv" <<'LV'
torus(x[3], a[0]) {
    array c[3];
    c = [0.3, -0.2, 0.1];
    torus = lvtorusz(x, c, 2, 0.6) | lvtorusx(x, c, 2.2, 0.4);
}
quadrics(x[3], a[0]) {
    array c[3], e[3];
    c = [0, 0, 0];
    e = [0.5, 0.5, -0.5];
    quadrics = (lvellipsoid(x, c, 3, 2, 1.5) \ lvellcylz(x, e, 1, 0.5))
        | (lvconey(x, e, 0.5) & (2 - abs(x[2])));
}
blobs(x[3], a[1]) {
    array xc[3], yc[3], zc[3], b[3], d[3], k[3];
    xc = [-1.2, 0.8, 0.3];
    yc = [0, 0.5, -0.6];
    zc = [0, 0.3, 1];
    b = [1, 1.5, -0.4];
    d = [2.4, 2, 1.5];
    k = [1.2, 1, 2];
    xc[2] = a[1];
    blobs = lvmetaball(x, xc, yc, zc, b, d, 0.3) + lvblobby(x, xc, yc, zc, k, b, 0.2)
        + lvsoft(x, xc, yc, zc, d, 0.2) - lvfmapblob(x, 0.4, xc, yc, zc, b, d);
}
bar(x[3], a[0]) {
    array p[3], corner[3];
    corner = [-0.8, -0.6, -2.5];
    p[1] = x[1];
    p[2] = x[2];
    p[3] = x[3];
    t = lvrotate3dx(p, 0.4) + lvtwistz(p, -2.5, 2.5, 0, 2) + lvtapery(p, -3, 3, 1.5, 0.6);
    t = lvshift3d(p, 0.1, 0, 0) + lvstretch3d(p, corner, 1.2, 0.9, 1) + lvscale3d(p, 1, 1, 1.1);
    bar = lvblock(p, corner, 1.6, 1.2, 5);
}
blend(x[3], a[0]) {
    array c[3], b[3];
    c = [0, 0, 0];
    b = [-2.5, -1, -1];
    blend = lvblenduni(lvsphere(x, c, 1.2), lvcylinderx(x, c, 0.4) & lvblock(x, b, 5, 2, 2), 0.4,
        1, 1) | lvblendint(lvellipsoid(x, c, 2, 2, 1), x[3] + 0.3, -0.3, 0.5, 0.5);
}
splines(x[3], a[0]) {
    array box[6], k[27], bb[6], kk[64];
    box = [-3, -2, -1.5, 3, 2, 1.5];
    k = [-1, -1, -1, -1, -1, -1, -1, -1, -1,
         -1, -1, -1, -1, 12, -1, -1, -1, -1,
         -1, -1, -1, -1, -1, -1, -1, -1, -1];
    bb = [-1, -3, -3, 1.5, 3, 3];
    i = 1;
    while i <= 64 loop
        kk[i] = sin(i * 0.7) * 2;
        i = i + 1;
    endloop;
    splines = lvBezierSplineF(x, 3, 3, 3, box, k) | lvCubicBSplineF(x, 4, 4, 4, bb, kk);
}
points(x[3], a[0]) {
    array p[9], s[3];
    p = [0, 0, 1, 1, 0, -1, -1, 0.5, 0];
    s = [1.4, 1, 0.8];
    points = lvconvpoint(x, p, s, 0.3);
}
LV
# Grids from 20 to 200 (thin in Z where the shape is costly) and several EPS and ALPHA values.
for object in torus quadrics blobs bar blend points; do
    same "$object grid 20" "$tmp/families.lv" "$object" --grid 20,20,20 --box -4,-4,-4,4,4,4
    same "$object grid 40" "$tmp/families.lv" "$object" --grid 40,40,16 --box -4,-4,-4,4,4,4
done
same "splines grid 40" "$tmp/families.lv" splines --grid 40,40,8 --box -4,-4,-1,4,4,1
same "blobs grid 120" "$tmp/families.lv" blobs --grid 120,120,4 --box -4,-4,-0.2,4,4,0.2
same "bar grid 120" "$tmp/families.lv" bar --grid 120,120,4 --box -4,-4,0.5,4,4,1
same "torus grid 200" "$tmp/families.lv" torus --grid 200,200,2 --box -4,-4,-0.1,4,4,0.1
for eps in 0.001 0.3; do
    same "blobs eps $eps" "$tmp/families.lv" blobs --grid 40,40,8 --box -4,-4,-4,4,4,4 --a 0.5 \
        --eps $eps
    same "bar eps $eps" "$tmp/families.lv" bar --grid 40,40,8 --box -4,-4,-4,4,4,4 --eps $eps
done
# Convolution fields with their bounds switched on: the skeleton example's figure.
for grid in 20 40; do
    same "figure grid $grid" "$src/examples/skeleton.lv" figure --grid $grid,$grid,16 --a 0.5 \
        --box -4,-4,-4,4,4,5 --prune-convolution
done
same "blend alpha 1" "$tmp/families.lv" blend --grid 40,40,16 --box -4,-4,-4,4,4,4 --alpha 1
finish "prune_cli_tests families"
fi

# Min, max and if decided for whole blocks (their points and sub-blocks run shorter
# programs): ties at equal values, operands that fail at some points, a generated union.
if [ "$part" = shortened ]; then
{
    echo 'union(x[3], a[0]) {'
    echo '    u = -1;'
    for i in $(seq 1 80); do
        cx=$(( (i * 37) % 160 - 80 )); cy=$(( (i * 53) % 160 - 80 )); r=$(( 2 + i % 5 ))
        if [ $((i % 2)) -eq 0 ]; then
            echo "    u = max(u, 0.$r - sqrt((x[1] - $cx / 10)^2 + (x[2] - $cy / 10)^2));"
        else
            echo "    u = max(u, min(0.$r - abs(x[1] - $cx / 10), 0.$r - abs(x[2] - $cy / 10)));"
        fi
    done
    echo '    union = min(u, 1 - abs(x[3]));'
    echo '}'
    echo 'nested(x[3], a[0]) {'
    printf '    nested = -1'
    for i in $(seq 1 60); do
        printf '\n        | 0 * 0 + max(0.%d - abs(x[1] - %d / 10), 1 - abs(x[2] + x[3] - %d / 10))' \
            "$(( 3 + i % 6 ))" "$(( (i * 29) % 140 - 70 ))" "$(( (i * 31) % 140 - 70 ))"
    done
    echo ';'
    echo '}'
} > "$tmp/generated.lv"
cat > "$tmp/decided.lv" <<'LV'
ties(x[3], a[0]) {
    ties = max(x[1], x[2]) - min(x[2], x[3]) + max(x[1] - x[1], 0) - max(x[3], 1) * 0.5;
}
branches(x[3], a[0]) {
    t = max(x[1], 2 - x[2]);
    if t > 1 then
        r = min(t, 3) - sqrt(x[1]^2 + x[3]^2);
    else
        r = max(t, x[3]) - 0.5;
    endif;
    branches = min(r, 4 - abs(x[2]));
}
failing(x[3], a[0]) {
    failing = max(9 - x[1]^2 - x[2]^2 - x[3]^2, sqrt(x[1] - 2) - 3) + min(x[2], 1 / x[3]) * 0.01;
}
stairs(x[3], a[0]) {
    n = 0;
    while n < x[1] loop
        n = n + 1;
    endloop;
    if x[2] > 1 then
        if x[3] > 0 then
            s = max(3 - abs(x[3]) - n * 0.5, x[1] - 4);
        else
            s = min(2.5 - abs(x[1]), 2 - abs(x[3] + 1));
        endif;
    else
        s = 3 - abs(x[1] + 1) - abs(x[2]) - abs(x[3]) * 0.5;
    endif;
    stairs = min(s, 4.5 - abs(x[2]));
}
looping(x[3], a[0]) {
    s = -4;
    i = 1;
    while i <= 4 loop
        s = max(s, 1 - abs(x[1] - i) - abs(x[2] + i * 0.5) - abs(x[3]));
        i = i + 1;
    endloop;
    looping = s;
}
LV
same "union grid 80" "$tmp/generated.lv" union --grid 80,80,10 --box -9,-9,-0.5,9,9,0.5
same "union grid 44 eps" "$tmp/generated.lv" union --grid 44,44,34 --box -9,-9,-1.5,9,9,1.5 \
    --eps 0.01
same "nested grid 40" "$tmp/generated.lv" nested --grid 40,40,40 --box -8,-8,-8,8,8,8
for object in ties branches stairs failing looping; do
    same "$object grid 40" "$tmp/decided.lv" "$object" --grid 40,40,40 --box -5,-5,-5,5,5,5
    same "$object grid 64" "$tmp/decided.lv" "$object" --grid 64,64,16 --box -6,-6,-2,6,6,2
done
if "$lv" mesh "$tmp/decided.lv" failing --grid 40,40,40 --box -5,-5,-5,5,5,5 -o "$tmp/f.poly" \
    2>&1 | grep -q "sample points failed"; then pass; else fail "failing: no failures"; fi
finish "prune_cli_tests shortened"
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
