#!/usr/bin/env bash
# What the runner's writers cost per device, counted by the kernel: `strace -c -f` over
# `qlx-setting-cli check --pace prompt --parallel P` against N devices of qlx-devsim on
# 127.0.X.Y, without and with --report (which adds the report and a transcript per device), into
# a new work folder and again into the one the run before filled. For each run: the system calls
# per device, the fsync and getdents64 calls of the whole run (a writer that scans its folder or
# syncs each file shows here as a count growing with N), and the wall time of the same run
# without strace. Every address is on loopback.
#
#   bench/runner_syscalls.sh [N ...]           default: 100 999, P = 64
#   P=8 BIN=/other/build/bin bench/runner_syscalls.sh 100
#   TMPDIR=/dev/shm bench/runner_syscalls.sh   the list and the work folder in memory
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${BIN:-$root/build/bin}"
parallel="${P:-64}"
counts=("$@")
[ "${#counts[@]}" -gt 0 ] || counts=(100 999)
command -v strace >/dev/null || { echo "runner_syscalls: strace is needed" >&2; exit 2; }

source "$root/bench/fleet_lib.sh"
fleet_scratch syscallbench
printf '[setting]\r\nlistcsv=list.csv\r\nwait1=0\r\n' >"$work/qlx.Ini"
most=0
for n in "${counts[@]}"; do [ "$n" -gt "$most" ] && most="$n"; done
start_sim "$most" "" "$bin"

# calls NAME: the calls of one system call in $work/strace.txt (0 when none).
calls() { awk -v name="$1" '$NF == name { print $4; found = 1 } END { if (!found) print 0 }' "$work/strace.txt"; }

# once N LABEL FOLDER [--report FILE]: the run twice, timed alone and counted under strace, each
# into a work folder of its own named after FOLDER (which a run "again" shares with the one
# before).
once() {
    local n="$1" label="$2" folder="$3"
    shift 3
    local run=(check --all --list list.csv --ini qlx.Ini --parallel "$parallel" --pace prompt --quiet)
    write_list "$n"
    local t0 t1
    t0="$(date +%s.%N)"
    (cd "$work" && "$bin/qlx-setting-cli" "${run[@]}" --work "time-$folder" "${@/REPORT/time-$folder}" >/dev/null 2>&1) || true
    t1="$(date +%s.%N)"
    write_list "$n"
    (cd "$work" && strace -c -f -o "$work/strace.txt" \
        "$bin/qlx-setting-cli" "${run[@]}" --work "count-$folder" "${@/REPORT/count-$folder}" >/dev/null 2>&1) || true
    local total
    total="$(awk '$NF == "total" { print $4 }' "$work/strace.txt")"
    per_device="$(echo "scale=1; $total / $n" | bc)"
    awk -v n="$n" -v p="$parallel" -v label="$label" -v total="$total" -v wall="$(echo "$t1 - $t0" | bc)" \
        -v fsync="$(calls fsync)" -v fdatasync="$(calls fdatasync)" -v dents="$(calls getdents64)" \
        -v rename="$(calls renameat2)" 'BEGIN {
        printf "N=%-4d P=%-3d %-18s %7.1f calls/device  fsync %5d  getdents64 %5d  renameat2 %5d  wall %6.3f s\n",
            n, p, label, total / n, fsync + fdatasync, dents, rename, wall }'
}

# What the report and the transcripts add per device: the same whatever N, when no writer of
# theirs scans its folder or syncs each file.
for n in "${counts[@]}"; do
    once "$n" "no report" "plain-$n"
    plain="$per_device"
    once "$n" "no report again" "plain-$n"
    plain_again="$per_device"
    once "$n" "report" "report-$n" --report REPORT.csv
    reported="$per_device"
    once "$n" "report again" "report-$n" --report REPORT.csv
    echo "N=$n: the report and the transcripts add $(echo "$reported - $plain" | bc) calls per device" \
        "($(echo "$per_device - $plain_again" | bc) into the folders the run before filled)"
done
