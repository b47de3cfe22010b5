#!/usr/bin/env bash
# The whole-page download beside wget on the same site, twice: the engine alone
# (bench/download_bench.cpp) and the whole road through the window, from the folder chosen to the
# page written (bench/downloadroad_bench.cpp).
# Usage: bench/download.sh [build-folder] [SITE_FOLDER [PAGE]]
#   SITE_FOLDER: a folder holding a site, served on 127.0.0.1 instead of the test fixture site;
#   PAGE: the page in it to start from (relative to SITE_FOLDER; default index.html).
# Prints the requisites each client obtained, the differences, and the ratios files and time.
set -u
build=${1:-build}
if ! command -v wget >/dev/null; then
    echo "download.sh: no wget command (make bench installs it); skipped"
    exit 0
fi
args=(--wget="$(command -v wget)")
if [ $# -ge 2 ]; then
    [ -d "$2" ] || { echo "download.sh: no folder $2"; exit 1; }
    args+=(--site="$(cd "$2" && pwd)" --page="${3:-index.html}")
fi
rc=0
for prog in download_bench downloadroad_bench; do
    bin="$build/bench/$prog"
    if [ ! -x "$bin" ]; then
        echo "download.sh: $bin not built; skipped"
        continue
    fi
    echo "== $prog"
    # The window's road runs offscreen; the browser engine's start-up chatter on stderr is left out
    # (the figures and any message the window showed go to stdout).
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$bin" "${args[@]}" 2>/dev/null || rc=$?
done
exit $rc
