#!/usr/bin/env bash
# Start time of the main window (the median of five starts) and the memory of the program with
# all its engine processes (proportional set size, so pages shared between them count once),
# measured under a private X server; then the start with a large favourites folder (3,000
# shortcuts in 300 folders) beside an empty one, as a ratio of the times. The load average is
# printed too: on a busy machine the times are not the program's own.
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
# also the memory (PSS, then RSS) once the engine's processes have settled.
start_ms() {
  local t0 t1 pid pss_kb=0 rss_kb=0 r
  t0=$(date +%s%N)
  HOME=$1 "$exe" >/dev/null 2>&1 & pid=$!
  # Polled every 20 ms (xdotool's own --sync waits half a second between looks).
  until xdotool search --onlyvisible --name "VORN-KYM" >/dev/null 2>&1; do
    kill -0 $pid 2>/dev/null || break
    sleep 0.02
  done
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
  if [ -n "${2:-}" ]; then
    sleep 5
    for p in $pid $(descendants $pid); do
      r=$(awk '/^Pss:/ {print $2}' /proc/$p/smaps_rollup 2>/dev/null); pss_kb=$((pss_kb + ${r:-0}))
      r=$(awk '/VmRSS/ {print $2}' /proc/$p/status 2>/dev/null); rss_kb=$((rss_kb + ${r:-0}))
    done
    echo $(( pss_kb / 1024 )) $(( rss_kb / 1024 ))
  fi
  kill $pid 2>/dev/null; wait $pid 2>/dev/null
}

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

empty=$(mktemp -d); homes+=("$empty"); mkdir -p "$empty/Favorites"
echo "startup: load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
read -r ms pss rss < <(start_ms "$empty" mem | tr '\n' ' ')
times=$ms
for _ in 1 2 3 4; do times+=" $(start_ms "$empty")"; done
med=$(tr ' ' '\n' <<<"$times" | median)
echo "startup: window shown in $med ms, median of five ($times) (budget 3000 ms, target 600 ms)"
echo "startup: memory $pss MB PSS ($rss MB resident) with engine processes (target 200 MB PSS)"

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
