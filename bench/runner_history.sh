#!/usr/bin/env bash
# What the settings history costs a run, and what reading it costs: qlx-devsim plays N devices on
# 127.0.X.Y, checked by `qlx-setting-cli check --all --pace prompt` at --parallel P (end-command
# wait 0), side by side with --no-history and with the history, in turns (REPEAT pairs). The
# history's first run records every device (one commit of N files); the later ones find every
# device as it was (no commit), as most of a site's scheduled checks do. For each: wall time and
# processor time per device (/usr/bin/time), medians. Then `drift --all` over the N devices'
# history (wall and processor time), and history_growth: 100 runs over N devices in which 1%
# change, with a dump of the run as each device's (the repository's size after them).
#
#   bench/runner_history.sh [N] [P]        default: 999 devices, P = 64
#   REPEAT=5 bench/runner_history.sh       pairs of runs (default 3)
#   DUMP_SIZE=8192 bench/runner_history.sh devices dump this many bytes (default: devsim's own)
#   TMPDIR=/dev/shm bench/runner_history.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${BIN:-$root/build/bin}"
devices="${1:-999}"
parallel="${2:-64}"
repeat="${REPEAT:-3}"
[ -x /usr/bin/time ] || { echo "runner_history: /usr/bin/time is needed (Debian package time)" >&2; exit 2; }

source "$root/bench/fleet_lib.sh"
fleet_scratch historybench
printf '[setting]\r\nlistcsv=list.csv\r\nwait1=0\r\n' >"$work/qlx.Ini"
start_sim "$devices" "${DUMP_SIZE:+,dump-size=$DUMP_SIZE}" "$bin"

# run NAME FOLDER [OPTION...]: one check into the work folder FOLDER; appends "wall cpu" to
# $work/NAME.
run() {
    local name="$1" folder="$2"
    shift 2
    write_list "$devices"
    (cd "$work" && /usr/bin/time -f '%e %U %S' -o "$work/time.txt" \
        "$bin/qlx-setting-cli" check --all --list list.csv --ini qlx.Ini --work "$folder" \
        --parallel "$parallel" --pace prompt --quiet "$@" 2>"$work/run.err") || true
    read -r wall user sys < <(tail -n 1 "$work/time.txt")
    echo "$wall $(echo "$user + $sys" | bc)" >>"$work/$name"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

show() {
    local name="$1" label="$2"
    local wall cpu
    wall="$(cut -d' ' -f1 "$work/$name" | median)"
    cpu="$(cut -d' ' -f2 "$work/$name" | median)"
    awk -v n="$devices" -v p="$parallel" -v l="$label" -v w="$wall" -v c="$cpu" -v runs="$(wc -l <"$work/$name")" 'BEGIN {
        printf "N=%-4d P=%-3d %-24s wall %6.3f s  cpu %6.3f s = %5.2f ms/device  (median of %d)\n",
            n, p, l, w, c, c * 1000 / n, runs }'
    echo "$cpu" >"$work/$name.cpu"
}

# The first run into a new work folder makes every device file; with the history, also every
# device's file in the repository and its one commit.
run firstoff data-off --no-history
run first data
for _ in $(seq "$repeat"); do
    run off data-off --no-history
    run on data               # every device as it was: nothing to commit
done
show firstoff "--no-history, first run"
show first "history, first run"
show off "--no-history"
show on "history, nothing changed"
awk -v on="$(cat "$work/on.cpu")" -v off="$(cat "$work/off.cpu")" -v first="$(cat "$work/first.cpu")" \
    -v firstoff="$(cat "$work/firstoff.cpu")" -v n="$devices" 'BEGIN {
    printf "history adds %.3f ms of processor time per device (first run, every device new: %.3f ms)\n",
        (on - off) * 1000 / n, (first - firstoff) * 1000 / n }'
commits="$(git -C "$work/data/history.git" rev-list --count HEAD 2>/dev/null || echo "?")"
echo "commits after $((2 * repeat + 1)) runs, $repeat with history: $commits"

printf '.ipAdEntNetMask=255.255.0.0\r\n' >"$work/golden.txt"
for _ in $(seq "$repeat"); do
    (cd "$work" && /usr/bin/time -f '%e %U %S' -o "$work/time.txt" \
        "$bin/qlx-setting-cli" drift --golden golden.txt --all --list list.csv --ini qlx.Ini \
        --work data --report drift.json >/dev/null 2>&1) || true
    read -r wall user sys < <(tail -n 1 "$work/time.txt")
    echo "$wall $(echo "$user + $sys" | bc)" >>"$work/drift"
done
show drift "drift --all"

sample="$(find "$work/data" -maxdepth 1 -name "*q2.txt" -print -quit)"
mkdir -p "$work/growth"
"$bin/history_growth" "$work/growth" "$sample" "$devices" 100 1
