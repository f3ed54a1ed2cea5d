#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the release build (the one run.sh makes) and turns it
# into a Debian package with cpack; prints the package's path on the last line.
#   ./scripts/package.sh && sudo apt-get install ./build/release/harvex_*.deb
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/deps.sh"
harvex_install_deps package
harvex_build build/release -DCMAKE_BUILD_TYPE=Release -DHARVEX_TESTS=OFF
cd "$here/../build/release"
rm -f harvex_*.deb
cpack -G DEB
shopt -s nullglob
debs=("$PWD"/harvex_*.deb)
if [ ${#debs[@]} -ne 1 ]; then
    echo "package.sh: cpack made no package" >&2
    exit 1
fi
echo "${debs[0]}"
