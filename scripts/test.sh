#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, checks formatting and include layering, builds every test
# with AddressSanitizer and UndefinedBehaviorSanitizer (warnings are errors) and runs
# them all under ctest.
# Extra arguments go to ctest (for example -R slot).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/deps.sh"
harvex_install_deps test
# The cheap checks first: formatting and the include layering of the source folders.
"$here/check-format.sh"
"$here/check-layers.sh"
harvex_build build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARVEX_SANITIZE=ON -DHARVEX_WERROR=ON
cd "$here/../build/test"
ctest --output-on-failure --no-tests=error -j "$(nproc)" "$@"
# Every fuzz target for 30 s (HARVEX_SKIP_FUZZ=1 skips this for quick local runs).
if [ "${HARVEX_SKIP_FUZZ:-0}" != 1 ]; then
    "$here/fuzz.sh" 30
fi
