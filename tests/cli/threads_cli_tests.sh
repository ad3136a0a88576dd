#!/usr/bin/env bash
# Sampling on any number of threads writes the same mesh files and reports the same errors.
# usage: threads_cli_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"

# Fails on the plane x = 0 and, through a loop and a taken branch, on part of the plane y = 0.
cat > "$tmp/rough.lv" <<'LV'
rough(x[3], a[0]) {
  s = 0; i = 0;
  while i < 3 and i < x[3] + 2 loop
    s = s + 0.5 * i; i = i + 1;
  endloop;
  if x[2] > 0 then s = s + 1; endif;
  if x[1] > 5 then s = s + sqrt(x[2]); endif;
  rough = 30 - x[1]^2 - x[2]^2 - x[3]^2 + s + 0.01 / x[1];
}
LV

# same_output NAME ARGS...: the run with 1 thread is the reference for 2 and 7 threads (every
# grid point sampled, so that all of them go through the threads).
same_output() {
    local name="$1"
    shift
    local reference=""
    for threads in 1 2 7; do
        "$lv" mesh "$@" -o "$tmp/$threads.poly" --threads "$threads" --no-prune \
            > "$tmp/$threads.out" 2>&1
        echo "status $?" >> "$tmp/$threads.out"
        sed -i "s|$tmp/$threads.poly|OUT|" "$tmp/$threads.out"
        if [ -z "$reference" ]; then
            reference=1
        elif cmp -s "$tmp/1.poly" "$tmp/$threads.poly" && cmp -s "$tmp/1.out" "$tmp/$threads.out"; then
            pass
        else
            fail "$name: $threads threads differ from 1"
            diff "$tmp/1.out" "$tmp/$threads.out" | head -5
        fi
    done
}

same_output "csg part" "$src/examples/csg_part.lv" part --grid 17,23,13
same_output "blobs" "$src/examples/blobs.lv" cloud --grid 14,14,14
same_output "twisted taper" "$src/examples/twisted_taper.lv" lyingbar --grid 14,15,13
same_output "failing points" "$tmp/rough.lv" rough --grid 20,20,20
same_output "model file" "$src/examples/workshop.lvm"
expect "failures reported" 1 "sample points failed" -- "$lv" mesh "$tmp/rough.lv" rough -o "$tmp/r.poly" --grid 20,20,20 --threads 3
expect "first error" 1 "Division by zero" -- "$lv" mesh "$tmp/rough.lv" rough -o "$tmp/r.poly" --grid 20,20,20 --threads 3
expect "threads refused" 2 "--threads needs a whole number from 1 to 256" -- "$lv" mesh "$tmp/rough.lv" rough -o "$tmp/r.poly" --threads 0
expect "threads not a number" 2 "--threads needs a whole number" -- "$lv" mesh "$tmp/rough.lv" rough -o "$tmp/r.poly" --threads two
expect "render threads refused" 2 "--threads needs a whole number" -- "$lv" render "$src/examples/workshop.lvm" -o "$tmp/w.png" --threads 999

finish "threads cli tests"
