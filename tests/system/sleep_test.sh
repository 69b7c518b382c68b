#!/usr/bin/env bash
# Sleep, wake and network changes from outside, with logind and NetworkManager mocked on a
# private system bus and Breezel's push connection running through a proxy that can freeze it:
# before sleep push logs out and lets sleep come; mail delivered while asleep (the old link
# frozen) is announced once after wake, push back; with the network down nothing is tried; up
# again on another link, or moved to another link, push reconnects at once.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/pop3/dovecot.sh"
source "$here/sleep/scene.sh"

begin_test dovecot_stop

ensure_packages wmctrl python3-dbusmock dbus libglib2.0-bin || exit 1
dovecot_setup || exit 1
# Three messages, all seen: nothing to announce before a delivery.
dovecot_add_user inbox sleep-secret 3 800 3
dovecot_start no-tls || exit 1
start_desktop "$work/desktop" || exit 1
scene_start "$work/scene" "$DOVECOT_IMAP_PORT" || exit 1

program=$work/program
make_program_folder "$program"
mkdir -p "$work/cwd"
printf 'POP3=imap://127.0.0.1:%s\r\n' "$SCENE_PORT" >"$work/cwd/vbmail.ini"
printf '[EXEINI]\nNAME=inbox\nNAME2=sleep-secret\n' >"$program/★MailData/iniIdPass.ini"
# Checks every 999 minutes: no check of the interval's comes within the test.
printf '[EXEINI]\nNUMBER2=999\n' >"$program/★MailData/ini.ini"

count() { grep -c "$1" "$DOVECOT_LOG" 2>/dev/null; }
logins() { count 'imap-login: Info: Login: user=<inbox>'; }
logouts() { count 'imap(inbox).*Disconnected: Logged out'; }
above() { (($("$1") > $2)); }
board() { xdotool search --onlyvisible --name '新着お知らせボード' 2>/dev/null | head -n1 | grep .; }
no_board() { ! board >/dev/null; }
close_board() { wmctrl -i -c "$1" && wait_until 10 no_board; }

(cd "$work/cwd" && exec "$program/breezel") >"$work/breezel.log" 2>&1 &
app_pid=$!
wait_window Kazeyomi >/dev/null || { check "main window opens" false; cat "$work/breezel.log"; exit 1; }
check "the push connection logs in at start" wait_until 10 above logins 0
check "Breezel holds sleep back with a delay lock" wait_until 10 scene_lock_held

before=$(logouts)
scene_sleep
# Well before the lock's second is up: released as soon as the connection is closed.
check "sleep is let come at once" wait_until 0.8 eval '! scene_lock_held'
check "before sleep the push connection logs out" wait_until 5 above logouts "$before"
# NetworkManager sleeps too; what was left open would now be dead.
scene_network 10
scene_freeze
dovecot_deliver inbox "While asleep"

before=$(logins)
scene_wake
check "awake, Breezel holds its lock again" wait_until 10 scene_lock_held
check "nothing is tried before the network is up" eval '(($(logins) == before))'
scene_network 70
check "back within 10 s of the network" wait_until 10 above logins $((before + 1))
if shown=$(wait_for 10 board); then
    check "the mail that came while asleep is announced" true
    close_board "$shown"
else
    check "the mail that came while asleep is announced" false
fi
dovecot_deliver inbox "Awake"
if shown=$(wait_for 10 board); then
    check "push tells of new mail after wake" true
    close_board "$shown"
else
    check "push tells of new mail after wake" false
fi
check "announced once: one check and the push logged in since wake ($(logins) after $before)" \
    eval '(($(logins) == before + 2))'

before=$(logouts)
scene_network 20
check "the network gone, push logs out" wait_until 5 above logouts "$before"
accepted=$(scene_accepted)
# Three seconds hold three retries of a second's back-off.
check "and tries nothing while it is down" eval '! wait_until 3 above scene_accepted $accepted'

before=$(logins)
scene_network 70 2
check "up on another link: reconnected within 3 s" wait_until 3 above logins "$before"
before=$(logins)
scene_network 70 3
check "moved to another link: reconnected within 3 s" wait_until 3 above logins "$before"

wmctrl -i -c "$(wait_window Kazeyomi)"
check "Breezel ends" wait_until 10 eval '! kill -0 $app_pid'
app_pid=
tally
