#!/usr/bin/env bash
# Re-indentation speed beside tidy on the same page, and how the time grows with the page.
# Usage: bench/reindent.sh [build-folder] [page.html]
# Without a page it generates real-looking pages (Shift_JIS); with one (any encoding the
# converter detects) it times that page instead. Prints both times, the ratio tidy/ours
# (target: at least 1), the time per MB at 1, 2 and 4 MB and for 1 MB on one line (target:
# per-MB time at 4 MB within 15% of that at 1 MB), and whether re-indenting the result
# changes nothing.
set -u
build=${1:-build}
bin="$build/bench/reindent_bench"
if [ ! -x "$bin" ]; then
    echo "reindent.sh: $bin not built; skipped"
    exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" --write-corpus="$work" || { echo "reindent.sh: could not write the pages"; exit 1; }
page=${2:-$work/page2mb.html}

tidy_seconds() {
    local file=$1 best="" t start end
    for _ in 1 2 3; do
        start=$(date +%s.%N)
        tidy -i -q -shiftjis --show-warnings no --force-output yes "$file" >/dev/null 2>&1
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
    echo "$best"
}

read -r ours bytes same < <("$bin" --time="$page")
mb=$(awk -v b="$bytes" 'BEGIN { printf "%.2f", b / 1048576 }')
echo "re-indent $(basename "$page") ($mb MB): ours ${ours}s, result re-indented: $same"
if command -v tidy >/dev/null; then
    theirs=$(tidy_seconds "$page")
    awk -v o="$ours" -v t="$theirs" 'BEGIN { printf "tidy -i %.3fs; ratio tidy/ours %.2f (target >= 1)\n", t, t / o }'
else
    echo "tidy not installed (make bench installs it); ratio skipped"
fi
[ -n "${2:-}" ] && exit 0

declare -A per
for f in page1mb page2mb page4mb oneline1mb; do
    read -r s b _ < <("$bin" --time="$work/$f.html")
    per[$f]=$(awk -v s="$s" -v b="$b" 'BEGIN { printf "%.4f", s / (b / 1048576) }')
    echo "$f: ${per[$f]} s/MB"
done
awk -v a="${per[page1mb]}" -v b="${per[page4mb]}" \
    'BEGIN { g = (b / a - 1) * 100; printf "growth 1 MB -> 4 MB: %+.1f%% per MB (target within 15%%)\n", g }'
