#!/usr/bin/env bash
# Breezel on a Wayland desktop, from outside: weston's headless compositor with XWayland and two
# Breezels at once, each checking its own mailbox on a private Dovecot every minute.
# - Through XWayland (what Breezel picks on a Wayland session with DISPLAY set): the main window
#   appears with its design width, on top where the window manager keeps windows on
#   top; the check brings up the board and the chime window, shaped to the chime.
# - Native Wayland (QT_QPA_PLATFORM=wayland): the main window maps on the output, the check logs
#   in and the board and the chime window map, nothing is printed, and the program runs on until
#   it is stopped.
# With a sound server, as on a desktop, so the chime plays.
# The headless backend has no input devices (a synthetic X event crashes its XWayland), so the
# checks come from the one-minute interval rather than from a click.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/pop3/dovecot.sh"
source "$here/sound.sh"

# The native Breezel is $app_pid; weston and the XWayland one go with the desktop.
begin_test stop_sound dovecot_stop

ensure_packages weston xwayland qt6-wayland || exit 1
dovecot_setup || exit 1
dovecot_add_user xw xw-secret 2 1200
dovecot_add_user wl wl-secret 3 1200
dovecot_start no-tls || exit 1

mkdir -p "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
# A sound server, as on a desktop: the chime plays.
start_sound "$work" || exit 1
unset DISPLAY
# Drawn in memory (pixman) and with its screenshooter allowed (--debug), to look at the screen.
weston --backend=headless-backend.so --use-pixman --debug --xwayland --socket=breezel-wayland \
    --width=1280 --height=1024 >"$work/weston.log" 2>&1 &
desktop_pids+=($!)
wait_until 10 grep -q 'xserver listening on display' "$work/weston.log" ||
    { echo "weston did not start"; cat "$work/weston.log"; exit 1; }
DISPLAY=:$(sed -n 's/.*xserver listening on display :\([0-9]*\).*/\1/p' "$work/weston.log")
export DISPLAY WAYLAND_DISPLAY=breezel-wayland

# start_breezel NAME USER PASSWORD [ENV...]: a program folder checking USER's mailbox every
# minute, started with the given environment; sets $pid. Output goes to $work/NAME.log.
start_breezel() {
    local name=$1 user=$2 password=$3 dir=$work/$1
    shift 3
    make_program_folder "$dir"
    printf '[EXEINI]\nNUMBER2=1\n' >"$dir/★MailData/ini.ini"
    printf '[EXEINI]\nNAME=%s\nNAME2=%s\n' "$user" "$password" >"$dir/★MailData/iniIdPass.ini"
    printf 'POP3=127.0.0.1:%s\r\n' "$DOVECOT_POP3_PORT" >"$dir/vbmail.ini"
    (cd "$dir" && exec env "$@" ./breezel) >"$work/$name.log" 2>&1 &
    pid=$!
}
start_breezel xwayland xw xw-secret
xw_pid=$pid
desktop_pids+=("$pid")
# The protocol log of the client shows what the compositor maps.
start_breezel native wl wl-secret QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client
app_pid=$pid

# --- Through XWayland.
if main=$(wait_window Kazeyomi); then
    read -r _ _ width _ < <(client_geometry "$main")
    check "XWayland: the main window appears, $width px wide" test "$width" = 221
    # Weston's X window manager keeps nothing on top; GNOME's and KDE's do.
    if xprop -root _NET_SUPPORTED | grep -q _NET_WM_STATE_ABOVE; then
        check "XWayland: the main window is on top" \
            grep -q _NET_WM_STATE_ABOVE < <(xprop -id "$main" _NET_WM_STATE)
    else
        echo "note: this window manager cannot keep windows on top"
    fi
else
    check "XWayland: the main window appears" false
fi

# Both checks come at the first full minute.
board_window() { xdotool search --onlyvisible --name '新着お知らせボード' | head -n1 | grep .; }
wait_until 80 board_window
board=$(board_window) || board=
if [[ -n $board ]]; then
    read -r _ _ bw bh < <(client_geometry "$board")
    check "XWayland: the check brings up the board (${bw}x${bh})" test "$bw" -eq 240 -a "$bh" -eq 19
