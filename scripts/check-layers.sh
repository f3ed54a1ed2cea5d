#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file includes a header from a folder at its own level or above it.
# The folders of src/, lowest first; a folder may include its own headers and those of
# folders on lower levels only, so no two folders can include each other.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../src"
declare -A level=(
    [platform]=0
    [engine]=1 [settings]=1
    [lists]=2
    [harvest]=3
    [manager]=4
    [cli]=5 [controls]=5
    [ui]=6
)
status=0
for dir in */; do
    dir="${dir%/}"
    if [ -z "${level[$dir]+set}" ]; then
        echo "src/$dir: a folder without a level in scripts/check-layers.sh" >&2
        status=1
        continue
    fi
    while IFS=: read -r file line target; do
        [ "$target" = "$dir" ] && continue
        if [ -z "${level[$target]+set}" ] || [ "${level[$target]}" -ge "${level[$dir]}" ]; then
            echo "src/$file:$line: $dir (level ${level[$dir]}) includes $target/ (level ${level[$target]:-?})" >&2
            status=1
        fi
    done < <(grep -rnoE '^#include "[a-z]+/' "$dir" | sed -E 's/#include "([a-z]+)\/$/\1/')
done
[ $status -eq 0 ] && echo "Layer check: no folder includes one at its level or above."
exit $status
