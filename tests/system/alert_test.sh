#!/usr/bin/env bash
# The alert, seen and heard from outside: "確認♪" opens the shaped, topmost chime window and
# the chime sounds and keeps sounding (loop); "戻す" closes the window and the sound stops;
# with "風鈴を鳴らさない" ticked the window opens but nothing sounds.
set -uo pipefail
built=$(dirname "$1")
here=$(dirname "$(readlink -f "$0")")
source "$here/desktop.sh"
source "$here/sound.sh"

begin_test stop_sound

start_desktop "$work/desktop" || exit 1
start_sound "$work" || exit 1

make_program_folder "$work/program"
mkdir -p "$work/cwd"
printf '[EXEINI]\nNAME=me\nNAME2=pw\n' >"$work/program/★MailData/iniIdPass.ini"
printf 'POP3=127.0.0.1\r\n' >"$work/cwd/vbmail.ini"
(cd "$work/cwd" && exec "$work/program/breezel") >"$work/breezel.log" 2>&1 &
app_pid=$!

wid=$(wait_window Kazeyomi) || { echo "FAILED: no main window"; cat "$work/breezel.log"; exit 1; }
wait_until 10 settled "$wid"
read -r x y < <(main_client_origin "$wid")
click_at() { xdotool mousemove "$((x + $1))" "$((y + $2))" click 1; }

# The chime window: the program's visible window of 100 x 100 pixels.
chime_window() { window_of_size "$app_pid" 100 100; }
no_chime() { ! chime_window; }

# One recording from just before the click: the ring at its start, and the loop sounding on
# in every stretch of it for 30 s, many rings (3.4 s each) past the first.
record "$work/alert.wav" 30 &
recorder=$!
wait_until 10 test -s "$work/alert.wav"
click_at 140 66  # 確認♪
if chime=$(wait_for 10 chime_window); then
    check "chime window is on top" grep -q _NET_WM_STATE_ABOVE < <(xprop -id "$chime" _NET_WM_STATE)
    # The first swing tick gives the window its shape.
    check "chime window is shaped to the chime" wait_until 10 shaped "$chime"
    read -r cx cy _ _ < <(client_geometry "$chime")
    import -window root "$work/chime.png"
    corner=$(convert "$work/chime.png" -format '%[pixel:p{'$cx','$cy'}]' info:)
    check "outside the chime the desktop shows through (corner is $corner)" test "$corner" = "black" -o "$corner" = "srgb(0,0,0)"
else
    check "chime window opens" false
fi
wait "$recorder"
sox "$work/alert.wav" "$work/ring.wav" trim 0 2.5
check "the chime sounds (rms $(rms "$work/ring.wav"))" loud "$work/ring.wav"
silent_stretches=()
for start in 4 8 12 16 20 24; do
    sox "$work/alert.wav" "$work/loop.wav" trim "$start" 4
    loud "$work/loop.wav" || silent_stretches+=("$start s: rms $(rms "$work/loop.wav")")
done
check "the chime keeps sounding for 30 s (silent: ${silent_stretches[*]:-none})" \
    test "${#silent_stretches[@]}" -eq 0

click_at 188 66  # 戻す
check "reset closes the chime window" wait_until 10 no_chime
record_after_drain "$work/after.wav" 1
check "reset silences the chime (rms $(rms "$work/after.wav"))" quiet "$work/after.wav"

click_at 118 85  # 風鈴を鳴らさない (the next click is handled after it, in order)
click_at 140 66  # 確認♪
check "muted alert still opens the chime window" wait_until 10 chime_window
record "$work/muted.wav" 1.5
check "muted alert is silent (rms $(rms "$work/muted.wav"))" quiet "$work/muted.wav"

tally
