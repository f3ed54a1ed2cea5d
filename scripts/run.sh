#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the release build and starts the window.
# Arguments are passed to harvex (for example a URL list file).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/deps.sh"
harvex_install_deps build
harvex_build build/release -DCMAKE_BUILD_TYPE=Release -DHARVEX_TESTS=OFF
bin="$here/../build/release/app/harvex"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    harvex_install_deps test
    echo "No display found: running the window under xvfb-run."
    exec xvfb-run -a "$bin" "$@"
fi
exec "$bin" "$@"
