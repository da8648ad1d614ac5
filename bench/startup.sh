#!/usr/bin/env bash
# Start-up of the real program with a 999-record list, to its window shown on an X server, and
# its resident memory once shown. Runs the program RUNS times (default 5) under its own Xvfb and
# prints each time and the median.
#   bench/startup.sh [path/to/qlx-setting]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$here/build/bin/qlx-setting}
runs=${RUNS:-5}
[ -x "$bin" ] || { echo "no program at $bin: build it first (./scripts/test)"; exit 1; }
command -v Xvfb >/dev/null && command -v xwininfo >/dev/null || {
    echo "needs Xvfb and xwininfo (packages xvfb, x11-utils)"; exit 1; }

work=$(mktemp -d)
cleanup() { [ -n "${xpid:-}" ] && kill "$xpid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# A private copy of the program, so its settings file and data folder stay in the temp folder.
mkdir -p "$work/bin"
cp "$bin" "$work/bin/qlx-setting"
python3 - "$work/list.csv" <<'PY'
import sys
with open(sys.argv[1], "wb") as f:
    for i in range(1, 1000):
        name = ("会議室%03d" % i).encode("cp932")
        line = b"%03d,F000%d%d%d%d,%s,127.%d.%d.%d,80,23,00:ee:80:00:%02x:%02x,QLX-100 V1.%02d,dev%d,admin,plume,c:\\data\\set%03d.txt,2026/12/01 10:%02d:%02d,#000 OK " % (
            i, i % 2, (i // 2) % 2, (i // 4) % 2, i % 2, name, i // 256, i % 256, i % 7, i // 256, i % 256, i % 100, i, i, i % 60, i % 60)
        f.write(line + "正常送信".encode("cp932") + b"\r\n")
PY

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
xpid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done

times=()
for r in $(seq "$runs"); do
    start=$(date +%s%N)
    (cd "$work" && DISPLAY=$display exec "$work/bin/qlx-setting") &
    pid=$!
    until xwininfo -display "$display" -name "QLX-Setting" 2>/dev/null | grep -q "IsViewable"; do
        sleep 0.005
        kill -0 "$pid" 2>/dev/null || { echo "the program ended early"; exit 1; }
    done
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    times+=("$ms")
    echo "run $r: window shown after ${ms} ms, resident ${rss} kB"
    kill "$pid"; wait "$pid" 2>/dev/null || true
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
echo "median start-up: ${median} ms (target: under 500 ms); resident memory target: under 80 MB"