else
    check "XWayland: the check brings up the board" false
fi
# Shaped once its first swing tick has passed: narrower than its 100 px window.
chime_shape() {
    local chime
    chime=$(window_of_size "$xw_pid" 100 100) || return 1
    xwininfo -shape -id "$chime" | awk '/Window shape extents/{print $4}' | grep -E '^[0-9]+x'
}
shaped() { [[ $(chime_shape) =~ ^([0-9]+)x ]] && ((BASH_REMATCH[1] < 100)); }
check "XWayland: the chime window is shaped to the chime ($(wait_until 10 shaped; chime_shape))" \
    shaped

# --- Native Wayland: objects of the client's protocol log.
log=$work/native.log
# The surface of the toplevel whose title is $1.
surface_titled() {
    local toplevel xdg_surface
    toplevel=$(grep -oP "xdg_toplevel@\K[0-9]+(?=\.set_title\(\"$1)" "$log" | head -n1)
    [[ -n $toplevel ]] || return 1
    xdg_surface=$(grep -oP "xdg_surface@\K[0-9]+(?=\.get_toplevel\(new id xdg_toplevel@$toplevel\))" \
        "$log" | head -n1)
    grep -oP "get_xdg_surface\(new id xdg_surface@$xdg_surface, wl_surface@\K[0-9]+" "$log" |
        head -n1
}
# The compositor has put the surface of the window titled $1 on its output.
mapped() {
    local surface
    surface=$(surface_titled "$1") && [[ -n $surface ]] &&
        grep -q "^\[[0-9. ]*\] wl_surface@$surface\.enter(" "$log"
}
check "native: the main window maps" wait_until 10 mapped Kazeyomi
check "native: the check logs in" wait_until 20 grep -q 'user=<wl>' "$DOVECOT_LOG"
check "native: the board maps" wait_until 20 mapped 新着お知らせボード
toplevels() { (($(grep -c 'get_toplevel(' "$log") >= 3)); }
check "native: the chime window comes" wait_until 10 toplevels
# Two swing ticks: each gives the chime window a new shape, here its input region.
swung() {
    local surface
    surface=$(grep -oP 'get_xdg_surface\(new id xdg_surface@[0-9]+, wl_surface@\K[0-9]+' "$log" |
        sed -n 3p)
    [[ -n $surface ]] && (($(grep -c "wl_surface@$surface\.set_input_region" "$log") >= 2))
}
check "native: the chime window swings" wait_until 10 swung
check "native: the program runs on after the check" kill -0 "$app_pid"

# The whole screen, both programs' chimes included: the key colour shows nowhere.
mkdir -p "$work/shots"
(cd "$work/shots" && timeout 20 weston-screenshooter) >"$work/shooter.log" 2>&1
shot=$(ls "$work/shots"/*.png 2>/dev/null | head -n1)
silver=$([[ -n $shot ]] && convert "$shot" -fill black +opaque '#C0C0C0' -fill white \
    -opaque '#C0C0C0' -format '%[fx:round(mean*w*h)]' info:)
check "both chimes show without their silver square (${silver:-no screenshot} key pixels)" \
    test "${silver:-99999}" -lt 500
kill "$app_pid"
wait "$app_pid"
status=$?
app_pid=
# Killed by the signal, or ending itself on it: never aborted or faulted.
check "native: it ends on a plain stop, not a crash (status $status)" \
    eval '[[ $status == 0 || $status == 143 ]]'
check "XWayland: the program runs on after the check" kill -0 "$xw_pid"
printed=$(grep -v '^\[ *[0-9]' "$log")
check "native: nothing is printed${printed:+: $printed}" test -z "$printed"
printed=$(cat "$work/xwayland.log")
check "XWayland: nothing is printed${printed:+: $printed}" test -z "$printed"

tally
