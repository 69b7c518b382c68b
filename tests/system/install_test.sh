#!/usr/bin/env bash
# Installing as a user does: scripts/install into a temporary prefix and home, a valid desktop
# entry, Breezel started through the entry's Exec line in its Path, a second start handing over
# to the first (one process, its window shown), then scripts/uninstall.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
repo=$(cd "$here/../.." && pwd)
source "$here/desktop.sh"
source "$repo/scripts/common.sh"

begin_test

start_desktop "$work/desktop" || exit 1
export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config
prefix=$work/opt/breezel
BREEZEL_BUILD_DIR=$built bash "$repo/scripts/install" --autostart "$prefix" >"$work/install.log" 2>&1
check "scripts/install succeeds" test $? -eq 0
entry=$XDG_DATA_HOME/applications/$app_id.desktop
check "desktop entry installed" test -f "$entry"
check "autostart entry installed" test -f "$XDG_CONFIG_HOME/autostart/$app_id.desktop"
check "desktop entry is valid" desktop-file-validate "$entry"
check "the software listing is installed, valid" \
    appstreamcli validate --no-net "$XDG_DATA_HOME/metainfo/$app_id.metainfo.xml"
check "icon in the hicolor theme" test -f "$XDG_DATA_HOME/icons/hicolor/256x256/apps/breezel.png"
check "launcher on PATH points at the program" test "$(readlink "$HOME/.local/bin/breezel")" = "$prefix/breezel"
check "program folder is complete" test -x "$prefix/breezel" -a -f "$prefix/libbreezel_sound.so" -a -f "$prefix/Sound/Kouka.wav" -a -f "$prefix/画像データ/FanMove.gif" -a -d "$prefix/★MailData"

# Start as the menu does: the Exec line, in the entry's working directory.
exec_line=$(sed -n 's/^Exec=//p' "$entry")
path=$(sed -n 's/^Path=//p' "$entry")
check "entry starts in the program folder" test "$path" = "$prefix"
eval "set -- $exec_line"
(cd "$path" && exec "$@") >"$work/first.log" 2>&1 &
app_pid=$!
wid=$(wait_window Kazeyomi) || wid=
check "started from the menu entry, the main window shows" test -n "$wid"
check "first start opens the server dialog (nothing configured yet)" eval "wait_window 'サーバー設定' >/dev/null"
xdotool windowminimize "$wid"
minimized() { xprop -id "$wid" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
wait_until 10 minimized
(cd "$path" && timeout 10 "$@") >"$work/second.log" 2>&1
check "a second start ends at once" test $? -eq 0
check "one Breezel remains" test "$(pgrep -c -f "^$prefix/breezel")" -eq 1
shown() { ! minimized && xdotool search --onlyvisible --name Kazeyomi >/dev/null; }
check "the running window is shown again" wait_until 10 shown
kill "$app_pid"; wait "$app_pid" 2>/dev/null; app_pid=

bash "$repo/scripts/uninstall" "$prefix" >"$work/uninstall.log" 2>&1
check "scripts/uninstall removes program, entries and launcher" test ! -e "$prefix/breezel" -a ! -e "$entry" -a ! -e "$HOME/.local/bin/breezel" -a ! -e "$XDG_CONFIG_HOME/autostart/$app_id.desktop" -a ! -e "$XDG_DATA_HOME/metainfo/$app_id.metainfo.xml"

tally
