# Shared by the runner benchmarks: a scratch folder, N simulated devices on 127.0.X.Y (never off
# loopback) and a list of them. The caller calls fleet_scratch first.

# $work, a scratch folder named after NAME (under TMPDIR when it is set), and $port; at exit the
# simulator ($sim) and whatever runs as $holder are stopped and the folder removed.
fleet_scratch() {
    work="$(mktemp -d "${TMPDIR:-/tmp}/qlx-$1-XXXXXX")"
    port=$((30000 + $$ % 20000))
    sim=""
    holder=""
    trap fleet_cleanup EXIT
}

fleet_cleanup() {
    [ -z "$sim" ] || kill "$sim" 2>/dev/null || true
    [ -z "$holder" ] || kill "$holder" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}

# The address of device I (0-based): 200 to a /24, from 127.0.1.2 on.
address() { echo "127.0.$((1 + $1 / 200)).$((2 + $1 % 200))"; }

# $work/list.csv: the first N devices, checked, each with its own MAC address.
write_list() {
    local n="$1" i
    for ((i = 0; i < n; i++)); do
        printf '%03d,F0000001,dev%d,%s,80,%d,00:ee:80:00:%02x:%02x,,,admin,plume,,,\r\n' \
            $((i + 1)) $((i + 1)) "$(address "$i")" "$port" $((i / 256)) $((i % 256))
    done >"$work/list.csv"
}

# Starts qlx-devsim from BIN_FOLDER with N devices (EXTRA after each address, "@I@" standing
# for 10 times the device's index) and waits until every one listens; its pid is in $sim.
start_sim() {
    local n="$1" extra="$2" bin_folder="$3" i
    for ((i = 0; i < n; i++)); do echo "$(address "$i"):$port${extra//@I@/$((i * 10))}"; done \
        >"$work/devices.txt"
    "$bin_folder/qlx-devsim" --no-search --devices "$work/devices.txt" >"$work/devsim.out" 2>&1 &
    sim=$!
    for _ in $(seq 100); do
        [ "$(grep -c '^listening' "$work/devsim.out" || true)" -ge "$n" ] && break
        sleep 0.1
    done
}
