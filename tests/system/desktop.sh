# Shared by the system tests: a private X desktop (Xvfb and openbox) and helpers that look at
# windows from outside the program. Source it; call start_desktop, and stop_desktop on exit.

desktop_pids=()

# Starts Xvfb on a free display and openbox on it; exports DISPLAY. Left to pick a display
# itself, Xvfb raced with the others the tests start two at a time, and with weston's XWayland,
# which counts up from :0: ours come from :100 up, one start at a time, and a display counts as
# ours only when its lock file names our server.
start_desktop() {
    local dir=$1 xvfb= display lock
    mkdir -p "$dir/runtime" "$dir/home"
    chmod 700 "$dir/runtime"
    export XDG_RUNTIME_DIR=$dir/runtime HOME=$dir/home
    exec {lock}>"${TMPDIR:-/tmp}/breezel-xvfb.lock"
    flock -w 120 "$lock"
    for ((display = 100; display < 200; display++)); do
        [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]] && continue
        # The server must not hold the start lock open for its whole life.
        # -noreset: the check below is a client, and its leaving must not reset the server.
        Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset -br {lock}>&- \
            >"$dir/xvfb.log" 2>&1 &
        xvfb=$!
        export DISPLAY=:$display
        wait_until 10 eval "[[ \$(tr -d ' ' </tmp/.X$display-lock) == $xvfb ]] && xprop -root" && break
        kill "$xvfb" 2>/dev/null
        wait "$xvfb" 2>/dev/null
        xvfb=
    done
    exec {lock}>&-
    [[ -n $xvfb ]] || { echo "Xvfb did not start:"; cat "$dir/xvfb.log"; return 1; }
    desktop_pids+=("$xvfb")
    openbox --sm-disable >"$dir/openbox.log" 2>&1 &
    desktop_pids+=($!)
    wait_until 20 eval "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
        { echo "openbox did not start:"; cat "$dir/openbox.log"; return 1; }
}

stop_desktop() {
    local pid
    for pid in "${desktop_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${desktop_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    desktop_pids=()
}

# Prints the id of the first visible window whose title matches, waiting up to 15 s.
wait_window() { wait_for 15 first_line xdotool search --onlyvisible --name "$1"; }

# Runs a command and prints the first line it prints; fails when it prints nothing.
first_line() { "$@" 2>/dev/null | head -n1 | grep .; }

# "X Y W H" of a window's client area on the screen.
client_geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
        /^  Width/{w=$NF} /^  Height/{h=$NF} END{print x, y, w, h}'
}

# Prints the centre of a window framed as the window manager reports it (_NET_FRAME_EXTENTS);
# succeeds when that is within 1 px of the screen's centre.
centred_with_frame() {
    local x y w h l r t b sw sh
    read -r x y w h < <(client_geometry "$1")
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,)
    [[ -n $b ]] || return 1
    read -r sw sh < <(xdotool getdisplaygeometry)
    awk -v x=$((x - l)) -v y=$((y - t)) -v w=$((w + l + r)) -v h=$((h + t + b)) \
        -v sw="$sw" -v sh="$sh" 'BEGIN {
            cx = x + w / 2; cy = y + h / 2; print cx, cy
            exit !((cx - sw / 2) ^ 2 <= 1 && (cy - sh / 2) ^ 2 <= 1) }'
}

# A program folder at DIR with the built program, its pictures and sound, and an empty data
# folder; the script sets $built to the build's program folder.
make_program_folder() {
    mkdir -p "$1/★MailData"
    cp "$built/breezel" "$1/"
    cp -r "$built/Sound" "$built/画像データ" "$1/"
}

# Adds a further mailbox to the program folder DIR: its section KEY in mailboxes.ini (named as
# its ID) and its password in mailbox-secrets.ini at 0600, where Breezel keeps it while no
# keyring answers. A program run so should have no session bus
# (DBUS_SESSION_BUS_ADDRESS=$no_session_bus): a keyring without a default collection yet would
# otherwise ask, on screen, to make one when the password moves into it.
add_further_mailbox() {
    local dir=$1 key=$2 server=$3 id=$4 password=$5
    printf '[%s]\nname=%s\nserver=%s\nid=%s\n' "$key" "$id" "$server" "$id" \
        >>"$dir/★MailData/mailboxes.ini"
    printf '[mailbox/%s]\nrefresh=%s\n' "$key" "$password" >>"$dir/★MailData/mailbox-secrets.ini"
    chmod 600 "$dir/★MailData/mailbox-secrets.ini"
}
no_session_bus=unix:path=/nonexistent

