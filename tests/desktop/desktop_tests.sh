#!/usr/bin/env bash
# The desktop integration: the launcher entry validates, the file types register *.lv and
# *.lvm, `cmake --install` puts everything in place, and the subcommands still run with no
# display at all.
# usage: desktop_tests.sh LUMOVAR SOURCE_DIR BUILD_DIR
lv="$1"
src="$2"
build="$3"
source "$src/tests/cli/cli_test_lib.sh"

expect "desktop entry validates" 0 "" -- desktop-file-validate "$src/desktop/lumovar.desktop"

mkdir -p "$tmp/mime/packages"
cp "$src/desktop/lumovar-mime.xml" "$tmp/mime/packages/lumovar.xml"
expect "mime types register" 0 "" -- update-mime-database "$tmp/mime"
expect "source glob" 0 "text/x-lumovar-source:*.lv" -- cat "$tmp/mime/globs"
expect "model glob" 0 "application/x-lumovar-model:*.lvm" -- cat "$tmp/mime/globs"

expect "install" 0 "" -- cmake --install "$build" --prefix "$tmp/prefix"
for f in bin/lumovar share/applications/lumovar.desktop share/mime/packages/lumovar.xml \
         share/icons/hicolor/128x128/apps/lumovar.png; do
    if [ -e "$tmp/prefix/$f" ]; then pass; else fail "installed $f"; fi
done

printf 'cube(x[3], a[0]) { cube = 1 - x[1]; }\n' > "$tmp/cube.lv"
expect "headless without a display" 0 "cube x[3] a[0]" -- \
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$lv" check "$tmp/cube.lv"
expect "desktop without a display" 2 "no display" -- \
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$lv" "$tmp/cube.lv"
expect "unknown command" 2 "unknown command" -- env -u DISPLAY "$lv" frobnicate.txt

finish "desktop tests"
