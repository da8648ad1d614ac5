#!/usr/bin/env bash
# The runner's two paces against the floor, side by side in one run: qlx-devsim plays N devices
# on 127.0.X.Y; each of them is checked by `qlx-setting-cli check --pace prescribed`, by
# `--pace prompt` (results written into the list both times) and by floor_client, a minimal
# client that runs the same check dialogue as fast as it can and writes nothing, all with the
# same parallelism; the prompt pace runs twice, the second time into the work folder the first
# filled, as an operator's next run does. The settings have the end-command wait at 0. For
# each: wall time, time per device, the ratio to the floor, and for the runner its peak resident
# memory and processor time per device (/usr/bin/time). Every address is on loopback.
#
#   bench/runner_pace.sh [N] [P ...]        default: 999 devices, P = 64
#   ONE=40 bench/runner_pace.sh ...         also P = 1 on the first 40 devices (0: skip)
#   TMPDIR=/dev/shm bench/runner_pace.sh    the list and the work folder in memory
#   SKIP_PRESCRIBED=1 bench/runner_pace.sh  without the prescribed pace (a minute less)
#   STRACE=1 bench/runner_pace.sh           also system calls per device (strace -c -f) of the
#                                           floor and of the prompt pace into a filled folder
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${BIN:-$root/build/bin}"
devices="${1:-999}"
shift || true
parallels=("$@")
[ "${#parallels[@]}" -gt 0 ] || parallels=(64)
one="${ONE:-40}"
[ -x /usr/bin/time ] || { echo "runner_pace: /usr/bin/time is needed (Debian package time)" >&2; exit 2; }
[ -z "${STRACE:-}" ] || command -v strace >/dev/null || { echo "runner_pace: STRACE=1 needs strace" >&2; exit 2; }

source "$root/bench/fleet_lib.sh"
fleet_scratch pacebench
printf '[setting]\r\nlistcsv=list.csv\r\nwait1=0\r\n' >"$work/qlx.Ini"
start_sim "$devices" "" "$bin"

floor_s=0
floor() {
    local n="$1" p="$2"
    head -n "$n" "$work/devices.txt" >"$work/some.txt"
    local line
    line="$("$bin/floor_client" "$work/some.txt" "$p")"
    floor_s="$(echo "$line" | awk '{ for (i = 1; i < NF; i++) if ($(i + 1) == "s,") print $i }')"
    awk -v n="$n" -v p="$p" -v s="$floor_s" -v line="$line" 'BEGIN {
        printf "N=%-4d P=%-3d floor        wall %7.3f s  %6.2f ms/device                                   (%s)\n",
            n, p, s, s * 1000 / n, line }'
}

# runner N P PACE [again]: into a work folder of its own; "again" runs into the folder the run
# before filled, as an operator's next run does, and its device files replace the ones there.
# Nothing is deleted before the end: on a file system that skips recently deleted inodes when it
# makes a file (ext4 without a journal), thousands of deletions just before a run make each of
# its file creations scan past them.
runner() {
    local n="$1" p="$2" pace="$3" again="${4:-}"
    write_list "$n"
    local data="data-$pace-$n-$p"
    mkdir -p "$work/$data"
    (cd "$work" && /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" \
        "$bin/qlx-setting-cli" check --all --list list.csv --ini qlx.Ini --work "$data" \
        --parallel "$p" --pace "$pace" --quiet 2>"$work/run.err") || true
    read -r wall rss user sys <"$work/time.txt"
    local recorded
    recorded="$(grep -c ',#000 OK ' "$work/list.csv" || true)"
    awk -v n="$n" -v p="$p" -v pace="$pace${again:+ again}" -v wall="$wall" -v floor="$floor_s" -v rss="$rss" \
        -v cpu="$(echo "$user + $sys" | bc)" -v rec="$recorded" 'BEGIN {
        printf "N=%-4d P=%-3d %-12s wall %7.3f s  %6.2f ms/device  %5.1f x floor  peak RSS %5.1f MB  cpu %.2f ms/device  %d results in the list\n",
            n, p, pace, wall, wall * 1000 / n, wall / floor, rss / 1024, cpu * 1000 / n, rec }'
}

# calls LABEL N COMMAND...: the system calls COMMAND makes, all its threads, per device.
calls() {
    local label="$1" n="$2"
    shift 2
    strace -c -f -o "$work/strace.txt" "$@" >/dev/null 2>&1 || true
    awk -v label="$label" -v n="$n" '$NF == "total" { printf "%-22s %7.1f system calls per device\n", label, $(NF - 2) / n }' \
        "$work/strace.txt"
}

measure() {
    floor "$1" "$2"
    runner "$1" "$2" prompt
    runner "$1" "$2" prompt again
    [ -n "${SKIP_PRESCRIBED:-}" ] || runner "$1" "$2" prescribed
    if [ -n "${STRACE:-}" ]; then
        calls "N=$1 P=$2 floor" "$1" "$bin/floor_client" "$work/some.txt" "$2"
        (cd "$work" && calls "N=$1 P=$2 prompt again" "$1" "$bin/qlx-setting-cli" check --all \
            --list list.csv --ini qlx.Ini --work "data-prompt-$1-$2" --parallel "$2" --pace prompt --quiet)
    fi
}

[ "$one" -gt 0 ] && measure "$one" 1
for p in "${parallels[@]}"; do measure "$devices" "$p"; done
