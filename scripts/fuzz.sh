#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 30).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Every fuzz/fuzz_*.cpp is a target; each starts from its seeds in fuzz/corpus/<target>/
# and keeps what it learns in build/fuzz/corpus/<target>/. A crash, a leak, an input
# that runs longer than 10 s, a target that does not build or has no seeds fails the
# run; the input that did it is saved in fuzz/findings/ (replay: build/fuzz/fuzz/<target> FILE).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
. "$here/deps.sh"
harvex_install_deps test
seconds="${1:-30}"
shift || true
if ! CC=clang CXX=clang++ harvex_build build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARVEX_FUZZ=ON; then
    echo "fuzz: the fuzz build failed"
    echo "fuzz: 0 passed, 1 failed"
    exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$root"/fuzz/fuzz_*.cpp; do [ -f "$f" ] && targets+=("$(basename "$f" .cpp)"); done
fi
[ ${#targets[@]} -eq 0 ] && { echo "fuzz: no fuzz targets"; exit 0; }
mkdir -p "$root/fuzz/findings"
passed=0
failed=0
for t in "${targets[@]}"; do
    binary="$root/build/fuzz/fuzz/$t"
    seeds="$root/fuzz/corpus/$t"
    log="$root/build/fuzz/$t.log"
    if [ ! -x "$binary" ]; then
        echo "FAILED $t: not built (no $binary)"
        failed=$((failed + 1))
        continue
    fi
    if [ -z "$(ls -A "$seeds" 2>/dev/null)" ]; then
        echo "FAILED $t: no seed corpus in fuzz/corpus/$t/"
        failed=$((failed + 1))
        continue
    fi
    corpus="$root/build/fuzz/corpus/$t"
    mkdir -p "$corpus"
    echo "== $t for ${seconds}s"
    # -timeout: an input that takes 10 s is a hang, reported like a crash.
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$root/fuzz/findings/$t-" -print_final_stats=1 "$corpus" "$seeds" \
        >"$log" 2>&1; then
        echo "FINDING in $t (see build/fuzz/$t.log and fuzz/findings/)"
        tail -40 "$log"
        failed=$((failed + 1))
    else
        grep -aE 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" | tr '\n' ' ' || true
        echo
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
