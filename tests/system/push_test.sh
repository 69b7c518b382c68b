#!/usr/bin/env bash
# Push from outside, against a private Dovecot speaking IMAP: Breezel with the interval far away
# opens its push connection at start; a delivery shows the board at once, with no check due;
# Dovecot restarted with mail delivered while it was down: the connection is back within 10 s of
# the server's return and that mail is announced; closing Breezel logs the connection out.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/pop3/dovecot.sh"

begin_test dovecot_stop

ensure_packages wmctrl || exit 1
dovecot_setup || exit 1
# Three messages, the first two seen: one unseen before any delivery.
dovecot_add_user inbox e2e-secret 3 800 2
# The program trusts only the system's certificates: plain IMAP without STARTTLS here.
dovecot_start no-tls || exit 1
start_desktop "$work/desktop" || exit 1

program=$work/program
make_program_folder "$program"
mkdir -p "$work/cwd"
printf 'POP3=imap://127.0.0.1:%s\r\n' "$DOVECOT_IMAP_PORT" >"$work/cwd/vbmail.ini"
printf '[EXEINI]\nNAME=inbox\nNAME2=e2e-secret\n' >"$program/★MailData/iniIdPass.ini"
# Checks every 999 minutes: what shows within the test came by push.
printf '[EXEINI]\nNUMBER2=999\n' >"$program/★MailData/ini.ini"

logins() { grep -c 'imap-login: Info: Login: user=<inbox>' "$DOVECOT_LOG" 2>/dev/null; }
logins_above() { (($(logins) > $1)); }
board_title='新着お知らせボード'
board() { xdotool search --onlyvisible --name "$board_title" 2>/dev/null | head -n1 | grep .; }
no_board() { ! board >/dev/null; }

(cd "$work/cwd" && exec "$program/breezel") >"$work/breezel.log" 2>&1 &
app_pid=$!
main=$(wait_window Kazeyomi) || { check "main window opens" false; cat "$work/breezel.log"; exit 1; }
check "the push connection logs in at start" wait_until 10 logins_above 0
check "no board before any mail" no_board
# The login comes before SELECT and IDLE: mail delivered in between is part of the opening's
# count, not news.
check "the push connection waits in IDLE" wait_until 10 dovecot_idling inbox

dovecot_deliver inbox "Pushed"
if shown=$(wait_for 10 board); then
    check "a delivery shows the board with no check due" true
    wmctrl -i -c "$shown"
    wait_until 10 no_board
else
    check "a delivery shows the board with no check due" false
fi

# Down for two seconds, with a message delivered meanwhile.
before=$(logins)
dovecot_halt
dovecot_deliver inbox "While the server was down"
sleep 2
dovecot_run || exit 1
back=$(date +%s%N)
if wait_until 15 logins_above "$before"; then
    took=$((($(date +%s%N) - back) / 1000000))
    check "logged in again within 10 s of the server's return ($took ms)" test "$took" -le 10000
else
    check "logged in again after the server's return" false
fi
check "the mail delivered while the server was down is announced" wait_until 10 board

# Closing the main window (its close box) ends Breezel; the push connection logs out.
wmctrl -i -c "$main"
check "Breezel ends" wait_until 10 eval '! kill -0 $app_pid'
app_pid=
check "the push connection logged out" \
    wait_until 10 grep -q 'imap(inbox).*Disconnected: Logged out' "$DOVECOT_LOG"
tally
