#!/usr/bin/env bash
# scripts/demo as a newcomer runs it: the private mailbox's three messages bring up the notice
# board and the chime within seconds; closing Breezel ends the demo and everything it started.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
repo=$(cd "$here/../.." && pwd)
source "$here/desktop.sh"

begin_test

start_desktop "$work/desktop" || exit 1
BREEZEL_BUILD_DIR=$built bash "$repo/scripts/demo" >"$work/demo.log" 2>&1 &
app_pid=$!

board=$(wait_window '新着お知らせボード') || board=
check "the notice board comes up" test -n "$board"
# The demo's own Breezel, found through its board: other tests may run one of their own.
breezel_pid=$([[ -n $board ]] && xprop -id "$board" _NET_WM_PID | awk '{print $3}')
check "the chime window opens" wait_until 10 window_of_size "${breezel_pid:-0}" 100 100
server=$(pgrep -P "$app_pid" -f 'dovecot -F -c')
check "the private mail server runs" test -n "$server"

main=$(wait_window Kazeyomi) || main=
xdotool windowactivate --sync "$main" key alt+F4
demo_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
check "closing Breezel ends the demo" wait_until 10 demo_ended
wait "$app_pid" 2>/dev/null
check "the demo ends cleanly" test $? -eq 0
app_pid=
check "the private mail server is stopped" bash -c "! kill -0 ${server:-0} 2>/dev/null"

tally
