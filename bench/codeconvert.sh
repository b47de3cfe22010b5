#!/usr/bin/env bash
# The character-code page's read and save paths beside glibc's iconv on the same bytes.
# Usage: bench/codeconvert.sh [build-folder]   (the folder that holds bench/codeconvert_bench)
# Prints, for each path, the median MB/s of ours and of iconv(3) over five interleaved
# repetitions in one run, both from memory to a whole text in memory; the ratio ours/iconv
# against the target 1.0; the iconv command's MB/s on the same bytes in a file (process start
# and file read included, output to /dev/null; median of five) for reference; and each path's
# peak memory against its input (target: below 3x). Every path runs on two corpora: "crlf"
# (CR LF line ends) and "lf" (LF line ends: message catalogues and a dictionary).
set -u
build=${1:-build}
bin="$build/bench/codeconvert_bench"
if [ ! -x "$bin" ]; then
    echo "codeconvert.sh: $bin not built; skipped"
    exit 0
fi
if ! command -v iconv >/dev/null; then
    echo "codeconvert.sh: no iconv command; skipped"
    exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$bin" --write-corpus="$work" || { echo "codeconvert.sh: could not write the corpus"; exit 1; }

# Median wall time of five runs of the iconv command, in seconds. -c: ISO-2022-JP has no
# half-width katakana and no NEC row 13; iconv skips them instead of stopping there.
iconv_seconds() {
    local from=$1 to=$2 file=$3 start end
    for _ in 1 2 3 4 5; do
        start=$(date +%s.%N)
        iconv -c -f "$from" -t "$to" "$file" >/dev/null 2>&1
        end=$(date +%s.%N)
        awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
    done | sort -g | sed -n 3p
}

csv="$work/bench.csv"
"$bin" --benchmark_format=csv --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true >"$csv" 2>"$work/bench.err" || { cat "$work/bench.err"; exit 1; }
grep -E '^(corpus|catalogue)' "$work/bench.err"

median_mbs() { # benchmark name
    awk -F, -v name="$1" '
        NR == 1 { for (i = 1; i <= NF; i++) if ($i == "bytes_per_second") col = i; next }
        index($1, "\"" name "/") == 1 && $1 ~ /_median"$/ { printf "%.1f", $col / 1e6 }' "$csv"
}

printf '\n%-18s %9s %10s %7s %10s %9s %8s %8s\n' "path" "ours MB/s" "iconv MB/s" "ratio" "cmd MB/s" "input MB" "peak MB" "peak/in"
status=0
report() { # path_corpus, iconv from, iconv to, corpus file
    local ours theirs size secs cmd ratio mem verdict="" file="$work/${1##*_}-$4"
    ours=$(median_mbs "BM_$1")
    theirs=$(median_mbs "BM_Iconv_$1")
    size=$(stat -c %s "$file")
    secs=$(iconv_seconds "$2" "$3" "$file")
    cmd=$(awk -v s="$size" -v t="$secs" 'BEGIN { printf "%.1f", s / t / 1e6 }')
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    mem=$("$bin" --peak="$1" --corpus="$work")
    awk -v r="$ratio" 'BEGIN { exit !(r >= 1.0) }' || { verdict="$verdict speed MISSED"; status=1; }
    awk -v m="$(echo "$mem" | cut -d' ' -f4)" 'BEGIN { exit !(m < 3.0) }' || { verdict="$verdict memory MISSED"; status=1; }
    printf '%-18s %9s %10s %7s %10s %9s %8s %8s %s\n' "$1" "$ours" "$theirs" "${ratio}x" "$cmd" \
        "$(echo "$mem" | cut -d' ' -f2)" "$(echo "$mem" | cut -d' ' -f3)" "$(echo "$mem" | cut -d' ' -f4)x" "${verdict:- ok}"
}
for set in crlf lf; do
    report ReadEucJp_$set EUC-JP-MS CP932 euc.txt
    report ReadUtf8_$set UTF-8 CP932 utf8.txt
    report ReadUtf16_$set UTF-16 CP932 utf16.txt
    report ReadIso2022Jp_$set ISO-2022-JP CP932 jis.txt
    report SaveEucJp_$set CP932 EUC-JP-MS sjis.txt
    report SaveUtf8_$set CP932 UTF-8 sjis.txt
    report SaveUtf16_$set CP932 UTF-16LE sjis.txt
    report SaveIso2022Jp_$set CP932 ISO-2022-JP sjis.txt
done
exit $status
