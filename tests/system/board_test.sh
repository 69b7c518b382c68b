#!/usr/bin/env bash
# The notice board from outside, after "メールチェック（手動）" against a private Dovecot holding
# three messages: it shows "3", centred and on top, and the chime window opens; with the
# board's auto-close set it is gone after about a second and the chime window comes after it.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/pop3/dovecot.sh"

work=$(mktemp -d)
app_pid=
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
    dovecot_stop
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

dovecot_setup || exit 1
dovecot_add_user box3 board-secret 3 1500
# The program trusts only the system's certificates: plain POP3 without STLS here.
dovecot_start no-tls || exit 1
start_desktop "$work/desktop" || exit 1

# Starts Breezel configured for the mailbox, with the given preferences lines.
start_breezel() {
    local dir=$work/program-$1
    make_program_folder "$dir"
    mkdir -p "$dir/cwd"
    printf '[EXEINI]\n%s' "$2" >"$dir/★MailData/ini.ini"
    printf '[EXEINI]\nNAME=box3\nNAME2=board-secret\n' >"$dir/★MailData/iniIdPass.ini"
    printf 'POP3=127.0.0.1:%s\r\n' "$DOVECOT_POP3_PORT" >"$dir/cwd/vbmail.ini"
    (cd "$dir/cwd" && exec "$dir/breezel") >"$work/breezel-$1.log" 2>&1 &
    app_pid=$!
    main=$(wait_window Kazeyomi) || { echo "no main window"; cat "$work/breezel-$1.log"; return 1; }
}

has_chime() { chime_window >/dev/null; }

check_mail_from_menu() {
    local before
    before=$(xdotool search --onlyvisible --pid "$app_pid")
    xdotool windowactivate --sync "$main" key alt+f
    wait_new_window "$app_pid" "$before" >/dev/null || return 1
    xdotool key Return
}

chime_window() { window_of_size "$app_pid" 100 100; }

start_breezel stay 'NUMBER4=0\n' || exit 1
check_mail_from_menu
if board=$(wait_window '新着お知らせボード'); then
    wait_until 5 centred_with_frame "$board"
    check "the board with its frame is centred on the screen (at $(centred_with_frame "$board"))" \
        centred_with_frame "$board"
    read -r bx by bw bh < <(client_geometry "$board")
    check "board client area is 240x19 (got ${bw}x${bh})" test "$bw" -eq 240 -a "$bh" -eq 19
    check "board is on top" grep -q _NET_WM_STATE_ABOVE < <(xprop -id "$board" _NET_WM_STATE)
    check "the chime window opens after the board" has_chime
else
    check "board opens" false
fi
kill "$app_pid"; app_pid=

start_breezel close 'NUMBER4=1\n' || exit 1
check_mail_from_menu
board=$(wait_window '新着お知らせボード') || board=
check "auto-closing board opens" test -n "$board"
opened=$(date +%s%N)
chime_first=no
# The chime is looked for before the board: a board still up after a chime was seen was up
# together with it, whereas the other order races with the board closing in between.
while true; do
    chime_seen=no
    chime_window >/dev/null && chime_seen=yes
    xdotool search --onlyvisible --name '新着お知らせボード' >/dev/null 2>&1 || break
    [[ $chime_seen == yes ]] && chime_first=yes
    (($(date +%s%N) - opened > 5000000000)) && break
    sleep 0.05
done
shown_ms=$((($(date +%s%N) - opened) / 1000000))
check "board closes itself after about a second (${shown_ms} ms)" test "$shown_ms" -ge 700 -a "$shown_ms" -le 2000
check "no chime while the board is up" test "$chime_first" = no
for ((i = 0; i < 30; i++)); do chime_window >/dev/null && break; sleep 0.1; done
check "the chime window comes after the board" has_chime

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
