#!/bin/sh
# Builds the URL-mapping / HTML-normalisation and the re-indenter fuzz targets with clang (libFuzzer and
# AddressSanitizer) and runs them. Usage: tests/fuzz/run.sh [seconds] [build folder] [urlmap|reindent|all]
# "pieces" instead builds reindent_pieces and re-indents 3,000,000 pages put together from the
# dictionary's pieces (seed 1), writing those that change on a second run to <build folder>/pieces.
# FUZZ_FLAGS adds libFuzzer options to each run (e.g. "-fork=2 -ignore_crashes=1" to go on past a
# finding on two cores).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)/src
seconds=${1:-60}
out=${2:-${TMPDIR:-/tmp}/vk-fuzz}
which=${3:-all}
flags=${FUZZ_FLAGS:-}
mkdir -p "$out/corpus"

if [ "$which" = pieces ]; then
    clang++ -std=c++20 -O2 -I"$src" "$here/reindent_pieces.cpp" "$src"/webgui/HtmlReindent*.cpp \
        "$src/webgui/WebGuiText.cpp" "$src"/text/*.cpp -lcurl -o "$out/reindent_pieces"
    mkdir -p "$out/pieces"
    exec "$out/reindent_pieces" "$here/reindent.dict" "$out/pieces" 1 3000000
fi

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" "$here/urlmap_fuzz.cpp" \
    "$src/text/UrlMap.cpp" "$src/text/PathGuard.cpp" "$src/text/HtmlScan.cpp" \
    "$src/text/HtmlRewrite.cpp" "$src/text/HtmlNormalize.cpp" "$src/text/StrUtils.cpp" \
    "$src/text/CssScan.cpp" "$src/download/UrlMapper.cpp" "$src/download/TextDecode.cpp" \
    "$src/text/JCode.cpp" "$src/text/TextConverter.cpp" "$src/text/WebFetch.cpp" "$src/text/FileUtils.cpp" \
    "$src/text/StringList.cpp" "$src/text/Parsers.cpp" -lcurl \
    -o "$out/urlmap_fuzz"

# A few seeds so the run starts from real shapes rather than from nothing.
printf 'http://www.host/a/../b?x=1\nhttps://h/c\n<HTML><HEAD><META charset=utf-8></HEAD><BODY><P><A HREF=../x>y</A><SCRIPT>a<b</SCRIPT>' \
    > "$out/corpus/seed1"
printf '../../..\\%%2e%%2e/x\n//cdn/x\n<td width=100 title="a b"><iframe src=x.html></iframe><!-- c -->' \
    > "$out/corpus/seed2"
printf 'a{background:url(i.png)}\n/* <[http://h/c/a.css]> */\n[ http://h/c/b.css ]\n@import "x.css";' \
    > "$out/corpus/seed3"

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src" "$here/reindent_fuzz.cpp" "$src"/webgui/HtmlReindent*.cpp "$src/webgui/WebGuiText.cpp" "$src"/text/*.cpp \
    -lcurl -o "$out/reindent_fuzz"
mkdir -p "$out/reindent-corpus"
cp "$here"/../webgui/reindent_fixtures/*.in.html "$out/reindent-corpus/" 2>/dev/null || true
# inputs found earlier already carry the option byte the target reads first
cp "$here"/../webgui/reindent_fixtures/found_by_fuzzing/* "$out/reindent-corpus/" 2>/dev/null || true

cd "$out"
if [ "$which" != reindent ]; then
    # shellcheck disable=SC2086
    "$out/urlmap_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 $flags "$out/corpus"
fi
if [ "$which" != urlmap ]; then
    # shellcheck disable=SC2086
    "$out/reindent_fuzz" -max_total_time="$seconds" -max_len=8192 -timeout=10 -print_final_stats=1 \
        -dict="$here/reindent.dict" $flags \
        "$out/reindent-corpus"
fi
