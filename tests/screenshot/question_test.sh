#!/usr/bin/env bash
# shellcheck disable=SC2016  # the inner shell expands its own arguments
# The real program under Xvfb with Qt's Japanese texts: the question of "一斉接続" →
# "設定確認" shows its buttons as a Japanese desktop does, Escape answers it as Cancel (no run
# starts, the list file stays as it was), and a pointer resting on a list row shows the record's
# fields in a tooltip. The pictures stay in the output folder for a person to look at.
#
#   question_test.sh PROGRAM OUTPUT_FOLDER
set -uo pipefail

program=$1
out=$2

for tool in xvfb-run Xvfb xdotool xwininfo import; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/deps test installs it)"
        exit 77
    fi
done
if [[ ! -f /usr/share/qt6/translations/qtbase_ja.qm ]]; then
    echo "SKIP: no Qt translations (Debian package qt6-translations-l10n)"
    exit 77
fi

work="$out/question"
rm -rf "$work"
mkdir -p "$work"
cp "$program" "$work/qlx-setting"
# Two checked devices nobody answers for (the run is never started); the second one's message
# is longer than its column.
printf '%s\r\n' \
    '001,F0000001,受付,127.0.0.2,80,23,00:EE:80:DE:00:02,QLX-100 Ver1.20,ROOM-A,admin,plume,demo.txt,2026/12/01 09:00:00,#000 OK 正常送信' \
    '002,F0000001,会議室A,127.0.0.3,8080,2323,00:EE:80:DE:00:03,QLX-300 Ver3.10 build 2024-04-30,ROOM-B,admin,plume,demo.txt,2026/12/01 09:00:05,#421 NG failure: the device is busy with another session, try again later' |
    iconv -f UTF-8 -t CP932 >"$work/list.csv"
before=$(md5sum <"$work/list.csv")

# Client coordinates: "設定確認" of "一斉接続" at 668,499; the second list row at y 40..55.
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
    work=$1
    cd "$work" || exit 1
    export XDG_RUNTIME_DIR=$(mktemp -d)
    LANG=C.UTF-8 QT_QPA_PLATFORM=xcb ./qlx-setting &
    program=$!
    window=$(timeout 20 xdotool search --sync --name "^QLX-Setting\$" | head -n 1)
    [[ -n $window ]] || { echo "FAIL: no window"; kill $program; exit 1; }
    sleep 1
    x=$(xwininfo -id "$window" | awk "/Absolute upper-left X/ {print \$4}")
    y=$(xwininfo -id "$window" | awk "/Absolute upper-left Y/ {print \$4}")

    # A click makes the window the active one (Qt shows tooltips only there) and selects the
    # row; the pointer then rests on it.
    xdotool mousemove $((x + 300)) $((y + 47)) click 1
    sleep 0.5
    xdotool mousemove $((x + 310)) $((y + 48))
    sleep 0.2
    xdotool mousemove $((x + 312)) $((y + 48))
    sleep 2.5
    import -window root "$work/tooltip.png"

    xdotool mousemove $((x + 668)) $((y + 499)) click 1
    sleep 1.5
    import -window root "$work/question.png"
    xdotool key Escape
    sleep 1.5
    import -window root "$work/after-escape.png"
    kill $program
    wait $program 2>/dev/null
    exit 0
' question "$work" || { echo "FAIL: the program did not run"; exit 1; }

failures=0
for picture in tooltip question after-escape; do
    [[ -s $work/$picture.png ]] || { echo "FAIL: no picture $picture.png"; failures=1; }
done
# The pictures differ where the question and the tooltip stand: neither may be missing.
if [[ $failures == 0 ]]; then
    changed=$(compare -metric AE "$work/question.png" "$work/after-escape.png" null: 2>&1)
    echo "pixels the question covers: $changed"
    [[ ${changed%% *} -gt 1000 ]] || { echo "FAIL: no question in question.png"; failures=1; }
fi
[[ $(md5sum <"$work/list.csv") == "$before" ]] || { echo "FAIL: Escape started a run"; failures=1; }
[[ $failures == 0 ]] || exit 1
echo "PASS: pictures in $work (question.png: Japanese buttons; tooltip.png: the row's fields)"
