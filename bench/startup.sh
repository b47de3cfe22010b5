#!/usr/bin/env bash
# Start time of the main window and the resident memory of the program with all its engine
# processes, measured under a private X server; then the start with a large favourites folder
# (3,000 shortcuts in 300 folders) beside an empty one, as a ratio of the times.
set -u
build=${1:-build}
exe=$build/vornkym
[ -x "$exe" ] || { echo "startup: no $exe"; exit 0; }
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || { echo "startup: needs xvfb and xdotool"; exit 0; }
disp=:$(( 500 + RANDOM % 400 ))
Xvfb $disp -screen 0 1600x1000x24 >/dev/null 2>&1 & xpid=$!
homes=()
trap 'kill $xpid 2>/dev/null; rm -rf "${homes[@]}"' EXIT
for _ in $(seq 50); do xdpyinfo -display $disp >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$disp QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"

descendants() { for c in $(pgrep -P "$1"); do echo "$c"; descendants "$c"; done; }

# Starts the program with HOME=$1, prints the milliseconds until its window shows; with $2 set,
# also the resident memory once the engine's processes have settled.
start_ms() {
  local t0 t1 pid rss_kb=0 r
  t0=$(date +%s%N)
  HOME=$1 "$exe" >/dev/null 2>&1 & pid=$!
  xdotool search --sync --onlyvisible --name "VORN-KYM" >/dev/null 2>&1
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
  if [ -n "${2:-}" ]; then
    sleep 3
    for p in $pid $(descendants $pid); do
      r=$(awk '/VmRSS/ {print $2}' /proc/$p/status 2>/dev/null); rss_kb=$((rss_kb + ${r:-0}))
    done
    echo $(( rss_kb / 1024 ))
  fi
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
}

empty=$(mktemp -d); homes+=("$empty"); mkdir -p "$empty/Favorites"
read -r ms mb < <(start_ms "$empty" mem | tr '\n' ' ')
echo "startup: window shown in $ms ms (budget 3000 ms)"
echo "startup: resident memory $mb MB with engine processes (budget 600 MB)"

big=$(mktemp -d); homes+=("$big")
for d in $(seq 1 30); do
  for s in $(seq 1 10); do
    dir="$big/Favorites/folder $d/sub $s"; mkdir -p "$dir"
    for f in $(seq 1 10); do
      printf '[InternetShortcut]\r\nURL=http://example.jp/%d/%d/%d.html\r\n' "$d" "$s" "$f" > "$dir/site $f.url"
    done
  done
done
# The best of three starts each, so one slow start does not decide.
best() { local b=; for _ in 1 2 3; do t=$(start_ms "$1"); [ -z "$b" ] || [ "$t" -lt "$b" ] && b=$t; done; echo "$b"; }
e=$(best "$empty"); l=$(best "$big")
echo "startup: with 3000 favourites in 300 folders $l ms, with none $e ms, ratio $(awk -v a="$l" -v b="$e" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }') (target 1.15)"
