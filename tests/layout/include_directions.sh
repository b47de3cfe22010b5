#!/usr/bin/env bash
# Each src/ folder is one library and may include only the folders below it; so may its CMake
# library link only those. An include or a link against this table is an edge upward (or
# sideways) that would let two libraries depend on each other.
# Usage: include_directions.sh [SOURCE_ROOT]   (default: the repository holding this script)
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}

declare -A allowed=(
    [text]=""
    [platform]="text"
    [state]="text"
    [htmledit]="platform text"
    [nettools]="platform text"
    [download]="htmledit platform state text"
    [webgui]="htmledit platform state text"
    [mainwindow]="download htmledit nettools platform state text webgui"
)

fail=0
allows() { [[ $1 == "$2" || " ${allowed[$1]} " == *" $2 "* ]]; }

for dir in "$root"/src/*/; do
    folder=$(basename "$dir")
    if [[ ! -v allowed[$folder] ]]; then
        echo "src/$folder: a folder the table of directions does not name"
        fail=1
        continue
    fi
    # "<folder>/..." with quotes, or with angle brackets when the folder is one of ours.
    while IFS= read -r hit; do
        file=${hit%%:*} rest=${hit#*:}
        at="${file#"$root"/}:${rest%%:*}"
        [[ ${rest#*:} =~ include[[:space:]]*([\"<])([A-Za-z0-9_]+)/([^\">]*) ]] || continue
        target=${BASH_REMATCH[2]}
        if [[ ! -v allowed[$target] ]]; then
            [[ ${BASH_REMATCH[1]} == '"' ]] || continue
            echo "$at: includes \"$target/\", a folder the table does not name"
            fail=1
        elif ! allows "$folder" "$target"; then
            echo "$at: src/$folder may not include $target/${BASH_REMATCH[3]}"
            fail=1
        fi
    done < <(grep -rnHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<][A-Za-z0-9_]+/' "$dir" | sort -t: -k1,1 -k2,2n)
done

# The libraries' links: vk_library(vk_<name> src/<folder> <links>...).
while read -r name folder links; do
    folder=${folder#src/}
    [[ -v allowed[$folder] ]] || { echo "CMakeLists.txt: $name builds src/$folder, which the table does not name"; fail=1; continue; }
    for link in $links; do
        [[ $link == vk_* ]] || continue
        if ! allows "$folder" "${link#vk_}"; then
            echo "CMakeLists.txt: $name may not link $link"
            fail=1
        fi
    done
done < <(sed -nE 's/^[[:space:]]*vk_library\(([A-Za-z0-9_]+)[[:space:]]+([^[:space:])]+)[[:space:]]*([^)]*)\).*/\1 \2 \3/p' "$root/CMakeLists.txt")

exit $fail
