#!/usr/bin/env bash
# Fails when a folder of src/ includes a folder above it in the layer order
# of docs/layers.md. Usage: scripts/check-layers.sh [source-root]
set -euo pipefail
root=${1:-"$(dirname "$0")/../src"}
order=(base platform thread http rtsp device parsers channels ptz io driver)

rank() {
    local i
    for i in "${!order[@]}"; do
        [[ ${order[$i]} == "$1" ]] && { echo "$i"; return; }
    done
    echo -1
}

status=0
while IFS= read -r -d '' file; do
    rel=${file#"$root"/}
    from=${rel%%/*}
    from_rank=$(rank "$from")
    if [[ $from_rank -lt 0 ]]; then
        echo "check-layers: $rel is in no known layer" >&2
        status=1
        continue
    fi
    while IFS= read -r target; do
        to_rank=$(rank "$target")
        [[ $to_rank -lt 0 ]] && continue  # not one of our folders (wrenfield/ is the host ABI)
        if [[ $to_rank -gt $from_rank ]]; then
            echo "check-layers: $rel includes $target/, a higher layer than $from/" >&2
            status=1
        fi
    done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([a-z0-9_]+)\/.*/\1/p' "$file")
done < <(find "$root" -mindepth 2 -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

if [[ $status -eq 0 ]]; then echo "check-layers: every include keeps to the layer order"; fi
exit $status
