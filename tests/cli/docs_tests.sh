#!/usr/bin/env bash
# Runs the examples of the user's guides in docs/: every program compiles (or fails with the
# error shown), every model file loads, and every command of a console block exits as shown
# with the output lines that follow it.
# usage: docs_tests.sh LUMOVAR SOURCE_DIR
set -u
lv="$1"
src="$2"
source "$(dirname "$0")/cli_test_lib.sh"
export PATH="$(cd "$(dirname "$lv")" && pwd):$PATH"

# Writes every ```lv NAME, ```lv-error NAME and ```lvm NAME block to $tmp/NAME and lists
# "KIND NAME" lines; console blocks go to $tmp/console.txt.
for doc in "$src"/docs/*.md; do
    awk -v dir="$tmp" -v list="$tmp/files.txt" -v console="$tmp/console.txt" '
        /^```(lv|lv-error|lvm) [^ ]+$/ { kind = substr($1, 4); file = dir "/" $2;
                                          print kind, $2 >> list; printf "" > file; next }
        /^```console$/ { kind = "console"; next }
        /^```/ { kind = ""; next }
        kind == "console" { print >> console; next }
        kind != "" { print >> file }
    ' "$doc"
done
[ -s "$tmp/files.txt" ] && pass || fail "no examples found in docs/"

cd "$tmp" || exit 1
while read -r kind name; do
    case "$kind" in
    lv) expect "docs: $name compiles" 0 "" -- lumovar check "$name" ;;
    lv-error)
        want=$(sed -n 's/^-- error: //p' "$name" | head -1)
        [ -n "$want" ] || fail "docs: $name shows no '-- error:' line"
        expect "docs: $name fails as shown" 1 "$want" -- lumovar check "$name" ;;
    lvm) expect "docs: $name loads" 0 "" -- lumovar scene "$name" ;;
    esac
done < "$tmp/files.txt"

gl=yes
probe=$(lumovar render ball.lv ball --a 3 -o probe.bmp 2>&1)
[[ "$probe" == *"no headless OpenGL"* ]] && gl=no && echo "SKIP drawing examples: $probe"

# run_example COMMAND EXPECTED_LINES: runs one console command and checks it.
run_example() {
    local cmd="$1" lines="$2" status=0 out want line
    [[ "$cmd" =~ \#\ exit\ ([0-9]+) ]] && status=${BASH_REMATCH[1]}
    if [ "$gl" = no ] && [[ "$cmd" == *"lumovar render"* || "$cmd" == *"lumovar animate"* ]]; then
        return
    fi
    out=$(bash -c "$cmd" 2>&1)
    want=$?
    if [ "$want" -ne "$status" ]; then
        fail "docs: '$cmd' exited $want, the guide says $status: $out"
        return
    fi
    while IFS= read -r line; do
        [ -z "$line" ] && continue
        [[ "$out" == *"$line"* ]] || { fail "docs: '$cmd' printed no '$line': $out"; return; }
    done <<< "$lines"
    pass
}
cmd=""
expected=""
while IFS= read -r line; do
    if [[ "$line" == '$ '* ]]; then
        [ -n "$cmd" ] && run_example "$cmd" "$expected"
        cmd="${line#\$ }"
        expected=""
    else
        expected+="$line"$'\n'
    fi
done < "$tmp/console.txt"
[ -n "$cmd" ] && run_example "$cmd" "$expected"

finish "docs examples"
