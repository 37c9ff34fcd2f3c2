#!/usr/bin/env bash
# The real orva window on the sample period, on a private Xvfb screen: the diskette prompt
# answered with a key press, the additional-data dialog closed with Return (its OK button), the
# main window found by its caption, a screenshot saved under the build folder; from the keyboard a
# search (found in other letters, read back through the clipboard), zoom steps and the print
# dialog cancelled; then the window closed as a window manager would close it. Checks the exit
# status, the files written beside the executable (font, journal copies, dialog histories, last
# values, zoom), that the cancelled dialog sent no job and that the data folder is left exactly
# as it was.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

[ -x "$ORVA_BUILD/orva" ] || fail "$ORVA_BUILD/orva is not built"
[ -x "$ORVA_BUILD/orva-cli" ] || fail "$ORVA_BUILD/orva-cli is not built"
need_commands Xvfb xdotool xclip python3 iconv cmp sha256sum

work=$(artifacts_dir window_xvfb)
echo "files of this test: $work"
problems=()
problem() {
    echo "PROBLEM: $*" >&2
    problems+=("$*")
}

xvfb_pid=""
orva_pid=""
cleanup() {
    if [ -n "$orva_pid" ] && kill -0 "$orva_pid" 2>/dev/null; then
        kill "$orva_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# ------------------------------------------------------------------ a screen of our own

# -fbdir keeps the screen image in a file (XWD), which is where the screenshot comes from;
# -displayfd picks a free display number.
mkdir -p "$work/framebuffer"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -fbdir "$work/framebuffer" -nolisten tcp \
    3>"$work/display-number" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_until 20 test -s "$work/display-number" || missing "Xvfb did not start (see $work/xvfb.log)"
export DISPLAY=":$(tr -d '[:space:]' <"$work/display-number")"
echo "Xvfb on $DISPLAY"

screenshot() {
    python3 "$E2E_DIR/xwd_to_png.py" "$work/framebuffer/Xvfb_screen0" "$work/$1.png"
}

# Visible windows whose title matches the regular expression $1.
visible_windows() {
    xdotool search --onlyvisible --name "$1" 2>/dev/null || true
}

first_visible_window() {
    local found
    found=$(visible_windows "$1" | head -n 1)
    [ -n "$found" ] && echo "$found"
}

press_return() {
    xdotool windowfocus "$1" 2>/dev/null || true
    sleep 0.3
    xdotool key --clearmodifiers Return
}

# ------------------------------------------------------------------ the program and its data

mkdir -p "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cp "$ORVA_BUILD/orva" "$work/bin/orva"
cp -r "$ORVA_SOURCE/samples/2026-10" "$work/data"
snapshot() {
    (cd "$work/data" && find . -printf '%p %s %m %T@\n' | sort && sha256sum ./*)
}
snapshot >"$work/data-before.txt"

# The caption the main window must carry, from the return record as stored.
caption=$(python3 - "$work/data/deklar.txt" <<'EOF'
import sys
record = bytes(b + 0x40 if 0x80 <= b <= 0xBF else b for b in open(sys.argv[1], "rb").read()).decode("cp1251")
vat, firm, period = record[0:15], record[15:65], record[65:71]
print(" ДАНЪЧЕН ПЕРИОД %s/%s     ИН ПО ЗДДС %s     %s" % (period[4:6], period[0:4], vat, firm))
EOF
)

# The platform is named, not inherited: with QT_QPA_PLATFORM=offscreen in the caller's environment
# the window would never reach the Xvfb screen.
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" LC_ALL=C.UTF-8 "$work/bin/orva" "$work/data" >"$work/orva.log" 2>&1 &
orva_pid=$!

# The diskette prompt.
prompt=""
wait_until 60 first_visible_window '^Потвърждение' >/dev/null || fail "no diskette prompt within a minute"
prompt=$(first_visible_window '^Потвърждение')
screenshot prompt >/dev/null
[ "$(xdotool getwindowname "$prompt")" = "Потвърждение" ] ||
    problem "the prompt is titled '$(xdotool getwindowname "$prompt")', not 'Потвърждение'"
press_return "$prompt"

# The additional-data dialog, titled with the caption; a printer failure box may come first.
dialog=""
deadline=$((SECONDS + 60))
while [ -z "$dialog" ]; do
    [ "$SECONDS" -lt "$deadline" ] || fail "the additional-data dialog did not appear within a minute"
    kill -0 "$orva_pid" 2>/dev/null || fail "orva ended before the dialog appeared (see $work/orva.log)"
    dialog=$(first_visible_window 'ДАНЪЧЕН ПЕРИОД' || true)
    if [ -z "$dialog" ]; then
        error_box=$(first_visible_window '^ОРВА' || true)
        if [ -n "$error_box" ]; then
            echo "an error box came up (no usable printer?); answering it"
            screenshot error-box >/dev/null
            press_return "$error_box"
            sleep 1
        fi
        sleep 0.2
    fi
done
sleep 0.5
screenshot dialog >/dev/null
[ "$(xdotool getwindowname "$dialog")" = "$caption" ] ||
    problem "the dialog is titled '$(xdotool getwindowname "$dialog")', expected '$caption'"
press_return "$dialog"

# The main window: a caption window other than the dialog.
main_window() {
    local window
    for window in $(visible_windows 'ДАНЪЧЕН ПЕРИОД'); do
        if [ "$window" != "$dialog" ]; then
            echo "$window"
            return 0
        fi
    done
    return 1
}
wait_until 60 main_window >/dev/null || fail "the main window did not appear after the dialog"
window=$(main_window)
[ "$(xdotool getwindowname "$window")" = "$caption" ] ||
    problem "the main window is titled '$(xdotool getwindowname "$window")', expected '$caption'"
[ -z "$(visible_windows 'ДАНЪЧЕН ПЕРИОД' | grep -vx "$window" || true)" ] || problem "the dialog is still visible"
sleep 1
shot=$(screenshot window)
echo "screenshot $work/window.png: $shot"
colours=$(awk '{print $2}' <<<"$shot")
# An empty screen has one colour; the label page's anti-aliased text brings dozens.
[ "$colours" -ge 20 ] || problem "the screenshot shows $colours colours: nothing seems painted"

# ------------------------------------------------------------------ files beside the executable

# The journals of the period exactly as the command line builds them for the same printer.
QT_QPA_PLATFORM=offscreen "$ORVA_BUILD/orva-cli" export --out "$work/export" "$work/data" >/dev/null ||
    fail "orva-cli export of the sample failed"
cmp "$work/bin/ORVA.TTF" /usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf ||
    problem "ORVA.TTF beside the executable is not the document font"
cmp "$work/bin/orva.pro.txt" "$work/export/purchases.txt" || problem "orva.pro.txt is not the purchases journal"
cmp "$work/bin/orva.pok.txt" "$work/export/sales.txt" || problem "orva.pok.txt is not the sales journal"

# OK stored the histories: no address or position was given, the signatory preset from the record.
signatory=$(printf 'ИВАН ПЕТРОВ ДИМИТРОВ\r\n' | iconv -f UTF-8 -t CP1251 | od -An -tx1 | tr -d ' \n')
expect_file() {
    local file=$1 want=$2 have
    [ -f "$work/bin/$file" ] || { problem "$file was not written beside the executable"; return; }
    have=$(od -An -tx1 "$work/bin/$file" | tr -d ' \n')
    [ "$have" = "$want" ] || problem "$file holds $have, expected $want"
}
expect_file orva.adr ""
expect_file orva.mol "$signatory"
expect_file orva.dlu ""

# ------------------------------------------------------------------ find, zoom and the print dialog

# Keys into a window, focused first as no window manager does it; keys only, since a mouse press
# in a document asks to print it.
keys() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key --clearmodifiers "${@:2}"
}
clipboard() { xclip -o -selection clipboard 2>/dev/null || true; }
clipboard_holds() { [ "$(clipboard)" = "$1" ]; }
side_file_holds() { [ "$(cat "$work/bin/$1" 2>/dev/null)" = "$2" ]; }
no_visible_window() { [ -z "$(visible_windows "$1")" ]; }

# Find on the label, whose firm name is in capitals: first a text it lacks, then the name in
# other letters. Escape hands the keyboard back to the document, whose Ctrl+C copies the match.
keys "$window" ctrl+f
xdotool type --delay 20 'Бургас Ъгъл'
keys "$window" Return Escape ctrl+f
xdotool type --delay 20 'Родопа вижЪн'
keys "$window" Return Escape ctrl+c
wait_until 10 clipboard_holds 'РОДОПА ВИЖЪН' ||
    problem "after a search for a missing text, 'Родопа вижЪн' did not select 'РОДОПА ВИЖЪН': the clipboard holds '$(clipboard)'"
kill -0 "$orva_pid" 2>/dev/null || fail "orva ended during the searches (see $work/orva.log)"

# Zoom: each step is stored at once, so two up and one down leave 1.
keys "$window" ctrl+plus ctrl+plus
wait_until 10 side_file_holds orva.zoom 2 || problem "Ctrl++ twice did not store the zoom 2"
keys "$window" ctrl+minus
wait_until 10 side_file_holds orva.zoom 1 || problem "Ctrl+- did not store the zoom 1"

# Ctrl+P brings up the print dialog and Escape cancels it. The server's jobs are compared once
# the window has ended, since it waits for a job it has started.
print_jobs() { if [ -n "${CUPS_SERVER:-}" ]; then lpstat -W all -o; fi; }
[ -n "${CUPS_SERVER:-}" ] || echo "no test print server (CUPS_SERVER): the print jobs are not looked at"
jobs_before=$(print_jobs) || problem "lpstat cannot list the print server's jobs"
keys "$window" ctrl+p
wait_until 20 first_visible_window '^Печат$' >/dev/null || fail "Ctrl+P brought up no print dialog titled 'Печат'"
keys "$(first_visible_window '^Печат$')" Escape
wait_until 10 no_visible_window '^Печат$' || fail "Escape did not close the print dialog"

# ------------------------------------------------------------------ closing

python3 "$E2E_DIR/x11_close.py" "$window"
wait_until 30 bash -c "! kill -0 $orva_pid 2>/dev/null" || fail "orva did not end within 30 s of the close request"
set +e
wait "$orva_pid"
status=$?
set -e
orva_pid=""
[ "$status" -eq 0 ] || problem "orva ended with status $status, not 0"

# At the end the dialog saved its last values: address, signatory, position.
expect_file orva.txt "0d0a${signatory}0d0a"
expect_file orva.zoom 310a
expect_file orva.recent "$(printf '%s\r\n' "$work/data" | od -An -tx1 | tr -d ' \n')"
[ "$(print_jobs)" = "$jobs_before" ] || problem "the cancelled print dialog sent a job: $(print_jobs)"

snapshot >"$work/data-after.txt"
diff -u "$work/data-before.txt" "$work/data-after.txt" || problem "the data folder changed"
unexpected=$(cd "$work/bin" && ls -A | grep -vxE 'orva|ORVA\.TTF|orva\.(adr|mol|dlu|txt|firms|zoom|recent|pro\.txt|pok\.txt|vies\.txt)' || true)
[ -z "$unexpected" ] || problem "unexpected files beside the executable: $unexpected"

if [ ${#problems[@]} -gt 0 ]; then
    printf 'FAIL: %s\n' "${problems[@]}" >&2
    exit 1
fi
echo "PASS: prompt, dialog, main window '$caption', screenshot, find, zoom, print dialog cancelled, side files, data folder untouched, exit 0"
