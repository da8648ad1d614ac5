#!/usr/bin/env bash
# shellcheck disable=SC2016  # the inner shell expands its own arguments
# The demo as a newcomer meets it: the real program on the demo list under Xvfb, with the
# simulated devices on loopback. A click on "設定確認" of "一斉接続" and OK on the question
# run the bulk check; every device's result must land in the demo's list file. A picture of
# the window at the end stays in the output folder.
#
#   demo_run_test.sh BIN_FOLDER OUTPUT_FOLDER DEMO_SETUP_SCRIPT
set -uo pipefail

bin=$1
out=$2
setup=$3

for tool in xvfb-run Xvfb xdotool xwininfo import; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/deps installs it)"
        exit 77
    fi
done
if [[ ! -x $bin/qlx-devsim ]]; then
    echo "SKIP: this build has no qlx-devsim"
    exit 77
fi

demo="$out/demo-run"
pid=$(bash "$setup" --fresh "$demo" "$bin") || { echo "FAIL: demo-setup did not start"; exit 1; }
trap 'kill "$pid" 2>/dev/null' EXIT
# No pause after a success, to keep the test short; the demo itself keeps the default.
printf 'wait1=0\r\n' >>"$demo/qlx-setting.Ini"

# Inside the virtual X server: start the program, wait for its window, click the bulk check
# (client 668,499: the button's centre in the basic panel), confirm, and wait until the list
# file holds a result for every device.
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
    demo=$1 out=$2
    cd "$demo" || exit 1
    export XDG_RUNTIME_DIR=$(mktemp -d)
    QT_QPA_PLATFORM=xcb ./qlx-setting --own-address 127.0.0.1 &
    program=$!
    window=$(timeout 20 xdotool search --sync --name "^QLX-Setting\$" | head -n 1)
    [[ -n $window ]] || { echo "FAIL: no window"; kill $program; exit 1; }
    sleep 0.5
    x=$(xwininfo -id "$window" | awk "/Absolute upper-left X/ {print \$4}")
    y=$(xwininfo -id "$window" | awk "/Absolute upper-left Y/ {print \$4}")
    xdotool mousemove $((x + 668)) $((y + 499)) click 1
    sleep 1
    xdotool key Return
    for _ in $(seq 600); do
        [[ $(grep -c "#[0-9][0-9][0-9] " list.csv) -ge 5 ]] && break
        sleep 0.1
    done
    sleep 1
    import -window root "$out/demo-run.png"
    kill $program
    wait $program 2>/dev/null
    exit 0
' demo "$demo" "$out" || { echo "FAIL: the program did not run"; exit 1; }

list=$(iconv -f CP932 -t UTF-8 "$demo/list.csv")
echo "$list"
ok=$(grep -c "#000 OK 正常送信" <<<"$list")
refused=$(grep -c "#104 NG ID/PASS Login Error" <<<"$list")
if [[ $ok -ne 4 || $refused -ne 1 ]]; then
    echo "FAIL: want 4 successes and 1 refused login in the demo list, got $ok and $refused"
    exit 1
fi
echo "PASS: the demo's bulk check left every device's result in its list ($out/demo-run.png)"
