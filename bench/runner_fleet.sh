#!/usr/bin/env bash
# The runner serving a fleet of simulated devices: qlx-devsim plays N devices on 127.0.X.Y and
# qlx-setting-cli checks all of them with --parallel P, for each P given. For each run: the wall
# time against the waits the dialogue prescribes (identical devices are served in ceil(N / P)
# rounds of W = 3 login pauses of 200 ms + the 500 ms sequencer + the end-command wait, the last
# round without its pause), the peak resident memory and the processor time per device, from
# /usr/bin/time. Every address is on loopback.
#
#   bench/runner_fleet.sh [N] [P ...]        default: 999 devices, P = 8 32 64 128
#   ONE=40 bench/runner_fleet.sh ...         also P = 1 on the first 40 devices (0: skip)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${BIN:-$root/build/bin}"
devices="${1:-999}"
shift || true
parallels=("$@")
[ "${#parallels[@]}" -gt 0 ] || parallels=(8 32 64 128)
one="${ONE:-40}"
end_wait=2
[ -x /usr/bin/time ] || { echo "runner_fleet: /usr/bin/time is needed (Debian package time)" >&2; exit 2; }

source "$root/bench/fleet_lib.sh"
fleet_scratch fleetbench
printf '[setting]\r\nlistcsv=list.csv\r\nwait1=%s\r\n' "$end_wait" >"$work/qlx.Ini"
start_sim "$devices" "" "$bin"

run() {
    local n="$1" p="$2" rounds w prescribed
    write_list "$n"
    rm -rf "$work/data"
    mkdir -p "$work/data"
    (cd "$work" && /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" \
        "$bin/qlx-setting-cli" check --all --list list.csv --ini qlx.Ini --work data \
        --parallel "$p" --quiet 2>"$work/run.err") || true
    read -r wall rss user sys <"$work/time.txt"
    rounds=$(((n + p - 1) / p))
    w=$((3 * 200 + 500 + end_wait * 1000))
    prescribed=$((rounds * w - end_wait * 1000))
    awk -v n="$n" -v p="$p" -v wall="$wall" -v pre="$prescribed" -v rss="$rss" \
        -v cpu="$(echo "$user + $sys" | bc)" -v summary="$(tail -n 1 "$work/run.err")" 'BEGIN {
        printf "N=%d P=%-3d wall %.2f s  prescribed %.2f s  ratio %.3f  peak RSS %.1f MB  cpu %.2f ms/device  %s\n",
            n, p, wall, pre / 1000, wall * 1000 / pre, rss / 1024, cpu * 1000 / n, summary }'
}

[ "$one" -gt 0 ] && run "$one" 1
for p in "${parallels[@]}"; do run "$devices" "$p"; done