failures=0
passes=0
check() {
    local what=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
        echo "ok: $what"
    else
        failures=$((failures + 1))
        echo "FAILED: $what"
    fi
}

# The start of a test script: sets $work to a fresh temporary folder and $app_pid (the program
# under test) to none. On exit the program is stopped, the given commands run, the desktop is
# stopped and $work removed (kept and named when KEEP is set).
begin_test() {
    work=$(mktemp -d)
    app_pid=
    exit_steps=("$@")
    [[ -n ${KEEP:-} ]] && echo "keeping $work"
    trap end_test EXIT
    trap 'exit 143' TERM INT
}

end_test() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
    local step
    for step in "${exit_steps[@]}"; do "$step"; done
    stop_desktop
    [[ -n ${KEEP:-} ]] || rm -rf "$work"
}

# The script's last word: the tally, and success only when every check passed.
tally() {
    echo "$passes passed, $failures failed"
    [[ $failures -eq 0 ]]
}

# "X Y" of the main window's design client area: its 221 x 119 pixels below the menu bar.
main_client_origin() {
    local x y w h
    read -r x y w h < <(client_geometry "$1")
    echo "$x $((y + h - 119))"
}

# Starts trayer as an XEmbed system tray host at the top right (stopped by stop_desktop);
# exports TRAY_PANEL, its window. Needs the trayer package.
start_tray() {
    trayer --edge top --align right --widthtype pixel --width 200 --height 24 \
        --SetDockType true --transparent false >"$1/trayer.log" 2>&1 &
    desktop_pids+=($!)
    TRAY_PANEL=$(wait_for 20 first_line xdotool search --onlyvisible --pid $!) ||
        { echo "trayer did not start"; return 1; }
    export TRAY_PANEL
}

# Prints the window that process PID has embedded in the tray host, if any.
tray_icon() {
    local pid=$1 mine hex
    mine=" $(xdotool search --pid "$pid" 2>/dev/null | tr '\n' ' ') "
    for hex in $(xwininfo -tree -id "$TRAY_PANEL" 2>/dev/null | grep -o '^ *0x[0-9a-f]*'); do
        [[ $mine == *" $((hex)) "* ]] && { echo "$((hex))"; return 0; }
    done
    return 1
}

# Prints a visible window of process PID whose client area is W x H pixels.
window_of_size() {
    local pid=$1 w=$2 h=$3 id cw ch
    for id in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
        read -r _ _ cw ch < <(client_geometry "$id")
        [[ $cw == "$w" && $ch == "$h" ]] && { echo "$id"; return 0; }
    done
    return 1
}

# Runs the File menu's item of the program $app_pid, whose main window is $main, reached by
# pressing Down DOWNS times from the first item (0: メールチェック（手動）).
menu_command() {
    local downs=$1 before i
    before=$(xdotool search --onlyvisible --pid "$app_pid")
    xdotool windowactivate --sync "$main" key alt+f
    wait_new_window "$app_pid" "$before" >/dev/null || return 1
    for ((i = 0; i < downs; i++)); do xdotool key Down; done
    xdotool key Return
}

# Waits up to 10 s for a visible window of process PID that is not among the ids in BEFORE,
# e.g. a popup menu, and prints it.
wait_new_window() { wait_for 10 new_window "$@"; }
new_window() {
    local before=" ${2//$'\n'/ } " id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        [[ $before == *" $id "* ]] || { echo "$id"; return 0; }
    done
    return 1
}

# Runs a command every 50 ms until it succeeds, for at most SECONDS (may be fractional), and
# prints what that run printed.
wait_for() {
    local end out
    end=$(($(date +%s%N) + $(awk -v s="$1" 'BEGIN{printf "%.0f", s * 1e9}')))
    shift
    until out=$("$@" 2>/dev/null); do
        (($(date +%s%N) > end)) && return 1
        sleep 0.05
    done
    printf '%s\n' "$out"
}

# The same, silent.
wait_until() { wait_for "$@" >/dev/null; }

# True when a window's client area stands still: the window manager has placed it.
settled() {
    local before
    before=$(client_geometry "$1")
    sleep 0.1
    [[ -n $before && $(client_geometry "$1") == "$before" ]]
}

# True when a window has a shape ("Window shape extents" W x H + X + Y).
shaped() {
    xwininfo -shape -id "$1" 2>/dev/null | awk '/Window shape extents/{print $4}' |
        grep -qE '^[0-9]+x[0-9]+\+[0-9]+\+[0-9]+$'
}
