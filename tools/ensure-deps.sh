#!/usr/bin/env bash
# Installs the Debian packages the build needs when any is missing. Sourced by run.sh,
# test.sh and bench.sh so that a new machine needs no manual setup.
lv_packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
             nlohmann-json3-dev libpng-dev libegl-dev libgl-dev libgl1-mesa-dri libegl-mesa0
             libepoxy-dev xvfb xauth ffmpeg qt6-base-dev libqt6opengl6-dev assimp-utils
             desktop-file-utils shared-mime-info povray povray-includes lib3mf-dev
             locales zlib1g-dev view3dscene)

lv_ensure_deps() {
    local missing=()
    local p
    for p in "${lv_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
}

# Tests of number text under a comma decimal separator need a locale that has one. Compiles
# de_DE.UTF-8 when it is missing; without the rights to do so those tests make their own or skip.
lv_ensure_comma_locale() {
    locale -a 2>/dev/null | grep -qix 'de_DE.utf8' && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo -n"
    $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 2>/dev/null || true
}
