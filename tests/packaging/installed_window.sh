#!/usr/bin/env bash
# Run by test_installed_package.sh as the ordinary user: the installed orva on the installed
# sample period on a private Xvfb screen (prompt and dialog answered with Return, the window
# closed as a window manager would), then its side files looked for in the user's XDG folders:
# XDG_CONFIG_HOME set to a folder of the test's, XDG_CACHE_HOME and XDG_DATA_HOME unset so that
# ~/.cache and ~/.local/share apply.
#   bash installed_window.sh WORK_FOLDER EXPORT_FOLDER
# EXPORT_FOLDER holds the installed orva-cli's export of the same period, same printer.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=${1:?work folder}
export_dir=${2:?export folder}
period=/usr/share/orva/examples/2026-10
config=$HOME/.config/orva-test
problems=()
problem() {
    echo "PROBLEM: $*" >&2
    problems+=("$*")
}
fail() {
    [ -n "${xvfb_pid:-}" ] && screenshot failure
    echo "FAIL: $*" >&2
    exit 1
}
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

mkdir -p "$work/framebuffer" "$work/runtime"
chmod 700 "$work/runtime"
xvfb_pid=""
orva_pid=""
cleanup() {
    if [ -n "$orva_pid" ]; then kill "$orva_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -fbdir "$work/framebuffer" -nolisten tcp \
    3>"$work/display-number" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_until 20 test -s "$work/display-number" || fail "Xvfb did not start (see $work/xvfb.log)"
display=$(tr -d '[:space:]' <"$work/display-number")
export DISPLAY=":$display"

first_visible_window() {
    local found
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$found" ] && echo "$found"
}
press_return() {
    xdotool windowfocus "$1" 2>/dev/null || true
    sleep 0.3
    xdotool key --clearmodifiers Return
}
screenshot() {
    python3 "$here/xwd_to_png.py" "$work/framebuffer/Xvfb_screen0" "$work/$1.png" >/dev/null || true
}

# The platform is named, not inherited (QT_QPA_PLATFORM=offscreen would keep it off the screen).
env -u XDG_CACHE_HOME -u XDG_DATA_HOME XDG_CONFIG_HOME="$config" XDG_RUNTIME_DIR="$work/runtime" \
    QT_QPA_PLATFORM=xcb /usr/bin/orva "$period" >"$work/orva.log" 2>&1 &
orva_pid=$!

wait_until 60 first_visible_window '^Потвърждение' >/dev/null ||
    fail "no diskette prompt within a minute (see $work/orva.log)"
press_return "$(first_visible_window '^Потвърждение')"

dialog=""
deadline=$((SECONDS + 60))
while [ -z "$dialog" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the additional-data dialog did not appear within a minute"
    kill -0 "$orva_pid" 2>/dev/null || fail "orva ended before the dialog appeared (see $work/orva.log)"
    dialog=$(first_visible_window 'ДАНЪЧЕН ПЕРИОД' || true)
    if [ -z "$dialog" ]; then
        error_box=$(first_visible_window '^ОРВА' || true)
        [ -n "$error_box" ] && { screenshot error-box; press_return "$error_box"; sleep 1; }
        sleep 0.2
    fi
done
sleep 0.5
press_return "$dialog"

main_window() {
    local window
    for window in $(xdotool search --onlyvisible --name 'ДАНЪЧЕН ПЕРИОД' 2>/dev/null); do
        [ "$window" != "$dialog" ] && { echo "$window"; return 0; }
    done
    return 1
}
wait_until 60 main_window >/dev/null || fail "the main window did not appear after the dialog"
window=$(main_window)
sleep 1
screenshot window
python3 "$here/x11_close.py" "$window"
wait_until 30 bash -c "! kill -0 $orva_pid 2>/dev/null" || fail "orva did not end within 30 s of the close request"
set +e
wait "$orva_pid"
status=$?
set -e
orva_pid=""
[ "$status" -eq 0 ] || problem "orva ended with status $status, not 0 (see $work/orva.log)"

# Each side file in its XDG folder, with the bytes a portable orva writes beside itself.
cache=$HOME/.cache/orva
data=$HOME/.local/share/orva
cmp "$cache/ORVA.TTF" /usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf ||
    problem "$cache/ORVA.TTF is not the document font"
cmp "$data/orva.pro.txt" "$export_dir/purchases.txt" || problem "$data/orva.pro.txt is not the purchases journal"
cmp "$data/orva.pok.txt" "$export_dir/sales.txt" || problem "$data/orva.pok.txt is not the sales journal"
signatory=$(printf 'ИВАН ПЕТРОВ ДИМИТРОВ\r\n' | iconv -f UTF-8 -t CP1251 | od -An -tx1 | tr -d ' \n')
expect_file() {
    local file=$1 want=$2 have
    [ -f "$file" ] || { problem "$file was not written"; return; }
    have=$(od -An -tx1 "$file" | tr -d ' \n')
    [ "$have" = "$want" ] || problem "$file holds $have, expected $want"
}
expect_file "$config/orva/orva.adr" ""
expect_file "$config/orva/orva.mol" "$signatory"
expect_file "$config/orva/orva.dlu" ""
expect_file "$config/orva/orva.txt" "0d0a${signatory}0d0a"
[ ! -e "$HOME/.config/orva" ] || problem "$HOME/.config/orva exists although XDG_CONFIG_HOME names another folder"

if [ ${#problems[@]} -gt 0 ]; then
    printf 'FAIL: %s\n' "${problems[@]}" >&2
    exit 1
fi
echo "PASS: the installed window as $(id -un), side files in the XDG folders"
