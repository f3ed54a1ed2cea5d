#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The one list of Debian packages Harvex needs. Sourced by the other scripts;
# installs whatever of a group is missing (apt-get update first).
#   harvex_install_deps build   compiler, Qt 6, gumbo
#   harvex_install_deps test    build + nginx, openssl, xvfb (window tests), clang (fuzzers)
#   harvex_install_deps bench   test + curl, wget2, aria2 and timing tools
#   harvex_install_deps package build + dpkg-dev and file (cpack's dependency scan),
#                               desktop-file-utils

HARVEX_PKGS_BUILD="g++ cmake ninja-build pkg-config ccache qt6-base-dev libgl-dev libgumbo-dev libssl3 ca-certificates"
HARVEX_PKGS_TEST="nginx openssl xvfb xauth python3 clang libclang-rt-14-dev clang-format git desktop-file-utils"
HARVEX_PKGS_BENCH="curl wget2 aria2 time valgrind"
HARVEX_PKGS_PACKAGE="dpkg-dev file desktop-file-utils"

harvex_install_deps() {
    local pkgs="$HARVEX_PKGS_BUILD"
    case "${1:-build}" in
    test) pkgs="$pkgs $HARVEX_PKGS_TEST" ;;
    bench) pkgs="$pkgs $HARVEX_PKGS_TEST $HARVEX_PKGS_BENCH" ;;
    package) pkgs="$pkgs $HARVEX_PKGS_PACKAGE" ;;
    esac
    local missing=()
    for p in $pkgs; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configure and build one build folder: harvex_build DIR [cmake options...]
harvex_build() {
    local dir="$1"
    shift
    local src
    src="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    local launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
    fi
    cmake -S "$src" -B "$src/$dir" -G Ninja "${launcher[@]}" "$@" &&
        cmake --build "$src/$dir" -j "$(nproc)"
}
