#!/usr/bin/env bash
# The real program under Xvfb and a window manager, from a temporary program folder, checked
# from outside: title, client size, stacking, centring, the interval status, the fan and the
# scrolling label, the first-run dialogs, and the options saved when the window is closed.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"

work=$(mktemp -d)
app_pid=
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# start_breezel FOLDER CWD [no-runtime]: no-runtime starts it without XDG_RUNTIME_DIR.
start_breezel() {
    local folder=$1 cwd=$2 unset=()
    [[ ${3:-} == no-runtime ]] && unset=(-u XDG_RUNTIME_DIR)
    (cd "$cwd" && exec env "${unset[@]}" "$folder/breezel") >"$work/breezel.log" 2>&1 &
    app_pid=$!
}

start_desktop "$work/desktop" || exit 1
# The run's own temporary and runtime folders, to see what it leaves behind.
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"
fallback=$HOME/.cache/breezel  # without a runtime folder
sockets() { find "$TMPDIR" "$XDG_RUNTIME_DIR" "$fallback" -type s -name 'breezel*' 2>/dev/null | wc -l; }
nothing_left() { test -z "$(find "$TMPDIR" "$XDG_RUNTIME_DIR" "$fallback" -name 'breezel*' 2>/dev/null)"; }
title='Kazeyomi　Ver 1.0'

# A configured program with an interval of 5 minutes: no dialog, "ON" beside "5".
make_program_folder "$work/configured"
mkdir -p "$work/cwd"
printf '[EXEINI]\nNUMBER2=5\nNUMBER3=1\n' >"$work/configured/★MailData/ini.ini"
printf '[EXEINI]\nNAME=user\nNAME2=secret\n' >"$work/configured/★MailData/iniIdPass.ini"
printf 'SMTP=\r\nPOP3=127.0.0.1\r\nMAIL=\r\nAPOP=0\r\n' >"$work/cwd/vbmail.ini"
start_breezel "$work/configured" "$work/cwd"

if ! wid=$(wait_window 'Kazeyomi'); then
    echo "FAILED: the main window did not appear"; cat "$work/breezel.log"; exit 1
fi
wait_until 5 settled "$wid"
check "title is exact" test "$(xprop -id "$wid" _NET_WM_NAME)" = "_NET_WM_NAME(UTF8_STRING) = \"$title\""
read -r x y w h < <(client_geometry "$wid")
import -window root "$work/layout.png"
pixel() { convert "$work/layout.png" -format "%[pixel:p{$1,$2}]" info:; }
# Below the menu bar the design's client area: 221 x 119 pixels of dark grey at its top edge.
menu=$((h - 119))
check "client area is 221 wide (got $w)" test "$w" -eq 221
check "a menu bar of $menu px above the 119 px client area" test "$menu" -ge 15 -a "$menu" -le 40
check "client area starts right below the menu bar" test "$(pixel $((x + 215)) $((y + menu)))" = "srgb(64,64,64)" -a "$(pixel $((x + 215)) $((y + menu - 1)))" != "srgb(64,64,64)"
y=$((y + menu))
check "always on top" grep -q _NET_WM_STATE_ABOVE < <(xprop -id "$wid" _NET_WM_STATE)
check "fixed size" grep -q "maximum size: 221 by $h" < <(xprop -id "$wid" WM_NORMAL_HINTS)
wait_until 5 centred_with_frame "$wid"
check "centred with its frame (at $(centred_with_frame "$wid"))" centred_with_frame "$wid"
check "no dialog opens when configured" test -z "$(xdotool search --onlyvisible --name 'ID,PASS|サーバー設定')"

# Moving pictures: a later screenshot differs from the first in the fan and in the banner.
import -window root "$work/shot1.png"
region() { convert "$1" -crop "$2" +repage rgb:- | md5sum; }
fan="105x97+$x+$y"
banner="233x20+$x+$((y + 99))"
moved() {
    import -window root "$work/shot2.png"
    [[ $(region "$work/shot1.png" "$1") != $(region "$work/shot2.png" "$1") ]]
}
check "fan turns" wait_until 3 moved "$fan"
check "label scrolls" wait_until 3 moved "$banner"

# Closing the window ends the process and saves the window's options.
# The window manager closes the active window on alt+F4: make sure ours is the one.
xdotool windowactivate --sync "$wid"
for ((i = 0; i < 40; i++)); do [[ $(xdotool getactivewindow 2>/dev/null) == "$wid" ]] && break; sleep 0.05; done
xdotool key --clearmodifiers alt+F4
for ((i = 0; i < 100; i++)); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
check "closing ends the process" bash -c "! kill -0 $app_pid 2>/dev/null"
check "closing leaves nothing in the temporary or runtime folder" nothing_left
saved=$(cat "$work/configured/★MailData/ini.ini")
check "mail program saved as unset" grep -q '^NAME=未設定' <<<"$saved"
check "launch option saved" grep -q '^NUMBER3=1' <<<"$saved"
check "mute option saved" grep -q '^NUMBER5=0' <<<"$saved"
app_pid=

# First run: empty data folder and no server file: both dialogs open, side by side. Without a
# runtime folder, the socket goes into a private folder in the user's cache.
make_program_folder "$work/fresh"
mkdir -p "$work/empty"
start_breezel "$work/fresh" "$work/empty" no-runtime
if server=$(wait_window 'サーバー設定') && account=$(wait_window 'ID,PASS'); then
    read -r sx sy sw sh < <(client_geometry "$server")
    read -r ax ay aw ah < <(client_geometry "$account")
    check "dialogs side by side" test $((sx + sw)) -le "$ax" -o $((ax + aw)) -le "$sx"
    check "server dialog on top" grep -q _NET_WM_STATE_ABOVE < <(xprop -id "$server" _NET_WM_STATE)
else
    check "both first-run dialogs open" false
fi
check "first run stores the interval 0" grep -q '^NUMBER2=0' "$work/fresh/★MailData/ini.ini"
check "while running, its one socket is in a private folder" \
    test "$(sockets)" -eq 1 -a "$(stat -c %a "$fallback")" = 700
kill "$app_pid"; wait "$app_pid" 2>/dev/null; app_pid=
check "a terminated run leaves nothing behind" nothing_left

# Killed outright, a run leaves its socket: the next start takes it over instead of adding one.
start_breezel "$work/fresh" "$work/empty" no-runtime
wait_window 'サーバー設定' >/dev/null
kill -KILL "$app_pid"; wait "$app_pid" 2>/dev/null
check "a killed run leaves one socket, not in the temporary folder" \
    test "$(sockets)" -eq 1 -a -z "$(find "$TMPDIR" -name 'breezel*')"
wait_until 5 bash -c "! xdotool search --onlyvisible --name 'サーバー設定'"
start_breezel "$work/fresh" "$work/empty" no-runtime
check "the next start comes up" eval "wait_window 'サーバー設定' >/dev/null"
check "and reuses that socket" test "$(sockets)" -eq 1
kill "$app_pid"; app_pid=

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
