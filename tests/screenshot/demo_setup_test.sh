#!/usr/bin/env bash
# shellcheck disable=SC2016  # the inner shells expand their own arguments
# The demo's set-up and the simulator agree: every record of the demo list is a 14-field
# Shift-JIS record on loopback whose device listens and greets, and the devices are gone once
# the simulator is stopped.
#
#   demo_setup_test.sh BIN_FOLDER OUTPUT_FOLDER DEMO_SETUP_SCRIPT
set -uo pipefail

bin=$1
out=$2
setup=$3

if [[ ! -x $bin/qlx-devsim ]]; then
    echo "SKIP: this build has no qlx-devsim"
    exit 77
fi
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

demo="$out/demo"
pid=$(bash "$setup" --fresh "$demo" "$bin") || { echo "FAIL: demo-setup did not start"; exit 1; }
trap 'kill "$pid" 2>/dev/null' EXIT

# A device greets a new connection with its login prompt.
greets() {
    timeout 3 bash -c 'exec 3<>"/dev/tcp/$1/$2" && head -c 1 <&3' greet "$1" "$2" 2>/dev/null |
        grep -q .
}
listens() { timeout 1 bash -c 'exec 3<>"/dev/tcp/$1/$2"' listen "$1" "$2" 2>/dev/null; }

iconv -f CP932 -t UTF-8 "$demo/list.csv" >/dev/null || fail "the list is not Shift-JIS"
records=()
while IFS= read -r line; do
    records+=("$line")
    line=${line%$'\r'}
    IFS=, read -r -a f <<<"$line,"
    [[ ${#f[@]} == 14 && ${f[1]} == F* ]] || fail "not a 14-field record: $line"
    ip=${f[3]} port=${f[5]}
    [[ $ip == 127.* ]] || fail "an address off loopback: $ip"
    grep -q "^listening $ip:$port" "$demo/devsim.log" || fail "the simulator did not announce $ip:$port"
    greets "$ip" "$port" || fail "no greeting from $ip:$port"
done <"$demo/list.csv"
[[ ${#records[@]} == 5 ]] || fail "${#records[@]} records in the demo list, not 5"
[[ -x $demo/qlx-setting && -f $demo/qlx-setting.Ini ]] || fail "no program copy or settings in $demo"

kill "$pid"
for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
for record in "${records[@]}"; do
    IFS=, read -r -a f <<<"$record"
    ! listens "${f[3]}" "${f[5]}" || fail "${f[3]}:${f[5]} still listens after SIGTERM"
done
[[ $failures == 0 ]]
