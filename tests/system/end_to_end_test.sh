#!/usr/bin/env bash
# One user's way through Breezel, from a first start in empty folders to a second start, against
# a private Dovecot holding three messages, with a tray host and a recorded sound sink: the
# first-run dialogs filled in by keyboard, the interval set in 設定, a manual check (board "3",
# chime window, chime heard), 戻す (silence), the tray icon and its menu, 終了, the files left
# behind, and a second start that reads them back without asking again.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/sound.sh"
source "$here/pop3/dovecot.sh"

work=$(mktemp -d)
app_pid=
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    stop_sound
    dovecot_stop
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# trayer hosts the tray icon.
ensure_packages trayer || exit 1
dovecot_setup || exit 1
dovecot_add_user box3 e2e-secret 3 1500
# The program trusts only the system's certificates: plain POP3 without STLS here.
dovecot_start no-tls || exit 1
start_desktop "$work/desktop" || exit 1
export TMPDIR=$work/tmp  # to see that the run leaves nothing in it
mkdir -p "$TMPDIR"
start_sound "$work" || exit 1
start_tray "$work" || exit 1

program=$work/program
cwd=$work/cwd
data=$program/★MailData
make_program_folder "$program"
mkdir -p "$cwd"
server=127.0.0.1:$DOVECOT_POP3_PORT
title='Kazeyomi　Ver 1.0'

finish() {
    echo "$passes passed, $failures failed"
    [[ $failures -eq 0 ]]
    exit
}

start_breezel() {
    (cd "$cwd" && exec "$program/breezel") >>"$work/breezel.log" 2>&1 &
    app_pid=$!
    main=$(wait_window Kazeyomi) || {
        check "main window opens" false
        cat "$work/breezel.log"
        finish
    }
}

# Runs the File menu's item reached by pressing Down DOWNS times from the first item.
menu_command() {
    local downs=$1 before i
    before=$(xdotool search --onlyvisible --pid "$app_pid")
    xdotool windowactivate --sync "$main" key alt+f
    wait_new_window "$app_pid" "$before" >/dev/null || return 1
    for ((i = 0; i < downs; i++)); do xdotool key Down; done
    xdotool key Return
}

no_window() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
unmapped() { xwininfo -id "$1" 2>/dev/null | grep -q IsUnMapped; }
not_viewable() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
no_chime() { ! window_of_size "$app_pid" 100 100; }
dialogs() { ! no_window 'サーバー設定|ID,PASS'; }
no_dialog_within() { ! wait_until "$1" dialogs; }

# True when FILE holds every given line (LF ended).
has_lines() {
    local file=$1 line
    shift
    for line in "$@"; do grep -qxF -- "$line" "$file" || return 1; done
}

# True when FILE sets every given key.
has_keys() {
    local file=$1 key
    shift
    for key in "$@"; do grep -q "^$key=" "$file" || return 1; done
}

# --- First start in empty folders: both dialogs, filled in from the keyboard.
start_breezel
check "title is exact" test "$(xprop -id "$main" _NET_WM_NAME)" = "_NET_WM_NAME(UTF8_STRING) = \"$title\""
server_dialog=$(wait_window 'サーバー設定') || server_dialog=
account_dialog=$(wait_window 'ID,PASS') || account_dialog=
check "first start opens サーバー設定" test -n "$server_dialog"
check "first start opens ID,PASS" test -n "$account_dialog"
[[ -n $server_dialog && -n $account_dialog ]] || finish

# SMTP and the address stay empty, APOP unticked; Return in the field presses 設定.
xdotool windowactivate --sync "$server_dialog"
xdotool key Tab
xdotool type "$server"
xdotool key Return
check "設定 closes サーバー設定" wait_until 5 no_window 'サーバー設定'

xdotool windowactivate --sync "$account_dialog"
xdotool type box3
xdotool key Tab
xdotool type e2e-secret
xdotool key Tab space Return # tick "IDパスワードを保存する", then OK
check "OK closes ID,PASS" wait_until 5 no_window 'ID,PASS'

