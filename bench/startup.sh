#!/usr/bin/env bash
# Start time of the main window and the resident memory of the program with all its engine
# processes, measured under a private X server.
set -u
build=${1:-build}
exe=$build/vornkym
[ -x "$exe" ] || { echo "startup: no $exe"; exit 0; }
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "startup: needs xvfb and xdotool"; exit 0; }
disp=:$(( 500 + RANDOM % 400 ))
Xvfb $disp -screen 0 1600x1000x24 >/dev/null 2>&1 & xpid=$!
trap 'kill $xpid 2>/dev/null' EXIT
for _ in $(seq 50); do xdpyinfo -display $disp >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$disp QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
home=$(mktemp -d); export HOME=$home
t0=$(date +%s%N)
"$exe" >/dev/null 2>&1 & pid=$!
xdotool search --sync --onlyvisible --name "VORN-KYM" >/dev/null 2>&1
t1=$(date +%s%N)
sleep 3  # let the engine processes settle before reading memory
rss_kb=0
descendants() { for c in $(pgrep -P "$1"); do echo "$c"; descendants "$c"; done; }
for p in $pid $(descendants $pid); do
  r=$(awk '/VmRSS/ {print $2}' /proc/$p/status 2>/dev/null); rss_kb=$((rss_kb + ${r:-0}))
done
echo "startup: window shown in $(( (t1 - t0) / 1000000 )) ms (budget 3000 ms)"
echo "startup: resident memory $(( rss_kb / 1024 )) MB with engine processes (budget 600 MB)"
kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$home"
