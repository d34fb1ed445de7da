#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The layers of bexen-ports include only downward: shared/ → model/ → reports/ → commands/. Fails
# naming each file and line whose #include reaches a layer above its own.
#   scripts/check-layers.sh [DIR]   DIR is tools/ports by default
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ports=${1:-"$repo/tools/ports"}
layers=(shared model reports commands)

status=0
for ((i = 0; i < ${#layers[@]}; ++i)); do
    above=("${layers[@]:i+1}")
    ((${#above[@]} > 0)) || continue
    pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*\"($(IFS='|'; echo "${above[*]}"))/"
    while IFS= read -r hit; do
        echo "check-layers: ${hit%%:*}:$(cut -d: -f2 <<<"$hit"): ${layers[i]}/ includes a layer above it: $(cut -d: -f3- <<<"$hit")" >&2
        status=1
    done < <(grep -rnE "$pattern" "$ports/${layers[i]}" --include='*.h' --include='*.cpp' || true)
done
if ((status == 0)); then
    echo "check-layers: every include of tools/ports runs downward"
fi
exit "$status"
