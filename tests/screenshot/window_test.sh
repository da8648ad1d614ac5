#!/usr/bin/env bash
# Starts the real program on a sample list under Xvfb, keeps pictures of its window, and checks
# the window's size in both layouts and that the list's numbers stand under the caption "No".
#
#   window_test.sh PROGRAM OUTPUT_FOLDER SCREENSHOT_SCRIPT
set -uo pipefail

program=$1
out=$2
screenshot=$3

if ! command -v xvfb-run >/dev/null || ! command -v Xvfb >/dev/null; then
    echo "SKIP: no virtual X server (xvfb-run and Xvfb come with the Debian package xvfb)"
    exit 77
fi
mkdir -p "$out"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# layout flag, picture name, expected size
while read -r flag name want; do
    [[ $flag == - ]] && flag=""
    rm -f "$out/$name.png" "$out/$name.txt"
    if ! bash "$screenshot" ${flag:+"$flag"} -g "$out/$name.txt" "$out/$name.png" "$program"; then
        fail "no picture of the $name window"
        continue
    fi
    got=$(awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}' "$out/$name.txt")
    [[ $got == "$want" ]] || fail "$name: the window is $got, not $want"
done <<'CASES'
-  window          1024x670
-e window-enlarged 1400x800
CASES

# Columns of a strip of the picture (window coordinates) that hold a bright pixel, as runs
# "first-last", left to right. Text and check boxes are near white on darker grounds.
bright_runs() {
    local png=$1 x=$2 y=$3 w=$4 h=$5
    convert "$png" -crop "${w}x${h}+${x}+${y}" +repage -colorspace gray -threshold 78% \
        -scale "${w}x1!" -depth 8 txt:- |
        awk -v x0="$x" -F'[,: ]+' '
            /^#/ { next }
            { lit = ($0 !~ /#000000/) }
            lit && start == "" { start = $1 }
            !lit && start != "" { print x0 + start "-" x0 + $1 - 1; start = "" }
            END { if (start != "") print x0 + start "-" x0 + $1 }'
}

# The caption "No" is a label at x 16..47, y 2..21; the list starts at y 24 with 16-pixel lines,
# a check box first and then the record number.
png="$out/window.png"
if [[ -f $png ]]; then
    caption=$(bright_runs "$png" 16 4 32 16 | head -n 1)
    mapfile -t row < <(bright_runs "$png" 0 24 48 16)
    echo "caption \"No\" runs from x ${caption:-?}; first row: ${row[*]:-nothing}"
    if [[ -z $caption || ${#row[@]} -lt 2 ]]; then
        fail "no caption text or no check box and number in the first row"
    else
        caption_x=${caption%-*}
        text_x=${row[1]%-*}
        (( text_x >= caption_x - 3 && text_x <= caption_x + 3 )) ||
            fail "the first row's text begins at x $text_x, the caption \"No\" at x $caption_x"
    fi
fi

echo "pictures: $out/window.png $out/window-enlarged.png"
[[ $failures == 0 ]]
