#!/usr/bin/env bash
# scripts/demo as a newcomer runs it: the private mailbox's three messages bring up the notice
# board and the chime within seconds; closing Breezel ends the demo and everything it started.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
repo=$(cd "$here/../.." && pwd)
source "$here/desktop.sh"

work=$(mktemp -d)
demo_pid=
cleanup() {
    [[ -n $demo_pid ]] && kill "$demo_pid" 2>/dev/null && wait "$demo_pid" 2>/dev/null
    stop_desktop
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

start_desktop "$work/desktop" || exit 1
BREEZEL_BUILD_DIR=$built bash "$repo/scripts/demo" >"$work/demo.log" 2>&1 &
demo_pid=$!

board=$(wait_window '新着お知らせボード') || board=
check "the notice board comes up" test -n "$board"
# The demo's own Breezel, found through its board: other tests may run one of their own.
app_pid=$([[ -n $board ]] && xprop -id "$board" _NET_WM_PID | awk '{print $3}')
check "the chime window opens" wait_until 10 window_of_size "${app_pid:-0}" 100 100
server=$(pgrep -P "$demo_pid" -f 'dovecot -F -c')
check "the private mail server runs" test -n "$server"

main=$(wait_window Kazeyomi) || main=
xdotool windowactivate --sync "$main" key alt+F4
ended=no
for ((i = 0; i < 100; i++)); do
    kill -0 "$demo_pid" 2>/dev/null || { ended=yes; break; }
    sleep 0.1
done
check "closing Breezel ends the demo" test "$ended" = yes
wait "$demo_pid" 2>/dev/null
check "the demo ends cleanly" test $? -eq 0
demo_pid=
check "the private mail server is stopped" bash -c "! kill -0 ${server:-0} 2>/dev/null"

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
