#!/usr/bin/env bash
# The icon on a StatusNotifier tray (KDE Plasma, GNOME with the AppIndicator extension), from
# outside: with a watcher on a private session bus, "タスクトレイに常駐" hides the main window
# and registers an item with the window icon and the time as its tip; activating the item opens
# the program's menu (code 1), the secondary action the "Clicked!" box (code 0), a request for
# its context menu the menu again (code 1); "終了" in the menu the item exports ends the program
# with the main window's options saved.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"

begin_test

# A private session bus with a watcher that reports a host, as a tray panel would; stopped
# with the desktop.
mkdir -p "$work/bus"
dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 \
    --address="unix:tmpdir=$work/bus" >"$work/bus.info" 2>"$work/bus.log" || exit 1
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p "$work/bus.info")
desktop_pids+=("$(sed -n 2p "$work/bus.info")")
/usr/bin/python3 -m dbusmock -l "$work/watcher.log" org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.kde.StatusNotifierWatcher >"$work/mock.log" 2>&1 &
desktop_pids+=($!)
watcher() {
    gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher -m "$@"
}
wait_until 10 watcher org.freedesktop.DBus.Peer.Ping || { echo "no watcher"; exit 1; }
mock=org.freedesktop.DBus.Mock
{
    watcher $mock.AddMethod org.kde.StatusNotifierWatcher RegisterStatusNotifierItem s '' '' &&
        watcher $mock.AddProperty org.kde.StatusNotifierWatcher \
            IsStatusNotifierHostRegistered '<true>' &&
        watcher $mock.AddProperty org.kde.StatusNotifierWatcher ProtocolVersion '<0>'
} >/dev/null || exit 1

# No XEmbed tray host: the item is the only way back to the program.
start_desktop "$work/desktop" || exit 1

# Configured, so no dialog opens. Saved options that shutdown must rewrite: the mail program
# box ticked, the mute value unreadable (the box stays clear), no mail program.
program=$work/program
make_program_folder "$program"
printf '[EXEINI]\nNAME=me\nNAME2=pw\n' >"$program/★MailData/iniIdPass.ini"
printf '[EXEINI]\nNUMBER3=1\nNUMBER5=7\n' >"$program/★MailData/ini.ini"
printf 'POP3=127.0.0.1\r\n' >"$program/vbmail.ini"
(cd "$program" && exec ./breezel) >"$work/breezel.log" 2>&1 &
app_pid=$!
main=$(wait_window Kazeyomi) || { echo "FAILED: no main window"; cat "$work/breezel.log"; exit 1; }

# タスクトレイに常駐: the third item of the file menu.
xdotool windowactivate --sync "$main" key alt+f
wait_new_window "$app_pid" "$main" >/dev/null || echo "the file menu did not open"
xdotool key Down Down Return
check "the item is registered with the watcher" \
    wait_until 10 grep -q RegisterStatusNotifierItem "$work/watcher.log"
item=$(sed -n 's/.* RegisterStatusNotifierItem "\(.*\)"$/\1/p' "$work/watcher.log" | head -n1)
main_hidden() { ! xdotool search --onlyvisible --name Kazeyomi; }
check "the main window is hidden" wait_until 10 main_hidden

property() {
    gdbus call --session -d "$item" -o /StatusNotifierItem \
        -m org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
icon=$(property IconPixmap) || icon=
bytes=$(grep -o 0x <<<"$icon" | wc -l)
check "the item shows the 32x32 window icon (${icon:0:16}…, $bytes bytes)" \
    eval '[[ $icon == "(<[(32, 32, [byte "* && $bytes -ge 4096 ]] && grep -q "0x[1-9a-f]" <<<"$icon"'
tip=$(property ToolTip) || tip=
check "its tip is the time it went to the tray ($tip)" \
    eval 'grep -qE "[0-9]{1,2}:[0-9]{2}:[0-9]{2}" <<<"$tip" && grep -q "$(date +%Y)" <<<"$tip"'

call_item() {
    gdbus call --session -d "$item" -o /StatusNotifierItem -m "org.kde.StatusNotifierItem.$1" \
        -- "$2" "$3" >/dev/null
}
no_window() { [[ -z $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null) ]]; }
# The program's own pop-up menu: an override-redirect window of its own.
is_menu() { xwininfo -id "$1" | grep -q 'Override Redirect State: yes'; }

# A shown menu of the program's, if any: another window that shows meanwhile (under load one
# once did) is not taken for it.
menu_window() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        is_menu "$id" && { echo "$id"; return 0; }
    done
    return 1
}

# Activating the item, and asking for its context menu, open the program's menu.
for call in "Activate 0 0" "ContextMenu 10 10"; do
    call_item $call
    check "${call%% *} opens the program's menu" wait_until 10 menu_window
    xdotool key Escape
    wait_until 10 no_window
done

call_item SecondaryActivate 0 0
box=$(wait_new_window "$app_pid" "") || box=
check "the secondary action shows the \"Clicked!\" box" \
    eval '[[ -n $box ]] && ! is_menu "$box" && xprop -id "$box" WM_NAME | grep -q breezel'
[[ -n $box ]] && xdotool windowactivate --sync "$box" key Return
check "the box closes with OK" wait_until 10 no_window

# The menu the item exports, as the tray panel shows it: choose "終了".
menu_path=$(property Menu | grep -o "'/[^']*'" | tr -d "'")
layout=$(gdbus call --session -d "$item" -o "$menu_path" -m com.canonical.dbusmenu.GetLayout \
    -- 0 -1 '@as []') || layout=
check "the exported menu is メイン画面を表示 / separator / 終了" \
    eval 'grep -qE "メイン画面を表示.*separator.*終了" <<<"$layout"'
quit_id=$(grep -oP "\((\d+), \{[^}]*'label': <'終了'>" <<<"$layout" | grep -oP '^\(\K\d+')
gdbus call --session -d "$item" -o "$menu_path" -m com.canonical.dbusmenu.Event \
    -- "${quit_id:-0}" clicked '<0>' 0 >/dev/null
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
check "終了 ends the program" wait_until 10 ended
ended && app_pid=
saved=$(tr -d '\r' <"$program/★MailData/ini.ini")
check "the main window's options were saved ($(tr '\n' ' ' <<<"$saved"))" \
    eval 'grep -qx "NAME=未設定" <<<"$saved" && grep -qx "NUMBER3=1" <<<"$saved" &&
        grep -qx "NUMBER5=0" <<<"$saved"'

tally
