#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 30).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$here/.."
. "$here/deps.sh"
harvex_install_deps test
seconds="${1:-30}"
shift || true
CC=clang CXX=clang++ harvex_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARVEX_FUZZ=ON
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$root"/build/fuzz/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
[ ${#targets[@]} -eq 0 ] && { echo "no fuzz targets"; exit 0; }
status=0
for t in "${targets[@]}"; do
    corpus="$root/build/fuzz/corpus/$t"
    mkdir -p "$corpus" "$root/fuzz/findings"
    seeds=()
    [ -d "$root/fuzz/corpus/$t" ] && seeds=("$root/fuzz/corpus/$t")
    echo "== $t for ${seconds}s"
    if ! ASAN_OPTIONS=detect_leaks=1 "$root/build/fuzz/fuzz/$t" -max_total_time="$seconds" \
        -artifact_prefix="$root/fuzz/findings/$t-" -print_final_stats=1 "$corpus" "${seeds[@]}" \
        >"$root/build/fuzz/$t.log" 2>&1; then
        echo "FINDING in $t (see build/fuzz/$t.log and fuzz/findings/)"
        tail -40 "$root/build/fuzz/$t.log"
        status=1
    else
        grep -E 'stat::number_of_executed_units' "$root/build/fuzz/$t.log" || true
    fi
done
exit $status
