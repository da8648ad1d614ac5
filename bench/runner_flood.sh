#!/usr/bin/env bash
# The runner against what stalls or bloats a run, all on loopback:
#  flood  N devices (default 128) that answer "&save" with endless text (qlx-devsim fault=flood,
#         80 MiB each over 15 s), checked with --parallel N: the peak resident memory
#         (/usr/bin/time) and the "Seconds" column of the report, the session's time from its
#         start to its time-out, against the same for one flooding device alone: how late the
#         time-outs come when all flood at once.
#  stall  32 answering devices (device i waits i × 10 ms before each answer) checked with
#         --parallel 32 while another program holds the list's lock for 15 s (flock(1)), and
#         again with a list of 50 MiB: how many devices end as "#404 NG Time Out" (none should:
#         every device answers).
#
#   bench/runner_flood.sh [flood|stall|all] [N]      BIN=dir of qlx-setting-cli and qlx-devsim
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${BIN:-$root/build/bin}"
sim_bin="${SIM_BIN:-$bin}"
what="${1:-all}"
flooders="${2:-128}"
for tool in /usr/bin/time flock; do
    command -v "$tool" >/dev/null || { echo "runner_flood: $tool is needed" >&2; exit 2; }
done

source "$root/bench/fleet_lib.sh"
fleet_scratch floodbench
printf '[setting]\r\nlistcsv=list.csv\r\nwait1=0\r\n' >"$work/qlx.Ini"
stop_sim() {
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=""
}
check() {
    local p="$1"
    rm -rf "$work/data" "$work/run.csv" "$work/run"
    mkdir -p "$work/data"
    (cd "$work" && /usr/bin/time -f '%e %M' -o "$work/time.txt" \
        "$bin/qlx-setting-cli" check --all --list list.csv --ini qlx.Ini --work data \
        --parallel "$p" --quiet --report run.csv 2>"$work/run.err") || true
}
timeouts() { grep -c '#404 NG Time Out' "$work/list.csv" || true; }

if [ "$what" = flood ] || [ "$what" = all ]; then
    start_sim "$flooders" ",fault=flood" "$sim_bin"
    # One flooding device alone gives the time its time-out is due at.
    write_list 1
    check 1
    due="$(tail -n +2 "$work/run.csv" | cut -d, -f7)"
    write_list "$flooders"
    check "$flooders"
    read -r wall rss < <(tail -n 1 "$work/time.txt")
    # Column 7 of the report is the session's time in seconds.
    tail -n +2 "$work/run.csv" | cut -d, -f7 | sort -n >"$work/seconds.txt"
    awk -v n="$flooders" -v wall="$wall" -v rss="$rss" -v due="$due" '{ s[NR] = $1 } END {
        printf "flood: %d devices  wall %.1f s  peak RSS %.0f MiB  time-out after %.2f s alone; with all: min %.2f  median %.2f  max %.2f (max %.2f s late)\n",
            n, wall, rss / 1024, due, s[1], s[int((NR + 1) / 2)], s[NR], s[NR] - due }' "$work/seconds.txt"
    stop_sim
fi

if [ "$what" = stall ] || [ "$what" = all ]; then
    # Device i answers after i × 10 ms, so that when the first result is written the others are
    # in every step of their dialogues.
    start_sim 32 ",slow=@I@" "$sim_bin"
    write_list 32
    touch "$work/list.csv.lock"
    flock "$work/list.csv.lock" sleep 15 &
    holder=$!
    sleep 0.2
    check 32
    wait "$holder" 2>/dev/null || true
    holder=""
    read -r wall rss < <(tail -n 1 "$work/time.txt")
    echo "stall: lock held 15 s, 32 devices  wall ${wall} s  time-outs $(timeouts)/32"
    write_list 32
    head -c $((50 << 20)) /dev/zero | tr '\0' 'x' >>"$work/list.csv"
    printf '\r\n' >>"$work/list.csv"
    check 32
    read -r wall rss < <(tail -n 1 "$work/time.txt")
    echo "stall: list of 50 MiB, 32 devices  wall ${wall} s  peak RSS $((rss / 1024)) MiB  time-outs $(timeouts)/32"
    stop_sim
fi
