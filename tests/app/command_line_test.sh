#!/usr/bin/env bash
# The programs' command lines as a user meets them: --version, an option nobody knows, and the
# window program started where it cannot open a window. Each answer is one line with exit 2,
# never Qt's own abort.
#
#   command_line_test.sh BIN_FOLDER
set -uo pipefail
bin=$1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# program, arguments, environment, exit code, text the first line of its output holds
while IFS='|' read -r program args environment want text; do
    read -ra argv <<<"$args"
    read -ra envv <<<"$environment"
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${envv[@]}" \
        "$bin/$program" "${argv[@]}" 2>&1 </dev/null)
    rc=$?
    first=$(head -n 1 <<<"$out")
    echo "$program $args [$environment] -> $rc: $first"
    [[ $rc == "$want" ]] || fail "$program $args: exit $rc, not $want"
    [[ $first == *"$text"* ]] || fail "$program $args: \"$first\" lacks \"$text\""
    [[ $out != *Reinstalling* && $out != *"core dumped"* ]] || fail "$program $args: Qt's abort"
    if [[ $want == 2 && $text != *option* && $text != *argument* ]]; then
        [[ $(wc -l <<<"$out") == 1 ]] || fail "$program $args: more than one line: $out"
    fi
done <<'CASES'
qlx-setting|--version|DISPLAY=:0|0|qlx-setting 1.
qlx-setting|-V|DISPLAY=:0|2|unknown option -V
qlx-setting|--no-such-option|DISPLAY=:0|2|unknown option --no-such-option
qlx-setting|list.csv|DISPLAY=:0|2|unexpected argument list.csv
qlx-setting||HOME=/nonexistent|2|DISPLAY is not set
qlx-setting||DISPLAY=:9973|2|cannot open the display ":9973"
qlx-setting||QT_QPA_PLATFORM=no-such-plugin|2|"no-such-plugin" is not installed
qlx-setting|-platform no-such-plugin|DISPLAY=:0|2|"no-such-plugin" is not installed
qlx-devsim|--version|HOME=/nonexistent|0|qlx-devsim 1.
qlx-setting-cli|--version|HOME=/nonexistent|0|qlx-setting-cli 1.
CASES

# The programs come as one release: each names the same version.
versions=$(for program in qlx-setting qlx-setting-cli qlx-devsim; do
    env DISPLAY=:0 "$bin/$program" --version </dev/null 2>&1 | head -n 1 | cut -d' ' -f2
done | sort -u)
echo "versions: $versions"
[[ $(wc -l <<<"$versions") == 1 ]] || fail "the programs name different versions: $versions"

[[ $failures == 0 ]] || exit 1
echo "all command lines answered as expected"
