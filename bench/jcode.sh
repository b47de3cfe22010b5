#!/usr/bin/env bash
# Japanese code conversion throughput beside the iconv command on the same bytes.
# Usage: bench/jcode.sh [build-folder]   (the folder that holds bench/jcode_bench)
# Prints MB/s of ours and of iconv for each path and the ratio ours/iconv with its target.
set -u
build=${1:-build}
bin="$build/bench/jcode_bench"
if [ ! -x "$bin" ]; then
    echo "jcode.sh: $bin not built; skipped"
    exit 0
fi
if ! command -v iconv >/dev/null; then
    echo "jcode.sh: no iconv command; skipped"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The benchmark writes its generated corpus (about 12 MB of Japanese text per encoding).
"$bin" --write-corpus="$work" || { echo "jcode.sh: could not write the corpus"; exit 1; }

# Best wall time of three runs of the iconv command, in seconds.
iconv_seconds() {
    local from=$1 file=$2 best="" t
    for _ in 1 2 3; do
        local start end
        start=$(date +%s.%N)
        iconv -f "$from" -t CP932 "$file" >/dev/null 2>&1
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
    echo "$best"
}

csv="$work/bench.csv"
"$bin" --benchmark_format=csv --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    >"$csv" 2>"$work/bench.err" || { cat "$work/bench.err"; exit 1; }
grep -E '^(corpus|peak)' "$work/bench.err"

# bytes_per_second of the median run of a benchmark, as MB/s (10^6 bytes).
ours_mbs() {
    awk -F, -v name="\"$1/min_time:1.000_median\"" '
        NR == 1 { for (i = 1; i <= NF; i++) if ($i == "bytes_per_second") col = i; next }
        $1 == name { printf "%.1f", $col / 1e6 }' "$csv"
}

printf '\n%-30s %10s %10s %8s %8s\n' "path" "ours MB/s" "iconv MB/s" "ratio" "target"
status=0
report() { # benchmark, iconv source encoding, corpus file, target ratio (empty: none)
    local ours size secs theirs ratio verdict
    ours=$(ours_mbs "$1")
    size=$(stat -c %s "$work/$3")
    secs=$(iconv_seconds "$2" "$work/$3")
    theirs=$(awk -v s="$size" -v t="$secs" 'BEGIN { printf "%.1f", s / t / 1e6 }')
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    verdict=""
    if [ -n "$4" ]; then
        if awk -v r="$ratio" -v t="$4" 'BEGIN { exit !(r >= t) }'; then verdict=">=$4 ok"; else verdict=">=$4 MISSED"; status=1; fi
    fi
    printf '%-30s %10s %10s %8s %8s\n' "$1" "$ours" "$theirs" "${ratio}x" "$verdict"
}
report BM_EucToSjis EUC-JP euc.txt 2
report BM_JisToSjisB ISO-2022-JP jis.txt 2
report BM_Utf8ToAnsi UTF-8 utf8.txt 0.9
report BM_ConvertTextToSjis_EucPage EUC-JP euc_page.txt ""
report BM_ConvertTextToSjis_Utf8Page UTF-8 utf8_page.txt ""
exit $status