# --- 設定: an interval of 1 minute, saved when the dialog is closed by its close box.
menu_command 3
if prefs=$(wait_window '^設定$'); then
    xdotool windowactivate --sync "$prefs" key Tab Tab Tab ctrl+a # onto the interval field
    xdotool type 1
    xdotool windowactivate --sync "$prefs" key alt+F4
    check "設定 closes by its close box" wait_until 5 no_window '^設定$'
    check "closing 設定 saves the interval" wait_until 5 has_lines "$data/ini.ini" NUMBER2=1
    check "closing 設定 saves NUMBER and NUMBER4" has_keys "$data/ini.ini" NUMBER NUMBER4
else
    check "設定 opens from the menu" false
fi

# --- Manual check: the board shows 3, the chime window opens and the chime sounds.
menu_command 0
check "manual check opens the board" eval "wait_window '新着お知らせボード' >/dev/null"
check "the chime window opens" wait_until 5 window_of_size "$app_pid" 100 100
record "$work/chime.wav" 2
check "the chime sounds (rms $(rms "$work/chime.wav"))" loud "$work/chime.wav"

# --- 戻す: the chime window closes and the sound stops. Its lower part stays clear of the board.
read -r x y < <(main_client_origin "$main")
xdotool mousemove $((x + 188)) $((y + 72)) click 1
check "戻す closes the chime window" wait_until 5 no_chime
record_after_drain "$work/reset.wav" 1
check "戻す silences the chime (rms $(rms "$work/reset.wav"))" quiet "$work/reset.wav"

# --- タスクトレイに常駐: the main window goes, the icon sits in the tray host.
menu_command 2
check "main window is hidden" wait_until 5 unmapped "$main"
check "the tray host holds the program's icon" wait_until 5 tray_icon "$app_pid"
icon=$(tray_icon "$app_pid") || icon=
if [[ -n $icon ]]; then
    read -r ix iy iw ih < <(client_geometry "$icon")
    for button in 1 3; do
        before=$(xdotool search --onlyvisible --pid "$app_pid")
        xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click "$button"
        menu=$(wait_new_window "$app_pid" "$before") || menu=
        check "click $button on the icon opens its menu" test -n "$menu"
        [[ -n $menu ]] || break
        if [[ $button == 1 ]]; then
            xdotool key Escape
            wait_until 3 not_viewable "$menu"
        fi
    done
    xdotool key Down Down Return # 終了, past the separator
    check "終了 from the tray menu ends the program" wait_until 5 ended
fi
ended || kill "$app_pid" 2>/dev/null
app_pid=

# --- What the program left behind.
check "nothing of Breezel's is left in the temporary or runtime folder" \
    test -z "$(find "$TMPDIR" "$XDG_RUNTIME_DIR" -name 'breezel*')"
check "mail program saved as unset" has_lines "$data/ini.ini" NAME=未設定
check "launch and mute options saved" has_keys "$data/ini.ini" NUMBER3 NUMBER5
check "the interval 1 is kept" has_lines "$data/ini.ini" NUMBER2=1
check "vbmail.ini holds the server settings, CR LF" \
    cmp -s <(printf 'SMTP=\r\nPOP3=%s\r\nMAIL=\r\nAPOP=0\r\n' "$server") "$cwd/vbmail.ini"
check "account saved" has_lines "$data/iniIdPass.ini" NAME=box3 NAME2=e2e-secret NAME3=1
check "account file is private (mode $(stat -c %a "$data/iniIdPass.ini"))" \
    test "$(stat -c %a "$data/iniIdPass.ini")" = 600

# --- Second start: no dialog, ON, and the saved account and server still fetch the mail.
start_breezel
check "second start opens no dialog" no_dialog_within 2
menu_command 0
check "the saved account fetches the mail again: the board opens" \
    eval "wait_window '新着お知らせボード' >/dev/null"

finish
